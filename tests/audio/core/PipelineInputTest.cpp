// The pull protocol of inputs and converters: ranges, looping, seeking, validity.

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstring>
#include <numeric>

#include "platform/rtl/FileUtils.h"
#include "tests/support/TestComponents.h"

namespace {

// Frames of 16-bit stereo whose bytes tell the frame number: frame f holds
// the 32-bit value f.
std::vector<uint8_t> MakeFrames(int64_t Frames) {
  std::vector<uint8_t> v(static_cast<size_t>(Frames) * 4);
  for (int64_t f = 0; f < Frames; ++f) {
    const uint32_t x = static_cast<uint32_t>(f);
    std::memcpy(&v[static_cast<size_t>(f) * 4], &x, 4);
  }
  return v;
}

std::vector<uint8_t> Slice(const std::vector<uint8_t>& V, int64_t FromFrame, int64_t Frames) {
  return std::vector<uint8_t>(V.begin() + FromFrame * 4, V.begin() + (FromFrame + Frames) * 4);
}

// Reads everything an initialised input delivers, asking for Request bytes each time.
std::vector<uint8_t> Drain(TAuInput& In, uint32_t Request) {
  std::vector<uint8_t> out;
  for (;;) {
    void* p = nullptr;
    uint32_t n = Request;
    In.ReadData(p, n);
    if (n == 0) break;
    EXPECT_NE(p, nullptr);
    EXPECT_LE(n, Request);
    out.insert(out.end(), static_cast<uint8_t*>(p), static_cast<uint8_t*>(p) + n);
  }
  return out;
}

class InputTest : public ::testing::Test {
protected:
  void SetUp() override {
    Frames = MakeFrames(100);
    Mem.Write(Frames.data(), static_cast<int64_t>(Frames.size()));
    In.reset(new TRawIn(nullptr));
    In->SetStream(&Mem);
  }
  TMemoryStream Mem;
  std::vector<uint8_t> Frames;
  TComponentPtr<TRawIn> In;
};

}  // namespace

TEST_F(InputTest, WholeStreamIsDeliveredExactlyForAnyChunking) {
  for (uint32_t chunk : {1u, 3u, 4u, 7u, 64u, 399u, 400u, 100000u}) {
    for (uint32_t request : {4u, 6u, 44u, 4096u}) {
      In->MaxChunk = chunk;
      In->Init();
      EXPECT_EQ(In->Size(), 400);
      EXPECT_EQ(In->FrameSize(), 4);
      EXPECT_EQ(Drain(*In, request), Frames) << "chunk " << chunk << " request " << request;
      EXPECT_EQ(In->Position(), 400);
      In->Flush();
    }
  }
}

TEST_F(InputTest, RangesCountFramesOnce) {
  In->SetStartSample(10);
  In->Init();
  EXPECT_EQ(In->TotalSamples(), 90);  // frames 10..99
  EXPECT_EQ(In->Size(), 90 * 4);
  EXPECT_EQ(Drain(*In, 64), Slice(Frames, 10, 90));
  In->Flush();
  // A run's range is its own: the next one starts from the whole stream again.
  EXPECT_EQ(In->StartSample(), 0);
  EXPECT_EQ(In->EndSample(), -1);

  In->SetStartSample(10);
  In->SetEndSample(19);  // the end sample is part of the range
  In->Init();
  EXPECT_EQ(In->Size(), 10 * 4);
  EXPECT_EQ(Drain(*In, 28), Slice(Frames, 10, 10));
  In->Flush();

  for (int64_t end : {99, 100, 150}) {  // an end at or past the last frame reaches the end
    In->SetStartSample(95);
    In->SetEndSample(end);
    In->Init();
    EXPECT_EQ(Drain(*In, 4096), Slice(Frames, 95, 5)) << end;
    In->Flush();
  }

  In->SetStartSample(20);
  In->SetEndSample(10);  // an empty range delivers nothing
  In->Init();
  EXPECT_EQ(In->Size(), 0);
  EXPECT_TRUE(Drain(*In, 4096).empty());
  In->Flush();
}

