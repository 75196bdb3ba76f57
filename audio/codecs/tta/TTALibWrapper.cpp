#include "audio/codecs/tta/TTALibWrapper.h"

#include <exception>
#include <string>

#include "audio/core/TSL_Classes.h"

namespace {

TCodecLibrary TTALib_("libTTALib.so");

// The entry points the components call.
#define TTALIB_ENTRIES(X)               \
  X(TTALib_TTADecoder_Construct)        \
  X(TTALib_TTADecoder_Destruct)         \
  X(TTALib_TTADecoder_GetBlock)         \
  X(TTALib_TTADecoder_GetNumChannels)   \
  X(TTALib_TTADecoder_GetBitsPerSample) \
  X(TTALib_TTADecoder_GetSampleRate)    \
  X(TTALib_TTADecoder_GetDataLength)    \
  X(TTALib_TTAEncoder_Construct)        \
  X(TTALib_TTAEncoder_Destruct)         \
  X(TTALib_TTAEncoder_CompressBlock)    \
  X(TTALib_TTAEncoder_Finish)

namespace tta {
TTALIB_ENTRIES(CODEC_ENTRY_POINTER)
void BindAll(TCodecLibrary& Lib) { TTALIB_ENTRIES(CODEC_BIND_ENTRY) }
}  // namespace tta

// Each entry point is checked before it is called; a missing one is reported by the
// label of the class member it stands for.
#define TTA(Name) \
  CheckedEntry<ETTAException>(TTALib_, "TrueAudio", tta::TTALib_##Name, TTALib::TTALibLabel("TTALib_" #Name))

// Library failures arrive as its own exceptions (std::runtime_error); the engine
// reports them as ETTAException with the library's text.
template <class F>
auto Guarded(F&& Fn) -> decltype(Fn()) {
  try {
    return Fn();
  } catch (const Exception&) {
    throw;
  } catch (const TTALib::TTAException& E) {
    throw ETTAException(E.what(), E.SystemError());
  } catch (const std::exception& E) {
    throw ETTAException(E.what());
  } catch (...) {
    throw ETTAException("Unknown error in TrueAudio library");
  }
}

}  // namespace

TCodecLibrary& TTALibrary() { return TTALib_; }

void RequireTTALib() { TTALib_.Require(tta::BindAll); }

// ---------------------------------------------------------------------------
// TTTADecoder

TTTADecoder::TTTADecoder(int AHandle) : FHandle(AHandle) {
  if (AHandle < 0) throw ETTAException("AHandle is zero!");
  auto construct = TTA(TTADecoder_Construct);
  // An object that could not be torn down must not be made.
  TTA(TTADecoder_Destruct);
  Guarded([&] { construct(&FDecoder, FHandle); });
}

TTTADecoder::~TTTADecoder() {
  if (tta::TTALib_TTADecoder_Destruct && FDecoder.FImpl) tta::TTALib_TTADecoder_Destruct(&FDecoder);
}

int32_t TTTADecoder::GetNumChannels() {
  return TTA(TTADecoder_GetNumChannels)(&FDecoder);
}

int32_t TTTADecoder::GetBitsPerSample() {
  return TTA(TTADecoder_GetBitsPerSample)(&FDecoder);
}

int32_t TTTADecoder::GetSampleRate() {
  return TTA(TTADecoder_GetSampleRate)(&FDecoder);
}

int64_t TTTADecoder::GetDataLength() {
  return TTA(TTADecoder_GetDataLength)(&FDecoder);
}

int32_t TTTADecoder::GetBlock(int64_t*& Buffer) {
  auto getBlock = TTA(TTADecoder_GetBlock);
  int64_t* block = nullptr;
  const int32_t frames = Guarded([&] { return getBlock(&FDecoder, &block); });
  Buffer = block;
  return block ? frames : 0;
}

// ---------------------------------------------------------------------------
// TTTAEncoder

TTTAEncoder::TTTAEncoder(int AHandle, int64_t ADataLength, int32_t ASampleRate, int32_t ABitsPerSample,
                         int32_t AChannels, int32_t AFormat, bool ACopyID3v2)
    : FHandle(AHandle) {
  if (AHandle < 0) throw ETTAException("AHandle is invalid!");
  auto construct = TTA(TTAEncoder_Construct);
  TTA(TTAEncoder_Destruct);
  Guarded([&] {
    construct(&FEncoder, FHandle, ACopyID3v2, AFormat, AChannels, ABitsPerSample, ASampleRate, ADataLength);
  });
}

TTTAEncoder::~TTTAEncoder() {
  if (tta::TTALib_TTAEncoder_Destruct && FEncoder.FImpl) tta::TTALib_TTAEncoder_Destruct(&FEncoder);
}

bool TTTAEncoder::CompressBlock(const int64_t* Samples, int32_t Count) {
  auto compress = TTA(TTAEncoder_CompressBlock);
  return Guarded([&] { return compress(&FEncoder, Samples, Count); });
}

void TTTAEncoder::Finish() {
  auto finish = TTA(TTAEncoder_Finish);
  Guarded([&] { finish(&FEncoder); });
}
