// Loading the four Ogg Vorbis libraries: a missing library or entry point is named,
// the libraries being checked in a fixed order.

#include <gtest/gtest.h>

#include "tests/audio/codecs/vorbis/VorbisTestSupport.h"

using namespace testsupport;
using namespace vorbistest;

TEST(VorbisLibrary, MissingLibrariesAreNamedInCheckingOrder) {
  const std::string raw = MakeRaw("lib.raw", 16, 2, 44100, 0.2);
  const std::string ogg = OggEncode(raw, 16, 2, 44100, TempPath("lib.ogg"));
  TComponentPtr<TRawIn> rawIn(new TRawIn(nullptr));
  rawIn->SetFileName(raw);
  TComponentPtr<TVorbisOut> out(new TVorbisOut(nullptr));
  out->SetInput(rawIn.get());
  out->SetFileName(TempPath("lib-out.ogg"));
  TComponentPtr<TVorbisIn> in(new TVorbisIn(nullptr));
  in->SetFileName(ogg);
  {
    // vorbisfile is checked before vorbisenc, for the input and the output alike.
    TLibraryName enc(VorbisEncLib, "libsonvix-missing-vorbisenc.so.2");
    TLibraryName file(VorbisFileLib, "libsonvix-missing-vorbisfile.so.3");
    EXPECT_EQ(RunOutput(*out), "libsonvix-missing-vorbisfile.so.3 library could not be loaded.");
    EXPECT_EQ(InitError(*in), "libsonvix-missing-vorbisfile.so.3 library could not be loaded.");
    EXPECT_FALSE(rawIn->Busy());
  }
  {
    TLibraryName o(OggLib, "libsonvix-missing-ogg.so.0");
    TLibraryName v(VorbisLib, "libsonvix-missing-vorbis.so.0");
    EXPECT_EQ(RunOutput(*out), "libsonvix-missing-ogg.so.0 library could not be loaded.");
  }
  {
    TLibraryName enc(VorbisEncLib, "libsonvix-missing-vorbisenc.so.2");
    EXPECT_EQ(RunOutput(*out), "libsonvix-missing-vorbisenc.so.2 library could not be loaded.");
    EXPECT_FALSE(in->Valid());
  }
  {
    // A library that loads but is not the one wanted.
    TLibraryName v(VorbisLib, "libm.so.6");
    EXPECT_EQ(RunOutput(*out), "Function \"vorbis_info_init\" not found in libm.so.6 library.");
  }
  // The real libraries are loaded again on the next need.
  EXPECT_EQ(RunOutput(*out), "");
  EXPECT_TRUE(ReadAll(*in) == OggDecode(ogg));
}
