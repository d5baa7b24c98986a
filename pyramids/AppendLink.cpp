#include "pyramids/AppendLink.h"

#include <algorithm>
#include <memory>
#include <utility>

#include "platform/Errors.h"
#include "platform/Files.h"
#include "pyramids/AppendRecovery.h"
#include "pyramids/Reason.h"
#include "pyramids/Sidecars.h"
#include "pyramids/ToolCommand.h"
#include "pyramids/WorkFolder.h"
#include "tiff/TiffAppend.h"

namespace kelvory {
namespace {

using platform::FileWriter;

// How much of the levels is copied before the level file gives its space back.
constexpr std::uint64_t CopyChunk = std::uint64_t{16} << 20;

FileWriter OpenFile(const std::string& path, FileWriter::Access access) {
  std::error_code error;
  FileWriter file = FileWriter::Open(path, access, error);
  if (error) throw EFOpenError(path, error);
  return file;
}

TiffChain ReadChain(const FileWriter& file, const std::string& path) {
  std::error_code error;
  const std::unique_ptr<platform::Stream> stream = file.Contents(error);
  if (error) Refuse(ReasonCode::CannotRead, {path}, error);
  return ReadTiffChain(*stream);
}

std::vector<std::uint8_t> LinkBytes(std::uint64_t value, const FileLayout& layout) {
  std::vector<std::uint8_t> bytes(layout.WordSize());
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const std::size_t at = layout.BigEndian ? bytes.size() - 1 - i : i;
    bytes[at] = static_cast<std::uint8_t>(value >> (8 * i));
  }
  return bytes;
}

// Where the levels start: after the file as it is and the marker.
std::uint64_t LevelsStart(std::uint64_t originalLength) { return AppendStart(originalLength + MarkerSize); }

// What the journal records of the file as it is now, its link to become the levels'.
AppendJournal JournalOfFile(const FileWriter& file, const TiffChain& chain, const std::string& path) {
  std::error_code error;
  AppendJournal journal;
  journal.Identity = file.Identity(error);
  journal.OriginalLength = chain.FileSize;
  const TiffDirectory& last = chain.Directories.back();
  journal.LastDirectory = last.Offset;
  journal.LinkPlace = last.NextPlace;
  journal.OldLink.resize(chain.Layout.WordSize());
  if (!error) file.ReadAt(journal.OldLink.data(), journal.OldLink.size(), last.NextPlace, error);
  if (!error) journal.Fingerprint = FingerprintOf(file, last.Offset, last.NextPlace, error);
  if (!error) journal.Times = file.Times(error);
  if (error) Refuse(ReasonCode::CannotRead, {path}, error);
  journal.NewLink = LinkBytes(LevelsStart(chain.FileSize), chain.Layout);
  journal.Marker = NewMarker();
  return journal;
}

std::string XmlEscaped(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out += c;
    }
  }
  return out;
}

// A virtual image of the file's mask as a one-bit band, which gdaladdo -ro builds
// levels of as it builds those of the mask in place. It reads the file through its
// alias beside it.
void WriteMaskStandIn(const std::string& source, const AppendLinkDecision& decision) {
  const std::string text = "<VRTDataset rasterXSize=\"" + std::to_string(decision.Width) + "\" rasterYSize=\"" +
                           std::to_string(decision.Height) +
                           "\">\n  <VRTRasterBand dataType=\"Byte\" band=\"1\">\n"
                           "    <Metadata domain=\"IMAGE_STRUCTURE\"><MDI key=\"NBITS\">1</MDI></Metadata>\n"
                           "    <SimpleSource>\n      <SourceFilename relativeToVRT=\"1\">" +
                           XmlEscaped(platform::FileNameOf(AliasOf(source))) +
                           "</SourceFilename>\n      <SourceBand>mask,1</SourceBand>\n    </SimpleSource>\n"
                           "  </VRTRasterBand>\n</VRTDataset>\n";
  const std::string path = MaskStandInOf(source);
  std::error_code error;
  FileWriter file = FileWriter::Open(path, FileWriter::Access::CreateNew, error);
  if (!error) error = file.WriteAt(text.data(), text.size(), 0);
  if (error) Refuse(ReasonCode::CannotMakeWorkFolder, {WorkFolderOf(source)}, error);
}

