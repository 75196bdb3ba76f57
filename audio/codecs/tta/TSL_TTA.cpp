#include "audio/codecs/tta/TSL_TTA.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <exception>
#include <limits>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "audio/core/TSL_Procs.h"
#include "platform/rtl/ByteOrder.h"
#include "platform/rtl/FileUtils.h"

namespace {

constexpr uint32_t FramesPerBlock = 1024;

int64_t HandleSize(int Handle) {
  struct stat st;
  return fstat(Handle, &st) == 0 ? static_cast<int64_t>(st.st_size) : -1;
}

// The whole of Stream (from its start) into the empty file Handle, through a mapping
// of the file. Space is reserved first, so a full disk fails here instead of faulting
// in the middle of the copy.
void CopyStreamToHandle(TStream& Stream, int Handle) {
  const int64_t size = Stream.Size();
  if (size <= 0) return;
  if (posix_fallocate(Handle, 0, static_cast<off_t>(size)) != 0)
    throw EAuException("Unable to map temporary file to memory!");
  void* view = mmap(nullptr, static_cast<size_t>(size), PROT_READ | PROT_WRITE, MAP_SHARED, Handle, 0);
  if (view == MAP_FAILED) throw EAuException("Unable to map temporary file to memory!");
  int64_t done = 0;
  try {
    Stream.Seek(0, soBeginning);
    while (done < size) {
      const int64_t n = Stream.Read(static_cast<uint8_t*>(view) + done, size - done);
      if (n <= 0) break;
      done += n;
    }
  } catch (...) {
    munmap(view, static_cast<size_t>(size));
    throw;
  }
  munmap(view, static_cast<size_t>(size));
  // A stream that delivered less than its size: the file holds only what came.
  if (done < size && ftruncate(Handle, static_cast<off_t>(done)) != 0)
    throw EAuException("Unable to map temporary file to memory!");
}

// The whole file Handle into Stream from its start; the stream ends where the file does.
void CopyHandleToStream(int Handle, TStream& Stream) {
  const int64_t size = HandleSize(Handle);
  if (size < 0) throw EAuException("Unable to map temporary file to memory!");
  Stream.Seek(0, soBeginning);
  if (size > 0) {
    void* view = mmap(nullptr, static_cast<size_t>(size), PROT_READ, MAP_SHARED, Handle, 0);
    if (view == MAP_FAILED) throw EAuException("Unable to map temporary file to memory!");
    try {
      Stream.WriteBuffer(view, size);
    } catch (...) {
      munmap(view, static_cast<size_t>(size));
      throw;
    }
    munmap(view, static_cast<size_t>(size));
  }
  // Older, longer content must not trail the new file.
  if (Stream.Size() > size) Stream.SetSize(size);
}

// PCM bytes of whole frames to the library's 64-bit slots: integers as their signed
// values, 32-bit samples as floats.
void PcmToSlots(const uint8_t* Src, size_t Count, int32_t Bits, int64_t* Dst) {
  if (Bits != 32) {
    UnpackPCM(Src, Bits / 8, Dst, Count);
    return;
  }
  for (size_t i = 0; i < Count; ++i) {
    const auto v = static_cast<int32_t>(GetLE32(Src + 4 * i));
    Dst[i] = TTALib::FloatToSlot(v == 0 ? 0.0f : static_cast<float>(v / 2147483648.0));
  }
}

// Decoded slots to PCM bytes of Bytes bytes each.
void SlotsToPcm(const int64_t* Src, size_t Count, int32_t Bytes, uint8_t* Dst) {
  if (Bytes != 4) {
    PackPCM(Src, Bytes, Dst, Count);
    return;
  }
  // The float format, to full-scale 32-bit integers.
  for (size_t i = 0; i < Count; ++i) {
    const float x = TTALib::SlotToFloat(Src[i]);
    int32_t v;
    if (x < -1.0f)
      v = std::numeric_limits<int32_t>::min();
    else if (x >= 1.0f)
      v = std::numeric_limits<int32_t>::max();
    else if (x == 0.0f || std::isnan(x))
      v = 0;
    else
      v = static_cast<int32_t>(Round(static_cast<double>(x) * 2147483648.0));
    PutLE32(Dst + 4 * i, static_cast<uint32_t>(v));
  }
}

}  // namespace

// ===========================================================================
// TTTAOut

TTTAOut::TTTAOut(TComponent* AOwner) : TAuTaggedFileOut(AOwner) {}

TTTAOut::~TTTAOut() {
  FEncoder.reset();
  CloseHandle();
}

void TTTAOut::CloseHandle() {
  if (FHandle >= 0) close(FHandle);
  FHandle = -1;
}

