// The WavPack library missing, or missing entry points. The real library is put back
// after each test.

#include <gtest/gtest.h>

#include "audio/codecs/wavpack/TSL_WavPack.h"
#include "platform/rtl/FileUtils.h"
#include "tests/support/Files.h"
#include "tests/support/Pipeline.h"
#include "tests/support/Tools.h"

using namespace testsupport;

namespace {

void UseLibrary(const std::string& FileName) {
  WavpackLibrary().Unload();
  WavpackLibrary().SetFileName(FileName);
}

class WavPackLibraryTest : public testing::Test {
protected:
  void TearDown() override { UseLibrary("libwavpack.so.1"); }
};

}  // namespace

TEST_F(WavPackLibraryTest, MissingLibraryIsReportedByBothComponents) {
  RequireTools({"sox"});
  TTempDir dir;
  MakeSource(dir, "src", 16, 2, 44100, 0.2);
  UseLibrary("libsonvix-no-wavpack.so.1");

  TComponentPtr<TRawIn> raw(new TRawIn(nullptr));
  raw->SetFileName(dir.Path("src.raw"));
  TComponentPtr<TWVOut> out(new TWVOut(nullptr));
  out->SetInput(raw.get());
  out->SetFileName(dir.Path("out.wv"));
  EXPECT_EQ(RunOutput(*out), "libsonvix-no-wavpack.so.1 library could not be loaded");

  TComponentPtr<TWVIn> in(new TWVIn(nullptr));
  in->SetFileName(dir.Path("out.wv"));
  EXPECT_FALSE(in->Valid());
  try {
    in->OpenFile();
    ADD_FAILURE();
  } catch (const EAuException& E) {
    EXPECT_STREQ(E.what(), "libsonvix-no-wavpack.so.1 library could not be loaded");
  }
  // The wrapper refuses every call while the library is not there.
  TMemoryStream s;
  try {
    TWavpackEncoder enc(&s, nullptr);
    ADD_FAILURE();
  } catch (const EWavpackException& E) {
    EXPECT_STREQ(E.what(), "WavPack library \"libsonvix-no-wavpack.so.1\" not loaded!");
  }
  EXPECT_THROW(TWavpackDecoder(nullptr, nullptr, 0), EWavpackException);  // "AStream is nil!"
}

TEST_F(WavPackLibraryTest, MissingEntryPointsAreNamed) {
  RequireTools({"sox"});
  TTempDir dir;
  MakeSource(dir, "src", 16, 2, 44100, 0.2);
  UseLibrary("libm.so.6");  // loads, but has none of the entry points
  TComponentPtr<TRawIn> raw(new TRawIn(nullptr));
  raw->SetFileName(dir.Path("src.raw"));
  TComponentPtr<TWVOut> out(new TWVOut(nullptr));
  out->SetInput(raw.get());
  out->SetFileName(dir.Path("out.wv"));
  EXPECT_EQ(RunOutput(*out), "Function \"WavpackOpenFileOutput\" not found in WavPack library!");
  EXPECT_FALSE(FileExists(dir.Path("out.wv")));  // a refused set-up leaves no file

  TComponentPtr<TWVIn> in(new TWVIn(nullptr));
  WriteFile(dir.Path("in.wv"), std::string("wvpk"));
  in->SetFileName(dir.Path("in.wv"));
  try {
    in->OpenFile();
    ADD_FAILURE();
  } catch (const EWavpackException& E) {
    EXPECT_STREQ(E.what(), "Function \"WavpackOpenFileInputEx64\" not found in WavPack library!");
  }
  EXPECT_FALSE(in->Valid());
}
