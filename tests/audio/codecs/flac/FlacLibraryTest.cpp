// Loading libFLAC: a missing library or entry point is named in the error.

#include <gtest/gtest.h>

#include "tests/audio/codecs/flac/FlacTestSupport.h"

using namespace testsupport;
using namespace flactest;

TEST(FlacLibrary, MissingLibraryAndEntryPointAreNamed) {
  const std::string raw = MakeRaw("lib.raw", 16, 2, 44100, 0.2);
  const std::string flac = TempPath("lib.flac");
  FlacEncode(raw, 16, 2, 44100, flac);
  TComponentPtr<TRawIn> rawIn(new TRawIn(nullptr));
  rawIn->SetFileName(raw);
  TComponentPtr<TFLACOut> out(new TFLACOut(nullptr));
  out->SetInput(rawIn.get());
  out->SetFileName(TempPath("lib-out.flac"));
  TComponentPtr<TFLACIn> in(new TFLACIn(nullptr));
  in->SetFileName(flac);
  {
    TLibraryName name(FLACLib, "libsonvix-missing-flac.so.12");
    EXPECT_EQ(RunOutput(*out), "libsonvix-missing-flac.so.12 library could not be loaded.");
    EXPECT_EQ(InitError(*in), "libsonvix-missing-flac.so.12 library could not be loaded.");
    EXPECT_FALSE(in->Valid());
    EXPECT_FALSE(rawIn->Busy());
  }
  {
    // A library that loads but is not libFLAC.
    TLibraryName name(FLACLib, "libm.so.6");
    EXPECT_EQ(RunOutput(*out), "Function \"FLAC__stream_encoder_new\" not found in libm.so.6 library.");
    EXPECT_EQ(InitError(*in), "Function \"FLAC__stream_encoder_new\" not found in libm.so.6 library.");
  }
  // The real library is loaded again on the next need.
  EXPECT_EQ(RunOutput(*out), "");
  EXPECT_TRUE(in->Valid());
  EXPECT_TRUE(ReadAll(*in) == ReadFile(raw));
}