// Integer samples of up to 24 bits, and 32-bit ones in the float format.
std::string TTTAOut::FormatRefusal(int32_t Bits, int32_t Channels, int32_t Rate) const {
  static const TAuFormatLimits limits{
      "A", "True Audio", TTALib::TTA_MAX_CHANNELS, AuBitsAll, 1, TTALib::TTA_MAX_SAMPLE_RATE};
  return FormatRefusalText(limits, Bits, Channels, Rate);
}

void TTTAOut::Prepare() {
  RequireTTALib();
  FCompleted = false;
  FCarryBytes = 0;
  RefuseInputFormat();
  if (!FStreamAssigned) {
    if (FFileName.empty()) throw EAuException("File name is not defined!");
    FHandle = CreateRunHandle(FFileName);
  } else {
    // A stream is written in one piece at the end; the file meanwhile has no name.
    FHandle = CreateUnnamedFile(GetTempDirectory());
    if (FHandle < 0) throw EAuException("Unable to create temporary file!");
  }
  StartInput();
  FBits = FInput->BitsPerSample();
  FChannels = FInput->Channels();
  FFrame = FChannels * ((FBits + 7) / 8);
  const int32_t format = FBits == 32 ? TTALib::TTA_FORMAT_FLOAT : TTALib::TTA_FORMAT_PCM;
  FEncoder = std::make_unique<TTTAEncoder>(FHandle, FInput->Size() / FFrame, FInput->SampleRate(), FBits,
                                           FChannels, format, false);
}

bool TTTAOut::WriteBlock(bool Abort) {
  if (!Prepared() || Abort || FCompleted) return false;
  const uint32_t want = FramesPerBlock * static_cast<uint32_t>(FFrame);
  if (FCarry.size() < FCarryBytes + want) FCarry.resize(FCarryBytes + want);
  const uint32_t got = FInput->CopyData(FCarry.data() + FCarryBytes, want);
  if (got == 0) {
    // The end of the data: complete the file here, where a failure is still reported.
    Complete();
    return false;
  }
  FCarryBytes += got;
  const uint32_t frames = FCarryBytes / static_cast<uint32_t>(FFrame);
  if (frames == 0) return true;
  const size_t samples = size_t{frames} * static_cast<size_t>(FChannels);
  if (FSamples.size() < samples) FSamples.resize(samples);
  PcmToSlots(FCarry.data(), samples, FBits, FSamples.data());
  bool ok = false;
  try {
    ok = FEncoder->CompressBlock(FSamples.data(), static_cast<int32_t>(samples));
  } catch (const ETTAException& E) {
    RaiseFailure(E);
  }
  const uint32_t used = frames * static_cast<uint32_t>(FFrame);
  FCarryBytes -= used;
  std::memmove(FCarry.data(), FCarry.data() + used, FCarryBytes);
  if (!ok) throw ETTAException("The TrueAudio encoder refused a block");
  return true;
}

// A write the system refused says which file and why.
void TTTAOut::RaiseWriteFailure(int Err, const char* Otherwise) const {
  if (Err == 0) throw EAuException(Otherwise);
  if (FStreamAssigned) throw EAuException(CannotWriteTempMessage(GetTempDirectory(), Err));
  throw EAuException(CannotWriteMessage(FFileName, Err));
}

void TTTAOut::RaiseFailure(const ETTAException& E) const {
  if (E.SystemError() != 0) RaiseWriteFailure(E.SystemError(), "");
  throw E;
}

void TTTAOut::Complete() {
  FCompleted = true;  // once, even when it fails half-way
  try {
    if (FEncoder) FEncoder->Finish();
  } catch (const ETTAException& E) {
    RaiseFailure(E);
  }
  FEncoder.reset();
  if (FHandle < 0) return;
  lseek(FHandle, 0, SEEK_END);
  errno = 0;
  if (!FId3v1Tags->Empty() && !FId3v1Tags->WriteToFile(FHandle, true))
    RaiseWriteFailure(errno, "Unable to write Id3v1 tags!");
  if (!FId3v2Tags->Empty() && !FId3v2Tags->WriteToFile(FHandle, false))
    RaiseWriteFailure(errno, "Unable to write Id3v2 tags!");
  if (FStreamAssigned) {
    if (FStream) CopyHandleToStream(FHandle, *FStream);
  } else if (fsync(FHandle) != 0) {
    RaiseWriteFailure(errno, "");
  }
}

void TTTAOut::Finish() {
  // A run that stopped early (aborted or failed) still leaves a complete file of what
  // was encoded, unless that fails too.
  std::exception_ptr error;
  if (!FCompleted && FEncoder) {
    try {
      Complete();
    } catch (...) {
      error = std::current_exception();
    }
  }
  FEncoder.reset();
  CloseHandle();
  FCarryBytes = 0;
  FlushInput();
  if (error) std::rethrow_exception(error);
}

