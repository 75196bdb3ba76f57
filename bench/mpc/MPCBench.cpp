// The driver of bench/mpc/run.sh: a WAV file encoded to Musepack, or a Musepack file
// decoded to raw 16-bit PCM, through the pipeline (file input, TMPCOut or TMPCIn,
// worker thread).
//   MPCBench enc <in.wav> <out.mpc> <quality>
//   MPCBench dec <in.mpc> <out.raw>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "audio/codecs/mpc/TSL_MPC.h"
#include "bench/BenchSupport.h"

namespace {

// Plain PCM WAV files: the "fmt " and "data" chunks, nothing more.
class TBenchWavIn : public TAuFileIn {
public:
  using TAuFileIn::TAuFileIn;

protected:
  void DoOpenFile() override {
    if (!FStreamAssigned) OpenOwnStream();
    uint8_t riff[12];
    FStream->ReadBuffer(riff, 12);
    if (std::memcmp(riff, "RIFF", 4) != 0 || std::memcmp(riff + 8, "WAVE", 4) != 0)
      throw EAuException("not a WAV file");
    for (;;) {
      uint8_t head[8];
      FStream->ReadBuffer(head, 8);
      uint32_t size;
      std::memcpy(&size, head + 4, 4);
      if (std::memcmp(head, "fmt ", 4) == 0) {
        std::vector<uint8_t> fmt(size);
        FStream->ReadBuffer(fmt.data(), size);
        uint16_t channels, bits;
        uint32_t rate;
        std::memcpy(&channels, &fmt[2], 2);
        std::memcpy(&rate, &fmt[4], 4);
        std::memcpy(&bits, &fmt[14], 2);
        FChannels = channels;
        FSampleRate = int32_t(rate);
        FBitsPerSample = bits;
        if (size & 1) FStream->Seek(1, soCurrent);
      } else if (std::memcmp(head, "data", 4) == 0) {
        FDataStart = FStream->Position();
        FSize = size;
        break;
      } else {
        FStream->Seek(size + (size & 1), soCurrent);
      }
    }
    FValid = true;
  }
  void DoCloseFile() override {}
  void ReadRaw(void*& Buffer, uint32_t& Bytes) override {
    const int64_t left = FDataStart + FSize - FStream->Position();
    const uint32_t n = uint32_t(std::min<int64_t>({int64_t(Bytes), left, int64_t(1 << 16)}));
    FBuf.resize(n);
    Bytes = uint32_t(FStream->Read(FBuf.data(), n));
    Buffer = FBuf.data();
  }
  bool SeekRaw(int64_t& SampleNum) override {
    FStream->Seek(FDataStart + SampleNum * FFrameSize, soBeginning);
    return true;
  }

private:
  int64_t FDataStart = 0;
  std::vector<uint8_t> FBuf;
};

// Writes what its input delivers, as it comes.
class TBenchRawOut : public TAuFileOut {
public:
  using TAuFileOut::TAuFileOut;

protected:
  void Prepare() override {
    FInput->Init();
    FStream = new TAuFileStream(FFileName, fmCreate);
  }
  bool WriteBlock(bool) override {
    void* p = nullptr;
    uint32_t n = 1 << 16;
    FInput->ReadData(p, n);
    if (n == 0) return false;
    FStream->WriteBuffer(p, n);
    return true;
  }
  void Finish() override {
    delete FStream;
    FStream = nullptr;
    FInput->Flush();
  }
};

int Run(TAuOutput& Out) { return TimedRun(&Out) ? 0 : 1; }

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  TComponentPtr<TComponent> owner(new TComponent(nullptr));
  if (mode == "enc" && argc == 5) {
    auto* in = new TBenchWavIn(owner.get());
    in->SetFileName(argv[2]);
    auto* out = new TMPCOut(owner.get());
    out->SetFileName(argv[3]);
    out->SetQuality(std::strtof(argv[4], nullptr));
    out->SetInput(in);
    return Run(*out);
  }
  if (mode == "dec" && argc == 4) {
    auto* in = new TMPCIn(owner.get());
    in->SetFileName(argv[2]);
    auto* out = new TBenchRawOut(owner.get());
    out->SetFileName(argv[3]);
    out->SetInput(in);
    return Run(*out);
  }
  std::fprintf(stderr, "usage: MPCBench enc <in.wav> <out.mpc> <quality> | dec <in.mpc> <out.raw>\n");
  return 2;
}