std::vector<std::string> ToolRun(const std::vector<std::string>& options, const std::string& path,
                                 const std::vector<std::int64_t>& factors, Resampling method) {
  std::vector<std::string> run = options;
  run.push_back("-ro");
  BuildOptions chosen;
  chosen.Method = method;
  const std::vector<std::string> rest = ToolArguments(path, factors, chosen);
  run.insert(run.end(), rest.begin(), rest.end());
  return run;
}

// True when the open file is still the one the journal describes, as it was.
bool AsJournalFound(const FileWriter& file, const AppendJournal& journal) {
  std::error_code error;
  std::vector<std::uint8_t> link(journal.OldLink.size());
  if (file.ReadAt(link.data(), link.size(), journal.LinkPlace, error) != link.size() || link != journal.OldLink)
    return false;
  const bool same = file.Identity(error) == journal.Identity && !error;
  const bool length = same && file.Size(error) == journal.OriginalLength && !error;
  return length && FingerprintOf(file, journal.LastDirectory, journal.LinkPlace, error) == journal.Fingerprint &&
         !error;
}

// Raises the append's failure at step. It names the file appended to; the row's reason
// names it as the row does (AppendFailure).
[[noreturn]] void FailAppend(const std::string& source, FailedStep step) {
  RefuseAt(step, ReasonCode::CannotAppend, {source});
}

// The directories of an open file the append reads; the reader's refusal of them is the
// append's failure.
TiffChain ReadStructure(const FileWriter& file, const std::string& path, const std::string& source) {
  try {
    return ReadChain(file, path);
  } catch (const BuildError&) {
    throw;
  } catch (const Exception&) {
    FailAppend(source, FailedStep::ReadStructure);
  }
}

// The journal of the file as the plan's decision found it. Planning and this begin lie
// apart (the build begins on a file worker): the file must still be the one decided on,
// with no overview file beside it and no unsettled build's record, or the build stops
// here. A check of the carried decision, not a second one.
AppendJournal JournalAsDecided(const std::string& source, const AppendLinkDecision& decision) {
  if (!decision.Proven()) FailAppend(source, FailedStep::NotProven);
  if (!ExternalOverviewsOf(source).empty()) FailAppend(source, FailedStep::OverviewFileAppeared);
  // An unfinished build's record that recovery could not settle stays where it is.
  if (platform::FileExists(JournalOf(source))) {
    Refuse(ReasonCode::CannotWriteRecord, {JournalOf(source)}, std::make_error_code(std::errc::file_exists));
  }
  const FileWriter file = OpenFile(source, FileWriter::Access::Read);
  const TiffChain chain = ReadStructure(file, source, source);
  if (StructureOf(chain) != decision.Structure) FailAppend(source, FailedStep::ChangedSincePlanned);
  return JournalOfFile(file, chain, source);
}

// The files the tool wrote the levels into (the mask's too), open, and their directories.
struct LevelFiles {
  std::vector<FileWriter> Files;
  std::vector<TiffChain> Chains;
};

LevelFiles OpenLevelFiles(const std::string& source, bool hasMask) {
  std::vector<std::string> paths{LevelFileOf(source)};
  if (hasMask) paths.push_back(MaskStandInOf(source) + ".ovr");
  LevelFiles levels;
  for (const std::string& path : paths) {
    levels.Files.push_back(OpenFile(path, FileWriter::Access::Update));
    levels.Chains.push_back(ReadStructure(levels.Files.back(), path, source));
  }
  return levels;
}

