#pragma once
// The first audio stream of an AVI file as PCM. A compressed stream is decoded by the
// audio compression layer into the PCM format it suggests.

#include <cstdint>
#include <string>
#include <vector>

#include "audio/core/TSL_Classes.h"
#include "platform/acm/Acm.h"
#include "platform/avifile/AviFile.h"

class TAVIIn : public TAuFileIn {
public:
  explicit TAVIIn(TComponent* AOwner);

  bool HasAudio() const { return FHasAudio; }
  bool Compressed() const { return FCompressed; }
  // Off: an opened input reports Size -1 and cannot seek.
  bool SizeKnown() const { return FSizeKnown; }
  void SetSizeKnown(bool V) { FSizeKnown = V; }

protected:
  void DoOpenFile() override;
  void DoCloseFile() override;
  void ReadRaw(void*& Buffer, uint32_t& Bytes) override;
  bool SeekRaw(int64_t& SampleNum) override;

private:
  void ReadStream(void*& Buffer, uint32_t& Bytes);
  // Decodes the next chunk into Out; false when the stream has ended.
  bool DecodeChunk(HACMSTREAM& Acm, int64_t& Pos, std::vector<uint8_t>& Leftover, bool& Ended,
                   std::vector<uint8_t>& Out);
  void OpenDecoder(HACMSTREAM& Acm);
  // Whether each stream sample is a block that decodes on its own to a fixed count.
  bool BlockCodec() const;

  PAVIFILE FFile;
  PAVISTREAM FAudio;
  AVISTREAMINFO FInfo;
  int64_t FStreamPos = 0;   // next stream sample to read, counted from the stream's start
  int64_t FStreamStart = 0;
  WAVEFORMATEX FStreamFormat, FPcmFormat;
  bool FCompressed = false;
  bool FHasAudio = false;
  bool FSizeKnown = true;
  bool FLibraryInit = false;
  uint16_t FBlockAlign = 0;
  int32_t FSamplesPerRead = 1;
  HACMSTREAM FAcm;
  std::vector<uint8_t> FReadBuffer;
  std::vector<uint8_t> FLeftover;  // source bytes the decoder left for the next chunk
  std::vector<uint8_t> FDecoded;
  size_t FDecodedPos = 0;
  bool FDecoderEnded = false;
  int64_t FDropBytes = 0;  // decoded bytes still to skip after a seek
  std::string FDamageMessage;  // where the stream ends early; empty when it is sound
  bool FPayloadDamaged = false;  // the decoder found the compressed data damaged
};
