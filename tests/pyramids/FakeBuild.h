#pragma once
// A front end made of plain vectors: builds its checked rows with the tool beside its
// program folder and records what the build told it.
#include <functional>
#include <string>
#include <vector>

#include "filelist/StatusImage.h"
#include "pyramids/BuildRun.h"
#include "pyramids/ReasonText.h"
#include "pyramids/ToolCommand.h"

namespace kelvory::test {

struct Settled {
  int Row;
  StatusImage Status;
  std::string Reason;  // in English
};

class FakeHost : public BuildEvents {
 public:
  struct Row {
    std::string Caption;
    bool Checked = true;
    StatusImage Status = StatusNone;
    kelvory::Reason Why;
  };

  std::vector<Row> Rows;
  std::string Dest;
  std::string Folder;  // the program's folder: the tool is gdal/gdaladdo below it
  int Slots = 1;
  int Cores = 1;
  bool Stop = false;
  BuildOptions Options;
  std::vector<Settled> SettledRows;
  std::vector<RowReport> Reports;
  // Runs between the build's steps, as the window's handlers would.
  std::function<void(FakeHost&)> OnMessages;

  void AddRows(const std::vector<std::string>& captions) {
    for (const auto& c : captions) Rows.push_back({c, true, StatusNone, {}});
  }
  std::vector<int> SettledOrder() const {
    std::vector<int> order;
    for (const auto& s : SettledRows) order.push_back(s.Row);
    return order;
  }
  const Settled* SettledFor(int row) const {
    for (const auto& s : SettledRows)
      if (s.Row == row) return &s;
    return nullptr;
  }
  std::string ReasonFor(int row) const {
    const Settled* s = SettledFor(row);
    return s ? s->Reason : std::string("<not settled>");
  }

  // Builds the checked rows, as the window's Build button does.
  BuildSummary Run() {
    BuildRequest request;
    listRows_.clear();
    for (int row = 0; row < static_cast<int>(Rows.size()); ++row) {
      if (!Rows[static_cast<std::size_t>(row)].Checked) continue;
      listRows_.push_back(row);
      request.Rows.push_back({Rows[static_cast<std::size_t>(row)].Caption, Dest, {}});
    }
    request.ToolPath = BundledToolPath(Folder);
    request.Slots = Slots;
    request.Cores = Cores;
    request.Options = Options;
    BuildRun run(std::move(request), *this);
    while (run.Step(100)) {
      if (OnMessages) OnMessages(*this);
    }
    return run.Summary();
  }

  void RowStarted(int row) override { Rows.at(ListRow(row)).Status = StatusInProgress; }
  void RowSettled(const RowReport& report) override {
    const std::size_t row = ListRow(report.Row);
    const StatusImage status = report.Result == Outcome::Done || report.Result == Outcome::UpToDate ? StatusDone
                               : report.Result == Outcome::NotFound ? StatusNotFound
                                                                    : StatusFailed;
    Rows.at(row).Status = status;
    Rows.at(row).Checked = false;
    Rows.at(row).Why = report.Why;
    SettledRows.push_back({static_cast<int>(row), status, ReasonText(report.Why, Language::English)});
    Reports.push_back(report);
  }
  bool StopRequested() override { return Stop; }
  bool SkipRow(int row) override { return !Rows.at(ListRow(row)).Checked; }

 private:
  std::size_t ListRow(int row) const { return static_cast<std::size_t>(listRows_.at(static_cast<std::size_t>(row))); }
  std::vector<int> listRows_;
};

inline BuildSummary RunBuild(FakeHost& host) { return host.Run(); }

}  // namespace kelvory::test