// ===========================================================================
// TTTAIn

TTTAIn::TTTAIn(TComponent* AOwner) : TAuTaggedFileIn(AOwner) { FSeekable = true; }

TTTAIn::~TTTAIn() { ReleaseDecoder(); }

void TTTAIn::ReleaseDecoder() {
  FDecoder.reset();
  if (FHandle >= 0) close(FHandle);
  FHandle = -1;
  FBuf.clear();
  FBufStart = 0;
  FBufEnd = 0;
}

void TTTAIn::DoOpenFile() {
  RequireTTALib();
  FValid = false;
  if (!FStreamAssigned) {
    if (FFileName.empty()) throw EAuException("File name is not defined!");
    FHandle = open(FFileName.c_str(), O_RDONLY | O_CLOEXEC);
    if (FHandle < 0) throw EAuException("Unable to open file for input!");
  } else {
    FHandle = CreateUnnamedFile(GetTempDirectory());
    if (FHandle < 0) throw EAuException("Unable to create temporary file!");
  }
  try {
    if (FStreamAssigned) CopyStreamToHandle(*FStream, FHandle);
    lseek(FHandle, 0, SEEK_SET);
    FId3v1Tags->ReadFromFile(FHandle);
    if (FId3v2Tags->HasTag(FHandle)) {
      if (!FId3v2Tags->ReadFromFile(FHandle)) throw EAuException("Broken or unsupported Id3v2 tags was found!");
    } else {
      FId3v2Tags->Clear();  // no tags of an earlier file
    }
    FDecoder = std::make_unique<TTTADecoder>(FHandle);
    FSourceBits = FDecoder->GetBitsPerSample();
    FSampleRate = FDecoder->GetSampleRate();
    FChannels = FDecoder->GetNumChannels();
    const int64_t length = FDecoder->GetDataLength();
    // Samples go out in whole bytes, so an odd bit depth is delivered in the next
    // whole byte width.
    FBitsPerSample = (FSourceBits + 7) / 8 * 8;
    FSize = length < 0 ? -1 : length * ((FSourceBits + 7) / 8) * FChannels;
    FTotalTimeSeconds = FSampleRate > 0 ? static_cast<int32_t>(length / FSampleRate) : 0;
    FSeekable = false;
    FBytesDelivered = 0;
    FFramesDecoded = 0;
    FBufStart = 0;
    FBufEnd = 0;
    FValid = true;
  } catch (...) {
    ReleaseDecoder();
    throw;
  }
}

void TTTAIn::DoCloseFile() {
  ReleaseDecoder();
  FSeekable = true;
}

void TTTAIn::ReadRaw(void*& Buffer, uint32_t& Bytes) {
  if (!FBusy || !FDecoder) throw EAuException("File for input is not opened!");
  int64_t want = Bytes;
  const int64_t size = FSize;
  if (size >= 0) want = std::min<int64_t>(want, std::max<int64_t>(size - FBytesDelivered, 0));
  const int32_t sampleBytes = (FSourceBits + 7) / 8;
  while (FBufEnd - FBufStart < want) {
    // Carried bytes move to the front before the next frame is appended.
    const int32_t carried = FBufEnd - FBufStart;
    if (FBufStart > 0) {
      std::memmove(FBuf.data(), FBuf.data() + FBufStart, static_cast<size_t>(carried));
      FBufStart = 0;
      FBufEnd = carried;
    }
    int64_t* block = nullptr;
    int32_t frames = 0;
    if (Damaged()) break;
    try {
      frames = FDecoder->GetBlock(block);
    } catch (const ETTAException& E) {
      // What decoded before the damaged frame goes out first.
      SetDamage(DecodingErrorMessage("True Audio", FFileName, FFramesDecoded, E.what()));
      break;
    }
    if (frames <= 0) break;
    FFramesDecoded += frames;
    const size_t samples = static_cast<size_t>(frames) * static_cast<size_t>(FChannels);
    const size_t bytes = samples * static_cast<size_t>(sampleBytes);
    if (FBuf.size() < static_cast<size_t>(FBufEnd) + bytes) FBuf.resize(static_cast<size_t>(FBufEnd) + bytes);
    SlotsToPcm(block, samples, sampleBytes, FBuf.data() + FBufEnd);
    FBufEnd += static_cast<int32_t>(bytes);
  }
  const int64_t n = std::min<int64_t>(want, FBufEnd - FBufStart);
  if (n == 0) RaiseDamage();
  Buffer = n > 0 ? FBuf.data() + FBufStart : nullptr;
  FBufStart += static_cast<int32_t>(n);
  FBytesDelivered += n;
  Bytes = static_cast<uint32_t>(n);
}

bool TTTAIn::SeekRaw(int64_t&) { return false; }
