#include "platform/avifile/AviHeader.h"

#include "platform/rtl/ByteOrder.h"
#include "platform/rtl/Riff.h"

namespace {

// Calls F(id, data, size) for each chunk in [P, P + Size); a chunk running past the
// end stops the walk.
template <typename F>
void ForEachChunk(const uint8_t* P, size_t Size, F&& Fn) {
  size_t pos = 0;
  while (Size - pos >= 8) {
    const uint32_t id = GetLE32(P + pos);
    const uint32_t len = GetLE32(P + pos + 4);
    if (len > Size - pos - 8) return;
    Fn(id, P + pos + 8, static_cast<size_t>(len));
    pos += 8 + static_cast<size_t>(RiffPaddedSize(len));  // chunks are word aligned
    if (pos > Size) return;
  }
}

void ParseStrl(const uint8_t* P, size_t Size, TAviStreamHeader& H) {
  ForEachChunk(P, Size, [&H](uint32_t Id, const uint8_t* D, size_t N) {
    if (Id == AviFourCC('s', 't', 'r', 'h') && N >= 48) {
      H.fccType = GetLE32(D);
      H.fccHandler = GetLE32(D + 4);
      H.dwFlags = GetLE32(D + 8);
      H.wPriority = GetLE16(D + 12);
      H.wLanguage = GetLE16(D + 14);
      H.dwInitialFrames = GetLE32(D + 16);
      H.dwScale = GetLE32(D + 20);
      H.dwRate = GetLE32(D + 24);
      H.dwStart = GetLE32(D + 28);
      H.dwLength = GetLE32(D + 32);
      H.dwSuggestedBufferSize = GetLE32(D + 36);
      H.dwQuality = GetLE32(D + 40);
      H.dwSampleSize = GetLE32(D + 44);
    } else if (Id == AviFourCC('s', 't', 'r', 'f')) {
      H.Format.assign(D, D + N);
    } else if (Id == AviFourCC('s', 't', 'r', 'n')) {
      size_t n = 0;
      while (n < N && D[n]) ++n;
      H.Name.assign(reinterpret_cast<const char*>(D), n);
    }
  });
}

}  // namespace

bool ParseAviHeader(const uint8_t* Data, size_t Size, std::vector<TAviStreamHeader>& Streams) {
  Streams.clear();
  if (!Data || Size < 24) return false;
  if (GetLE32(Data) != AviFourCC('R', 'I', 'F', 'F') || GetLE32(Data + 8) != AviFourCC('A', 'V', 'I', ' ')) return false;
  // The first chunk of the form is the header list.
  if (GetLE32(Data + 12) != AviFourCC('L', 'I', 'S', 'T') || GetLE32(Data + 20) != AviFourCC('h', 'd', 'r', 'l'))
    return false;
  const uint32_t listLen = GetLE32(Data + 16);
  if (listLen < 4 || listLen > Size - 20) return false;
  ForEachChunk(Data + 24, listLen - 4, [&Streams](uint32_t Id, const uint8_t* D, size_t N) {
    if (Id == AviFourCC('L', 'I', 'S', 'T') && N >= 4 && GetLE32(D) == AviFourCC('s', 't', 'r', 'l')) {
      TAviStreamHeader h;
      ParseStrl(D + 4, N - 4, h);
      Streams.push_back(std::move(h));
    }
  });
  return true;
}
