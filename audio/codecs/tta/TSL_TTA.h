#pragma once
// True Audio (TTA) file output and input over libTTALib.so.
//
// The library works on file descriptors, not streams: given a user stream, a
// component works on an unnamed temporary file instead (the input copies the stream
// into it first; the output copies the finished file into the stream). The output
// writes ID3v1 and ID3v2 tags itself after the audio; the input reads them before
// decoding.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "audio/codecs/tta/TTALibWrapper.h"
#include "audio/core/TSL_Classes.h"

class TTTAOut : public TAuTaggedFileOut {
public:
  explicit TTTAOut(TComponent* AOwner);
  ~TTTAOut() override;

  std::string FormatRefusal(int32_t Bits, int32_t Channels, int32_t Rate) const override;

protected:
  void Prepare() override;
  bool WriteBlock(bool Abort) override;
  void Finish() override;

private:
  // Completes the file: the last frame, header and seek table, the tags, and the copy
  // into a user stream. Raises on failure.
  void Complete();
  void CloseHandle();
  // Raises the message of a write the system refused (Err: errno; 0: Otherwise), or
  // of a library failure.
  [[noreturn]] void RaiseWriteFailure(int Err, const char* Otherwise) const;
  [[noreturn]] void RaiseFailure(const ETTAException& E) const;

  int FHandle = -1;
  std::unique_ptr<TTTAEncoder> FEncoder;
  bool FCompleted = false;
  int32_t FFrame = 0;  // bytes of one sample frame of the input
  int32_t FBits = 0;
  int32_t FChannels = 0;
  // Input bytes not yet encoded (an incomplete frame stays at the start).
  std::vector<uint8_t> FCarry;
  uint32_t FCarryBytes = 0;
  std::vector<int64_t> FSamples;
};

class TTTAIn : public TAuTaggedFileIn {
public:
  explicit TTTAIn(TComponent* AOwner);
  ~TTTAIn() override;

protected:
  void DoOpenFile() override;
  void DoCloseFile() override;
  void ReadRaw(void*& Buffer, uint32_t& Bytes) override;
  bool SeekRaw(int64_t& SampleNum) override;

private:
  void ReleaseDecoder();

  int FHandle = -1;
  std::unique_ptr<TTTADecoder> FDecoder;
  int32_t FSourceBits = 0;     // bits per sample of the TTA stream
  int64_t FBytesDelivered = 0;
  int64_t FFramesDecoded = 0;
  // Decoded bytes; [FBufStart, FBufEnd) are not delivered yet.
  std::vector<uint8_t> FBuf;
};
