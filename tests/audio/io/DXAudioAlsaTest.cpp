// TDXAudioOut on ALSA, with ALSA's file plugin as the sound card: the file receives
// what the device would play.

#include <gtest/gtest.h>

#include <sys/syscall.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
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

class DXAudioAlsaTest : public testing::Test {
protected:
  void SetUp() override {
    std::string templ = (fs::temp_directory_path() / "dxaudio-alsa-XXXXXX").string();
    ASSERT_NE(mkdtemp(templ.data()), nullptr);
    Dir = templ;
    Device = Dir / "device.raw";
    std::ofstream(Dir / "asound.conf") << "pcm.!default {\n type file\n slave.pcm { type null }\n file \""
                                       << Device.string() << "\"\n format \"raw\"\n}\n";
    setenv("ALSA_CONFIG_PATH", (Dir / "asound.conf").c_str(), 1);
    DirectSoundSetBackend(nullptr);
  }
  void TearDown() override {
    unsetenv("ALSA_CONFIG_PATH");
    fs::remove_all(Dir);
  }

  fs::path Dir, Device;
};

TEST_F(DXAudioAlsaTest, TheDeviceReceivesExactlyThePcmOfAShortWav) {
  const fs::path wav = Dir / "short.wav", raw = Dir / "short.raw";
  ASSERT_EQ(std::system(("sox -n -r 44100 -c 2 -b 16 '" + wav.string() + "' synth 0.4 sine 440 sine 660 vol 0.5")
                            .c_str()),
            0)
      << "sox is needed";
  ASSERT_EQ(std::system(("sox '" + wav.string() + "' -t raw -e signed -b 16 -L '" + raw.string() + "'").c_str()), 0);
  const auto pcm = ReadAll(raw);
  ASSERT_EQ(pcm.size(), 17640u * 4);
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
  const auto got = ReadAll(Device);
  ASSERT_GE(got.size(), pcm.size());
  EXPECT_TRUE(std::equal(pcm.begin(), pcm.end(), got.begin()));
  EXPECT_TRUE(std::all_of(got.begin() + static_cast<std::ptrdiff_t>(pcm.size()), got.end(),
                          [](uint8_t b) { return b == 0; }));
}

// The threads of this process other than the calling one: the times they went to
// sleep and were woken, and whether they all sleep now.
struct TOtherThreads {
  int64_t WakeUps = 0;
  bool Asleep = true;
};
TOtherThreads OtherThreads() {
  const std::string self = std::to_string(syscall(SYS_gettid));
  TOtherThreads r;
  for (const auto& t : fs::directory_iterator("/proc/self/task")) {
    if (t.path().filename() == self) continue;
    std::ifstream status(t.path() / "status");
    for (std::string line; std::getline(status, line);) {
      if (line.rfind("State:", 0) == 0) r.Asleep = r.Asleep && line.find("(sleeping)") != std::string::npos;
      if (line.rfind("voluntary_ctxt_switches:", 0) == 0) r.WakeUps += std::stoll(line.substr(24));
    }
  }
  return r;
}

// A paused player keeps its sound device open, and the program keeps its player from
// start to end: while nothing plays, none of the threads (the output's worker, the
// notification thread, the device's feeder) wakes by itself.
TEST_F(DXAudioAlsaTest, NothingWakesWhileNothingPlays) {
  const fs::path raw = Dir / "silence.raw";
  std::ofstream(raw, std::ios::binary) << std::string(44100 * 4 * 20, '\0');
  TComponentPtr<TRawIn> in(new TRawIn(nullptr, 16, 2, 44100));
  in->SetFileName(raw.string());
  TComponentPtr<TDXAudioOut> out(new TDXAudioOut(nullptr));
  out->SetInput(in.get());
  out->Run();
  ASSERT_TRUE(PumpUntil([&] { return out->PlayedFrames() > 0; }));
  out->Pause();
  ASSERT_TRUE(PumpUntil([] { return OtherThreads().Asleep; }));
  const int64_t before = OtherThreads().WakeUps;
  // A thread that polls would have woken several times by then.
  EXPECT_FALSE(PumpUntil([before] { return OtherThreads().WakeUps != before; }, 500));
  out->Stop(false);
}

}  // namespace
