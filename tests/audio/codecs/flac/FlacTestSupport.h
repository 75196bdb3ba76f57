#pragma once
// Fixtures and tool runs of the FLAC tests: raw PCM made by sox, files made and checked
// by flac, our output driven through the pipeline.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "audio/codecs/flac/TSL_FLAC.h"
#include "platform/rtl/StrUtils.h"
#include "tests/support/Files.h"
#include "tests/support/Pcm.h"
#include "tests/support/Pipeline.h"
#include "tests/support/Tools.h"

namespace flactest {

inline std::string Sign(int32_t Bits) { return Bits == 8 ? "unsigned" : "signed"; }

// Raw little-endian PCM from sox in the process's folder, one tone per channel so that
// channels differ.
inline std::string MakeRaw(const std::string& Name, int32_t Bits, int32_t Channels, int32_t Rate,
                           double Seconds) {
  std::string gens;
  for (int32_t c = 0; c < Channels; ++c) gens += " sine " + std::to_string(220 + 130 * c);
  return testsupport::SynthRaw(testsupport::TempPath(Name), Bits, Channels, Rate,
                               std::to_string(Seconds) + gens + " vol 0.6");
}

// flac's own decode of a file as raw little-endian samples (8-bit unsigned).
inline std::vector<uint8_t> FlacDecode(const std::string& Path, int32_t Bits) {
  const std::string out = Path + ".ref.raw";
  testsupport::Shell("flac -s -d -f --force-raw-format --endian=little --sign=" + Sign(Bits) + " -o '" + out +
                     "' '" + Path + "'");
  return testsupport::ReadFile(out);
}

// flac's encode of a raw file; Extra goes on the command line (tags, level).
inline std::string FlacEncode(const std::string& Raw, int32_t Bits, int32_t Channels, int32_t Rate,
                              const std::string& Out, const std::string& Extra = "") {
  testsupport::Shell("flac -s -f --force-raw-format --endian=little --sign=" + Sign(Bits) + " --channels=" +
                     std::to_string(Channels) + " --bps=" + std::to_string(Bits) + " --sample-rate=" +
                     std::to_string(Rate) + " " + Extra + " -o '" + Out + "' '" + Raw + "'");
  return Out;
}

// Encodes a raw file through TRawIn -> TFLACOut; Setup may set properties first.
inline std::string EncodeRaw(const std::string& Raw, int32_t Bits, int32_t Channels, int32_t Rate,
                             const std::string& Out, const std::function<void(TFLACOut&)>& Setup = nullptr,
                             int64_t DeclaredSize = -2) {
  TComponentPtr<TRawIn> in(new TRawIn(nullptr, Bits, Channels, Rate));
  in->SetFileName(Raw);
  in->DeclaredSize = DeclaredSize;
  TComponentPtr<TFLACOut> out(new TFLACOut(nullptr));
  out->SetInput(in.get());
  out->SetFileName(Out);
  if (Setup) Setup(*out);
  return testsupport::RunOutput(*out);
}

}  // namespace flactest
