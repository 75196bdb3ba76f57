#include "platform/ffmpeg/FFmpegLib.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>

#include "platform/rtl/FileUtils.h"
#include "platform/rtl/SysUtils.h"
#include "tests/support/Tools.h"

namespace {

// The libraries the program's file names as needed, as readelf lists them.
std::vector<std::string> NeededLibraries(const std::string& Program) {
  std::istringstream dynamic(testsupport::Shell("readelf -d " + testsupport::Quote(Program)));
  std::vector<std::string> needed;
  for (std::string line; std::getline(dynamic, line);) {
    const size_t open = line.find("(NEEDED)") == std::string::npos ? std::string::npos : line.find('[');
    if (open != std::string::npos) needed.push_back(line.substr(open + 1, line.find(']', open) - open - 1));
  }
  return needed;
}

}  // namespace

// FFmpeg and libcurl map about a hundred libraries, and set some of them up, that
// nothing at start-up needs: the program loads them on first use instead of at its start.
TEST(FFmpegLib, TheProgramLinksNeitherItNorCurl) {
  REQUIRE_TOOL("readelf");
  const std::vector<std::string> needed = NeededLibraries(ProgramDir() + "sonvix");
  ASSERT_THAT(needed, testing::Contains("libQt6Widgets.so.6"));
  for (const std::string& lib : needed)
    for (const char* lazy : {"libav", "libswresample", "libcurl"}) EXPECT_FALSE(lib.starts_with(lazy)) << lib;
}

TEST(FFmpegLib, NamesTheLibraryThatCannotBeLoadedOrLacksAnEntryPoint) {
  const TFFmpegFiles sonames = FFmpegSonames();
  TFFmpegFiles missing = sonames;
  missing.AvCodec = "libavcodec.so.0-sonvix-missing";
  TFFmpegFiles lacking = sonames;
  lacking.AvFormat = sonames.AvUtil;
  const struct {
    TFFmpegFiles Files;
    std::string Message;
  } cases[] = {
      {missing, "libavcodec.so.0-sonvix-missing library could not be loaded."},
      {lacking, "Function \"avformat_alloc_context\" not found in " + sonames.AvUtil + " library."},
  };
  for (const auto& c : cases) {
    TFFmpeg entries;
    try {
      LoadFFmpeg(c.Files, entries);
      ADD_FAILURE() << "no error for " << c.Message;
    } catch (const Exception& E) {
      EXPECT_EQ(E.Message(), c.Message);
    }
  }
  TFFmpeg entries;
  EXPECT_NO_THROW(LoadFFmpeg(sonames, entries));
}
