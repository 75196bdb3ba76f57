// TDXAudioOut on ALSA, with ALSA's file plugin as the sound card: the file receives
// what the device would play.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "audio/io/TSL_DXAudio.h"
#include "platform/dsound/DSBackend.h"
#include "tests/support/TestComponents.h"

namespace {

namespace fs = std::filesystem;

std::vector<uint8_t> ReadAll(const fs::path& P) {
  std::ifstream in(P, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(DXAudioAlsaTest, TheDeviceReceivesExactlyThePcmOfAShortWav) {
  std::string templ = (fs::temp_directory_path() / "dxaudio-alsa-XXXXXX").string();
  ASSERT_NE(mkdtemp(templ.data()), nullptr);
  const fs::path dir = templ;
  const fs::path wav = dir / "short.wav", raw = dir / "short.raw", device = dir / "device.raw";
  ASSERT_EQ(std::system(("sox -n -r 44100 -c 2 -b 16 '" + wav.string() + "' synth 0.4 sine 440 sine 660 vol 0.5")
                            .c_str()),
            0)
      << "sox is needed";
  ASSERT_EQ(std::system(("sox '" + wav.string() + "' -t raw -e signed -b 16 -L '" + raw.string() + "'").c_str()), 0);
  const auto pcm = ReadAll(raw);
  ASSERT_EQ(pcm.size(), 17640u * 4);

  std::ofstream(dir / "asound.conf") << "pcm.!default {\n type file\n slave.pcm { type null }\n file \""
                                     << device.string() << "\"\n format \"raw\"\n}\n";
  setenv("ALSA_CONFIG_PATH", (dir / "asound.conf").c_str(), 1);
  DirectSoundSetBackend(nullptr);
  {
    TComponentPtr<TRawIn> in(new TRawIn(nullptr, 16, 2, 44100));
    in->SetFileName(raw.string());
    TComponentPtr<TDXAudioOut> out(new TDXAudioOut(nullptr));
    ASSERT_GE(out->DeviceCount(), 1);
    out->SetInput(in.get());
    bool done = false;
    out->OnDone = [&done](TComponent*) { done = true; };
    out->Run();
    ASSERT_TRUE(PumpUntil([&] { return done; }, 30000));
    EXPECT_EQ(out->ExceptionMessage(), "");
  }
  const auto got = ReadAll(device);
  ASSERT_GE(got.size(), pcm.size());
  EXPECT_TRUE(std::equal(pcm.begin(), pcm.end(), got.begin()));
  EXPECT_TRUE(std::all_of(got.begin() + static_cast<std::ptrdiff_t>(pcm.size()), got.end(),
                          [](uint8_t b) { return b == 0; }));
  unsetenv("ALSA_CONFIG_PATH");
  fs::remove_all(dir);
}

}  // namespace
