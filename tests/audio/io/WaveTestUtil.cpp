#include "tests/audio/io/WaveTestUtil.h"

#include <cmath>
#include <cstring>

#include "tests/support/TestComponents.h"
#include "tests/support/Pipeline.h"

namespace wavetest {

namespace {

TWaveRead ReadFrom(TWaveIn& In, uint32_t Request) {
  TWaveRead r;
  r.Valid = In.Valid();
  r.WavType = In.WavType();
  if (!r.Valid) return r;
  r.Bits = In.BitsPerSample();
  r.Channels = In.Channels();
  r.Rate = In.SampleRate();
  r.Size = In.Size();
  r.Data = testsupport::ReadUntilFailure(In, r.Error, Request);
  return r;
}

}  // namespace

TWaveRead ReadWave(const std::string& Path, uint32_t Request) {
  TComponentPtr<TWaveIn> in(new TWaveIn(nullptr));
  in->SetFileName(Path);
  return ReadFrom(*in, Request);
}

TWaveRead ReadWave(TStream& Stream, uint32_t Request) {
  TComponentPtr<TWaveIn> in(new TWaveIn(nullptr));
  in->SetStream(&Stream);
  return ReadFrom(*in, Request);
}

std::string WriteWave(const std::string& Path, const std::vector<uint8_t>& Pcm, int32_t Bits,
                      int32_t Channels, int32_t Rate, const std::function<void(TWaveOut&)>& Setup) {
  TMemoryStream mem;
  mem.Write(Pcm.data(), static_cast<int64_t>(Pcm.size()));
  TComponentPtr<TRawIn> in(new TRawIn(nullptr, Bits, Channels, Rate));
  in->SetStream(&mem);
  TComponentPtr<TWaveOut> out(new TWaveOut(nullptr));
  out->SetInput(in.get());
  out->SetFileName(Path);
  if (Setup) Setup(*out);
  return testsupport::RunOutput(*out);
}

std::vector<int16_t> Sines(int64_t Frames, int32_t Channels, int32_t Rate) {
  std::vector<int16_t> v(static_cast<size_t>(Frames * Channels));
  for (int64_t f = 0; f < Frames; ++f)
    for (int32_t c = 0; c < Channels; ++c) {
      const double t = static_cast<double>(f) / Rate;
      const double x = 0.5 * std::sin(2 * M_PI * (440.0 + 110.0 * c) * t) + 0.25 * std::sin(2 * M_PI * 3000.0 * t);
      v[static_cast<size_t>(f * Channels + c)] = static_cast<int16_t>(std::lrint(x * 32767.0));
    }
  return v;
}

double Snr(const std::vector<int16_t>& Ref, const std::vector<int16_t>& Test) {
  const size_t n = std::min(Ref.size(), Test.size());
  double s = 0, e = 0;
  for (size_t i = 0; i < n; ++i) {
    s += static_cast<double>(Ref[i]) * Ref[i];
    const double d = static_cast<double>(Ref[i]) - Test[i];
    e += d * d;
  }
  if (e == 0) return 200.0;
  return 10.0 * std::log10(s / e);
}

void SetLe32(std::vector<uint8_t>& B, size_t Offset, uint32_t V) {
  for (int i = 0; i < 4; ++i) B[Offset + i] = static_cast<uint8_t>(V >> (8 * i));
}

void SetLe16(std::vector<uint8_t>& B, size_t Offset, uint16_t V) {
  B[Offset] = static_cast<uint8_t>(V);
  B[Offset + 1] = static_cast<uint8_t>(V >> 8);
}

std::vector<uint8_t> FromHex(const std::string& Hex) {
  std::vector<uint8_t> v;
  int hi = -1;
  for (char c : Hex) {
    int d;
    if (c >= '0' && c <= '9') d = c - '0';
    else if (c >= 'a' && c <= 'f') d = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F') d = c - 'A' + 10;
    else continue;
    if (hi < 0) {
      hi = d;
    } else {
      v.push_back(static_cast<uint8_t>(hi << 4 | d));
      hi = -1;
    }
  }
  return v;
}

int64_t FindChunk(const std::vector<uint8_t>& Wav, const char* Id) {
  size_t p = 12;
  while (p + 8 <= Wav.size()) {
    if (std::memcmp(&Wav[p], Id, 4) == 0) return static_cast<int64_t>(p);
    const uint32_t size = testsupport::Le32(Wav, p + 4);
    p += 8 + size + (size & 1);
  }
  return -1;
}

}  // namespace wavetest
