// Loading codec libraries by file name.

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "audio/core/TSL_Classes.h"
#include "audio/core/TSL_CodecLib.h"

namespace {

double (*Cosine)(double) = nullptr;
void (*Nothing)() = nullptr;
std::atomic<int> Binds{0};

void BindMath(TCodecLibrary& L) {
  ++Binds;
  L.Bind("cos", Cosine);
  L.Bind("no_such_entry_point", Nothing);
}

}  // namespace

TEST(CodecLibTest, LoadsOnceBindsAndRecordsMissingEntryPoints) {
  TCodecLibrary lib("libm.so.6");
  Binds = 0;
  std::vector<std::thread> ts;
  for (int i = 0; i < 8; ++i) ts.emplace_back([&] { EXPECT_TRUE(lib.Load(BindMath)); });
  for (auto& t : ts) t.join();
  EXPECT_EQ(Binds, 1);  // bound once, whatever the number of threads
  ASSERT_NE(Cosine, nullptr);
  EXPECT_EQ(Cosine(0.0), 1.0);
  EXPECT_TRUE(lib.IsMissing("no_such_entry_point"));
  EXPECT_FALSE(lib.IsMissing("cos"));
  EXPECT_THROW(lib.SetFileName("other.so"), EAuException);  // in use
}

TEST(CodecLibTest, MissingLibraryNamesTheFileTried) {
  TCodecLibrary lib("libFLAC.so.12");
  lib.SetFileName("libsonvix-missing.so.1");
  EXPECT_FALSE(lib.Load(BindMath));
  try {
    lib.Require(BindMath);
    ADD_FAILURE();
  } catch (const EAuException& E) {
    EXPECT_STREQ(E.what(), "libsonvix-missing.so.1 library could not be loaded.");
  }
  try {
    lib.Require(BindMath, " library could not be loaded");
    ADD_FAILURE();
  } catch (const EAuException& E) {
    EXPECT_STREQ(E.what(), "libsonvix-missing.so.1 library could not be loaded");
  }
  lib.SetFileName("libm.so.6");  // a failed load is tried again on the next need
  EXPECT_TRUE(lib.Load(BindMath));
}