TEST_F(InputTest, UnknownSizeStaysUnknownUnlessAnEndBoundsIt) {
  In->DeclaredSize = -1;
  In->SetStartSample(5);
  In->Init();
  EXPECT_EQ(In->Size(), -1);
  EXPECT_EQ(Drain(*In, 100), Slice(Frames, 5, 95));
  In->Flush();

  In->SetStartSample(5);
  In->SetEndSample(14);
  In->Init();
  EXPECT_EQ(In->Size(), 40);
  EXPECT_EQ(Drain(*In, 100), Slice(Frames, 5, 10));
  In->Flush();
}

TEST_F(InputTest, ReadAfterTheEndGivesNothingUntilTheNextRun) {
  In->Init();
  Drain(*In, 4096);
  for (int i = 0; i < 3; ++i) {
    void* p = reinterpret_cast<void*>(1);
    uint32_t n = 100;
    In->ReadData(p, n);
    EXPECT_EQ(p, nullptr);
    EXPECT_EQ(n, 0u);
  }
  In->Flush();
  In->Init();
  EXPECT_EQ(Drain(*In, 4096).size(), 400u);
  In->Flush();
}

TEST_F(InputTest, RequestBelowOneFrameDoesNotEndTheData) {
  In->Init();
  void* p = nullptr;
  uint32_t n = 3;
  In->ReadData(p, n);
  EXPECT_EQ(n, 0u);
  EXPECT_FALSE(In->EndOfData());
  EXPECT_EQ(Drain(*In, 4096), Frames);
  In->Flush();
}

TEST_F(InputTest, FillBufferStopsAtEndOrWhenNoFrameFits) {
  In->MaxChunk = 7;
  In->Init();
  std::vector<uint8_t> buf(1000);
  bool eof = false;
  // Room for 10 frames plus 3 bytes: ten frames, and the data has not ended.
  EXPECT_EQ(In->FillBuffer(buf.data(), 43, eof), 40u);
  EXPECT_FALSE(eof);
  EXPECT_EQ(std::vector<uint8_t>(buf.begin(), buf.begin() + 40), Slice(Frames, 0, 10));
  // The input ends in the middle of the next buffer.
  EXPECT_EQ(In->FillBuffer(buf.data(), 1000, eof), 360u);
  EXPECT_TRUE(eof);
  EXPECT_EQ(std::vector<uint8_t>(buf.begin(), buf.begin() + 360), Slice(Frames, 10, 90));
  In->Flush();
}

namespace {
// A stream whose reads fail from Limit bytes on, as a damaged source's decoder does.
class TFailingStream : public TMemoryStream {
public:
  int64_t Limit = 0;
  int64_t Read(void* Buffer, int64_t Count) override {
    if (Position() >= Limit) throw EAuException("damaged here");
    return TMemoryStream::Read(Buffer, std::min(Count, Limit - Position()));
  }
};
}  // namespace

TEST_F(InputTest, FillBufferHandsOverTheBytesBeforeAFailureAndRaisesItNext) {
  TFailingStream failing;
  failing.Write(Frames.data(), static_cast<int64_t>(Frames.size()));
  failing.Limit = 60 * 4;
  In->SetStream(&failing);
  In->MaxChunk = 40;
  In->Init();
  std::vector<uint8_t> buf(1000);
  bool eof = false;
  EXPECT_EQ(In->FillBuffer(buf.data(), 1000, eof), 240u);
  EXPECT_FALSE(eof);
  EXPECT_EQ(std::vector<uint8_t>(buf.begin(), buf.begin() + 240), Slice(Frames, 0, 60));
  EXPECT_THROW(In->FillBuffer(buf.data(), 1000, eof), EAuException);
  In->Reset();
  // A new run starts clean.
  failing.Limit = 1000;
  In->Init();
  EXPECT_EQ(In->FillBuffer(buf.data(), 1000, eof), 400u);
  EXPECT_TRUE(eof);
  In->Flush();
}

