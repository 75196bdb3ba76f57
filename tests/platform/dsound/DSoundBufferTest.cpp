// The looping buffer over the in-memory device with its virtual clock.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/dsound/DSFake.h"
#include "platform/dsound/DSound.h"

namespace {

constexpr uint32_t Latency = 1024;

WAVEFORMATEX Pcm(uint16_t Channels, uint32_t Rate, uint16_t Bits) {
  WAVEFORMATEX f;
  f.wFormatTag = 1;
  f.nChannels = Channels;
  f.nSamplesPerSec = Rate;
  f.wBitsPerSample = Bits;
  f.nBlockAlign = static_cast<uint16_t>(Channels * Bits / 8);
  f.nAvgBytesPerSec = f.nBlockAlign * Rate;
  return f;
}

// 16-bit stereo frames whose samples never are 0 and tell their frame number.
std::vector<uint8_t> Ramp(uint32_t Frames, uint32_t First = 0) {
  std::vector<uint8_t> v(Frames * 4);
  for (uint32_t i = 0; i < Frames; ++i) {
    const uint16_t s = static_cast<uint16_t>((First + i) % 30000 + 1);
    v[4 * i] = v[4 * i + 2] = static_cast<uint8_t>(s);
    v[4 * i + 1] = v[4 * i + 3] = static_cast<uint8_t>(s >> 8);
  }
  return v;
}

void Write(TDirectSoundBuffer& B, uint32_t Offset, const std::vector<uint8_t>& Data) {
  void *p1, *p2;
  uint32_t n1, n2;
  ASSERT_EQ(B.Lock(Offset, static_cast<uint32_t>(Data.size()), p1, n1, p2, n2, 0), DS_OK);
  std::memcpy(p1, Data.data(), n1);
  if (p2) std::memcpy(p2, Data.data() + n1, n2);
  ASSERT_EQ(B.Unlock(p1, n1, p2, n2), DS_OK);
}

class DSoundBufferTest : public testing::Test {
protected:
  void SetUp() override {
    Fake = std::make_shared<TDSFakeBackend>(2, Latency, 256);
    DirectSoundSetBackend(Fake);
    ASSERT_EQ(DirectSoundCreate(nullptr, DS), DS_OK);
  }
  void TearDown() override {
    DS.reset();
    DirectSoundSetBackend(nullptr);
  }
  std::unique_ptr<TDirectSoundBuffer> Make(const WAVEFORMATEX& F, uint32_t Bytes,
                                           uint32_t Flags = DSBCAPS_CTRLVOLUME | DSBCAPS_GETCURRENTPOSITION2) {
    DSBUFFERDESC d;
    d.dwFlags = Flags;
    d.dwBufferBytes = Bytes;
    d.lpwfxFormat = &F;
    std::unique_ptr<TDirectSoundBuffer> b;
    EXPECT_EQ(DS->CreateSoundBuffer(d, b), DS_OK);
    return b;
  }

