#pragma once
// The job for one row of the request: settle it at once, hand a plain copy to the
// file workers, or make a working copy and start the tool on it.
#include <string>
#include <vector>

#include "pyramids/BuildContext.h"

namespace kelvory {

// Reports the row, counts it in the build's summary, and gives the same outcome to
// the rows that name the same file and wait for this one.
void SettleRowNow(BuildContext& context, int row, Outcome result, const Reason& why = {});
// SettleRowNow, or, while earlier rows' file work runs, the same in its turn.
void SettleRow(BuildContext& context, int row, Outcome result, const Reason& why = {});

// Gives the slot the next row of the queue. Afterwards the slot is exhausted (no row
// left), idle (the row was skipped, settled at once or handed to the file workers), or
// holds the row while its working copy is made (slot.Preparation) for the tool. Raises
// nothing for a failure of the file: that becomes the row's outcome.
void StartJob(BuildContext& context, ItemProc& slot);

// Starts the tool once the slot's working copy is made. False, with the row settled as
// failed and the slot idle, when the copy or the start failed.
bool LaunchTool(BuildContext& context, ItemProc& slot);

// Starts gdal_translate writing the slot's working copy, its levels built, out as a
// Cloud Optimized GeoTIFF into a new file beside it. False as LaunchTool.
bool BeginCogLayout(BuildContext& context, ItemProc& slot);

// Removes what gdal_translate may leave beside the file it writes at path.
void RemoveBesideCogCopy(const std::string& path);

// Moves staged sidecars onto their targets; raises BuildError on failure.
void PlaceSidecars(std::vector<StagedSidecar>& sidecars);

// Forgets the slot's working copy and error output, removing their files.
void DiscardWork(ItemProc& slot);

// The reason an exception from a job's step gives its row.
Reason ReasonOf(const std::exception& error);

// The reason of an append build that failed with error: with the file and the
// system's reason where the error carries them.
Reason AppendFailure(const std::string& source, const std::exception& error);

// The folder path without its trailing separator, as a user writes it.
std::string Unslashed(const std::string& folder);

}  // namespace kelvory
