#pragma once
// One build, driven step by step by its front end: the window steps it from its event
// loop, so that the build goes on under any dialog; a console waits in each step.
#include <memory>

#include "pyramids/BuildEvents.h"
#include "pyramids/BuildRequest.h"
#include "pyramids/BuildSummary.h"

namespace kelvory {

struct BuildContext;

class BuildRun {
 public:
  BuildRun(BuildRequest request, BuildEvents& events);
  // Stops any tool still running and removes every working copy.
  ~BuildRun();
  BuildRun(const BuildRun&) = delete;
  BuildRun& operator=(const BuildRun&) = delete;

  // Collects ended tools, puts results in place and starts the next rows; when nothing
  // is ready, waits up to waitMs for a tool or a file copy to end. False once the
  // build is over (every row settled, or no tool). Nothing escapes it.
  bool Step(int waitMs);
  const BuildSummary& Summary() const;

 private:
  void Start();
  void Finish();

  std::unique_ptr<BuildContext> context_;
  bool started_ = false;
  bool finished_ = false;
};

}  // namespace kelvory