// Where the levels' directories and blocks go behind the file and its marker: where the
// journal's link points.
AppendPlan PlanLevels(const FileWriter& file, const LevelFiles& levels, const AppendJournal& journal,
                      const std::string& source) {
  std::vector<AppendSource> sources{{&levels.Chains[0], AppendedRole::Levels}};
  if (levels.Chains.size() > 1) sources.push_back({&levels.Chains[1], AppendedRole::MaskLevels});
  const FileLayout layout = ReadStructure(file, source, source).Layout;
  AppendPlan plan;
  try {
    plan = PlanAppend(sources, layout, journal.OriginalLength + MarkerSize);
  } catch (const Exception&) {
    FailAppend(source, FailedStep::PlanLevels);
  }
  if (LinkBytes(plan.Start, layout) != journal.NewLink) FailAppend(source, FailedStep::LevelsMoved);
  return plan;
}

// Raises the failure of a step of the merge with the system's error, when there is one.
void Check(std::error_code error, FailedStep step, const std::string& source) {
  if (error) RefuseAt(step, ReasonCode::AppendFailed, {source}, error);
}

void CopyBlocks(FileWriter& file, std::vector<FileWriter>& levelFiles, const AppendPlan& plan,
                const std::string& source) {
  for (const BlockCopy& block : plan.Blocks) {
    for (std::uint64_t done = 0; done < block.Length;) {
      const std::uint64_t chunk = std::min(block.Length - done, CopyChunk);
      Check(file.CopyFrom(levelFiles[block.Source], block.From + done, block.To + done, chunk), FailedStep::Append,
            source);
      // The level file, which no reader sees, gives back what has been copied: the
      // build needs room for the levels about once, not twice.
      levelFiles[block.Source].Discard(block.From + done, chunk);
      done += chunk;
    }
  }
}

// Writes the marker, syncs, appends the levels, syncs, links them and syncs; written is
// set from the moment what lies past the file's old end may be the build's.
void Merge(FileWriter& file, LevelFiles& levels, const AppendPlan& plan, const AppendJournal& journal,
           const std::string& source, const MergeObserver& observer, bool& written) {
  const auto step = [&observer](MergeStep next) {
    if (observer) observer(next);
  };
  // The marker is on the disk before anything else lies past the file's old end:
  // whatever recovery finds there after it is the build's.
  step(MergeStep::Marker);
  written = true;
  Check(file.WriteAt(journal.Marker.data(), journal.Marker.size(), journal.OriginalLength), FailedStep::Marker,
        source);
  step(MergeStep::SyncMarker);
  Check(file.Sync(), FailedStep::SyncMarker, source);
  step(MergeStep::Append);
  Check(file.WriteAt(plan.Structure.data(), plan.Structure.size(), plan.Start), FailedStep::Append, source);
  CopyBlocks(file, levels.Files, plan, source);
  step(MergeStep::SyncAppend);
  Check(file.Sync(), FailedStep::SyncAppend, source);
  step(MergeStep::Link);
  Check(file.WriteAt(journal.NewLink.data(), journal.NewLink.size(), journal.LinkPlace), FailedStep::Link, source);
  step(MergeStep::SyncLink);
  Check(file.Sync(), FailedStep::SyncLink, source);
}

}  // namespace

std::string JournalOf(const std::string& source) {
  return platform::FolderOf(source) + "." + platform::FileNameOf(source) + ".kelvory-journal";
}
std::string MaskStandInOf(const std::string& source) { return WorkFolderOf(source) + "mask.vrt"; }

TiffChain ReadChainOf(const std::string& path) {
  const FileWriter file = OpenFile(path, FileWriter::Access::Read);
  return ReadChain(file, path);
}

