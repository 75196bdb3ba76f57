#include "platform/rtl/DynLib.h"

#include <gtest/gtest.h>

#include <fstream>

#include "platform/rtl/FileUtils.h"

namespace {

const char* const ModuleName = "librtltestmodule.so";

}  // namespace

TEST(DynLib, LoadsPlainNameFromProgramFolderAndBinds) {
  ASSERT_TRUE(FileExists(ProgramDir() + ModuleName)) << "test module not built beside the program";
  TDynLib lib;
  ASSERT_TRUE(lib.Load(ModuleName)) << lib.LastError();
  EXPECT_TRUE(lib.Loaded());
  EXPECT_EQ(lib.FileName(), ModuleName);
  EXPECT_EQ(lib.LoadedPath(), ProgramDir() + ModuleName);
  int (*add)(int, int) = nullptr;
  ASSERT_TRUE(lib.Bind("RtlTestAdd", add));
  EXPECT_EQ(add(2, 3), 1005);
  int (*missing)(int) = reinterpret_cast<int (*)(int)>(&lib);
  EXPECT_FALSE(lib.Bind("NoSuchEntryPoint", missing));
  EXPECT_EQ(missing, nullptr);
  EXPECT_EQ(lib.Symbol("NoSuchEntryPoint"), nullptr);
  lib.Unload();
  EXPECT_FALSE(lib.Loaded());
  EXPECT_EQ(lib.Symbol("RtlTestAdd"), nullptr);
  EXPECT_TRUE(lib.LoadedPath().empty());
}

TEST(DynLib, LoadsFromSystemSearchPath) {
  TDynLib lib;
  ASSERT_TRUE(lib.Load("libm.so.6")) << lib.LastError();
  ASSERT_FALSE(lib.LoadedPath().empty());
  EXPECT_EQ(lib.LoadedPath()[0], '/');
  EXPECT_EQ(ExtractFileName(lib.LoadedPath()), "libm.so.6");
  EXPECT_NE(ExtractFilePath(lib.LoadedPath()), ProgramDir());
  double (*cosine)(double) = nullptr;
  ASSERT_TRUE(lib.Bind("cos", cosine));
  EXPECT_EQ(cosine(0.0), 1.0);
  // Loading again replaces the previous library.
  ASSERT_TRUE(lib.Load(ProgramDir() + ModuleName)) << lib.LastError();
  EXPECT_EQ(lib.LoadedPath(), ProgramDir() + ModuleName);
  EXPECT_NE(lib.Symbol("RtlTestAdd"), nullptr);
}

TEST(DynLib, FailureNamesTheLibrary) {
  TDynLib lib;
  EXPECT_FALSE(lib.Load("libsonvix-no-such-lib.so"));
  EXPECT_FALSE(lib.Loaded());
  EXPECT_NE(lib.LastError().find("libsonvix-no-such-lib.so"), std::string::npos) << lib.LastError();
  EXPECT_TRUE(lib.LoadedPath().empty());

  const std::string bogus = CreateUniqueFile(GetTempDirectory(), "rtl-dynlib-", ".so");
  std::ofstream(bogus) << "not an ELF file";
  EXPECT_FALSE(lib.Load(bogus));
  EXPECT_NE(lib.LastError().find(bogus), std::string::npos) << lib.LastError();
  DeleteFile(bogus);

  // An empty name must not hand back the program itself.
  EXPECT_FALSE(lib.Load(""));
  EXPECT_FALSE(lib.LastError().empty());
}

TEST(DynLib, FreeFunctionsOverRawHandles) {
  void* h = LoadLibrary(ModuleName);
  ASSERT_NE(h, nullptr);
  auto add = reinterpret_cast<int (*)(int, int)>(GetProcAddress(h, "RtlTestAdd"));
  ASSERT_NE(add, nullptr);
  EXPECT_EQ(add(-1000, 7), 7);
  EXPECT_EQ(GetProcAddress(h, "NoSuchEntryPoint"), nullptr);
  EXPECT_EQ(GetProcAddress(nullptr, "RtlTestAdd"), nullptr);
  FreeLibrary(h);
  FreeLibrary(nullptr);
  EXPECT_EQ(LoadLibrary("libsonvix-no-such-lib.so"), nullptr);
  EXPECT_EQ(LoadLibrary(""), nullptr);
}
