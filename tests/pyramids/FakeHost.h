#pragma once
// A build host made of plain vectors, recording what the build did to it.
#include <functional>
#include <string>
#include <vector>

#include "pyramids/BuildHost.h"

namespace kelvory::test {

struct Settled {
  int Row;
  StatusImage Status;
  std::string Reason;
};

class FakeHost : public BuildHost {
 public:
  struct Row {
    std::string Caption;
    bool Checked = true;
    StatusImage Status = StatusNone;
  };

  std::vector<Row> Rows;
  std::string Dest;
  int Selected = 0;
  bool Building = false;
  bool ButtonEnabled = true;
  std::string ButtonCaption = "Построить";
  bool GroupEnabled = true;
  std::string Caption;
  std::string Panel;
  std::vector<std::string> Messages;
  std::vector<Settled> SettledRows;
  std::string Folder;
  int Slots = 1;
  bool Stop = false;
  // Runs inside every ProcessMessages, as nested window handlers would.
  std::function<void(FakeHost&)> OnMessages;

  void AddRows(const std::vector<std::string>& captions) {
    for (const auto& c : captions) Rows.push_back({c, true, StatusNone});
    Selected += static_cast<int>(captions.size());
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

  int RowCount() const override { return static_cast<int>(Rows.size()); }
  std::string RowCaption(int row) const override { return Rows.at(row).Caption; }
  bool RowChecked(int row) const override { return Rows.at(row).Checked; }
  void SetRowChecked(int row, bool checked) override { Rows.at(row).Checked = checked; }
  void SetRowStatus(int row, StatusImage status) override { Rows.at(row).Status = status; }
  std::string DestFolder() const override { return Dest; }
  bool HasDestFolder() const override { return !Dest.empty(); }
  int SelectedCount() const override { return Selected; }
  void SetSelectedCount(int count) override { Selected = count; }
  void SetBuilding(bool building) override { Building = building; }
  void SetSelectionPanelText(const std::string& text) override { Panel = text; }
  void SetBuildButtonEnabled(bool enabled) override { ButtonEnabled = enabled; }
  void SetBuildButtonCaption(const std::string& caption) override { ButtonCaption = caption; }
  void SetGroupBoxEnabled(bool enabled) override { GroupEnabled = enabled; }
  void SetWindowCaption(const std::string& caption) override { Caption = caption; }
  void ShowMessage(const std::string& text) override { Messages.push_back(text); }
  void ProcessMessages() override {
    if (OnMessages) OnMessages(*this);
  }
  std::string ProgramFolder() const override { return Folder; }
  int SlotCount() const override { return Slots; }
  void RowSettled(int row, StatusImage status, const std::string& reason) override {
    SettledRows.push_back({row, status, reason});
  }
  bool StopRequested() const override { return Stop; }
};

}  // namespace kelvory::test
