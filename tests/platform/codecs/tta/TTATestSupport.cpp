#include "TTATestSupport.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

namespace TTATests {

std::string ProgramDir() {
  char Buf[4096];
  ssize_t N = readlink("/proc/self/exe", Buf, sizeof Buf - 1);
  if (N <= 0) return ".";
  Buf[N] = 0;
  std::string P(Buf);
  return P.substr(0, P.rfind('/'));
}

namespace {

template <class F>
void BindOne(Api& A, const char* Label, F& Fn) {
  if (!A.Error.empty()) return;
  const char* Symbol = TTALib::TTALibSymbol(Label);
  if (!Symbol) {
    A.Error = std::string("no entry point is labelled ") + Label;
    return;
  }
  Fn = reinterpret_cast<F>(dlsym(A.Handle, Symbol));
  if (!Fn) A.Error = std::string("Function \"") + Label + "\" not found in TrueAudio library!";
}

Api Load() {
  Api A;
  std::string Path = ProgramDir() + "/libTTALib.so";
  A.Handle = dlopen(Path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!A.Handle) {
    A.Error = std::string("TTALib could not be loaded: ") + dlerror();
    return A;
  }
  BindOne(A, "TTADecoder::TTADecoder", A.DecConstruct);
  BindOne(A, "TTADecoder::~TTADecoder", A.DecDestruct);
  BindOne(A, "TTADecoder_GetBlock", A.DecGetBlock);
  BindOne(A, "TTADecoder::GetNumChannels", A.DecGetNumChannels);
  BindOne(A, "TTADecoder::GetBitsPerSample", A.DecGetBitsPerSample);
  BindOne(A, "TTADecoder::GetSampleRate", A.DecGetSampleRate);
  BindOne(A, "TTADecoder::GetDataLength", A.DecGetDataLength);
  BindOne(A, "TTADecoder::GetFormat", A.DecGetFormat);
  BindOne(A, "TTADecoder::GetStat", A.DecGetStat);
  BindOne(A, "TTAEncoder::TTAEncoder", A.EncConstruct);
  BindOne(A, "TTAEncoder::~TTAEncoder", A.EncDestruct);
  BindOne(A, "TTAEncoder_CompressBlock", A.EncCompressBlock);
  BindOne(A, "TTAEncoder::Finish", A.EncFinish);
  BindOne(A, "TTAEncoder::GetStat", A.EncGetStat);
  BindOne(A, "WaveFile::WaveFile", A.WavConstruct);
  BindOne(A, "WaveFile::~WaveFile", A.WavDestruct);
  BindOne(A, "WaveFile::Open", A.WavOpen);
  BindOne(A, "WaveFile::Create", A.WavCreate);
  BindOne(A, "WaveFile::ReadHeaders", A.WavReadHeaders);
  BindOne(A, "WaveFile::WriteHeaders", A.WavWriteHeaders);
  BindOne(A, "WaveFile::Read", A.WavRead);
  BindOne(A, "WaveFile::Write", A.WavWrite);
  BindOne(A, "WaveFile::Close", A.WavClose);
  BindOne(A, "WaveFile::GetFormat", A.WavGetFormat);
  BindOne(A, "WaveFile::GetNumChannels", A.WavGetNumChannels);
  BindOne(A, "WaveFile::GetBitsPerSample", A.WavGetBitsPerSample);
  BindOne(A, "WaveFile::GetSampleRate", A.WavGetSampleRate);
  BindOne(A, "WaveFile::GetDataLength", A.WavGetDataLength);
  BindOne(A, "CopyId3Header", A.CopyId3Header);
  BindOne(A, "GetErrStr", A.GetErrStr);
  BindOne(A, "TTA2Wav", A.TTA2Wav);
  BindOne(A, "TTATest", A.TTATest);
  BindOne(A, "Wav2TTA", A.Wav2TTA);
  return A;
}

} // namespace

const Api& Lib() {
  static const Api A = Load();
  return A;
}

std::vector<uint8_t> MakeRaw(const TempDir& Dir, int Bits, int Channels, int Rate, double Seconds) {
  static const char* Generators[] = {"sine 440",   "pinknoise", "square 220", "sine 1234",
                                     "whitenoise", "brownnoise", "sine 97",   "sawtooth 330"};
  std::string Gen;
  for (int C = 0; C < Channels; ++C) Gen += std::string(" ") + Generators[C % 8];
  std::string Out = Dir.Path("src-" + std::to_string(Bits) + "-" + std::to_string(Channels) + ".raw");
  std::string Enc = Bits == 8 ? "-e unsigned-integer" : "-e signed-integer";
  std::string Cmd = "sox -n -r " + std::to_string(Rate) + " -b " + std::to_string(Bits) + " -c " +
                    std::to_string(Channels) + " " + Enc + " -t raw " + Quote(Out) + " synth " +
                    std::to_string(Seconds) + Gen + " tremolo 3 40 vol 0.9";
  std::string Log;
  EXPECT_TRUE(RunOk(Cmd, &Log)) << Cmd << "\n" << Log;
  return ReadFile(Out);
}

std::vector<int64_t> RawToSlots(const std::vector<uint8_t>& Raw, int Bits) {
  std::vector<int64_t> S;
  const uint8_t* P = Raw.data();
  switch (Bits) {
    case 8:
      for (uint8_t B : Raw) S.push_back((int64_t{B} - 128) & 0xFF);
      break;
    case 16:
      for (size_t I = 0; I + 1 < Raw.size(); I += 2) S.push_back(static_cast<int16_t>(P[I] | (P[I + 1] << 8)));
      break;
    case 24:
      for (size_t I = 0; I + 2 < Raw.size(); I += 3)
        S.push_back(static_cast<int32_t>((uint32_t{P[I]} << 8) | (uint32_t{P[I + 1]} << 16) |
                                         (uint32_t{P[I + 2]} << 24)) >> 8);
      break;
  }
  return S;
}

std::vector<uint8_t> SlotsToRaw(const int64_t* Slots, size_t Count, int Bits) {
  std::vector<uint8_t> R;
  for (size_t I = 0; I < Count; ++I) {
    uint64_t V = static_cast<uint64_t>(Slots[I]);
    switch (Bits) {
      case 8: R.push_back(static_cast<uint8_t>(V + 128)); break;
      case 16:
        R.push_back(static_cast<uint8_t>(V));
        R.push_back(static_cast<uint8_t>(V >> 8));
        break;
      case 24:
        R.push_back(static_cast<uint8_t>(V));
        R.push_back(static_cast<uint8_t>(V >> 8));
        R.push_back(static_cast<uint8_t>(V >> 16));
        break;
    }
  }
  return R;
}

void EncodeSlots(const std::string& Path, const std::vector<int64_t>& Slots, int Format, int Bits, int Channels,
                 int Rate, int64_t Estimate, int BlockFrames) {
  const Api& L = Lib();
  ASSERT_TRUE(L.Error.empty()) << L.Error;
  int Fd = open(Path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  ASSERT_GE(Fd, 0);
  TTALib::TTAEncoder E;
  L.EncConstruct(&E, Fd, false, Format, Channels, Bits, Rate, Estimate);
  size_t Step = size_t(BlockFrames) * Channels;
  for (size_t I = 0; I < Slots.size(); I += Step) {
    size_t N = std::min(Step, Slots.size() - I);
    EXPECT_TRUE(L.EncCompressBlock(&E, Slots.data() + I, static_cast<int32_t>(N)));
  }
  L.EncDestruct(&E);
  close(Fd);
}

Decoded DecodeFile(const std::string& Path, int32_t* Code, std::string* Message) {
  const Api& L = Lib();
  Decoded D;
  if (Code) *Code = TTALib::TTA_NO_ERROR;
  int Fd = open(Path.c_str(), O_RDONLY | O_CLOEXEC);
  if (Fd < 0) {
    if (Code) *Code = TTALib::TTA_OPEN_ERROR;
    return D;
  }
  TTALib::TTADecoder Dec;
  bool Constructed = false;
  try {
    L.DecConstruct(&Dec, Fd);
    Constructed = true;
    D.Channels = L.DecGetNumChannels(&Dec);
    D.Bits = L.DecGetBitsPerSample(&Dec);
    D.Rate = L.DecGetSampleRate(&Dec);
    D.Format = L.DecGetFormat(&Dec);
    D.Length = L.DecGetDataLength(&Dec);
    int64_t* Block = nullptr;
    while (int32_t Frames = L.DecGetBlock(&Dec, &Block))
      D.Slots.insert(D.Slots.end(), Block, Block + size_t(Frames) * D.Channels);
  } catch (const TTALib::TTAException& E) {
    if (Code) *Code = E.Code();
    if (Message) *Message = E.what();
  }
  if (Constructed) L.DecDestruct(&Dec);
  close(Fd);
  return D;
}

uint32_t Crc32(const uint8_t* Data, size_t Size) {
  uint32_t C = 0xFFFFFFFFu;
  for (size_t I = 0; I < Size; ++I) {
    C ^= Data[I];
    for (int B = 0; B < 8; ++B) C = (C >> 1) ^ (0xEDB88320u & (0u - (C & 1)));
  }
  return ~C;
}

void PutLE32(std::vector<uint8_t>& Data, size_t At, uint32_t V) {
  for (int I = 0; I < 4; ++I) Data[At + I] = static_cast<uint8_t>(V >> (8 * I));
}
void PutLE16(std::vector<uint8_t>& Data, size_t At, uint16_t V) {
  Data[At] = static_cast<uint8_t>(V);
  Data[At + 1] = static_cast<uint8_t>(V >> 8);
}
void FixHeaderCrc(std::vector<uint8_t>& File, size_t At) { PutLE32(File, At + 18, Crc32(File.data() + At, 18)); }

std::vector<uint8_t> MakeId3v2(size_t PaddingBytes, bool Footer) {
  std::vector<uint8_t> Body;
  const char Title[] = "A title";
  const char Id[] = "TIT2";
  Body.insert(Body.end(), Id, Id + 4);
  uint32_t FrameSize = static_cast<uint32_t>(sizeof Title); // encoding byte + text
  for (int I = 3; I >= 0; --I) Body.push_back(static_cast<uint8_t>(FrameSize >> (8 * I)));
  Body.push_back(0);
  Body.push_back(0);
  Body.push_back(0); // ISO-8859-1
  Body.insert(Body.end(), Title, Title + sizeof Title - 1);
  Body.resize(Body.size() + PaddingBytes, 0);
  std::vector<uint8_t> Tag = {'I', 'D', '3', static_cast<uint8_t>(Footer ? 4 : 3), 0,
                              static_cast<uint8_t>(Footer ? 0x10 : 0)};
  uint32_t Size = static_cast<uint32_t>(Body.size());
  for (int I = 3; I >= 0; --I) Tag.push_back(static_cast<uint8_t>((Size >> (7 * I)) & 0x7F));
  Tag.insert(Tag.end(), Body.begin(), Body.end());
  if (Footer) {
    std::vector<uint8_t> Foot(Tag.begin(), Tag.begin() + 10);
    Foot[0] = '3';
    Foot[1] = 'D';
    Foot[2] = 'I';
    Tag.insert(Tag.end(), Foot.begin(), Foot.end());
  }
  return Tag;
}

} // namespace TTATests