  std::shared_ptr<TDSFakeBackend> Fake;
  std::unique_ptr<TDirectSound> DS;
};

TEST_F(DSoundBufferTest, DefaultDeviceComesFirstWithTheNullIdentifier) {
  std::vector<GUID> ids;
  std::vector<std::string> names;
  ASSERT_EQ(DirectSoundEnumerate([&](const GUID& G, const std::string& D, const std::string&) {
              ids.push_back(G);
              names.push_back(D);
              return true;
            }),
            DS_OK);
  ASSERT_EQ(ids.size(), 2u);
  EXPECT_TRUE(ids[0].IsNull());
  EXPECT_FALSE(ids[1].IsNull());
  EXPECT_EQ(names[1], "Fake sound device 1");

  // The identifier opens that very device.
  std::unique_ptr<TDirectSound> second;
  ASSERT_EQ(DirectSoundCreate(&ids[1], second), DS_OK);
  std::unique_ptr<TDirectSoundBuffer> b;
  const WAVEFORMATEX f = Pcm(2, 44100, 16);
  DSBUFFERDESC d;
  d.dwBufferBytes = 4096;
  d.lpwfxFormat = &f;
  ASSERT_EQ(second->CreateSoundBuffer(d, b), DS_OK);
  EXPECT_EQ(Fake->LastDevice(), "fake1");

  GUID unknown;
  unknown.D4[3] = 7;
  EXPECT_EQ(DirectSoundCreate(&unknown, second), DSERR_NODRIVER);
  EXPECT_EQ(second, nullptr);
}

// Every sound the program plays opens the default device: listing them all for it cost
// each one a read of the sound system's whole configuration.
TEST(DSoundDevices, TheDefaultDeviceOpensWithoutListingTheDevices) {
  struct TCountingBackend : TDSFakeBackend {
    using TDSFakeBackend::TDSFakeBackend;
    int Listed = 0;
    std::vector<TDevice> Devices() override {
      ++Listed;
      return TDSFakeBackend::Devices();
    }
  };
  auto backend = std::make_shared<TCountingBackend>(2);
  DirectSoundSetBackend(backend);
  std::unique_ptr<TDirectSound> ds;
  EXPECT_EQ(DirectSoundCreate(nullptr, ds), DS_OK);
  EXPECT_EQ(backend->Listed, 0);
  ds.reset();
  DirectSoundSetBackend(nullptr);
}

TEST_F(DSoundBufferTest, RejectsWhatCannotBePlayed) {
  std::unique_ptr<TDirectSoundBuffer> b;
  DSBUFFERDESC d;
  WAVEFORMATEX f = Pcm(2, 44100, 12);
  d.dwBufferBytes = 4096;
  d.lpwfxFormat = &f;
  EXPECT_EQ(DS->CreateSoundBuffer(d, b), DSERR_BADFORMAT);
  f = Pcm(2, 44100, 32);
  f.wFormatTag = 3;  // floating point
  EXPECT_EQ(DS->CreateSoundBuffer(d, b), DSERR_BADFORMAT);
  f = Pcm(2, 44100, 16);
  d.dwBufferBytes = 4098;  // not whole frames
  EXPECT_EQ(DS->CreateSoundBuffer(d, b), DSERR_INVALIDPARAM);
  d.lpwfxFormat = nullptr;
  EXPECT_EQ(DS->CreateSoundBuffer(d, b), DSERR_INVALIDPARAM);

  // Extensible records must say PCM.
  f = Pcm(6, 48000, 24);
  f.wFormatTag = 0xFFFE;
  f.Extra.assign(22, 0);
  d.lpwfxFormat = &f;
  d.dwBufferBytes = 18 * 100;
  EXPECT_EQ(DS->CreateSoundBuffer(d, b), DSERR_BADFORMAT);
  const uint8_t pcm[16] = {1, 0, 0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71};
  std::memcpy(f.Extra.data() + 6, pcm, 16);
  EXPECT_EQ(DS->CreateSoundBuffer(d, b), DS_OK);
}

TEST_F(DSoundBufferTest, LockSplitsAtTheEndOfTheRing) {
  auto b = Make(Pcm(2, 44100, 16), 4000);
  void *p1, *p2;
  uint32_t n1, n2;
  ASSERT_EQ(b->Lock(3000, 2000, p1, n1, p2, n2, 0), DS_OK);
  EXPECT_EQ(n1, 1000u);
  EXPECT_EQ(n2, 1000u);
  EXPECT_EQ(static_cast<uint8_t*>(p1) - static_cast<uint8_t*>(p2), 3000);
  EXPECT_EQ(b->Unlock(p1, n1, p2, n2), DS_OK);
  ASSERT_EQ(b->Lock(0, 0, p1, n1, p2, n2, DSBLOCK_ENTIREBUFFER), DS_OK);
  EXPECT_EQ(n1, 4000u);
  EXPECT_EQ(p2, nullptr);
  EXPECT_EQ(b->Lock(4000, 4, p1, n1, p2, n2, 0), DSERR_INVALIDPARAM);
  EXPECT_EQ(b->Lock(0, 4004, p1, n1, p2, n2, 0), DSERR_INVALIDPARAM);
  uint8_t outside[4];
  EXPECT_EQ(b->Unlock(outside, 4, nullptr, 0), DSERR_INVALIDPARAM);
}

TEST_F(DSoundBufferTest, PlaysTheRingOnceThenSilence) {
  const uint32_t frames = 8192;
  auto b = Make(Pcm(2, 44100, 16), frames * 4);
  const auto ring = Ramp(frames);
  Write(*b, 0, ring);
  ASSERT_EQ(b->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
  DirectSoundSleep(100);
  // 100 ms are 4410 frames; the device holds the next Latency frames.
  uint64_t play = 0, write = 0;
  ASSERT_EQ(b->GetTotalPosition(play, write), DS_OK);
  EXPECT_EQ(play, 4410u * 4);
  EXPECT_EQ(write, play + Latency * 4);
  uint32_t pc = 0, wc = 0;
  ASSERT_EQ(b->GetCurrentPosition(&pc, &wc), DS_OK);
  EXPECT_EQ(pc, 4410u * 4);
  EXPECT_EQ(wc, (4410u + Latency) * 4);

  // Nothing was written again: once taken, the ring's bytes are gone.
  DirectSoundSleep(400);
  const auto heard = Fake->Played();
  ASSERT_EQ(heard.size(), 22050u * 4);
  EXPECT_TRUE(std::equal(ring.begin(), ring.end(), heard.begin()));
  EXPECT_TRUE(std::all_of(heard.begin() + ring.size(), heard.end(), [](uint8_t v) { return v == 0; }));
  ASSERT_EQ(b->GetTotalPosition(play, write), DS_OK);
  EXPECT_EQ(play, 22050u * 4);
}

TEST_F(DSoundBufferTest, EightBitBuffersRunDryIntoSilenceOf128) {
  auto b = Make(Pcm(1, 8000, 8), 800);
  std::vector<uint8_t> tone(800);
  for (size_t i = 0; i < tone.size(); ++i) tone[i] = static_cast<uint8_t>(20 + i % 200);
  Write(*b, 0, tone);
  b->Play(0, 0, DSBPLAY_LOOPING);
  DirectSoundSleep(250);
  const auto heard = Fake->Played();
  ASSERT_EQ(heard.size(), 2000u);
  EXPECT_TRUE(std::equal(tone.begin(), tone.end(), heard.begin()));
  EXPECT_TRUE(std::all_of(heard.begin() + 800, heard.end(), [](uint8_t v) { return v == 128; }));
}

TEST_F(DSoundBufferTest, StopKeepsWhatTheDeviceHeldAndLosesNothing) {
  const uint32_t frames = 44100;
  auto b = Make(Pcm(2, 44100, 16), frames * 4);
  const auto ring = Ramp(frames);
  Write(*b, 0, ring);
  b->Play(0, 0, DSBPLAY_LOOPING);
  DirectSoundSleep(120);
  ASSERT_EQ(b->Stop(), DS_OK);
  uint64_t play = 0, write = 0;
  b->GetTotalPosition(play, write);
  const size_t heardAtStop = Fake->PlayedBytes();
  EXPECT_EQ(play, heardAtStop);
  EXPECT_EQ(write - play, Latency * 4);

  DirectSoundSleep(500);  // stopped: time passes, nothing plays
  EXPECT_EQ(Fake->PlayedBytes(), heardAtStop);
  uint64_t play2 = 0, write2 = 0;
  b->GetTotalPosition(play2, write2);
  EXPECT_EQ(play2, play);
  EXPECT_EQ(write2, write);

  b->Play(0, 0, DSBPLAY_LOOPING);
  DirectSoundSleep(1000);
  b->Stop();
  const auto heard = Fake->Played();
  // 120 ms and 1000 ms of playing.
  ASSERT_EQ(heard.size(), (5292u + 44100u) * 4);
  EXPECT_TRUE(std::equal(ring.begin(), ring.end(), heard.begin()));
}

TEST_F(DSoundBufferTest, VolumeScalesWhatIsHeard) {
  auto b = Make(Pcm(2, 44100, 16), 4410 * 4);
  std::vector<uint8_t> ring(4410 * 4);
  for (size_t i = 0; i < ring.size(); i += 2) {
    const int16_t v = (i / 2) % 2 ? -1000 : 1000;
    ring[i] = static_cast<uint8_t>(v);
    ring[i + 1] = static_cast<uint8_t>(v >> 8);
  }
  Write(*b, 0, ring);
  int32_t vol = 1;
  ASSERT_EQ(b->GetVolume(vol), DS_OK);
  EXPECT_EQ(vol, 0);
  // -6.02 dB halves the amplitude; the change applies to what the device takes next.
  ASSERT_EQ(b->SetVolume(-602), DS_OK);
  b->Play(0, 0, DSBPLAY_LOOPING);
  DirectSoundSleep(50);
  ASSERT_EQ(b->SetVolume(DSBVOLUME_MIN), DS_OK);
  DirectSoundSleep(50);
  b->Stop();
  const auto heard = Fake->Played();
  auto sample = [&heard](size_t Frame, int Ch) {
    return static_cast<int16_t>(heard[Frame * 4 + Ch * 2] | (heard[Frame * 4 + Ch * 2 + 1] << 8));
  };
  ASSERT_EQ(heard.size(), 4410u * 4);
  EXPECT_EQ(sample(0, 0), 500);
  EXPECT_EQ(sample(0, 1), -500);
  EXPECT_EQ(sample(2000, 1), -500);
  // Taken after the mute: silence.
  EXPECT_EQ(sample(2205 + Latency, 0), 0);
  EXPECT_EQ(sample(4409, 1), 0);

  EXPECT_EQ(b->SetVolume(1), DSERR_INVALIDPARAM);
  auto plain = Make(Pcm(2, 44100, 16), 4096, 0);
  EXPECT_EQ(plain->SetVolume(-100), DSERR_CONTROLUNAVAIL);
}

TEST_F(DSoundBufferTest, AHungDeviceStopsThePlayCursor) {
  auto b = Make(Pcm(2, 44100, 16), 8192 * 4);
  Write(*b, 0, Ramp(8192));
  Fake->SetHung(true);
  b->Play(0, 0, DSBPLAY_LOOPING);
  DirectSoundSleep(1000);
  uint64_t play = 1, write = 0;
  b->GetTotalPosition(play, write);
  EXPECT_EQ(play, 0u);
  EXPECT_EQ(write, Latency * 4);
  EXPECT_EQ(Fake->Now(), 1000u);
}

}  // namespace
