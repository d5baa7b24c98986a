#include "pyramids/CopyStamp.h"

#include <memory>
#include <optional>

#include "platform/FileStream.h"
#include "platform/FileWriter.h"
#include "platform/Files.h"
#include "platform/TempFile.h"
#include "pyramids/AppendJournal.h"
#include "pyramids/Sidecars.h"
#include "pyramids/WorkingCopy.h"

namespace kelvory {
namespace {

constexpr const char* FirstLine = "kelvory copy stamp 1\n";
// Which level rule counted the levels; another rule makes other copies.
constexpr const char* LevelRuleName = "round(log2(shorter side / 100))";
// The bytes read at each end of a file for its fingerprint: a TIFF's header and first
// directories at the front, the last levels written (a summary of the whole image) at
// the back.
constexpr std::uint64_t EndBytes = 16 << 10;
// No stamp is longer: a longer file is none.
constexpr std::size_t LongestStamp = 64 << 10;

// A text field that cannot run into the next one, whatever bytes it holds.
std::string Field(const std::string& text) { return std::to_string(text.size()) + ':' + text; }

// The hash of the size and of both ends of the stream; none when a read comes short.
std::optional<std::uint64_t> Fingerprint(platform::Stream& contents) {
  const std::uint64_t size = contents.Size();
  const std::uint64_t span = size < EndBytes ? size : EndBytes;
  std::uint64_t hash = Fnv1a(reinterpret_cast<const std::uint8_t*>(&size), sizeof size);
  std::vector<std::uint8_t> bytes(span);
  for (const std::uint64_t at : {std::uint64_t{0}, size - span}) {
    contents.SetPosition(at);
    if (contents.Read(bytes.data(), bytes.size()) != bytes.size()) return std::nullopt;
    hash = Fnv1a(bytes.data(), bytes.size(), hash);
  }
  return hash;
}

std::optional<std::uint64_t> FingerprintOf(const std::string& path) {
  std::error_code error;
  const std::unique_ptr<platform::FileStream> contents = platform::FileStream::Open(path, error);
  if (error) return std::nullopt;
  return Fingerprint(*contents);
}

// "size S modified M changed C content F" for a version of the file at path.
std::optional<std::string> VersionOf(const std::string& path, std::optional<std::uint64_t> fingerprint) {
  std::error_code error;
  const platform::FileStamp stamp = platform::StampOf(path, error);
  if (error || !fingerprint) return std::nullopt;
  return "size " + std::to_string(stamp.Size) + " modified " + std::to_string(stamp.ModifiedSeconds) + '.' +
         std::to_string(stamp.ModifiedNanoseconds) + " changed " + std::to_string(stamp.ChangedSeconds) + '.' +
         std::to_string(stamp.ChangedNanoseconds) + " content " + std::to_string(*fingerprint);
}

// The copy's side of the stamp: the raster at destination and the travelling files
// beside it, by size and fingerprint. None when one of them cannot be read.
std::optional<std::string> CopySide(const std::string& destination, const std::vector<std::string>& travelling) {
  const std::optional<std::uint64_t> raster = FingerprintOf(destination);
  if (!raster) return std::nullopt;
  std::error_code error;
  std::string text = "copy size " + std::to_string(platform::StampOf(destination, error).Size) + " content " +
                     std::to_string(*raster) + '\n';
  if (error) return std::nullopt;
  const std::string folder = platform::FolderOf(destination);
  for (const std::string& name : travelling) {
    const std::string path = folder + name;
    text += "copy " + Field(name);
    // A kept .ovr is copied with the raster, but gone from a copy built with levels inside.
    if (!platform::FileExists(path)) {
      text += " none\n";
      continue;
    }
    const std::optional<std::uint64_t> fingerprint = FingerprintOf(path);
    const platform::FileStamp stamp = platform::StampOf(path, error);
    if (!fingerprint || error) return std::nullopt;
    text += " size " + std::to_string(stamp.Size) + " content " + std::to_string(*fingerprint) + '\n';
  }
  return text;
}

std::string ReadStamp(const std::string& path) {
  std::error_code error;
  const platform::FileWriter file = platform::FileWriter::Open(path, platform::FileWriter::Access::Read, error);
  if (error) return {};
  std::string text(LongestStamp, '\0');
  text.resize(file.ReadAt(text.data(), text.size(), 0, error));
  if (error || text.size() == LongestStamp) return {};
  return text;
}

}  // namespace

std::string CopyStampOf(const std::string& destination) {
  return platform::FolderOf(destination) + '.' + platform::FileNameOf(destination) + ".kelvory-stamp";
}

CopyOrigin OriginOf(const std::string& source, const std::vector<std::string>& sidecars,
                    const platform::FileClaim& claim, const BuildOptions& options, std::int32_t levels) {
  std::string text = FirstLine;
  text += "levels " + std::to_string(levels) + " by " + LevelRuleName + '\n';
  text += "resampling " + std::string(GdalName(options.Method)) + '\n';
  for (const auto& [key, value] : options.Config) text += "config " + Field(key) + ' ' + Field(value) + '\n';

  std::optional<std::uint64_t> fingerprint;
  std::error_code error;
  if (claim.Held()) {
    if (const std::unique_ptr<platform::Stream> contents = claim.Contents(error); !error) {
      fingerprint = Fingerprint(*contents);
    }
  } else {
    fingerprint = FingerprintOf(source);
  }
  const std::optional<std::string> version = VersionOf(source, fingerprint);
  if (!version) return {};
  text += "source " + *version + '\n';

  CopyOrigin origin;
  std::vector<std::string> travelling = sidecars;
  for (std::string& levelFile : ExternalLevelFilesOf(source)) travelling.push_back(std::move(levelFile));
  for (const std::string& path : travelling) {
    const std::optional<std::string> sidecar = VersionOf(path, FingerprintOf(path));
    if (!sidecar) return {};
    origin.Travelling.push_back(platform::FileNameOf(path));
    text += "with " + Field(origin.Travelling.back()) + ' ' + *sidecar + '\n';
  }
  origin.Record = std::move(text);
  return origin;
}

bool MadeFrom(const std::string& destination, const CopyOrigin& origin) {
  if (origin.Record.empty()) return false;
  const std::optional<std::string> copy = CopySide(destination, origin.Travelling);
  return copy && ReadStamp(CopyStampOf(destination)) == origin.Record + *copy;
}

std::error_code RemoveCopyStamp(const std::string& destination) {
  const std::string stamp = CopyStampOf(destination);
  if (!platform::FileExists(stamp)) return {};
  if (auto error = platform::DeleteFile(stamp)) return error;
  return platform::SyncFolder(platform::FolderOf(destination));
}

std::error_code WriteCopyStamp(const std::string& destination, const CopyOrigin& origin) {
  if (origin.Record.empty()) return {};
  const std::optional<std::string> copy = CopySide(destination, origin.Travelling);
  if (!copy) return std::make_error_code(std::errc::io_error);
  const std::string text = origin.Record + *copy;
  std::error_code error;
  platform::TempFile staged = platform::TempFile::Create(platform::FolderOf(destination), StagePrefix, error);
  if (error) return error;
  {
    platform::FileWriter file = platform::FileWriter::Open(staged.Path(), platform::FileWriter::Access::Update, error);
    if (!error) error = file.WriteAt(text.data(), text.size(), 0);
  }
  // Readable by whoever may read the copy, so that they can copy the folder whole.
  if (!error) error = platform::CopyPermissions(destination, staged.Path());
  // MoveIntoPlace syncs the file before its rename and the folder after it.
  return error ? error : MoveIntoPlace(staged, CopyStampOf(destination));
}

}  // namespace kelvory
