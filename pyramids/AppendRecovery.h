#pragma once
// Settling builds that appended levels and were cut short (a crash, a kill, a power
// cut): each left its journal beside its file. Recovery changes a file only when it
// is exactly in a state such a build leaves; any other file is left as it is and its
// journal set aside (PROTOCOL.md lists the states).
#include <string>
#include <system_error>

#include "platform/FileWriter.h"
#include "pyramids/AppendJournal.h"

namespace kelvory {

enum class RecoveryOutcome {
  NoJournal,  // nothing to do
  Undone,     // the file has its bytes and times from before the build again
  Completed,  // the levels were linked: the build is finished
  Obsolete,   // the build left nothing in the file (or the file is gone, or another
              // file has its name): only the build's own files were removed
  Busy,       // another build holds the file: left to it
  LeftAlone,  // the file is in no state the build leaves: kept as it is, the journal
              // set aside
  Failed,     // the file could not be put right now; the journal stays for a later try
};

struct Recovery {
  RecoveryOutcome Outcome = RecoveryOutcome::NoJournal;
  std::error_code Error;    // why it failed
  std::string KeptJournal;  // where the journal was set aside
};

// Settles the build the journal beside source records, taking the file's claim for it.
Recovery RecoverAppendLink(const std::string& source);
// The same for a caller that holds the file's claim itself (before its next build).
Recovery RecoverClaimedAppendLink(const std::string& source);
// Settles every build the journals in folder (ending with a separator) record, and
// removes the work folders no build holds; returns how many builds it settled.
int RecoverAppendLinks(const std::string& folder);

// What to do with a file whose link is whole: a synced link means synced levels.
enum class WholeLink { Keep, Undo };

// Puts the open file back as the journal recorded it, when it is that file in a state
// the build leaves: the link restored, the appended bytes cut off, the times given
// back, synced. A whole link is kept (Completed) or undone as asked. Changes nothing
// in any other state. The caller concludes with ConcludeAppend.
RecoveryOutcome SettleAppend(platform::FileWriter& file, const AppendJournal& journal, WholeLink whole,
                             std::error_code& error);

// Removes what the build made beside source once settled (its work folder; the journal
// last, or the journal set aside when the file was left alone); a failed settling
// keeps them for a later try.
Recovery ConcludeAppend(const std::string& source, RecoveryOutcome outcome, std::error_code error = {});

// The journal's fingerprint of the open file as it is now.
std::uint64_t FingerprintOf(const platform::FileWriter& file, std::uint64_t lastDirectory, std::uint64_t linkPlace,
                            std::error_code& error);

}  // namespace kelvory
