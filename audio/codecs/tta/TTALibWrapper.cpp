#include "audio/codecs/tta/TTALibWrapper.h"

#include <exception>
#include <string>

#include "audio/core/TSL_Classes.h"

namespace {

TCodecLibrary TTALib_("libTTALib.so");

// The entry points the components call, with the library header's own types.
decltype(&TTALib_TTADecoder_Construct) DecoderConstruct = nullptr;
decltype(&TTALib_TTADecoder_Destruct) DecoderDestruct = nullptr;
decltype(&TTALib_TTADecoder_GetBlock) DecoderGetBlock = nullptr;
decltype(&TTALib_TTADecoder_GetNumChannels) DecoderGetNumChannels = nullptr;
decltype(&TTALib_TTADecoder_GetBitsPerSample) DecoderGetBitsPerSample = nullptr;
decltype(&TTALib_TTADecoder_GetSampleRate) DecoderGetSampleRate = nullptr;
decltype(&TTALib_TTADecoder_GetDataLength) DecoderGetDataLength = nullptr;
decltype(&TTALib_TTAEncoder_Construct) EncoderConstruct = nullptr;
decltype(&TTALib_TTAEncoder_Destruct) EncoderDestruct = nullptr;
decltype(&TTALib_TTAEncoder_CompressBlock) EncoderCompressBlock = nullptr;
decltype(&TTALib_TTAEncoder_Finish) EncoderFinish = nullptr;

constexpr const char* LDecoderConstruct = "TTADecoder::TTADecoder";
constexpr const char* LDecoderDestruct = "TTADecoder::~TTADecoder";
constexpr const char* LDecoderGetBlock = "TTADecoder_GetBlock";
constexpr const char* LDecoderGetNumChannels = "TTADecoder::GetNumChannels";
constexpr const char* LDecoderGetBitsPerSample = "TTADecoder::GetBitsPerSample";
constexpr const char* LDecoderGetSampleRate = "TTADecoder::GetSampleRate";
constexpr const char* LDecoderGetDataLength = "TTADecoder::GetDataLength";
constexpr const char* LEncoderConstruct = "TTAEncoder::TTAEncoder";
constexpr const char* LEncoderDestruct = "TTAEncoder::~TTAEncoder";
constexpr const char* LEncoderCompressBlock = "TTAEncoder_CompressBlock";
constexpr const char* LEncoderFinish = "TTAEncoder::Finish";

template <class F>
void BindLabel(TCodecLibrary& Lib, const char* Label, F& Fn) {
  Fn = nullptr;
  const char* Symbol = TTALib::TTALibSymbol(Label);
  if (!Symbol || !Lib.Bind(Symbol, Fn)) Fn = nullptr;
}

// The entry point, or ETTAException when the library or the entry point is missing.
template <class F>
F Entry(F Fn, const char* Label) {
  if (!TTALib_.Loaded())
    throw ETTAException("TrueAudio library \"" + TTALib_.FileName() + "\" not loaded!");
  if (!Fn) throw ETTAException(std::string("Function \"") + Label + "\" not found in TrueAudio library!");
  return Fn;
}

// Library failures arrive as its own exceptions (std::runtime_error); the engine
// reports them as ETTAException with the library's text.
template <class F>
auto Guarded(F&& Fn) -> decltype(Fn()) {
  try {
    return Fn();
  } catch (const Exception&) {
    throw;
  } catch (const std::exception& E) {
    throw ETTAException(E.what());
  } catch (...) {
    throw ETTAException("Unknown error in TrueAudio library");
  }
}

}  // namespace

TCodecLibrary& TTALibrary() { return TTALib_; }

void BindTTALib(TCodecLibrary& Lib) {
  BindLabel(Lib, LDecoderConstruct, DecoderConstruct);
  BindLabel(Lib, LDecoderDestruct, DecoderDestruct);
  BindLabel(Lib, LDecoderGetBlock, DecoderGetBlock);
  BindLabel(Lib, LDecoderGetNumChannels, DecoderGetNumChannels);
  BindLabel(Lib, LDecoderGetBitsPerSample, DecoderGetBitsPerSample);
  BindLabel(Lib, LDecoderGetSampleRate, DecoderGetSampleRate);
  BindLabel(Lib, LDecoderGetDataLength, DecoderGetDataLength);
  BindLabel(Lib, LEncoderConstruct, EncoderConstruct);
  BindLabel(Lib, LEncoderDestruct, EncoderDestruct);
  BindLabel(Lib, LEncoderCompressBlock, EncoderCompressBlock);
  BindLabel(Lib, LEncoderFinish, EncoderFinish);
}

void RequireTTALib() { TTALib_.Require(BindTTALib); }

// ---------------------------------------------------------------------------
// TTTADecoder

TTTADecoder::TTTADecoder(int AHandle) : FHandle(AHandle) {
  if (AHandle < 0) throw ETTAException("AHandle is zero!");
  auto construct = Entry(DecoderConstruct, LDecoderConstruct);
  // An object that could not be torn down must not be made.
  Entry(DecoderDestruct, LDecoderDestruct);
  Guarded([&] { construct(&FDecoder, FHandle); });
}

TTTADecoder::~TTTADecoder() {
  if (DecoderDestruct && FDecoder.FImpl) DecoderDestruct(&FDecoder);
}

int32_t TTTADecoder::GetNumChannels() {
  return Entry(DecoderGetNumChannels, LDecoderGetNumChannels)(&FDecoder);
}

int32_t TTTADecoder::GetBitsPerSample() {
  return Entry(DecoderGetBitsPerSample, LDecoderGetBitsPerSample)(&FDecoder);
}

int32_t TTTADecoder::GetSampleRate() {
  return Entry(DecoderGetSampleRate, LDecoderGetSampleRate)(&FDecoder);
}

int64_t TTTADecoder::GetDataLength() {
  return Entry(DecoderGetDataLength, LDecoderGetDataLength)(&FDecoder);
}

int32_t TTTADecoder::GetBlock(int64_t*& Buffer) {
  auto getBlock = Entry(DecoderGetBlock, LDecoderGetBlock);
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
  auto construct = Entry(EncoderConstruct, LEncoderConstruct);
  Entry(EncoderDestruct, LEncoderDestruct);
  Guarded([&] {
    construct(&FEncoder, FHandle, ACopyID3v2, AFormat, AChannels, ABitsPerSample, ASampleRate, ADataLength);
  });
}

TTTAEncoder::~TTTAEncoder() {
  if (EncoderDestruct && FEncoder.FImpl) EncoderDestruct(&FEncoder);
}

bool TTTAEncoder::CompressBlock(const int64_t* Samples, int32_t Count) {
  auto compress = Entry(EncoderCompressBlock, LEncoderCompressBlock);
  return Guarded([&] { return compress(&FEncoder, Samples, Count); });
}

void TTTAEncoder::Finish() {
  auto finish = Entry(EncoderFinish, LEncoderFinish);
  Guarded([&] { finish(&FEncoder); });
}
