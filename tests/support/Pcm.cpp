#include "tests/support/Pcm.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace testsupport {

uint16_t Le16(const std::vector<uint8_t>& B, size_t At) { return static_cast<uint16_t>(B[At] | B[At + 1] << 8); }

uint32_t Le32(const std::vector<uint8_t>& B, size_t At) {
  return B[At] | B[At + 1] << 8 | B[At + 2] << 16 | static_cast<uint32_t>(B[At + 3]) << 24;
}

std::string Le16String(uint32_t V) { return {static_cast<char>(V & 0xFF), static_cast<char>((V >> 8) & 0xFF)}; }

std::string Le32String(uint32_t V) {
  return {static_cast<char>(V & 0xFF), static_cast<char>((V >> 8) & 0xFF), static_cast<char>((V >> 16) & 0xFF),
          static_cast<char>(V >> 24)};
}

std::vector<uint8_t> ByteRange(const std::vector<uint8_t>& V, int64_t From, int64_t To) {
  From = std::clamp<int64_t>(From, 0, static_cast<int64_t>(V.size()));
  To = std::clamp<int64_t>(To, From, static_cast<int64_t>(V.size()));
  return std::vector<uint8_t>(V.begin() + From, V.begin() + To);
}

std::vector<int16_t> AsInt16(const std::vector<uint8_t>& Bytes) {
  std::vector<int16_t> v(Bytes.size() / 2);
  if (!v.empty()) std::memcpy(v.data(), Bytes.data(), v.size() * 2);
  return v;
}

std::vector<uint8_t> AsBytes(const std::vector<int16_t>& Samples) {
  std::vector<uint8_t> v(Samples.size() * 2);
  if (!v.empty()) std::memcpy(v.data(), Samples.data(), v.size());
  return v;
}

std::vector<double> ChannelSamples(const std::vector<uint8_t>& Pcm, int Bits, int Channels, int C) {
  const size_t w = static_cast<size_t>(Bits / 8), channels = static_cast<size_t>(Channels);
  const size_t frames = Pcm.size() / (w * channels);
  std::vector<double> v(frames);
  for (size_t i = 0; i < frames; ++i) {
    const uint8_t* p = Pcm.data() + (i * channels + static_cast<size_t>(C)) * w;
    uint32_t u = 0;
    for (size_t b = 0; b < w; ++b) u |= static_cast<uint32_t>(p[b]) << (8 * b);
    if (w == 1) {
      v[i] = (static_cast<int32_t>(u) - 128) / 128.0;
    } else {
      const int shift = static_cast<int>(32 - 8 * w);
      v[i] = (static_cast<int32_t>(u << shift) >> shift) / std::ldexp(1.0, static_cast<int>(8 * w) - 1);
    }
  }
  return v;
}

double Correlation(const std::vector<double>& A, const std::vector<double>& B) {
  const size_t n = std::min(A.size(), B.size());
  if (n == 0) return 0;
  double ma = 0, mb = 0;
  for (size_t i = 0; i < n; ++i) {
    ma += A[i];
    mb += B[i];
  }
  ma /= static_cast<double>(n);
  mb /= static_cast<double>(n);
  double ab = 0, aa = 0, bb = 0;
  for (size_t i = 0; i < n; ++i) {
    const double a = A[i] - ma, b = B[i] - mb;
    ab += a * b;
    aa += a * a;
    bb += b * b;
  }
  return aa > 0 && bb > 0 ? ab / std::sqrt(aa * bb) : 0;
}

double Correlation(const std::vector<int16_t>& A, const std::vector<int16_t>& B) {
  return Correlation(std::vector<double>(A.begin(), A.end()), std::vector<double>(B.begin(), B.end()));
}

double BestCorrelation(const std::vector<double>& A, const std::vector<double>& B, int MaxLag, int* Lag) {
  double best = -2;
  for (int lag = 0; lag <= MaxLag; ++lag) {
    double ab = 0, aa = 0, bb = 0;
    for (size_t i = 0; i < A.size() && i + size_t(lag) < B.size(); ++i) {
      const double a = A[i], b = B[i + size_t(lag)];
      ab += a * b;
      aa += a * a;
      bb += b * b;
    }
    const double c = aa > 0 && bb > 0 ? ab / std::sqrt(aa * bb) : 0;
    if (c > best) {
      best = c;
      if (Lag) *Lag = lag;
    }
  }
  return best;
}

double Rms(const std::vector<double>& A) {
  double s = 0;
  for (double a : A) s += a * a;
  return A.empty() ? 0 : std::sqrt(s / double(A.size()));
}

}  // namespace testsupport
