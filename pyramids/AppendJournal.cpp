#include "pyramids/AppendJournal.h"

#include <charconv>
#include <functional>
#include <map>
#include <random>
#include <sstream>

#include "platform/Errors.h"
#include "platform/Files.h"
#include "platform/ReplaceFile.h"
#include "pyramids/Reason.h"

namespace kelvory {
namespace {

constexpr const char* FirstLine = "kelvory append journal 2";
// No journal is longer: a longer file is none.
constexpr std::size_t LongestText = 4096;
// The entry count and entries of the largest directory a file of ours has (a BigTIFF's
// entries are 20 bytes; no file has many thousands of tags).
constexpr std::uint64_t LongestDirectory = std::uint64_t{1} << 20;

std::string Hex(const std::vector<std::uint8_t>& bytes) {
  static constexpr char Digits[] = "0123456789abcdef";
  std::string text;
  for (std::uint8_t byte : bytes) {
    text += Digits[byte >> 4];
    text += Digits[byte & 15];
  }
  return text;
}

std::optional<std::vector<std::uint8_t>> Bytes(const std::string& hex) {
  if (hex.size() % 2 != 0 || hex.size() > 2 * MarkerSize) return std::nullopt;
  std::vector<std::uint8_t> bytes;
  for (std::size_t i = 0; i < hex.size(); i += 2) {
    unsigned value = 0;
    const auto [end, error] = std::from_chars(hex.data() + i, hex.data() + i + 2, value, 16);
    if (error != std::errc() || end != hex.data() + i + 2) return std::nullopt;
    bytes.push_back(static_cast<std::uint8_t>(value));
  }
  return bytes;
}

std::optional<std::uint64_t> Number(const std::string& text) {
  std::uint64_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || text.empty()) return std::nullopt;
  return value;
}

std::optional<std::int64_t> SignedNumber(const std::string& text) {
  std::int64_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || text.empty()) return std::nullopt;
  return value;
}

std::uint64_t TextHash(const std::string& text) {
  return Fnv1a(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}

}  // namespace

std::string NewJournalOf(const std::string& journal) { return journal + ".new"; }

std::uint64_t Fnv1a(const std::uint8_t* bytes, std::size_t count, std::uint64_t seed) {
  std::uint64_t hash = seed;
  for (std::size_t i = 0; i < count; ++i) {
    hash ^= bytes[i];
    hash *= 0x100000001b3u;
  }
  return hash;
}

std::string FormatJournal(const AppendJournal& journal) {
  std::ostringstream body;
  body << FirstLine << '\n'
       << "device " << journal.Identity.Device << '\n'
       << "index " << journal.Identity.Index << '\n'
       << "length " << journal.OriginalLength << '\n'
       << "directory " << journal.LastDirectory << '\n'
       << "fingerprint " << journal.Fingerprint << '\n'
       << "link " << journal.LinkPlace << '\n'
       << "old " << Hex(journal.OldLink) << '\n'
       << "new " << Hex(journal.NewLink) << '\n'
       << "marker " << Hex(journal.Marker) << '\n'
       << "accessed " << journal.Times.Accessed << '\n'
       << "modified " << journal.Times.Modified << '\n';
  // The last line vouches for the others: a journal cut short by a crash lacks it.
  const std::string text = body.str();
  return text + "check " + std::to_string(TextHash(text)) + '\n';
}

std::optional<AppendJournal> ParseJournal(const std::string& text) {
  const std::size_t check = text.rfind("check ");
  if (check == std::string::npos || text.empty() || text.back() != '\n') return std::nullopt;
  const auto sum = Number(text.substr(check + 6, text.size() - check - 7));
  if (!sum || *sum != TextHash(text.substr(0, check))) return std::nullopt;

  std::istringstream lines(text.substr(0, check));
  std::string line;
  if (!std::getline(lines, line) || line != FirstLine) return std::nullopt;
  std::map<std::string, std::string> fields;
  while (std::getline(lines, line)) {
    const std::size_t space = line.find(' ');
    if (space == std::string::npos) return std::nullopt;
    fields[line.substr(0, space)] = line.substr(space + 1);
  }
  const auto device = Number(fields["device"]);
  const auto index = Number(fields["index"]);
  const auto length = Number(fields["length"]);
  const auto directory = Number(fields["directory"]);
  const auto fingerprint = Number(fields["fingerprint"]);
  const auto place = Number(fields["link"]);
  const auto oldLink = Bytes(fields["old"]);
  const auto newLink = Bytes(fields["new"]);
  const auto marker = Bytes(fields["marker"]);
  const auto accessed = SignedNumber(fields["accessed"]);
  const auto modified = SignedNumber(fields["modified"]);
  if (!device || !index || !length || !directory || !fingerprint || !place || !oldLink || !newLink || !marker ||
      !accessed || !modified)
    return std::nullopt;
  if (oldLink->size() != newLink->size() || (oldLink->size() != 4 && oldLink->size() != 8)) return std::nullopt;
  if (marker->size() != MarkerSize) return std::nullopt;
  // The last directory's entries lie before its link, and no directory's take more.
  if (*directory > *place || *place > *length || *place - *directory > LongestDirectory) return std::nullopt;
  return AppendJournal{{*device, *index}, *length, *directory, *fingerprint, *place, *oldLink, *newLink, *marker,
                       {*accessed, *modified}};
}

std::vector<std::uint8_t> NewMarker() {
  std::random_device source;
  std::vector<std::uint8_t> marker(MarkerSize);
  for (std::uint8_t& byte : marker) byte = static_cast<std::uint8_t>(source());
  return marker;
}

void WriteJournal(const std::string& path, const AppendJournal& journal) {
  const std::string text = FormatJournal(journal);
  // Recovery must be able to read back whatever a build records.
  if (ParseJournal(text) != journal) Refuse(ReasonCode::CannotRecordBuild, {path});
  const std::string staged = NewJournalOf(path);
  platform::DeleteFile(staged);
  // Each step runs once the one before has succeeded; the first that fails is named.
  std::error_code error;
  FailedStep failed = FailedStep::None;
  const auto take = [&](FailedStep step, const std::function<std::error_code()>& action) {
    if (!error && (error = action())) failed = step;
  };
  {
    platform::FileWriter file;
    take(FailedStep::JournalCreate, [&] {
      std::error_code opened;
      file = platform::FileWriter::Open(staged, platform::FileWriter::Access::CreateNew, opened);
      return opened;
    });
    take(FailedStep::JournalWrite, [&] { return file.WriteAt(text.data(), text.size(), 0); });
    take(FailedStep::JournalSync, [&] { return file.Sync(); });
  }
  take(FailedStep::JournalReplace, [&] { return platform::Replace(staged, path); });
  if (error) {
    platform::DeleteFile(staged);
    RefuseAt(failed, ReasonCode::CannotWriteRecord, {path}, error);
  }
}

std::optional<AppendJournal> ReadJournal(const std::string& path) {
  std::error_code error;
  const platform::FileWriter file = platform::FileWriter::Open(path, platform::FileWriter::Access::Read, error);
  if (error) return std::nullopt;
  std::string text(LongestText, '\0');
  text.resize(file.ReadAt(text.data(), text.size(), 0, error));
  if (error || text.size() == LongestText) return std::nullopt;
  return ParseJournal(text);
}

}  // namespace kelvory