// Sizes on both sides of malloc's switch to mapped blocks (128 KiB), which start 16
// bytes past a page boundary, and a buffer grown from small to large.
TEST(BlockBufferTest, DataStartsOnACacheLine) {
  for (size_t size : {size_t{1}, size_t{4096}, size_t{65536}, size_t{131072}, size_t{1} << 22}) {
    TAuBuffer b(size);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(b.data()) % 64, 0u) << size;
    b.resize(4 * size);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(b.data()) % 64, 0u) << 4 * size;
  }
}

TEST_F(InputTest, LoopRepeatsTheWholeRangeIncludingItsLastBytes) {
  for (uint32_t chunk : {4u, 12u, 28u, 1000u}) {
    In->MaxChunk = chunk;
    In->SetLoop(true);
    In->SetStartSample(3);
    In->SetEndSample(12);  // 10 frames, 40 bytes
    In->Init();
    std::vector<uint8_t> got;
    while (got.size() < 200) {
      void* p = nullptr;
      uint32_t n = 24;
      In->ReadData(p, n);
      ASSERT_GT(n, 0u);
      got.insert(got.end(), static_cast<uint8_t*>(p), static_cast<uint8_t*>(p) + n);
      EXPECT_LE(In->Position(), 40);
    }
    std::vector<uint8_t> want;
    while (want.size() < got.size()) {
      auto r = Slice(Frames, 3, 10);
      want.insert(want.end(), r.begin(), r.end());
    }
    want.resize(got.size());
    EXPECT_EQ(got, want) << "chunk " << chunk;
    In->SetLoop(false);
    In->Flush();
  }
}

TEST_F(InputTest, SeekIdleAndBusy) {
  EXPECT_EQ(In->TotalSamples(), 100);
  EXPECT_FALSE(In->Seek(101));  // beyond a known total: refused, nothing changes
  EXPECT_EQ(In->StartSample(), 0);
  EXPECT_TRUE(In->Seek(40));    // idle: the next run starts there
  In->Init();
  EXPECT_EQ(Drain(*In, 4096), Slice(Frames, 40, 60));
  In->Flush();

  In->Init();
  std::vector<uint8_t> first(40);
  ASSERT_EQ(In->CopyData(first.data(), 40), 40u);
  EXPECT_TRUE(In->Seek(90));  // busy: the decoder moves
  EXPECT_EQ(In->Position(), 90 * 4);
  EXPECT_EQ(Drain(*In, 4096), Slice(Frames, 90, 10));
  // Seeking back after the end makes the data flow again.
  EXPECT_TRUE(In->Seek(98));
  EXPECT_EQ(Drain(*In, 4096), Slice(Frames, 98, 2));
  In->Flush();

  In->DeclaredSize = -1;  // an unknown total does not refuse seeks
  EXPECT_EQ(In->TotalSamples(), -1);
  EXPECT_TRUE(In->Seek(50));
}

TEST_F(InputTest, TotalSamplesOfARunningInputKeepsItsRange) {
  In->SetStartSample(10);
  In->SetEndSample(29);
  In->Init();
  EXPECT_EQ(In->TotalSamples(), 20);
  std::vector<uint8_t> buf(8);
  In->CopyData(buf.data(), 8);
  EXPECT_EQ(In->TotalSamples(), 20);
  EXPECT_EQ(Drain(*In, 4096).size(), 72u);
  In->Flush();
  EXPECT_EQ(In->TotalSamples(), 100);
}

TEST_F(InputTest, BusyInputRefusesToChangeOrCloseItsSource) {
  In->Init();
  TMemoryStream other;
  for (auto f : std::initializer_list<std::function<void()>>{
           [&] { In->SetFileName("x.raw"); }, [&] { In->SetStream(&other); },
           [&] { In->CloseFile(); }}) {
    try {
      f();
      ADD_FAILURE() << "no exception";
    } catch (const EAuException& E) {
      EXPECT_STREQ(E.what(), "The component is Busy");
    }
  }
  EXPECT_EQ(Drain(*In, 4096), Frames);  // and the run goes on undisturbed
  In->Flush();
}

