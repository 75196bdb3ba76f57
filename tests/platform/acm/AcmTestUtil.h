#pragma once
// Fixtures and a conversion driver shared by the ACM tests.

#include <string>
#include <vector>

#include "platform/acm/Acm.h"
#include "tests/support/Pcm.h"

namespace acmtest {

using testsupport::AsInt16;

// A WAV that ffmpeg encoded from a sox signal, split into format and payload,
// and ffmpeg's own decode of it to 16-bit PCM. Fails the test when a tool fails.
struct Encoded {
  WAVEFORMATEX Format;
  std::vector<uint8_t> Payload;
  std::vector<int16_t> Reference;
};
Encoded MakeEncoded(const std::string& Name, int Rate, int Channels, const std::string& Synth,
                    const std::string& Encoder);

// Feeds Payload in chunks whose sizes cycle through Chunks, keeping what a
// conversion leaves unused in front of the next chunk, as the pipeline's rate
// converter does: block alignment until the payload is handed over, then
// conversions without it until the source is used up. Room 0: each
// destination as acmStreamSize gives it. Stops at the first error, keeping
// the output of the conversion that returned it.
struct Converted {
  MMRESULT Result = MMSYSERR_NOERROR;
  std::vector<uint8_t> Out;
  int LastConversions = 0;
};
Converted ConvertStream(const HACMSTREAM& Stream, const std::vector<uint8_t>& Payload,
                        const std::vector<size_t>& Chunks, uint32_t Room = 0);

// One conversion with a header prepared for it.
MMRESULT ConvertOnce(const HACMSTREAM& Stream, const uint8_t* Src, uint32_t SrcLength, uint8_t* Dst, uint32_t DstLength,
                     uint32_t Flags, uint32_t& SrcUsed, uint32_t& DstUsed);

WAVEFORMATEX PcmFormat(uint16_t Channels, uint32_t Rate, uint16_t Bits);
std::vector<uint8_t> Noise(size_t Bytes, uint32_t Seed);

}  // namespace acmtest
