#include "pyramids/AppendRecovery.h"

#include <chrono>

#include "platform/FileClaim.h"
#include "platform/Files.h"
#include "platform/FolderEntries.h"
#include "platform/ReplaceFile.h"
#include "pyramids/AppendLink.h"
#include "pyramids/WorkFolder.h"

namespace kelvory {
namespace {

using platform::FileWriter;

constexpr std::size_t HeaderBytes = 16;
constexpr std::string_view JournalPrefix = ".";
constexpr std::string_view JournalSuffix = ".kelvory-journal";

// A link whose bytes each come from the old or the new value: a write torn by a crash.
bool TornBetween(const std::vector<std::uint8_t>& link, const AppendJournal& journal) {
  for (std::size_t i = 0; i < link.size(); ++i)
    if (link[i] != journal.OldLink[i] && link[i] != journal.NewLink[i]) return false;
  return true;
}

// True when the bytes past the file's old end begin with the build's marker: the
// marker is synced before anything else goes there, so a shorter tail may hold only
// marker bytes or the zeros of writes a power cut lost.
bool MarkerFound(const FileWriter& file, const AppendJournal& journal, std::uint64_t size, std::error_code& error) {
  const std::uint64_t tail = size - journal.OriginalLength;
  const std::size_t count = tail < MarkerSize ? static_cast<std::size_t>(tail) : MarkerSize;
  std::vector<std::uint8_t> found(count);
  if (file.ReadAt(found.data(), count, journal.OriginalLength, error) != count || error) return false;
  for (std::size_t i = 0; i < count; ++i) {
    const bool lost = tail <= MarkerSize && found[i] == 0;
    if (found[i] != journal.Marker[i] && !lost) return false;
  }
  return true;
}

RecoveryOutcome Restore(FileWriter& file, const AppendJournal& journal, bool rewriteLink, std::error_code& error) {
  if (rewriteLink && ((error = file.WriteAt(journal.OldLink.data(), journal.OldLink.size(), journal.LinkPlace)) ||
                      (error = file.Sync())))
    return RecoveryOutcome::Failed;
  if ((error = file.Truncate(journal.OriginalLength)) || (error = file.Sync())) return RecoveryOutcome::Failed;
  // The file is as it was: so are its times, for whoever judges by them.
  if ((error = file.SetTimes(journal.Times))) return RecoveryOutcome::Failed;
  return RecoveryOutcome::Undone;
}

// Moves the journal aside under a name no build looks for, so that the next build of
// the file starts afresh while the record stays for whoever wants to look.
std::string SetAside(const std::string& journal) {
  const auto now = std::chrono::duration_cast<std::chrono::seconds>(
                       std::chrono::system_clock::now().time_since_epoch()).count();
  const std::string kept = journal + ".kept-" + std::to_string(now);
  if (platform::Replace(journal, kept)) return journal;
  return kept;
}

Recovery Recover(const std::string& source) {
  const std::optional<AppendJournal> journal = ReadJournal(JournalOf(source));
  // A damaged journal proves nothing: the file stays as it is.
  if (!journal) return ConcludeAppend(source, RecoveryOutcome::LeftAlone);
  std::error_code error;
  FileWriter file = FileWriter::Open(source, FileWriter::Access::Update, error);
  if (error == std::errc::no_such_file_or_directory) return ConcludeAppend(source, RecoveryOutcome::Obsolete);
  if (error) return ConcludeAppend(source, RecoveryOutcome::Failed, error);
  const RecoveryOutcome outcome = SettleAppend(file, *journal, WholeLink::Keep, error);
  // Closed first: on Windows an open handle keeps the file's second name from going.
  file = FileWriter();
  return ConcludeAppend(source, outcome, error);
}

}  // namespace

std::uint64_t FingerprintOf(const FileWriter& file, std::uint64_t lastDirectory, std::uint64_t linkPlace,
                            std::error_code& error) {
  std::vector<std::uint8_t> bytes(HeaderBytes + static_cast<std::size_t>(linkPlace - lastDirectory));
  const std::size_t header = file.ReadAt(bytes.data(), HeaderBytes, 0, error);
  if (error) return 0;
  const std::size_t entries = file.ReadAt(bytes.data() + HeaderBytes, bytes.size() - HeaderBytes, lastDirectory, error);
  if (error) return 0;
  const std::uint64_t seed = Fnv1a(bytes.data(), header);
  return Fnv1a(bytes.data() + HeaderBytes, entries, seed);
}

RecoveryOutcome SettleAppend(FileWriter& file, const AppendJournal& journal, WholeLink whole, std::error_code& error) {
  const platform::FileIdentity identity = file.Identity(error);
  if (error) return RecoveryOutcome::Failed;
  // Another file under the name: the build's file is gone, and this one it never wrote.
  if (identity != journal.Identity) return RecoveryOutcome::Obsolete;
  const std::uint64_t size = file.Size(error);
  if (error) return RecoveryOutcome::Failed;
  if (size < journal.OriginalLength) return RecoveryOutcome::LeftAlone;
  const std::uint64_t fingerprint = FingerprintOf(file, journal.LastDirectory, journal.LinkPlace, error);
  if (error) return RecoveryOutcome::Failed;
  if (fingerprint != journal.Fingerprint) return RecoveryOutcome::LeftAlone;
  std::vector<std::uint8_t> link(journal.OldLink.size());
  if (file.ReadAt(link.data(), link.size(), journal.LinkPlace, error) != link.size() || error)
    return RecoveryOutcome::Failed;
  const bool oldLink = link == journal.OldLink;
  if (oldLink && size == journal.OriginalLength) return RecoveryOutcome::Obsolete;
  // The link is written once the levels are synced behind the marker: whatever the link
  // holds, the build's bytes past the old end begin with the marker.
  if (!TornBetween(link, journal)) return RecoveryOutcome::LeftAlone;
  const bool tailOnly = oldLink;
  if (size == journal.OriginalLength || (!tailOnly && size <= journal.OriginalLength + MarkerSize) ||
      !MarkerFound(file, journal, size, error))
    return error ? RecoveryOutcome::Failed : RecoveryOutcome::LeftAlone;
  if (link == journal.NewLink && whole == WholeLink::Keep) return RecoveryOutcome::Completed;
  return Restore(file, journal, !oldLink, error);
}

Recovery ConcludeAppend(const std::string& source, RecoveryOutcome outcome, std::error_code error) {
  Recovery recovery{outcome, error, {}};
  const std::string journal = JournalOf(source);
  switch (outcome) {
    case RecoveryOutcome::Undone:
    case RecoveryOutcome::Completed:
    case RecoveryOutcome::Obsolete:
      RemoveWorkFolder(source);
      platform::DeleteFile(NewJournalOf(journal));
      platform::DeleteFile(journal);
      platform::SyncFolder(platform::FolderOf(journal));
      break;
    case RecoveryOutcome::LeftAlone:
      RemoveWorkFolder(source);
      platform::DeleteFile(NewJournalOf(journal));
      recovery.KeptJournal = SetAside(journal);
      break;
    case RecoveryOutcome::NoJournal:
    case RecoveryOutcome::Busy:
    case RecoveryOutcome::Failed:
      break;
  }
  return recovery;
}

Recovery RecoverClaimedAppendLink(const std::string& source) {
  if (!platform::FileExists(JournalOf(source))) return {};
  return Recover(source);
}

Recovery RecoverAppendLink(const std::string& source) {
  if (!platform::FileExists(JournalOf(source))) return {};
  std::error_code error;
  const platform::FileClaim claim = platform::FileClaim::Take(source, error);
  if (error == std::errc::device_or_resource_busy) return {RecoveryOutcome::Busy, error, {}};
  // A file that is gone is settled without a claim; one this process may not write is not.
  if (error && error != std::errc::no_such_file_or_directory) return {RecoveryOutcome::Failed, error, {}};
  return Recover(source);
}

int RecoverAppendLinks(const std::string& folder) {
  std::error_code error;
  std::vector<std::string> sources;
  for (const std::string& name : platform::ListNames(folder, error)) {
    const std::string_view newSuffix = ".new";
    // A journal that never got its name: the build had not begun.
    if (name.ends_with(std::string(JournalSuffix) + std::string(newSuffix))) {
      const std::string journal = name.substr(0, name.size() - newSuffix.size());
      const std::string source =
          folder + journal.substr(JournalPrefix.size(), journal.size() - JournalPrefix.size() - JournalSuffix.size());
      std::error_code claimError;
      const platform::FileClaim claim = platform::FileClaim::Take(source, claimError);
      if (claimError != std::errc::device_or_resource_busy && !platform::FileExists(folder + journal))
        platform::DeleteFile(folder + name);
      continue;
    }
    if (name.size() <= JournalPrefix.size() + JournalSuffix.size() || !name.starts_with(JournalPrefix) ||
        !name.ends_with(JournalSuffix))
      continue;
    sources.push_back(folder + name.substr(JournalPrefix.size(), name.size() - JournalPrefix.size() - JournalSuffix.size()));
  }
  int settled = 0;
  for (const std::string& source : sources) {
    const RecoveryOutcome outcome = RecoverAppendLink(source).Outcome;
    if (outcome != RecoveryOutcome::NoJournal && outcome != RecoveryOutcome::Busy && outcome != RecoveryOutcome::Failed)
      ++settled;
  }
  RemoveOrphanWorkFolders(folder);
  return settled;
}

}  // namespace kelvory