TEST_F(InputTest, StartOfARunChecksTheInput) {
  TComponentPtr<TRawIn> bad(new TRawIn(nullptr, 0, 2, 44100));
  bad->SetStream(&Mem);
  try {
    bad->Init();
    ADD_FAILURE() << "no exception";
  } catch (const EAuException& E) {
    EXPECT_NE(std::string(E.what()).find("not supported"), std::string::npos);
  }
  EXPECT_FALSE(bad->Busy());
  EXPECT_TRUE(bad->EndOfData());

  TComponentPtr<TRawIn> noRate(new TRawIn(nullptr, 16, 2, 0));
  noRate->SetStream(&Mem);
  EXPECT_THROW(noRate->Init(), EAuException);

  TComponentPtr<TRawIn> unnamed(new TRawIn(nullptr));
  try {
    unnamed->Init();
    ADD_FAILURE();
  } catch (const EAuException& E) {
    EXPECT_STREQ(E.what(), "The file name is not assigned");
  }

  In->FailOpen = true;
  EXPECT_THROW(In->Init(), EAuException);
  EXPECT_FALSE(In->Busy());
  In->FailOpen = false;  // a failed start leaves it ready for another try
  In->Init();
  EXPECT_EQ(Drain(*In, 4096), Frames);
  In->Flush();
}

TEST(FileInputTest, ValidOpensNamedFilesAndLeavesValidOnesOpen) {
  const std::string dir = GetTempDirectory();
  const std::string name = CreateUniqueFile(dir, "rawin", ".raw");
  {
    TFileStream f(name, fmCreate);
    auto frames = MakeFrames(50);
    f.WriteBuffer(frames.data(), static_cast<int64_t>(frames.size()));
  }
  TComponentPtr<TRawIn> in(new TRawIn(nullptr));
  // Nothing named and no stream: the stored answer, without touching any file.
  EXPECT_FALSE(in->Valid());
  EXPECT_EQ(in->Opens, 0);

  in->SetFileName(name);
  EXPECT_TRUE(in->Valid());
  EXPECT_EQ(in->OpenCount(), 1);
  EXPECT_EQ(in->TotalTime(), 0);
  EXPECT_EQ(in->TotalSamples(), 50);
  EXPECT_EQ(in->Opens, 1);  // format queries use the open file

  in->SetFileName(name + ".missing");  // a new name closes the old file first
  EXPECT_EQ(in->Closes, 1);
  EXPECT_EQ(in->OpenCount(), 0);
  EXPECT_FALSE(in->Valid());
  EXPECT_EQ(in->OpenCount(), 0);
  try {
    in->Init();
    ADD_FAILURE();
  } catch (const EAuException& E) {
    EXPECT_EQ(std::string(E.what()), SysErrorMessage(ENOENT));
  }

  in->SetFileName(name);
  in->FailOpen = true;  // opened the stream, then failed: the stream is dropped
  EXPECT_FALSE(in->Valid());
  EXPECT_EQ(in->Stream(), nullptr);
  in->FailOpen = false;
  in->Init();
  EXPECT_EQ(Drain(*in, 4096), MakeFrames(50));
  in->Flush();
  EXPECT_EQ(in->OpenCount(), 0);  // the end of a run closes the file
  in.reset();
  EXPECT_TRUE(DeleteFile(name));
}

TEST(FileInputTest, SuppliedStreamIsRewoundNotFreedOnClose) {
  TMemoryStream mem;
  auto frames = MakeFrames(10);
  mem.Write(frames.data(), static_cast<int64_t>(frames.size()));
  {
    TComponentPtr<TRawIn> in(new TRawIn(nullptr));
    in->SetStream(&mem);
    in->Init();
    Drain(*in, 4096);
    in->Flush();
    EXPECT_EQ(mem.Position(), 0);
  }
  EXPECT_EQ(mem.Size(), 40);  // still ours and intact
}

