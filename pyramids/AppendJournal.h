#pragma once
// The record beside a file whose levels are being appended: what undoing an unfinished
// build needs, written and synced before anything else happens to the file.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/FileWriter.h"

namespace kelvory {

struct AppendJournal {
  // Which file, and how it was before: its length, and a fingerprint of its header and
  // of the entries of the directory whose next-directory offset becomes the link, which
  // start at LastDirectory.
  platform::FileIdentity Identity;
  std::uint64_t OriginalLength = 0;
  std::uint64_t LastDirectory = 0;
  std::uint64_t Fingerprint = 0;
  // The link: where it lies, its bytes before and after.
  std::uint64_t LinkPlace = 0;
  std::vector<std::uint8_t> OldLink;
  std::vector<std::uint8_t> NewLink;
  // Random bytes the build writes first at OriginalLength, before anything else there:
  // what lies past that length is the build's only where they stand.
  std::vector<std::uint8_t> Marker;
  // The file's times before the build, which undoing it gives back.
  platform::FileTimes Times;

  bool operator==(const AppendJournal&) const = default;
};

// The journal's text, and back; a text that is not a whole journal (torn by a crash
// while it was written, or not one at all) gives none.
std::string FormatJournal(const AppendJournal& journal);
std::optional<AppendJournal> ParseJournal(const std::string& text);

// The number of marker bytes.
inline constexpr std::size_t MarkerSize = 16;
// New random marker bytes.
std::vector<std::uint8_t> NewMarker();

// Writes the journal at path, whole or not at all: written beside it, synced, renamed
// over it, the folder synced. Raises BuildError when it cannot.
void WriteJournal(const std::string& path, const AppendJournal& journal);

// Where WriteJournal writes a journal before its rename.
std::string NewJournalOf(const std::string& journal);

// The journal at path; none when there is no whole journal there.
std::optional<AppendJournal> ReadJournal(const std::string& path);

// The 64-bit FNV-1a hash of bytes, continuing from seed.
std::uint64_t Fnv1a(const std::uint8_t* bytes, std::size_t count, std::uint64_t seed = 0xcbf29ce484222325u);

}  // namespace kelvory
