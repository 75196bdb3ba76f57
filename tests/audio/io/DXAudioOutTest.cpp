// TDXAudioOut over the in-memory sound device: its virtual clock moves only while the
// output sleeps between polls, so every run plays the same way, in no time.

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <vector>

#include "audio/io/TSL_DXAudio.h"
#include "platform/dsound/DSFake.h"
#include "tests/support/TestComponents.h"

namespace {

// 16-bit stereo frames that are never silent and tell their frame number.
std::vector<uint8_t> Ramp(uint32_t Frames) {
  std::vector<uint8_t> v(static_cast<size_t>(Frames) * 4);
  for (uint32_t i = 0; i < Frames; ++i) {
    const uint16_t s = static_cast<uint16_t>(i % 30000 + 1);
    const uint16_t t = static_cast<uint16_t>(0x8000 | (i % 20000));
    v[4 * i] = static_cast<uint8_t>(s);
    v[4 * i + 1] = static_cast<uint8_t>(s >> 8);
    v[4 * i + 2] = static_cast<uint8_t>(t);
    v[4 * i + 3] = static_cast<uint8_t>(t >> 8);
  }
  return v;
}

bool AllBytes(const std::vector<uint8_t>& V, size_t From, uint8_t Value) {
  return std::all_of(V.begin() + static_cast<std::ptrdiff_t>(std::min(From, V.size())), V.end(),
                     [Value](uint8_t b) { return b == Value; });
}

// The frames of Heard that are not silence, in order.
std::vector<uint8_t> WithoutSilence(const std::vector<uint8_t>& Heard) {
  std::vector<uint8_t> out;
  for (size_t i = 0; i + 4 <= Heard.size(); i += 4)
    if (Heard[i] | Heard[i + 1] | Heard[i + 2] | Heard[i + 3]) out.insert(out.end(), &Heard[i], &Heard[i + 4]);
  return out;
}

// Raw PCM from memory; optionally the read that reaches a byte position first stalls
// for a while of sound-clock time, or waits until the test lets it go on.
class TTestIn : public TRawIn {
public:
  TTestIn(const std::vector<uint8_t>& Pcm, int32_t Bits = 16, int32_t Channels = 2, int32_t Rate = 44100)
      : TRawIn(nullptr, Bits, Channels, Rate) {
    FMem.Write(Pcm.data(), static_cast<int64_t>(Pcm.size()));
    FMem.Seek(0, soBeginning);
    SetStream(&FMem);
  }

  int64_t StallAt = -1;
  uint32_t StallMs = 0;
  int64_t HoldAt = -1;
  std::atomic<bool> Held{false};

  void Release() {
    {
      std::lock_guard<std::mutex> lk(FMutex);
      FReleased = true;
    }
    FCond.notify_all();
  }

protected:
  void ReadRaw(void*& Buffer, uint32_t& Bytes) override {
    if (StallAt >= 0 && FPosition >= StallAt) {
      StallAt = -1;
      DirectSoundSleep(StallMs);
    }
    if (HoldAt >= 0 && FPosition >= HoldAt) {
      HoldAt = -1;
      Held = true;
      std::unique_lock<std::mutex> lk(FMutex);
      FCond.wait(lk, [this] { return FReleased; });
    }
    TRawIn::ReadRaw(Buffer, Bytes);
  }

private:
  TMemoryStream FMem;
  std::mutex FMutex;
  std::condition_variable FCond;
  bool FReleased = false;
};

class DXAudioOutTest : public testing::Test {
protected:
  void SetUp() override {
    Fake = std::make_shared<TDSFakeBackend>(2, 1024, 256);
    DirectSoundSetBackend(Fake);
    Out.reset(new TDXAudioOut(nullptr));
    Out->OnDone = [this](TComponent*) { ++Done; };
    Out->OnThreadException = [this](TComponent*) { ++Failures; };
    Out->OnUnderrun = [this](TComponent*) { ++Underruns; };
  }
  void TearDown() override {
    Out.reset();
    In.reset();
    DirectSoundSetBackend(nullptr);
  }
  TTestIn& Input(const std::vector<uint8_t>& Pcm, int32_t Bits = 16, int32_t Channels = 2, int32_t Rate = 44100) {
    In.reset(new TTestIn(Pcm, Bits, Channels, Rate));
    Out->SetInput(In.get());
    return *In;
  }
  void RunToEnd() {
    const int before = Done;
    Out->Run();
    ASSERT_TRUE(PumpUntil([&] { return Done > before; }, 60000));
    EXPECT_EQ(Out->Status(), asIdle);
  }

