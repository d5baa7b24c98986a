#include "pyramids/AppendRecovery.h"

#include <filesystem>

#include "platform/FileClaim.h"
#include "platform/Files.h"
#include "platform/FsPath.h"
#include "pyramids/AppendLink.h"

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

RecoveryOutcome Restore(FileWriter& file, const AppendJournal& journal, bool rewriteLink, std::uint64_t size) {
  if (rewriteLink) {
    if (file.WriteAt(journal.OldLink.data(), journal.OldLink.size(), journal.LinkPlace) || file.Sync())
      return RecoveryOutcome::Failed;
  }
  if (size != journal.OriginalLength && (file.Truncate(journal.OriginalLength) || file.Sync()))
    return RecoveryOutcome::Failed;
  return RecoveryOutcome::Undone;
}

RecoveryOutcome Recover(const std::string& source) {
  const std::optional<AppendJournal> journal = ReadJournal(JournalOf(source));
  if (!journal) {
    // A journal cut short while it was written: nothing had happened yet, and what lies
    // beside the file is not the build's.
    if (platform::FileExists(JournalOf(source))) {
      platform::DeleteFile(JournalOf(source));
      return RecoveryOutcome::Undone;
    }
    return RecoveryOutcome::NoJournal;
  }
  std::error_code error;
  FileWriter file = FileWriter::Open(source, FileWriter::Access::Update, error);
  if (error == std::errc::no_such_file_or_directory) {
    // The file is gone: what the build left beside it is of no use.
    RemoveBuildFiles(source);
    return RecoveryOutcome::LeftAlone;
  }
  if (error) return RecoveryOutcome::Failed;
  const RecoveryOutcome outcome = SettleAppend(file, *journal, WholeLink::Keep);
  if (outcome != RecoveryOutcome::Failed) RemoveBuildFiles(source);
  return outcome;
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

RecoveryOutcome SettleAppend(FileWriter& file, const AppendJournal& journal, WholeLink whole) {
  std::error_code error;
  const platform::FileIdentity identity = file.Identity(error);
  if (error) return RecoveryOutcome::Failed;
  const std::uint64_t size = file.Size(error);
  if (error) return RecoveryOutcome::Failed;
  // Another file under the name, or one cut shorter than the build found it.
  if (identity != journal.Identity || size < journal.OriginalLength) return RecoveryOutcome::LeftAlone;
  const std::uint64_t fingerprint = FingerprintOf(file, journal.LastDirectory, journal.LinkPlace, error);
  if (error) return RecoveryOutcome::Failed;
  if (fingerprint != journal.Fingerprint) return RecoveryOutcome::LeftAlone;
  std::vector<std::uint8_t> link(journal.OldLink.size());
  if (file.ReadAt(link.data(), link.size(), journal.LinkPlace, error) != link.size() || error)
    return RecoveryOutcome::Failed;

  if (link == journal.NewLink && whole == WholeLink::Keep) return RecoveryOutcome::Completed;
  if (link == journal.OldLink) return Restore(file, journal, false, size);
  if (TornBetween(link, journal)) return Restore(file, journal, true, size);
  // Some other program wrote there since.
  return RecoveryOutcome::LeftAlone;
}

void RemoveWorkFiles(const std::string& source) {
  const std::string standIn = MaskStandInOf(source);
  for (const std::string& path : {LevelFileOf(source), standIn, LevelFileOf(standIn)}) platform::DeleteFile(path);
}

void RemoveBuildFiles(const std::string& source) {
  RemoveWorkFiles(source);
  platform::DeleteFile(JournalOf(source));
}

RecoveryOutcome RecoverClaimedAppendLink(const std::string& source) {
  if (!platform::FileExists(JournalOf(source))) return RecoveryOutcome::NoJournal;
  return Recover(source);
}

RecoveryOutcome RecoverAppendLink(const std::string& source) {
  if (!platform::FileExists(JournalOf(source))) return RecoveryOutcome::NoJournal;
  std::error_code error;
  const platform::FileClaim claim = platform::FileClaim::Take(source, error);
  if (error == std::errc::device_or_resource_busy) return RecoveryOutcome::Busy;
  // A file that is gone is settled without a claim; one this process may not write is not.
  if (error && error != std::errc::no_such_file_or_directory) return RecoveryOutcome::Failed;
  return Recover(source);
}

int RecoverAppendLinks(const std::string& folder) {
  std::error_code error;
  std::vector<std::string> sources;
  for (const auto& entry : std::filesystem::directory_iterator(platform::FsPath(folder), error)) {
    const std::string name = platform::PathText(entry.path().filename());
    if (name.size() <= JournalPrefix.size() + JournalSuffix.size() || !name.starts_with(JournalPrefix) ||
        !name.ends_with(JournalSuffix))
      continue;
    sources.push_back(platform::PathText(entry.path().parent_path() /
                                         platform::FsPath(name.substr(JournalPrefix.size(), name.size() -
                                                                      JournalPrefix.size() - JournalSuffix.size()))));
  }
  int settled = 0;
  for (const std::string& source : sources) {
    const RecoveryOutcome outcome = RecoverAppendLink(source);
    if (outcome != RecoveryOutcome::NoJournal && outcome != RecoveryOutcome::Busy && outcome != RecoveryOutcome::Failed)
      ++settled;
  }
  return settled;
}

}  // namespace kelvory
