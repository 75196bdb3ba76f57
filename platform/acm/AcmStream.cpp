#include "platform/acm/AcmStream.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <utility>

namespace {
std::atomic<uint64_t> NextStreamId{1};
}

AcmStream::AcmStream(uint32_t SrcBlock) : FId(NextStreamId++), FSrcBlock(std::max<uint32_t>(SrcBlock, 1)) {}

size_t AcmStream::Drain(uint8_t* Dst, size_t Room) {
  const size_t n = std::min(Room, FPending.size() - FPendingPos);
  if (n > 0) std::memcpy(Dst, FPending.data() + FPendingPos, n);
  FPendingPos += n;
  if (FPendingPos == FPending.size()) {
    FPending.clear();
    FPendingPos = 0;
  }
  return n;
}

MMRESULT AcmStream::Convert(const uint8_t* Src, uint32_t SrcLength, uint8_t* Dst, uint32_t DstLength, bool Last,
                            uint32_t& SrcUsed, uint32_t& DstUsed) {
  SrcUsed = 0;
  const uint32_t taken = std::min(FTaken, SrcLength);
  FTaken = 0;
  DstUsed = static_cast<uint32_t>(Drain(Dst, DstLength));
  if (!FPending.empty()) {
    // Not even the earlier output fits: take nothing new, so the caller
    // passes this source again.
    FTaken = taken;
    return MMSYSERR_NOERROR;
  }
  if (FDeferred != MMSYSERR_NOERROR) {
    // The output before the error is out: now the error.
    SrcUsed = taken;
    return std::exchange(FDeferred, MMSYSERR_NOERROR);
  }

  size_t used = 0;
  MMRESULT result = Consume(Src + taken, SrcLength - taken, Last, used, FPending);
  DstUsed += static_cast<uint32_t>(Drain(Dst + DstUsed, DstLength - DstUsed));
  uint32_t consumed = taken + static_cast<uint32_t>(used);
  if (!FPending.empty()) {
    FDeferred = result;
    result = MMSYSERR_NOERROR;
    if (Last && consumed > 0) {
      // The stream has ended but its tail does not fit. Callers stop once a
      // last conversion used all its source, so report the final block
      // unused; it is skipped when it comes again.
      FTaken = std::min(consumed, FSrcBlock);
      consumed -= FTaken;
    }
  }
  SrcUsed = consumed;
  return result;
}