TEST(ConverterTest, PassesDataAndFollowsItsInput) {
  TMemoryStream a, b;
  auto fa = MakeFrames(30), fb = MakeFrames(60);
  a.Write(fa.data(), 120);
  b.Write(fb.data(), 240);
  TComponentPtr<TComponent> owner(new TComponent(nullptr));
  auto* inA = new TRawIn(owner.get());
  auto* inB = new TRawIn(owner.get());
  inA->SetStream(&a);
  inB->SetStream(&b);
  auto* conv = new TPassConverter(owner.get());
  conv->SetInput(inA);
  conv->Init();
  EXPECT_EQ(Drain(*conv, 44), fa);
  conv->Flush();
  EXPECT_FALSE(inA->Busy());

  // Exchanging the input of a running converter ends the old input's run and starts
  // the new one's.
  conv->Init();
  std::vector<uint8_t> buf(8);
  conv->CopyData(buf.data(), 8);
  conv->SetInput(inB);
  EXPECT_FALSE(inA->Busy());
  EXPECT_TRUE(inB->Busy());
  conv->Flush();

  conv->SetInput(conv);  // a converter never reads from itself
  EXPECT_EQ(conv->Input(), inB);
  inB->Free();  // removal clears the reference
  EXPECT_EQ(conv->Input(), nullptr);
  EXPECT_EQ(conv->BitsPerSample(), 0);
}

TEST(ConverterTest, FreeNotificationReachesAConverterOwnedElsewhere) {
  TMemoryStream a;
  TComponentPtr<TRawIn> in(new TRawIn(nullptr));
  in->SetStream(&a);
  TComponentPtr<TPassConverter> conv(new TPassConverter(nullptr));
  conv->SetInput(in.get());
  in.reset();
  EXPECT_EQ(conv->Input(), nullptr);
}

TEST_F(InputTest, IdleSeekAfterARangedRunMeasuresTheWholeFileAgain) {
  In->SetStartSample(10);
  In->SetEndSample(19);
  In->Init();
  Drain(*In, 4096);
  In->Flush();
  EXPECT_TRUE(In->Seek(50));  // the 10-frame range of the last run does not limit it
  In->Init();
  EXPECT_EQ(Drain(*In, 4096), Slice(Frames, 50, 50));
  In->Flush();
}

TEST(DamageMessageTest, GivesTheTimeOfTheDamagedFrameAtTheSourcesRate) {
  const struct {
    int64_t Frame;
    int32_t Rate;
    const char* Where;
  } cases[] = {
      {438272, 44100, "after 0:09.94 (sample frame 438272)"},
      {0, 44100, "after 0:00.00 (sample frame 0)"},
      // Hundredths round half to even.
      {2000, 16000, "after 0:00.12 (sample frame 2000)"},
      {6000, 16000, "after 0:00.38 (sample frame 6000)"},
      {int64_t{44100} * 754 + 441, 44100, "after 12:34.01 (sample frame 33251841)"},
      // From an hour on, hours too; rounding carries into them.
      {int64_t{44100} * 3600 - 1, 44100, "after 1:00:00.00 (sample frame 158759999)"},
      {int64_t{48000} * 37323 + 24000, 48000, "after 10:22:03.50 (sample frame 1791528000)"},
      // No rate, no time.
      {5, 0, "after sample frame 5"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(DecodingErrorMessage("FLAC", "a.flac", c.Frame, c.Rate, "the file ends early"),
              std::string("FLAC decoding error in \"a.flac\" ") + c.Where + ": the file ends early.");
  EXPECT_EQ(DecodingErrorMessage("MP3", "", 441, 44100), "MP3 decoding error after 0:00.01 (sample frame 441).");
}
