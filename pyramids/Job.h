#pragma once
// The job for one queue entry: settle its row at once, or start the tool on a working
// copy of its file.
#include <cstdint>
#include <string>

#include "pyramids/BuildContext.h"
#include "pyramids/BuildHost.h"
#include "pyramids/StatusImage.h"

namespace kelvory {

// Gives the row its final status, clears its check mark and counts it out of the
// selection.
void FinishItem(BuildHost& host, std::int32_t index, StatusImage status, const std::string& reason = {});

// FinishItem, counted in the build's summary, and the same outcome for the rows that
// name the same file and wait for this one.
void SettleRowNow(BuildHost& host, BuildContext& context, std::int32_t index, StatusImage status,
                  const std::string& reason = {});
// SettleRowNow, or, while earlier rows' file work runs, the same in its turn.
void SettleRow(BuildHost& host, BuildContext& context, std::int32_t index, StatusImage status,
               const std::string& reason = {});

// Takes entry cursor of the queue. Returns the row count when the queue is exhausted,
// -1 when the row was skipped, settled at once or handed to the file workers, or the
// row's index when its working copy is being made (slot's Preparation) for the tool. Raises nothing for a failure of
// the file: that becomes the row's status.
std::int32_t StartJob(BuildHost& host, BuildContext& context, std::int32_t cursor, ItemProc& slot);

// Starts the tool once the slot's working copy is made. False, with the row settled as
// failed and the slot idle, when the copy or the start failed.
bool LaunchTool(BuildHost& host, BuildContext& context, ItemProc& slot);

// Moves staged sidecars onto their targets; raises kelvory::Exception on failure.
void PlaceSidecars(std::vector<StagedSidecar>& sidecars);

// Forgets the slot's working copy and error output, removing their files.
void DiscardWork(ItemProc& slot);

}  // namespace kelvory
