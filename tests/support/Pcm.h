#pragma once
// Bytes and samples of raw PCM: little-endian fields, channels taken apart, and the
// measures the tests compare decodes with.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace testsupport {

uint16_t Le16(const std::vector<uint8_t>& B, size_t At);
uint32_t Le32(const std::vector<uint8_t>& B, size_t At);
// V as little-endian bytes, for building files in strings.
std::string Le16String(uint32_t V);
std::string Le32String(uint32_t V);

// The bytes [From, To) of V, both cut to its size.
std::vector<uint8_t> ByteRange(const std::vector<uint8_t>& V, int64_t From, int64_t To);

// Raw 16-bit samples (native order) and back.
std::vector<int16_t> AsInt16(const std::vector<uint8_t>& Bytes);
std::vector<uint8_t> AsBytes(const std::vector<int16_t>& Samples);

// The samples of channel C of interleaved little-endian PCM (8-bit unsigned), as
// fractions of full scale. A partial frame at the end is left out.
std::vector<double> ChannelSamples(const std::vector<uint8_t>& Pcm, int Bits, int Channels, int C);

// Pearson correlation over the common length.
double Correlation(const std::vector<double>& A, const std::vector<double>& B);
double Correlation(const std::vector<int16_t>& A, const std::vector<int16_t>& B);
// The highest normalised correlation of B against A over lags 0..MaxLag (B delayed),
// the lag it was found at in Lag.
double BestCorrelation(const std::vector<double>& A, const std::vector<double>& B, int MaxLag, int* Lag = nullptr);
double Rms(const std::vector<double>& A);

}  // namespace testsupport
