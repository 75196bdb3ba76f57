// libcdrip.so loaded by file name from the test's folder and driven through its CR_
// entry points, with CD images as drives.

#include <dlfcn.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/codecs/cdrip/CDRip.h"
#include "tests/support/CDTestDisc.h"

namespace {

namespace fs = std::filesystem;

// An entry point of the loaded library, with its declared type.
#define CR(Name) Fn<decltype(&Name)>(#Name)

class CDRipLibraryTest : public testing::Test {
protected:
  void SetUp() override {
    Dir = Folder.Root();
    MakeTestDisc(Dir, Disc);
    std::ofstream(Dir / "nodisc.cue") << "not a disc\n";
    setenv("SONVIX_CD_IMAGES", (Disc.Cue + ":" + (Dir / "nodisc.cue").string()).c_str(), 1);
    const fs::path lib = fs::read_symlink("/proc/self/exe").parent_path() / "libcdrip.so";
    Handle = dlopen(lib.c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(Handle, nullptr) << dlerror();
  }
  void TearDown() override {
    // Left loaded, as the engine leaves it.
    if (Handle) CR(CR_DeInit)();
    unsetenv("SONVIX_CD_IMAGES");
  }
  template <class F>
  F Fn(const char* Name) {
    return reinterpret_cast<F>(dlsym(Handle, Name));
  }

  testsupport::TTempDir Folder;
  fs::path Dir;
  TCDTestDisc Disc;
  void* Handle = nullptr;
};

TEST_F(CDRipLibraryTest, EntryPointsTheEngineDoesNotUseSaySo) {
  int32_t v = 0;
  EXPECT_EQ(CR(CR_PlayTrack)(1), CDEX_NOTSUPPORTED);
  EXPECT_EQ(CR(CR_LockCD)(1), CDEX_NOTSUPPORTED);
  EXPECT_EQ(CR(CR_GetPeakValue)(&v), CDEX_NOTSUPPORTED);
  EXPECT_EQ(CR(CR_SaveSettings)(), CDEX_NOTSUPPORTED);
  EXPECT_EQ(CR(CR_ScanForC2Errors)(0, 10, &v, &v), CDEX_NOTSUPPORTED);
  EXPECT_EQ(CR(CR_SetTransportLayer)(1), CDEX_NOTSUPPORTED);
}

TEST_F(CDRipLibraryTest, SettingsChooseTheActiveDrive) {
  const std::string ini = (Dir / "cdr.ini").string();
  std::ofstream(ini) << "[Other]\nnActive=0\n[CD-ROM]\n nActive = 1 \n";
  ASSERT_EQ(CR(CR_Init)(ini.c_str()), CDEX_OK);
  EXPECT_EQ(CR(CR_GetActiveCDROM)(), 1);
  EXPECT_EQ(CR(CR_GetNumCDROM)(), 2);
  // A missing file leaves the defaults.
  ASSERT_EQ(CR(CR_Init)((Dir / "none.ini").c_str()), CDEX_OK);
  EXPECT_EQ(CR(CR_GetActiveCDROM)(), 0);
  EXPECT_EQ(CR(CR_SetActiveCDROM)(2), CDEX_ERROR);
  EXPECT_EQ(CR(CR_GetActiveCDROM)(), 0);
}

TEST_F(CDRipLibraryTest, TableOfContentsAndMedia) {
  ASSERT_EQ(CR(CR_Init)(nullptr), CDEX_OK);
  int32_t loaded = 0;
  EXPECT_EQ(CR(CR_IsMediaLoaded)(&loaded), CDEX_OK);
  EXPECT_EQ(loaded, 1);
  EXPECT_EQ(CR(CR_IsAudioPlaying)(), 0);
  CDROMPARAMS params;
  ASSERT_EQ(CR(CR_GetCDROMParameters)(&params), CDEX_OK);
  EXPECT_EQ(std::string(params.lpszCDROMID), Disc.Cue);
  ASSERT_EQ(CR(CR_ReadToc)(), CDEX_OK);
  ASSERT_EQ(CR(CR_GetNumTocEntries)(), 4);
  TOCENTRY e;
  for (int i = 0; i < 4; ++i) {
    ASSERT_EQ(CR(CR_GetTocEntry)(i, &e), CDEX_OK);
    EXPECT_EQ(e.dwStartSector, Disc.Starts[i]);
    EXPECT_EQ(e.btTrackNumber, i + 1);
    EXPECT_EQ(e.btSession, 1);
  }
  ASSERT_EQ(CR(CR_GetTocEntry)(2, &e), CDEX_OK);
  EXPECT_EQ(e.btFlag, 0x14);
  ASSERT_EQ(CR(CR_GetTocEntry)(4, &e), CDEX_OK);
  EXPECT_EQ(e.btTrackNumber, 0xAA);
  EXPECT_EQ(e.dwStartSector, Disc.LeadOut);
  EXPECT_EQ(CR(CR_GetTocEntry)(5, &e), CDEX_ERROR);

  ASSERT_EQ(CR(CR_SetActiveCDROM)(1), CDEX_OK);
  EXPECT_EQ(CR(CR_IsMediaLoaded)(&loaded), CDEX_OK);
  EXPECT_EQ(loaded, 0);
  EXPECT_EQ(CR(CR_ReadToc)(), CDEX_ERROR);
  EXPECT_EQ(CR(CR_GetNumTocEntries)(), 0);
}

TEST_F(CDRipLibraryTest, RipsConsecutiveSectorsOfTheRange) {
  ASSERT_EQ(CR(CR_Init)(nullptr), CDEX_OK);
  int32_t size = 5000;  // rounded down to whole sectors
  ASSERT_EQ(CR(CR_OpenRipper)(&size, 150, 270), CDEX_OK);
  EXPECT_EQ(size, 2 * 2352);
  std::vector<uint8_t> got, chunk(size);
  int32_t abort = 0, n = 0;
  CDEX_ERR r;
  while ((r = CR(CR_RipChunk)(chunk.data(), &n, &abort)) == CDEX_OK) got.insert(got.end(), chunk.begin(), chunk.begin() + n);
  EXPECT_EQ(r, CDEX_RIPPING_DONE);
  EXPECT_EQ(n, 0);
  EXPECT_EQ(got, Disc.Tracks[1]);
  EXPECT_EQ(CR(CR_CloseRipper)(), CDEX_OK);

  size = 176400;
  ASSERT_EQ(CR(CR_OpenRipper)(&size, 0, 150), CDEX_OK);
  EXPECT_EQ(size, 176400);
  abort = 1;
  EXPECT_EQ(CR(CR_RipChunk)(chunk.data(), &n, &abort), CDEX_RIPPING_DONE);
  abort = 0;
  EXPECT_EQ(CR(CR_RipChunk)(chunk.data(), &n, &abort), CDEX_ERROR);  // closed by the abort
  EXPECT_EQ(CR(CR_OpenRipper)(&size, 300, 436), CDEX_ERROR);        // past the lead-out
  EXPECT_EQ(CR(CR_OpenRipper)(&size, 300, 300), CDEX_ERROR);
}

}  // namespace