  std::shared_ptr<TDSFakeBackend> Fake;
  TComponentPtr<TTestIn> In;
  TComponentPtr<TDXAudioOut> Out;
  int Done = 0;
  int Failures = 0;
  int Underruns = 0;
};

TEST_F(DXAudioOutTest, EveryFrameIsPlayedOnceInOrderAcrossAPause) {
  const auto pcm = Ramp(44100 * 20);
  TTestIn& in = Input(pcm);
  in.HoldAt = 44100 * 4 * 2;  // two seconds in: the buffer is long playing by then
  Out->Run();
  ASSERT_TRUE(PumpUntil([&] { return in.Held.load(); }));
  in.Release();
  Out->Pause();
  ASSERT_EQ(Out->Status(), asPaused);

  // Paused: the clock moves on, the device plays nothing.
  const size_t heard = Fake->PlayedBytes();
  DirectSoundSleep(2000);
  EXPECT_EQ(Fake->PlayedBytes(), heard);

  Out->Resume();
  ASSERT_TRUE(PumpUntil([&] { return Done == 1; }, 60000));
  EXPECT_EQ(Failures, 0);
  EXPECT_EQ(Underruns, 0);
  const auto played = Fake->Played();
  ASSERT_GE(played.size(), pcm.size());
  EXPECT_TRUE(std::equal(pcm.begin(), pcm.end(), played.begin()));
  EXPECT_TRUE(AllBytes(played, pcm.size(), 0));
}

TEST_F(DXAudioOutTest, TheEndOfAShortSoundIsNotCut) {
  // A buffer of a tenth of a second holding a sound half as long: rounding the
  // buffer's time to whole seconds would give no play-out at all.
  Out->SetFramesInBuffer(4410);
  const auto pcm = Ramp(2205);
  Input(pcm);
  RunToEnd();
  auto played = Fake->Played();
  ASSERT_GE(played.size(), pcm.size());
  EXPECT_TRUE(std::equal(pcm.begin(), pcm.end(), played.begin()));
  EXPECT_TRUE(AllBytes(played, pcm.size(), 0));
  // ...and it stops soon after the sound, not a whole second later.
  EXPECT_LT(Fake->Now(), 150u);
}

TEST_F(DXAudioOutTest, TheWholeLastBufferIsPlayedOut) {
  // With the default 65536-frame buffer (1.49 s) the last write leaves up to that much
  // audio in the buffer; all of it must be heard.
  const auto pcm = Ramp(88200 + 30000);
  Input(pcm);
  RunToEnd();
  EXPECT_EQ(Failures, 0);
  const auto played = Fake->Played();
  ASSERT_GE(played.size(), pcm.size());
  EXPECT_TRUE(std::equal(pcm.begin(), pcm.end(), played.begin()));
  EXPECT_TRUE(AllBytes(played, pcm.size(), 0));
}

TEST_F(DXAudioOutTest, AnUnderrunPlaysSilenceAndIsReportedOnce) {
  const auto pcm = Ramp(44100 * 4);
  TTestIn& in = Input(pcm);
  in.StallAt = 44100 * 4 * 5 / 2;  // the input stalls for 3 s at 2.5 s: the buffer runs dry
  in.StallMs = 3000;
  RunToEnd();
  PumpFor(50);
  EXPECT_EQ(Underruns, 1);
  EXPECT_EQ(Failures, 0);
  const auto played = Fake->Played();
  // Nothing lost, nothing repeated; silence where the input was missing.
  EXPECT_EQ(WithoutSilence(played), pcm);
  size_t firstSilence = 0;
  while (firstSilence + 4 <= played.size() && (played[firstSilence] | played[firstSilence + 1])) firstSilence += 4;
  EXPECT_LT(firstSilence, pcm.size());
  EXPECT_GT(firstSilence, 0u);
}

TEST_F(DXAudioOutTest, SeventeenEmptyPollsEndTheRun) {
  Input(Ramp(44100 * 5));
  Fake->SetHung(true);
  RunToEnd();
  EXPECT_EQ(Failures, 1);
  EXPECT_EQ(Out->ExceptionMessage(), "Audio output error");
  // The first block fills the buffer; then 17 polls 200 ms apart find no room.
  EXPECT_EQ(Fake->Now(), 17u * 200);
}

TEST_F(DXAudioOutTest, EightBitSilenceIs128) {
  // 8-bit mono at 8000 Hz with a half-second buffer; the input stalls for 2 s, so
  // silence is played in the middle and at the end.
  std::vector<uint8_t> pcm(24000);
  for (size_t i = 0; i < pcm.size(); ++i) pcm[i] = static_cast<uint8_t>(i % 2 ? 200 : 40);
  Out->SetFramesInBuffer(4000);
  TTestIn& in = Input(pcm, 8, 1, 8000);
  in.StallAt = 12000;
  in.StallMs = 2000;
  RunToEnd();
  EXPECT_EQ(Underruns, 1);
  const auto played = Fake->Played();
  std::vector<uint8_t> sound;
  for (uint8_t b : played) {
    ASSERT_NE(b, 0);
    if (b != 128) sound.push_back(b);
  }
  EXPECT_EQ(sound, pcm);
  EXPECT_GT(played.size(), pcm.size() + 8000);
}

TEST_F(DXAudioOutTest, DevicesAndTheirErrors) {
  EXPECT_EQ(Out->DeviceCount(), 2);
  EXPECT_EQ(Out->DeviceName(0), "Fake sound device 0");
  EXPECT_EQ(Out->DeviceName(2), "");
  // No buffer yet: nothing to do, nothing raised.
  EXPECT_NO_THROW(Out->SetVolume(-5000));

  Input(Ramp(4410));
  Out->SetDeviceNumber(2);
  RunToEnd();
  EXPECT_EQ(Out->ExceptionMessage(), "Invalid device number");
  EXPECT_EQ(Fake->StreamsOpened(), 0);

  Out->SetDeviceNumber(1);
  RunToEnd();
  EXPECT_EQ(Out->ExceptionMessage(), "");
  EXPECT_EQ(Fake->LastDevice(), "fake1");

  std::vector<uint8_t> odd(3000, 1);
  Input(odd, 12, 2, 44100);
  RunToEnd();
  EXPECT_EQ(Out->ExceptionMessage(), "Failed to create DirectSound buffer88780064");
  EXPECT_EQ(Failures, 2);

  // At most sixteen devices are offered.
  DirectSoundSetBackend(std::make_shared<TDSFakeBackend>(20));
  TComponentPtr<TDXAudioOut> many(new TDXAudioOut(nullptr));
  EXPECT_EQ(many->DeviceCount(), 16);
  EXPECT_EQ(many->DeviceName(15), "Fake sound device 15");
}

TEST_F(DXAudioOutTest, ManyChannelsAndWideSamplesUseTheExtensibleFormat) {
  std::vector<uint8_t> pcm(6 * 3 * 2000);
  for (size_t i = 0; i < pcm.size(); ++i) pcm[i] = static_cast<uint8_t>(1 + i % 250);
  Input(pcm, 24, 6, 48000);
  RunToEnd();
  const WAVEFORMATEX f = Fake->LastFormat();
  EXPECT_EQ(f.wFormatTag, 0xFFFE);
  EXPECT_EQ(f.nBlockAlign, 18);
  EXPECT_EQ(f.nAvgBytesPerSec, 18u * 48000);
  ASSERT_EQ(f.Extra.size(), 22u);
  EXPECT_EQ(f.Extra[0], 24);   // valid bits
  EXPECT_EQ(f.Extra[2], 63);   // the six-channel mask
  EXPECT_EQ(f.Extra[6], 1);    // PCM sub-format
  EXPECT_EQ(f.Extra[21], 0x71);
  const auto played = Fake->Played();
  ASSERT_GE(played.size(), pcm.size());
  EXPECT_TRUE(std::equal(pcm.begin(), pcm.end(), played.begin()));

  Input(Ramp(4410));
  RunToEnd();
  EXPECT_EQ(Fake->LastFormat().wFormatTag, 1);
  EXPECT_TRUE(Fake->LastFormat().Extra.empty());
}

}  // namespace
