#pragma once
// Settling builds that appended levels and were cut short (a crash, a kill, a power
// cut): each left its journal beside its file.
#include <string>

#include "platform/FileWriter.h"
#include "pyramids/AppendJournal.h"

namespace kelvory {

enum class RecoveryOutcome {
  NoJournal,  // nothing to do
  Undone,     // the file has its exact bytes from before the build again
  Completed,  // the levels were linked: the build is finished
  Busy,       // another build holds the file: left to it
  LeftAlone,  // the file changed since (replaced, rewritten): it is kept as it is
  Failed,     // the file could not be put right now; the journal stays for a later try
};

// Settles the build the journal beside source records, taking the file's claim for it.
RecoveryOutcome RecoverAppendLink(const std::string& source);
// The same for a caller that holds the file's claim itself (before its next build).
RecoveryOutcome RecoverClaimedAppendLink(const std::string& source);
// Settles every build the journals in folder record; returns how many it settled.
int RecoverAppendLinks(const std::string& folder);

// What to do with a file whose link is whole: a synced link means synced levels.
enum class WholeLink { Keep, Undo };

// Puts the open file back as the journal recorded it, when it is that file as the build
// left it: the link restored, the appended bytes cut off, synced. A whole link is kept
// (Completed) or undone as asked. The caller removes the files beside it.
RecoveryOutcome SettleAppend(platform::FileWriter& file, const AppendJournal& journal, WholeLink whole);

// The journal's fingerprint of the open file as it is now.
std::uint64_t FingerprintOf(const platform::FileWriter& file, std::uint64_t lastDirectory, std::uint64_t linkPlace,
                            std::error_code& error);

// Removes the files a build makes beside source: the tool's levels and the mask's
// stand-in; with the journal last.
void RemoveWorkFiles(const std::string& source);
void RemoveBuildFiles(const std::string& source);

}  // namespace kelvory
