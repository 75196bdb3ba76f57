#pragma once
// FLAC input and output over libFLAC's stream encoder and decoder, loaded at run time.
// The output writes its own VORBIS_COMMENT block from a TVorbisTags in place of the
// encoder's; the input reads the stream's comments into one.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "audio/core/TSL_Classes.h"
#include "audio/core/TSL_CodecLib.h"
#include "audio/core/TSL_Tags.h"

// libFLAC, loaded on first need and kept loaded.
extern TCodecLibrary FLACLib;

// Loads libFLAC and checks that every entry point the components call is there.
void RequireFLACLibrary();

struct TFLACCallbacks;

// libFLAC's stream encoder and decoder are anonymous structs that cannot be declared
// here: the components hold them untyped, deleted with the library's own calls.
struct TFLACEncoderDelete {
  void operator()(void* Encoder) const;
};
struct TFLACDecoderDelete {
  void operator()(void* Decoder) const;
};
using TFLACEncoderHandle = std::unique_ptr<void, TFLACEncoderDelete>;
using TFLACDecoderHandle = std::unique_ptr<void, TFLACDecoderDelete>;

class TFLACOut : public TAuFileOut {
public:
  explicit TFLACOut(TComponent* AOwner);
  // Finish releases the encoder after every run; an output deleted in the middle of
  // one drops it with the handle.
  ~TFLACOut() override;

  // Negative: the detailed settings below; 0..8: the library's level (9 and above give 8).
  int32_t CompressionLevel() const { return FCompressionLevel; }
  void SetCompressionLevel(int32_t Value) { FCompressionLevel = Value > 8 ? 8 : Value; }
  std::string FormatRefusal(int32_t Bits, int32_t Channels, int32_t Rate) const override;
  uint16_t BlockSize() const { return FBlockSize; }
  void SetBlockSize(uint16_t Value) { FBlockSize = Value; }
  bool Verify() const { return FVerify; }
  void SetVerify(bool Value) { FVerify = Value; }
  bool EnableMidSideStereo() const { return FEnableMidSideStereo; }
  void SetEnableMidSideStereo(bool Value) { FEnableMidSideStereo = Value; }
  bool EnableLooseMidSideStereo() const { return FEnableLooseMidSideStereo; }
  void SetEnableLooseMidSideStereo(bool Value);
  bool BestModelSearch() const { return FBestModelSearch; }
  void SetBestModelSearch(bool Value);
  uint16_t MaxLPCOrder() const { return FMaxLPCOrder; }
  void SetMaxLPCOrder(uint16_t Value) { FMaxLPCOrder = Value; }
  uint16_t QLPCoeffPrecision() const { return FQLPCoeffPrecision; }
  void SetQLPCoeffPrecision(uint16_t Value) { FQLPCoeffPrecision = Value; }
  bool QLPCoeffPrecisionSearch() const { return FQLPCoeffPrecisionSearch; }
  void SetQLPCoeffPrecisionSearch(bool Value) { FQLPCoeffPrecisionSearch = Value; }
  uint16_t MinResidualPartitionOrder() const { return FMinResidualPartitionOrder; }
  void SetMinResidualPartitionOrder(uint16_t Value) { FMinResidualPartitionOrder = Value; }
  uint16_t MaxResidualPartitionOrder() const { return FMaxResidualPartitionOrder; }
  void SetMaxResidualPartitionOrder(uint16_t Value) { FMaxResidualPartitionOrder = Value; }
  // The comments written into the file; the setter copies Value.
  TVorbisTags* Tags() const { return FTags.get(); }
  void SetTags(const TVorbisTags& Value) { FTags->Assign(Value); }

protected:
  void Prepare() override;
  bool WriteBlock(bool Abort) override;
  void Finish() override;

private:
  friend struct TFLACCallbacks;
  // The comment block that replaces the encoder's (Last: it carries the last-block flag).
  std::string BuildCommentBlock(bool Last) const;
  // Flushes the encoder at the end of the data; raises when that fails.
  void FinishEncoder();
  [[noreturn]] void RaiseEncoderError(const char* Message) const;

  int32_t FCompressionLevel = -1;
  uint16_t FBlockSize = 4608;
  bool FVerify = false;
  bool FEnableMidSideStereo = true;
  bool FEnableLooseMidSideStereo = false;
  bool FBestModelSearch = false;
  uint16_t FMaxLPCOrder = 0;
  uint16_t FQLPCoeffPrecision = 0;
  bool FQLPCoeffPrecisionSearch = false;
  uint16_t FMinResidualPartitionOrder = 0;
  uint16_t FMaxResidualPartitionOrder = 0;
  std::unique_ptr<TVorbisTags> FTags;

  // Run state.
  TFLACEncoderHandle FEncoder;
  bool FEncoderFinished = false;
  std::vector<uint8_t> FBuffer;
  std::vector<int32_t> FSamples;
  uint32_t FBufSize = 0;
  int32_t FBits = 0;
  int32_t FChannels = 0;
  bool FEndOfData = false;
  bool FCommentReplaced = false;
  // Bytes of the encoder's own comment block still to be dropped.
  int64_t FCommentSkip = 0;
  std::string FWriteError;
};

class TFLACIn : public TAuFileIn {
public:
  explicit TFLACIn(TComponent* AOwner);
  ~TFLACIn() override;

  bool CheckMD5Signature() const { return FCheckMD5Signature; }
  void SetCheckMD5Signature(bool Value) { FCheckMD5Signature = Value; }
  // The comments of the stream, read at open.
  TVorbisTags* Tags() const { return FTags.get(); }
  // What the decoder's MD5 check said when the file was last closed (true without a check).
  bool MD5Result() const { return FMD5Result; }

protected:
  void DoOpenFile() override;
  void DoCloseFile() override;
  void ReadRaw(void*& Buffer, uint32_t& Bytes) override;
  bool SeekRaw(int64_t& SampleNum) override;

private:
  friend struct TFLACCallbacks;
  void ReleaseDecoder();
  // The stream is damaged where the next frame should start.
  void NoteDamage(const std::string& Detail);

  bool FCheckMD5Signature = false;
  std::unique_ptr<TVorbisTags> FTags;

  TFLACDecoderHandle FDecoder;
  // Decoded audio of the current frame; [FBufStart, FBufEnd) is not delivered yet.
  std::vector<uint8_t> FBuf;
  std::vector<int32_t> FSamples;  // the frame's samples, interleaved
  uint32_t FBlockSize = 0;
  bool FLastMetadata = false;
  bool FMD5Result = true;
  bool FOpening = false;
  bool FHaveStreamInfo = false;
  bool FFrameDelivered = false;
  bool FAtEnd = false;
  // Bytes at the start of FBuf that the decoder delivered during a seek, kept for the
  // next read (the window itself is emptied after a seek).
  int32_t FSeekPending = 0;
  // The stream's own sample width, and the shift that widens it to whole bytes.
  int32_t FStreamBits = 0;
  int32_t FShift = 0;
  int64_t FStreamTotal = 0;
  int64_t FAnnouncedTotal = 0;  // the header's total, believed or not (0: not told)
  int64_t FStreamSize = 0;
  // The sample number the next frame starts at (-1: not known after a seek), and
  // whether the decoder skipped bytes to find a frame since the last one.
  int64_t FNextSample = 0;
  bool FLostSync = false;
};
