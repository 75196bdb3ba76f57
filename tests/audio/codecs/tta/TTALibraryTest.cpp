// The True Audio library as the components see it: missing library, missing entry
// points, and a library that is not loaded.

#include <gtest/gtest.h>

#include <fcntl.h>

#include "tests/audio/codecs/tta/TTAComponentTools.h"

using namespace testsupport;
using namespace TTAComp;

namespace {

// Each test points the process-wide library elsewhere and puts it back afterwards.
class TTALibraryTest : public ::testing::Test {
protected:
  void TearDown() override {
    TTALibrary().Unload();
    TTALibrary().SetFileName("libTTALib.so");
  }
  void PointAt(const std::string& Name) {
    TTALibrary().Unload();
    TTALibrary().SetFileName(Name);
  }
};

std::string OpenMessage(const std::string& File) {
  TComponentPtr<TTTAIn> in(new TTTAIn(nullptr));
  in->SetFileName(File);
  try {
    in->OpenFile();
  } catch (const ETTAException& E) {
    return std::string("ETTAException: ") + E.what();
  } catch (const EAuException& E) {
    return std::string("EAuException: ") + E.what();
  }
  return "opened";
}

std::string EncodeMessage(const TTempDir& Dir) {
  const std::string raw = Dir.Path("in.raw");
  WriteFile(raw, std::vector<uint8_t>(8000, 0x22));
  return EncodeRaw(raw, 16, 2, 44100, Dir.Path("out.tta"));
}

}  // namespace

TEST_F(TTALibraryTest, AMissingLibraryIsNamedByTheFileTried) {
  TTempDir dir;
  WriteFile(dir.Path("x.tta"), std::vector<uint8_t>(100, 0));
  PointAt("libsonvix-no-tta.so");
  EXPECT_EQ(OpenMessage(dir.Path("x.tta")), "EAuException: libsonvix-no-tta.so library could not be loaded.");
  EXPECT_EQ(EncodeMessage(dir), "libsonvix-no-tta.so library could not be loaded.");
  // Nothing was created for the output.
  EXPECT_FALSE(std::filesystem::exists(dir.Path("out.tta")));
}

TEST_F(TTALibraryTest, AMissingEntryPointIsNamedByItsLabel) {
  TTempDir dir;
  WriteFile(dir.Path("x.tta"), std::vector<uint8_t>(100, 0));
  // A library that loads but has none of the entry points.
  PointAt("libm.so.6");
  EXPECT_EQ(OpenMessage(dir.Path("x.tta")),
            "ETTAException: Function \"TTADecoder::TTADecoder\" not found in TrueAudio library!");
  EXPECT_EQ(EncodeMessage(dir), "Function \"TTAEncoder::TTAEncoder\" not found in TrueAudio library!");
}

TEST_F(TTALibraryTest, TheWrapperRefusesToWorkWithoutTheLibrary) {
  TTempDir dir;
  WriteFile(dir.Path("x.tta"), std::vector<uint8_t>(100, 0));
  const int fd = open(dir.Path("x.tta").c_str(), O_RDWR);
  ASSERT_GE(fd, 0);
  TTALibrary().Unload();
  try {
    TTTADecoder d(fd);
    ADD_FAILURE() << "constructed";
  } catch (const ETTAException& E) {
    EXPECT_STREQ(E.what(), "TrueAudio library \"libTTALib.so\" not loaded!");
  }
  try {
    TTTAEncoder e(fd, 0, 44100, 16, 2, 1, false);
    ADD_FAILURE() << "constructed";
  } catch (const ETTAException& E) {
    EXPECT_STREQ(E.what(), "TrueAudio library \"libTTALib.so\" not loaded!");
  }
  // Loaded, the library's own failures come out as ETTAException too.
  RequireTTALib();
  try {
    TTTADecoder d(fd);
    ADD_FAILURE() << "a file of zeros was accepted";
  } catch (const ETTAException& E) {
    EXPECT_STRNE(E.what(), "");
  }
  EXPECT_THROW(TTTADecoder(-1), ETTAException);
  EXPECT_THROW(TTTAEncoder(-1, 0, 44100, 16, 2, 1, false), ETTAException);
  close(fd);
}
