#pragma once
// Helpers of the Musepack component tests: fixtures made with sox and mpcenc, reference
// decodes by mpcdec, and runs of the components on the real worker thread.

#include <cstdint>
#include <string>
#include <vector>

#include "audio/codecs/mpc/TSL_MPC.h"
#include "platform/rtl/FileUtils.h"
#include "tests/support/Files.h"
#include "tests/support/Pcm.h"
#include "tests/support/Pipeline.h"
#include "tests/support/Tools.h"

namespace MPCTests {

// Raw PCM made by sox (8-bit unsigned, wider signed little-endian): a chord with a
// different tone per channel, at the given peak level (1.0 = full scale).
std::string MakeRaw(const testsupport::TTempDir& Dir, const std::string& Name, int Bits, int Channels, int Rate,
                    double Seconds, double Level = 0.5);
// The same PCM as a plain PCM WAV file (the only WAV layout mpcenc reads).
std::string RawToWav(const std::string& Raw, int Bits, int Channels, int Rate);
// mpcenc's own encoding of a WAV file at a quality, with optional extra arguments.
std::string EncodeWithMpcenc(const std::string& Wav, const std::string& Out, double Quality,
                             const std::string& Extra = "");

// mpcdec's 16-bit output (raw, little-endian) of a Musepack file.
std::vector<int16_t> DecodeWithMpcdec(const std::string& Mpc);
// The sample count mpcdec -i reports as the stream's length.
int64_t DeclaredLength(const std::string& Mpc);

// Decodes a file with TMPCIn on the worker thread; Bits is OutBitsPerSample. The
// input's stated format is checked against the delivery afterwards by the caller.
struct Decoded {
  std::vector<uint8_t> Data;
  int32_t Rate = 0, Channels = 0, Bits = 0;
  int64_t Size = 0;
  std::string Error;
};
Decoded DecodeWithOurs(const std::string& Mpc, uint32_t Bits = 16, int64_t StartSample = 0,
                       int64_t EndSample = -1);

// Encodes raw PCM with TMPCOut on the worker thread. DeclaredSize as TRawIn has it.
std::string EncodeWithOurs(const std::string& Raw, const std::string& Out, int Bits, int Channels, int Rate,
                           float Quality, const TAPEv2Tags* Tags = nullptr, int64_t DeclaredSize = -2);

// A hand-made stream version 7 file of silent frames (Max_Band 1, every band
// unused). RateIndex: 0 44100, 1 48000, 2 37800, 3 32000 Hz.
std::vector<uint8_t> MakeSV7(uint32_t Frames, uint32_t LastFrameSamples, bool Gapless, int RateIndex);

}  // namespace MPCTests
