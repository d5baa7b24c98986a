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
                                 const std::vector<std::int64_t>& factors, const std::string& resampling) {
  std::vector<std::string> run = options;
  run.push_back("-ro");
  BuildOptions method;
  method.Method = ResamplingNamed(resampling).value_or(Resampling::Nearest);
  const std::vector<std::string> rest = ToolArguments(path, factors, method);
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

bool SameOptions(const AppendLinkDecision& a, const AppendLinkDecision& b) {
  return a.Refusal == b.Refusal && a.LevelOptions == b.LevelOptions && a.MaskOptions == b.MaskOptions;
}

// Raises the append's failure with the system's error, when there is one.
void Check(std::error_code error, const std::string& source) {
  if (error) Refuse(ReasonCode::AppendFailed, {source}, error);
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

AppendLinkDecision DecideAppendLink(const std::string& source, const std::string& resampling) {
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
    return DecideAppendLink(ReadChain(file, source), resampling);
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
                                       const std::vector<std::int64_t>& factors, const std::string& resampling) {
  if (!decision.Proven()) throw Exception(source + ": " + DescribeRefusal(decision.Refusal));
  if (!ExternalOverviewsOf(source).empty())
    throw Exception(source + ": " + DescribeRefusal(AppendLinkRefusal::OverviewFilePresent));
  // An unfinished build's record that recovery could not settle stays where it is.
  if (platform::FileExists(JournalOf(source))) Refuse(ReasonCode::CannotWriteRecord, {JournalOf(source)},
                                                      std::make_error_code(std::errc::file_exists));
  AppendLinkBuild build;
  build.source_ = source;
  {
    const FileWriter file = OpenFile(source, FileWriter::Access::Read);
    const TiffChain chain = ReadChain(file, source);
    if (!SameOptions(DecideAppendLink(chain, resampling), decision))
      throw Exception(source + " changed since its levels were planned");
    build.journal_ = JournalOfFile(file, chain, source);
  }
  WriteJournal(JournalOf(source), build.journal_);
  build.pending_ = true;
  if (auto error = MakeWorkFolder(source)) Refuse(ReasonCode::CannotMakeWorkFolder, {WorkFolderOf(source)}, error);
  build.hasMask_ = decision.HasMask();
  build.runs_.push_back(ToolRun(decision.LevelOptions, AliasOf(source), factors, resampling));
  if (build.hasMask_) {
    WriteMaskStandIn(source, decision);
    build.runs_.push_back(ToolRun(decision.MaskOptions, MaskStandInOf(source), factors, resampling));
  }
  return build;
}

void AppendLinkBuild::Finish(const MergeObserver& observer) {
  const auto step = [&observer](MergeStep next) {
    if (observer) observer(next);
  };
  if (!pending_) throw Exception("no build of " + source_ + " to finish");
  FileWriter file = OpenFile(source_, FileWriter::Access::Update);
  bool written = false;
  try {
    if (!AsJournalFound(file, journal_)) Refuse(ReasonCode::ChangedDuringBuild, {source_});

    std::vector<std::string> levelPaths{LevelFileOf(source_)};
    if (hasMask_) levelPaths.push_back(MaskStandInOf(source_) + ".ovr");
    std::vector<FileWriter> levelFiles;
    std::vector<TiffChain> chains;
    for (const std::string& path : levelPaths) {
      levelFiles.push_back(OpenFile(path, FileWriter::Access::Update));
      chains.push_back(ReadChain(levelFiles.back(), path));
    }
    std::vector<AppendSource> sources{{&chains[0], AppendedRole::Levels}};
    if (hasMask_) sources.push_back({&chains[1], AppendedRole::MaskLevels});
    const FileLayout layout = ReadChain(file, source_).Layout;
    const AppendPlan plan = PlanAppend(sources, layout, journal_.OriginalLength + MarkerSize);
    if (LinkBytes(plan.Start, layout) != journal_.NewLink) throw Exception("the levels' place moved");

    // The marker is on the disk before anything else lies past the file's old end:
    // whatever recovery finds there after it is the build's.
    step(MergeStep::Marker);
    written = true;
    Check(file.WriteAt(journal_.Marker.data(), journal_.Marker.size(), journal_.OriginalLength), source_);
    step(MergeStep::SyncMarker);
    Check(file.Sync(), source_);
    step(MergeStep::Append);
    Check(file.WriteAt(plan.Structure.data(), plan.Structure.size(), plan.Start), source_);
    for (const BlockCopy& block : plan.Blocks) {
      for (std::uint64_t done = 0; done < block.Length;) {
        const std::uint64_t chunk = std::min(block.Length - done, CopyChunk);
        Check(file.CopyFrom(levelFiles[block.Source], block.From + done, block.To + done, chunk), source_);
        // The level file, which no reader sees, gives back what has been copied: the
        // build needs room for the levels about once, not twice.
        levelFiles[block.Source].Discard(block.From + done, chunk);
        done += chunk;
      }
    }
    step(MergeStep::SyncAppend);
    Check(file.Sync(), source_);
    step(MergeStep::Link);
    Check(file.WriteAt(journal_.NewLink.data(), journal_.NewLink.size(), journal_.LinkPlace), source_);
    step(MergeStep::SyncLink);
    Check(file.Sync(), source_);
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
  step(MergeStep::RemoveWorkFiles);
  RemoveWorkFolder(source_);
  step(MergeStep::RemoveJournal);
  platform::DeleteFile(JournalOf(source_));
}

void AppendLinkBuild::Abandon() {
  if (!pending_) return;
  pending_ = false;
  // Nothing is written to the file before Finish.
  ConcludeAppend(source_, RecoveryOutcome::Obsolete);
}

}  // namespace kelvory
