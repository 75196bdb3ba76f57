#pragma once
// The conversion engines behind HACMSTREAM. Internal to platform/acm.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/acm/Acm.h"

class AcmStream {
public:
  // SrcBlock: the source block in bytes, held back when a last conversion's
  // output does not fit.
  explicit AcmStream(uint32_t SrcBlock);
  virtual ~AcmStream() = default;
  AcmStream(const AcmStream&) = delete;
  AcmStream& operator=(const AcmStream&) = delete;

  // Identifies the stream in prepared headers; never reused, so a header kept
  // past acmStreamClose cannot match a later stream at the same address.
  uint64_t Id() const noexcept { return FId; }

  // Destination bytes for SrcBytes source bytes.
  virtual uint64_t DestinationSize(uint64_t SrcBytes) const = 0;

  // One acmStreamConvert; the protocol is described in Acm.h.
  MMRESULT Convert(const uint8_t* Src, uint32_t SrcLength, uint8_t* Dst, uint32_t DstLength, bool Last,
                   uint32_t& SrcUsed, uint32_t& DstUsed);

protected:
  // Takes source bytes and appends their output to Out. Unless Last, only whole
  // blocks are taken; with Last everything is taken and the engine flushes and
  // resets itself for a fresh stream. Used is set even when an error is returned.
  virtual MMRESULT Consume(const uint8_t* Src, size_t Length, bool Last, size_t& Used, std::vector<uint8_t>& Out) = 0;

private:
  size_t Drain(uint8_t* Dst, size_t Room);

  const uint64_t FId;
  const uint32_t FSrcBlock;
  std::vector<uint8_t> FPending;  // output that did not fit the destination
  size_t FPendingPos = 0;
  uint32_t FTaken = 0;  // leading bytes of the next source that were already consumed
  MMRESULT FDeferred = MMSYSERR_NOERROR;  // an error held until the output before it is out
};

// Format checks shared by acmFormatSuggest and acmStreamOpen.
MMRESULT CheckPcmFormat(const WAVEFORMATEX& Format);
MMRESULT CheckDecoderFormat(const WAVEFORMATEX& Format);

// Both expect formats that passed the checks above; the decoder expects Dst to
// be the suggested PCM format.
MMRESULT OpenPcmStream(const WAVEFORMATEX& Src, const WAVEFORMATEX& Dst, bool VeryHighQuality, HACMSTREAM& Stream);
MMRESULT OpenDecoderStream(const WAVEFORMATEX& Src, HACMSTREAM& Stream);
