#pragma once
// The stream headers of an AVI file: the "strh", "strf" and "strn" chunks of each
// "strl" list in the "hdrl" list at the start of the RIFF AVI form.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct TAviStreamHeader {
  uint32_t fccType = 0, fccHandler = 0, dwFlags = 0;
  uint16_t wPriority = 0, wLanguage = 0;
  uint32_t dwInitialFrames = 0, dwScale = 0, dwRate = 0, dwStart = 0, dwLength = 0;
  uint32_t dwSuggestedBufferSize = 0, dwQuality = 0, dwSampleSize = 0;
  std::vector<uint8_t> Format;  // the "strf" chunk as stored
  std::string Name;             // the "strn" chunk, without its terminating zero
};

// Reads the stream headers from the first Size bytes of a file. False when the bytes
// do not start a RIFF AVI form with a complete "hdrl" list; chunks that run past it
// are ignored. Every length is checked against the bytes given.
bool ParseAviHeader(const uint8_t* Data, size_t Size, std::vector<TAviStreamHeader>& Streams);

constexpr uint32_t AviFourCC(char A, char B, char C, char D) {
  return uint32_t(uint8_t(A)) | uint32_t(uint8_t(B)) << 8 | uint32_t(uint8_t(C)) << 16 | uint32_t(uint8_t(D)) << 24;
}