AppendLinkDecision DecideAppendLink(const std::string& source, Resampling method) {
  AppendLinkDecision refused;
  if (!ExternalOverviewsOf(source).empty()) {
    refused.Refusal = AppendLinkRefusal::OverviewFilePresent;
    return refused;
  }
  // GDAL finds a mask file beside the alias's target, too, and would build its levels
  // into it.
  if (!MaskFileOf(source).empty()) {
    refused.Refusal = AppendLinkRefusal::MaskFilePresent;
    return refused;
  }
  try {
    const FileWriter file = OpenFile(source, FileWriter::Access::Read);
    return DecideAppendLink(ReadChain(file, source), method);
  } catch (const std::exception&) {
    refused.Refusal = AppendLinkRefusal::Unreadable;
    return refused;
  }
}

AppendLinkBuild::AppendLinkBuild(AppendLinkBuild&& other) noexcept
    : source_(std::move(other.source_)),
      journal_(std::move(other.journal_)),
      runs_(std::move(other.runs_)),
      hasMask_(other.hasMask_),
      pending_(std::exchange(other.pending_, false)) {}

AppendLinkBuild& AppendLinkBuild::operator=(AppendLinkBuild&& other) noexcept {
  if (this != &other) {
    try {
      if (pending_) Abandon();
    } catch (...) {
      // The journal stays; recovery settles the file later.
    }
    source_ = std::move(other.source_);
    journal_ = std::move(other.journal_);
    runs_ = std::move(other.runs_);
    hasMask_ = other.hasMask_;
    pending_ = std::exchange(other.pending_, false);
  }
  return *this;
}

AppendLinkBuild::~AppendLinkBuild() {
  try {
    if (pending_) Abandon();
  } catch (...) {
    // As above.
  }
}

AppendLinkBuild AppendLinkBuild::Begin(const std::string& source, const AppendLinkDecision& decision,
                                       const std::vector<std::int64_t>& factors, Resampling method) {
  AppendLinkBuild build;
  build.source_ = source;
  build.journal_ = JournalAsDecided(source, decision);
  WriteJournal(JournalOf(source), build.journal_);
  build.pending_ = true;
  if (auto error = MakeWorkFolder(source)) Refuse(ReasonCode::CannotMakeWorkFolder, {WorkFolderOf(source)}, error);
  build.hasMask_ = decision.HasMask();
  build.runs_.push_back(ToolRun(decision.LevelOptions, AliasOf(source), factors, method));
  if (build.hasMask_) {
    WriteMaskStandIn(source, decision);
    build.runs_.push_back(ToolRun(decision.MaskOptions, MaskStandInOf(source), factors, method));
  }
  return build;
}

void AppendLinkBuild::Finish(const MergeObserver& observer) {
  if (!pending_) FailAppend(source_, FailedStep::NotBegun);
  FileWriter file = OpenFile(source_, FileWriter::Access::Update);
  bool written = false;
  try {
    if (!AsJournalFound(file, journal_)) Refuse(ReasonCode::ChangedDuringBuild, {source_});
    LevelFiles levels = OpenLevelFiles(source_, hasMask_);
    const AppendPlan plan = PlanLevels(file, levels, journal_, source_);
    Merge(file, levels, plan, journal_, source_, observer, written);
  } catch (...) {
    pending_ = false;
    std::error_code error;
    const RecoveryOutcome outcome =
        written ? SettleAppend(file, journal_, WholeLink::Undo, error) : RecoveryOutcome::Obsolete;
    // Windows removes the file's second name only once no handle of ours shuts out
    // its deletion.
    file = FileWriter();
    ConcludeAppend(source_, outcome);
    throw;
  }
  pending_ = false;
  file = FileWriter();
  // Linked and synced: the build is done, whatever happens to the files beside it (the
  // journal, left, makes recovery finish it).
  if (observer) observer(MergeStep::RemoveWorkFiles);
  RemoveWorkFolder(source_);
  if (observer) observer(MergeStep::RemoveJournal);
  platform::DeleteFile(JournalOf(source_));
}

void AppendLinkBuild::Abandon() {
  if (!pending_) return;
  pending_ = false;
  // Nothing is written to the file before Finish.
  ConcludeAppend(source_, RecoveryOutcome::Obsolete);
}

}  // namespace kelvory
