// kelvory-batch.exe as a user starts it, with the stand-in in gdal\gdaladdo.exe beside
// it and a hand-made TIFF in a folder with spaces and Cyrillic letters.
#include <gtest/gtest.h>

#include "WindowsTestSupport.h"
#include "platform/MemoryFile.h"
#include "platform/Process.h"

namespace kelvory::wintest {
namespace {

// A 512x512 8-bit grey image, big enough to want levels, in one strip, little-endian classic TIFF.
std::string GreyTiff() {
  constexpr std::uint32_t side = 512, pixels = side * side;
  std::string bytes = "II*";
  bytes += '\0';
  auto put = [&bytes](std::uint32_t value, int width) {
    for (int i = 0; i < width; ++i) bytes += static_cast<char>((value >> (8 * i)) & 0xFF);
  };
  put(8 + pixels, 4);
  for (std::uint32_t i = 0; i < pixels; ++i) bytes += static_cast<char>(i % 251);
  const std::uint32_t entries[][3] = {{256, 4, side}, {257, 4, side}, {258, 3, 8},   {259, 3, 1},     {262, 3, 1},
                                      {273, 4, 8},    {277, 3, 1},    {278, 4, side}, {279, 4, pixels}};
  put(std::size(entries), 2);
  for (const auto& e : entries) {
    put(e[0], 2);
    put(e[1], 2);
    put(1, 4);
    put(e[2], 4);
  }
  put(0, 4);
  return bytes;
}

struct BatchRun {
  int exitCode = -1;
  std::string output;
};

BatchRun RunBatch(const std::string& program, const std::vector<std::string>& arguments) {
  std::error_code error;
  auto output = platform::MemoryFile::Create("batch-output", error);
  EXPECT_FALSE(error);
  platform::Process process = platform::Process::Start(program, arguments, output->Fd(), output->Fd(), error);
  EXPECT_FALSE(error) << error.message();
  BatchRun run;
  if (process.Wait(60000, error) != platform::WaitResult::Ended) return run;
  run.exitCode = process.Exit().Code;
  run.output.resize(static_cast<std::size_t>(output->Size()));
  output->SetPosition(0);
  run.output.resize(output->Read(run.output.data(), run.output.size()));
  return run;
}

TEST(BatchWin32, AFailingToolLeavesTheSourceAsItWasAndAMissingToolIsNamed) {
  ScratchFolder scratch;
  const fs::path programFolder = scratch.Path() / "Kelvory";
  fs::create_directories(programFolder / "gdal");
  const std::string batch = Utf8(programFolder / "kelvory-batch.exe");
  fs::copy_file(FromUtf8(platform::ProgramFolder() + "kelvory-batch.exe"), FromUtf8(batch));
  const std::string tool = Utf8(programFolder / "gdal" / "gdaladdo.exe");
  fs::copy_file(FromUtf8(StandInTool()), FromUtf8(tool));
  fs::create_directories(scratch.Path() / FromUtf8("Карты 2024"));
  const std::string source = scratch.File("Карты 2024\\снимок 1.tif");
  const std::string missing = scratch.File("Карты 2024\\нет такого.tif");
  const std::string image = GreyTiff();
  WriteText(source, image);

  const BatchRun failed = RunBatch(batch, {source, missing});
  EXPECT_EQ(failed.exitCode, 1);
  // One line a file, in the order they settle.
  for (const std::string& line : {"failed: " + source + ": ERROR 1: the stand-in makes no overviews\r\n",
                                  "not found: " + missing + "\r\n"})
    EXPECT_NE(failed.output.find(line), std::string::npos) << failed.output;
  EXPECT_EQ(ReadText(source), image);
  EXPECT_EQ(std::distance(fs::directory_iterator(scratch.Path() / FromUtf8("Карты 2024")), fs::directory_iterator()),
            1);

  fs::remove(FromUtf8(tool));
  const BatchRun noTool = RunBatch(batch, {source});
  EXPECT_EQ(noTool.exitCode, 2);
  EXPECT_NE(noTool.output.find("looked for " + tool), std::string::npos) << noTool.output;
  EXPECT_EQ(ReadText(source), image);
}

}  // namespace
}  // namespace kelvory::wintest
