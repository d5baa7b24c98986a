#pragma once
// A command line that cannot be followed, as a code with its arguments: the message is
// put into the user's language where it is shown.
#include <string>
#include <vector>

#include "platform/Errors.h"
#include "pyramids/ReasonText.h"

namespace kelvory {

enum class UsageCode {
  NoFiles,
  UnknownOption,       // Args: the option
  NeedsValue,          // Args: the option
  OnlyOnce,            // Args: the option
  TakesNoValue,        // Args: the option
  NeedsFolder,         // Args: the option
  NeedsFile,           // Args: the option
  BadJobs,             // Args: the most jobs, the value given
  BadShard,            // Args: the value given
  ConfigNeedsPair,
  BadConfigKey,        // Args: the key given
  UnknownMethod,       // Args: the name given, the known names
  ExternalWithDest,
  JsonWithEvents,
  NotAFolder,          // Args: the path
};

class UsageError : public Exception {
 public:
  // what() is the English message.
  explicit UsageError(UsageCode code, std::vector<std::string> args = {});
  UsageCode Code() const { return code_; }
  std::string Text(Language language) const;

 private:
  UsageCode code_;
  std::vector<std::string> args_;
};

// The line after a usage error that points to the help.
const char* TryHelpText(Language language);

}  // namespace kelvory
