// The ALSA backend, with ALSA's own file plugin standing in for a sound card: what
// reaches the "device" is written to a file.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <thread>
#include <vector>

#include "platform/dsound/DSBackend.h"
#include "platform/dsound/DSound.h"
#include "tests/support/Files.h"

namespace {

namespace fs = std::filesystem;

class DSAlsaTest : public testing::Test {
protected:
  void SetUp() override {
    Dir = Folder.Root();
    Output = (Dir / "device.raw").string();
    DirectSoundSetBackend(nullptr);
  }
  void TearDown() override {
    DirectSoundSetBackend(nullptr);
    unsetenv("ALSA_CONFIG_PATH");
  }
  // Makes ALSA read only Text as its configuration.
  void UseConfig(const std::string& Text) {
    const std::string conf = (Dir / "asound.conf").string();
    std::ofstream(conf) << Text;
    setenv("ALSA_CONFIG_PATH", conf.c_str(), 1);
  }
  std::string FileDevice(const std::string& Name, const std::string& File, const std::string& Hint = "") {
    std::string s = "pcm." + Name + " {\n type file\n slave.pcm { type null }\n file \"" + File +
                    "\"\n format \"raw\"\n";
    if (!Hint.empty()) s += " hint { show on description \"" + Hint + "\" }\n";
    return s + "}\n";
  }

  testsupport::TTempDir Folder;
  fs::path Dir;
  std::string Output;
};

TEST_F(DSAlsaTest, ListsTheDefaultDeviceFirstThenTheOthers) {
  UseConfig(FileDevice("!default", Output) + FileDevice("second", (Dir / "second.raw").string(), "Second output"));
  std::vector<GUID> ids;
  std::vector<std::string> names, modules;
  DirectSoundEnumerate([&](const GUID& G, const std::string& D, const std::string& M) {
    ids.push_back(G);
    names.push_back(D);
    modules.push_back(M);
    return true;
  });
  ASSERT_EQ(ids.size(), 2u);
  EXPECT_TRUE(ids[0].IsNull());
  EXPECT_EQ(modules[0], "default");
  EXPECT_EQ(modules[1], "second");
  EXPECT_EQ(names[1], "Second output");
  EXPECT_FALSE(ids[1].IsNull());

  std::unique_ptr<TDirectSound> ds;
  ASSERT_EQ(DirectSoundCreate(&ids[1], ds), DS_OK);
  WAVEFORMATEX f;
  f.wFormatTag = 1;
  f.nChannels = 2;
  f.nSamplesPerSec = 44100;
  f.wBitsPerSample = 16;
  f.nBlockAlign = 4;
  f.nAvgBytesPerSec = 176400;
  DSBUFFERDESC d;
  d.dwBufferBytes = 4096;
  d.lpwfxFormat = &f;
  std::unique_ptr<TDirectSoundBuffer> b;
  ASSERT_EQ(ds->CreateSoundBuffer(d, b), DS_OK);
  b.reset();
  EXPECT_TRUE(fs::exists(Dir / "second.raw"));
  EXPECT_FALSE(fs::exists(Output));
}

TEST_F(DSAlsaTest, ADeviceThatCannotBeOpenedIsNoDriver) {
  UseConfig("pcm.!default { type hw card 99 }\n");
  std::unique_ptr<TDirectSound> ds;
  EXPECT_EQ(DirectSoundCreate(nullptr, ds), DSERR_NODRIVER);
  EXPECT_EQ(ds, nullptr);
}

TEST_F(DSAlsaTest, TheDeviceReceivesTheRingInOrderThenSilence) {
  UseConfig(FileDevice("!default", Output));
  std::unique_ptr<TDirectSound> ds;
  ASSERT_EQ(DirectSoundCreate(nullptr, ds), DS_OK);
  WAVEFORMATEX f;
  f.wFormatTag = 1;
  f.nChannels = 2;
  f.nSamplesPerSec = 22050;
  f.wBitsPerSample = 16;
  f.nBlockAlign = 4;
  f.nAvgBytesPerSec = 88200;
  DSBUFFERDESC d;
  d.dwFlags = DSBCAPS_CTRLVOLUME;
  d.dwBufferBytes = 22050 * 4;
  d.lpwfxFormat = &f;
  std::unique_ptr<TDirectSoundBuffer> b;
  ASSERT_EQ(ds->CreateSoundBuffer(d, b), DS_OK);

  std::vector<uint8_t> audio(4410 * 4);  // 0.2 s, never a zero sample
  for (size_t i = 0; i < audio.size(); ++i) audio[i] = static_cast<uint8_t>(1 + i % 251);
  void *p1, *p2;
  uint32_t n1, n2;
  ASSERT_EQ(b->Lock(0, static_cast<uint32_t>(audio.size()), p1, n1, p2, n2, 0), DS_OK);
  std::memcpy(p1, audio.data(), n1);
  b->Unlock(p1, n1, p2, n2);
  ASSERT_EQ(b->Play(0, 0, DSBPLAY_LOOPING), DS_OK);

  // The file takes data at once; the layer paces it by the clock, so the play cursor
  // moves in real time.
  uint64_t play = 0, write = 0;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (play < audio.size() && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    b->GetTotalPosition(play, write);
  }
  ASSERT_GE(play, audio.size());
  EXPECT_LE(write - play, 22050u * 4);
  ASSERT_EQ(b->Stop(), DS_OK);
  b.reset();

  const std::vector<uint8_t> got = testsupport::ReadFile(Output);
  ASSERT_GE(got.size(), audio.size());
  EXPECT_TRUE(std::equal(audio.begin(), audio.end(), got.begin()));
  EXPECT_TRUE(std::all_of(got.begin() + static_cast<std::ptrdiff_t>(audio.size()), got.end(),
                          [](uint8_t v) { return v == 0; }));
  // Written no faster than it plays: at most the device's buffer ahead of the ring's
  // audio when it was stopped.
  EXPECT_LE(got.size(), write);
}

}  // namespace
