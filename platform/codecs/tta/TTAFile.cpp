#include "TTAFile.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace TTALib::Impl {

using Codec::ByteSize;
using Codec::FrameCount;
using Codec::FrameLength;
using Codec::HeaderSize;

const char* ErrorText(int32_t Code) noexcept {
  switch (Code) {
    case TTA_NO_ERROR: return "No error";
    case TTA_OPEN_ERROR: return "Can't open file";
    case TTA_FORMAT_ERROR: return "Not a TTA file or unknown format";
    case TTA_FILE_ERROR: return "File is corrupted";
    case TTA_READ_ERROR: return "Can't read from file";
    case TTA_WRITE_ERROR: return "Can't write to file";
    case TTA_MEMORY_ERROR: return "Insufficient memory";
    case TTA_UNSUPPORTED: return "Unsupported TTA stream";
    case TTA_INVALID_ARGUMENT: return "Invalid argument";
    case TTA_CANCELLED: return "Cancelled";
    case TTA_TOO_LONG: return "Too many samples for one TTA file";
    default: return "Unknown error";
  }
}

void Fail(TTAError Code, const std::string& Detail) {
  std::string Msg = ErrorText(Code);
  if (!Detail.empty()) Msg += ": " + Detail;
  throw TTAException(Code, Msg);
}

void FailErrno(TTAError Code, const std::string& Detail) {
  const int Err = errno;
  std::string Msg = ErrorText(Code);
  if (!Detail.empty()) Msg += ": " + Detail;
  throw TTAException(Code, Msg + ": " + std::strerror(Err), Err);
}

int64_t ReadAt(int Fd, void* Buf, size_t Size, int64_t Offset) {
  auto* P = static_cast<uint8_t*>(Buf);
  size_t Done = 0;
  while (Done < Size) {
    ssize_t N = pread(Fd, P + Done, Size - Done, Offset + static_cast<int64_t>(Done));
    if (N < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    if (N == 0) break;
    Done += static_cast<size_t>(N);
  }
  return static_cast<int64_t>(Done);
}

bool WriteAt(int Fd, const void* Buf, size_t Size, int64_t Offset) {
  const auto* P = static_cast<const uint8_t*>(Buf);
  size_t Done = 0;
  while (Done < Size) {
    ssize_t N = pwrite(Fd, P + Done, Size - Done, Offset + static_cast<int64_t>(Done));
    if (N < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (N == 0) return false;
    Done += static_cast<size_t>(N);
  }
  return true;
}

int64_t FileSize(int Fd) {
  struct stat St;
  if (fstat(Fd, &St) != 0) return -1;
  if (S_ISREG(St.st_mode)) return St.st_size;
  off_t End = lseek(Fd, 0, SEEK_END);
  return End < 0 ? -1 : End;
}

namespace {

uint32_t LoadLE32(const uint8_t* P) { return P[0] | (P[1] << 8) | (P[2] << 16) | (uint32_t{P[3]} << 24); }
void StoreLE32(uint8_t* P, uint32_t V) {
  for (int I = 0; I < 4; ++I) P[I] = static_cast<uint8_t>(V >> (8 * I));
}
uint16_t LoadLE16(const uint8_t* P) { return static_cast<uint16_t>(P[0] | (P[1] << 8)); }
void StoreLE16(uint8_t* P, uint16_t V) {
  P[0] = static_cast<uint8_t>(V);
  P[1] = static_cast<uint8_t>(V >> 8);
}

// Offset just past the ID3v2 tags the file starts with (0 when none); a tag that
// claims more bytes than the file has ends the search.
int64_t SkipId3v2(int Fd, int64_t Size) {
  int64_t Off = 0;
  for (int I = 0; I < 16; ++I) {
    uint8_t Buf[10];
    if (ReadAt(Fd, Buf, sizeof Buf, Off) != static_cast<int64_t>(sizeof Buf)) break;
    uint64_t Tag = Codec::Id3v2Size(Buf, sizeof Buf);
    if (Tag == 0 || static_cast<int64_t>(Tag) > Size - Off) break;
    Off += static_cast<int64_t>(Tag);
  }
  return Off;
}

} // namespace

// ---- Decoder -------------------------------------------------------------------------

Decoder::Decoder(int Fd) : FFd(Fd), FCoder(1, 1) {
  if (Fd < 0) Fail(TTA_INVALID_ARGUMENT, "no file handle");
  FFileSize = FileSize(Fd);
  if (FFileSize < 0) Fail(TTA_READ_ERROR, std::strerror(errno));
  int64_t Start = SkipId3v2(Fd, FFileSize);

  uint8_t Raw[HeaderSize];
  int64_t N = ReadAt(Fd, Raw, HeaderSize, Start);
  if (N < 0) Fail(TTA_READ_ERROR, std::strerror(errno));
  if (N < static_cast<int64_t>(HeaderSize) || std::memcmp(Raw, "TTA1", 4) != 0)
    Fail(TTA_FORMAT_ERROR, "no TTA1 header");
  if (!Codec::ReadHeader(Raw, FHeader)) Fail(TTA_FILE_ERROR, "header CRC mismatch");
  const Codec::Header& H = FHeader;
  if (H.Channels == 0 || H.Bits == 0 || H.SampleRate == 0) Fail(TTA_FORMAT_ERROR, "empty stream parameters");
  if (H.Format == 2) Fail(TTA_UNSUPPORTED, "encrypted stream");
  if (!Codec::ValidFormat(H.Format, H.Bits, H.Channels, H.SampleRate))
    Fail(TTA_UNSUPPORTED, "format " + std::to_string(H.Format) + ", " + std::to_string(H.Channels) +
                              " channels, " + std::to_string(H.Bits) + " bits, " +
                              std::to_string(H.SampleRate) + " Hz");

  FFrameLen = FrameLength(H.SampleRate);
  uint32_t Frames = FrameCount(H.DataLength, FFrameLen);
  int64_t TableStart = Start + static_cast<int64_t>(HeaderSize);
  int64_t TableBytes = 4 * int64_t{Frames} + 4;
  if (TableStart + TableBytes > FFileSize) Fail(TTA_READ_ERROR, "the seek table is cut short");
  std::vector<uint8_t> Table(static_cast<size_t>(TableBytes));
  if (ReadAt(Fd, Table.data(), Table.size(), TableStart) != TableBytes) Fail(TTA_READ_ERROR, "seek table");
#ifndef FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION // lets a fuzzer past the checksums
  if (Codec::Crc32(Table.data(), Table.size() - 4) != LoadLE32(Table.data() + Table.size() - 4))
    Fail(TTA_FILE_ERROR, "seek table CRC mismatch");
#endif
  FSizes.resize(Frames);
  for (uint32_t I = 0; I < Frames; ++I) FSizes[I] = LoadLE32(Table.data() + 4 * size_t{I});
  FPos = TableStart + TableBytes;
  FBytesRead = static_cast<uint64_t>(FPos - Start);
  FCoder = Codec::FrameCoder(H.Channels, ByteSize(H.Bits));
}

int32_t Decoder::GetBlock(int64_t** Buffer) {
  if (Buffer) *Buffer = FOut.data();
  if (FFrame >= FSizes.size()) return 0;
  const uint32_t Ch = FHeader.Channels;
  uint32_t Frames = FFrame + 1 == FSizes.size() ? FHeader.DataLength - FFrameLen * FFrame : FFrameLen;
  uint32_t Size = FSizes[FFrame];
  std::string Which = "frame " + std::to_string(FFrame + 1) + " of " + std::to_string(FSizes.size());
  if (Size < 4) Fail(TTA_FILE_ERROR, Which + " has an impossible size");
  if (FPos + int64_t{Size} > FFileSize) Fail(TTA_READ_ERROR, Which + ": the file ends early");

  FIn.resize(size_t{Size} + 16);
  int64_t N = ReadAt(FFd, FIn.data(), Size, FPos);
  if (N < 0) Fail(TTA_READ_ERROR, std::strerror(errno));
  if (N != Size) Fail(TTA_READ_ERROR, Which + ": the file ends early");
  std::memset(FIn.data() + Size, 0, 16);

  FWork.resize(size_t{Frames} * Ch);
  if (!FCoder.Decode(FIn.data(), Size, Frames, FWork.data())) Fail(TTA_FILE_ERROR, Which);

  FOut.resize(FWork.size());
  if (FHeader.Format == TTA_FORMAT_FLOAT) {
    for (size_t I = 0; I < FWork.size(); ++I) {
      uint32_t Bits = Codec::IntToFloatBits(FWork[I]);
      int64_t Slot = 0;
      std::memcpy(&Slot, &Bits, 4);
      FOut[I] = Slot;
    }
  } else {
    std::copy(FWork.begin(), FWork.end(), FOut.begin());
  }
  ++FFrame;
  FPos += Size;
  FSamples += Frames;
  FBytesRead += Size;
  if (Buffer) *Buffer = FOut.data();
  return static_cast<int32_t>(Frames);
}

TTAStat Decoder::Stat() const {
  TTAStat S{};
  S.Samples = FSamples;
  S.DataLength = FHeader.DataLength;
  S.InputBytes = FBytesRead;
  S.OutputBytes = FSamples * FHeader.Channels * ByteSize(FHeader.Bits);
  S.Ratio = S.OutputBytes ? double(S.InputBytes) / double(S.OutputBytes) : 0.0;
  return S;
}

// ---- Encoder -------------------------------------------------------------------------

Encoder::Encoder(int Fd, bool CopyID3v2, int32_t Format, int32_t Channels, int32_t Bits, int32_t SampleRate,
                 int64_t DataLength)
    : FFd(Fd), FCoder(1, 1) {
  if (Fd < 0) Fail(TTA_INVALID_ARGUMENT, "no file handle");
  if (Format != TTA_FORMAT_PCM && Format != TTA_FORMAT_FLOAT)
    Fail(TTA_INVALID_ARGUMENT, "format " + std::to_string(Format));
  if (Channels < 1 || Bits < 1 || SampleRate < 1 ||
      !Codec::ValidFormat(static_cast<uint32_t>(Format), static_cast<uint32_t>(Bits),
                          static_cast<uint32_t>(Channels), static_cast<uint32_t>(SampleRate)))
    Fail(TTA_INVALID_ARGUMENT, std::to_string(Channels) + " channels, " + std::to_string(Bits) + " bits, " +
                                   std::to_string(SampleRate) + " Hz");
  int64_t Size = FileSize(Fd);
  if (Size < 0 || lseek(Fd, 0, SEEK_CUR) < 0) Fail(TTA_WRITE_ERROR, "the file cannot be positioned");
  int Flags = fcntl(Fd, F_GETFL);
  if (Flags < 0 || (Flags & O_ACCMODE) == O_RDONLY || (Flags & O_APPEND))
    Fail(TTA_WRITE_ERROR, "the file is not open for writing in place");

  FHeader.Format = static_cast<uint16_t>(Format);
  FHeader.Channels = static_cast<uint16_t>(Channels);
  FHeader.Bits = static_cast<uint16_t>(Bits);
  FHeader.SampleRate = static_cast<uint32_t>(SampleRate);
  FByteSize = ByteSize(static_cast<uint32_t>(Bits));
  FFrameLen = FrameLength(FHeader.SampleRate);
  FCoder = Codec::FrameCoder(FHeader.Channels, FByteSize);

  if (CopyID3v2) FStart = SkipId3v2(Fd, Size);
  uint64_t Estimate = DataLength > 0 ? std::min<uint64_t>(static_cast<uint64_t>(DataLength), UINT32_MAX) : 0;
  FReserved = FrameCount(Estimate, FFrameLen);
  FDataStart = FStart + static_cast<int64_t>(HeaderSize) + 4 * int64_t{FReserved} + 4;
  FWritePos = FDataStart;
  FSizes.reserve(FReserved);
  FFrameBuf.resize(size_t{FFrameLen} * FHeader.Channels);
}

Encoder::~Encoder() {
  try {
    Finish();
  } catch (...) {
    // Nobody is left to tell; Finish is there for callers that want to know.
  }
}

bool Encoder::CompressBlock(const int64_t* Samples, int32_t Count) {
  const uint32_t Ch = FHeader.Channels;
  if (FFinished || FFailed || Count < 0 || (Count > 0 && !Samples) || Count % static_cast<int32_t>(Ch) != 0)
    return false;
  uint32_t Frames = static_cast<uint32_t>(Count) / Ch;
  if (FTotal + Frames > UINT32_MAX) {
    FFailed = true;
    Fail(TTA_TOO_LONG);
  }
  const bool Float = FHeader.Format == TTA_FORMAT_FLOAT;
  const int Unused = 32 - 8 * static_cast<int>(FByteSize);
  while (Frames > 0) {
    uint32_t Take = std::min(Frames, FFrameLen - FFill);
    int32_t* Dst = FFrameBuf.data() + size_t{FFill} * Ch;
    size_t N = size_t{Take} * Ch;
    if (Float) {
      for (size_t I = 0; I < N; ++I) {
        uint32_t Bits;
        std::memcpy(&Bits, &Samples[I], 4);
        Dst[I] = Codec::FloatBitsToInt(Bits);
      }
    } else {
      // The low bytes of the slot, sign-extended.
      for (size_t I = 0; I < N; ++I)
        Dst[I] = static_cast<int32_t>(static_cast<uint32_t>(Samples[I]) << Unused) >> Unused;
    }
    Samples += N;
    Frames -= Take;
    FFill += Take;
    FTotal += Take;
    if (FFill == FFrameLen) EncodeFrame(FFill);
  }
  return true;
}

void Encoder::EncodeFrame(uint32_t Frames) {
  FOut.Clear();
  FCoder.Encode(FFrameBuf.data(), Frames, FOut);
  if (!WriteAt(FFd, FOut.Data(), FOut.Size(), FWritePos)) {
    FFailed = true;
    FailErrno(TTA_WRITE_ERROR);
  }
  FSizes.push_back(static_cast<uint32_t>(FOut.Size()));
  FWritePos += static_cast<int64_t>(FOut.Size());
  FFill = 0;
}

void Encoder::MoveData(int64_t From, int64_t To, int64_t Length) {
  const int64_t Chunk = int64_t{1} << 20;
  std::vector<uint8_t> Buf(static_cast<size_t>(std::min(Chunk, std::max<int64_t>(Length, 1))));
  auto Copy = [&](int64_t Off, int64_t N) {
    if (ReadAt(FFd, Buf.data(), static_cast<size_t>(N), From + Off) != N ||
        !WriteAt(FFd, Buf.data(), static_cast<size_t>(N), To + Off)) {
      FFailed = true;
      FailErrno(TTA_WRITE_ERROR, "moving the frames after the seek table");
    }
  };
  if (To > From) {
    for (int64_t End = Length; End > 0;) {
      int64_t N = std::min(Chunk, End);
      End -= N;
      Copy(End, N);
    }
  } else {
    for (int64_t Off = 0; Off < Length; Off += Chunk) Copy(Off, std::min(Chunk, Length - Off));
  }
}

void Encoder::Finish() {
  if (FFinished || FFailed) return;
  if (FFill > 0) EncodeFrame(FFill);
  const uint32_t Frames = static_cast<uint32_t>(FSizes.size());
  FHeader.DataLength = static_cast<uint32_t>(FTotal);

  // The seek table's size follows from the real sample count; when the estimate was
  // wrong, the frames move to where the table ends.
  int64_t DataStart = FStart + static_cast<int64_t>(HeaderSize) + 4 * int64_t{Frames} + 4;
  int64_t Length = FWritePos - FDataStart;
  if (DataStart != FDataStart) MoveData(FDataStart, DataStart, Length);

  std::vector<uint8_t> Head(HeaderSize + 4 * size_t{Frames} + 4);
  Codec::WriteHeader(FHeader, Head.data());
  uint8_t* Table = Head.data() + HeaderSize;
  for (uint32_t I = 0; I < Frames; ++I) StoreLE32(Table + 4 * size_t{I}, FSizes[I]);
  StoreLE32(Table + 4 * size_t{Frames}, Codec::Crc32(Table, 4 * size_t{Frames}));
  int64_t End = DataStart + Length;
  if (!WriteAt(FFd, Head.data(), Head.size(), FStart) || ftruncate(FFd, End) != 0 ||
      lseek(FFd, End, SEEK_SET) < 0) {
    FFailed = true;
    FailErrno(TTA_WRITE_ERROR);
  }
  FDataStart = DataStart;
  FWritePos = End;
  FFinished = true;
}

TTAStat Encoder::Stat() const {
  TTAStat S{};
  S.Samples = FTotal;
  S.DataLength = FFinished ? FHeader.DataLength : FTotal;
  S.InputBytes = FTotal * FHeader.Channels * FByteSize;
  S.OutputBytes = static_cast<uint64_t>(FWritePos - FDataStart) + HeaderSize + 4 * FSizes.size() + 4;
  S.Ratio = S.InputBytes ? double(S.OutputBytes) / double(S.InputBytes) : 0.0;
  return S;
}

// ---- WAV files -----------------------------------------------------------------------

Wave::~Wave() {
  if (FFd >= 0) close(FFd);
}

void Wave::Open(const char* FileName) {
  if (FFd >= 0) Fail(TTA_INVALID_ARGUMENT, "a file is already open");
  if (!FileName) Fail(TTA_INVALID_ARGUMENT, "no file name");
  FFd = open(FileName, O_RDONLY | O_CLOEXEC);
  if (FFd < 0) Fail(TTA_OPEN_ERROR, std::string(FileName) + ": " + std::strerror(errno));
  FWriting = false;
}

void Wave::Create(const char* FileName) {
  if (FFd >= 0) Fail(TTA_INVALID_ARGUMENT, "a file is already open");
  if (!FileName) Fail(TTA_INVALID_ARGUMENT, "no file name");
  FFd = open(FileName, O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (FFd < 0) Fail(TTA_OPEN_ERROR, std::string(FileName) + ": " + std::strerror(errno));
  FWriting = true;
}

void Wave::ReadHeaders() {
  if (FFd < 0 || FWriting) Fail(TTA_INVALID_ARGUMENT, "no file open for reading");
  int64_t Size = FileSize(FFd);
  if (Size < 0) Fail(TTA_READ_ERROR, std::strerror(errno));
  int64_t Off = SkipId3v2(FFd, Size);
  uint8_t Riff[12];
  if (ReadAt(FFd, Riff, 12, Off) != 12 || std::memcmp(Riff, "RIFF", 4) != 0 || std::memcmp(Riff + 8, "WAVE", 4) != 0)
    Fail(TTA_FORMAT_ERROR, "not a RIFF WAVE file");
  Off += 12;
  bool HaveFmt = false;
  for (;;) {
    uint8_t Chunk[8];
    if (ReadAt(FFd, Chunk, 8, Off) != 8) Fail(TTA_FORMAT_ERROR, "no data chunk");
    uint32_t Len = LoadLE32(Chunk + 4);
    Off += 8;
    if (std::memcmp(Chunk, "fmt ", 4) == 0) {
      uint8_t Fmt[40] = {};
      if (Len < 16 || ReadAt(FFd, Fmt, std::min<uint32_t>(Len, 40), Off) != std::min<uint32_t>(Len, 40))
        Fail(TTA_FORMAT_ERROR, "bad fmt chunk");
      uint16_t Tag = LoadLE16(Fmt);
      if (Tag == 0xFFFE && Len >= 40) Tag = LoadLE16(Fmt + 24); // the sub-format's code
      FChannels = LoadLE16(Fmt + 2);
      FSampleRate = static_cast<int32_t>(LoadLE32(Fmt + 4));
      FBlockAlign = LoadLE16(Fmt + 12);
      FBits = LoadLE16(Fmt + 14);
      bool Ok = FChannels >= 1 && FChannels <= TTA_MAX_CHANNELS && FSampleRate > 0 &&
                ((Tag == 1 && (FBits == 8 || FBits == 16 || FBits == 24)) || (Tag == 3 && FBits == 32)) &&
                FBlockAlign == FChannels * FBits / 8;
      if (!Ok) Fail(TTA_UNSUPPORTED, "WAV data that is not 8, 16 or 24-bit PCM or 32-bit float");
      FFormat = Tag == 3 ? TTA_FORMAT_FLOAT : TTA_FORMAT_PCM;
      HaveFmt = true;
    } else if (std::memcmp(Chunk, "data", 4) == 0) {
      if (!HaveFmt) Fail(TTA_FORMAT_ERROR, "data before fmt");
      FDataStart = Off;
      // Streamed files leave the size at 0 or all ones: the data runs to the end.
      int64_t Rest = Size - Off;
      FDataBytes = (Len == 0 || Len == 0xFFFFFFFFu || Len > Rest) ? Rest : Len;
      FDataBytes -= FDataBytes % FBlockAlign;
      FDone = 0;
      return;
    }
    Off += int64_t{Len} + (Len & 1);
  }
}

void Wave::WriteHeaders(int32_t Format, int32_t Channels, int32_t Bits, int32_t SampleRate) {
  if (FFd < 0 || !FWriting) Fail(TTA_INVALID_ARGUMENT, "no file open for writing");
  bool Ok = Channels >= 1 && Channels <= TTA_MAX_CHANNELS && SampleRate > 0 &&
            ((Format == TTA_FORMAT_PCM && (Bits == 8 || Bits == 16 || Bits == 24)) ||
             (Format == TTA_FORMAT_FLOAT && Bits == 32));
  if (!Ok) Fail(TTA_UNSUPPORTED, "WAV data that is not 8, 16 or 24-bit PCM or 32-bit float");
  FFormat = Format;
  FChannels = Channels;
  FBits = Bits;
  FSampleRate = SampleRate;
  FBlockAlign = Channels * Bits / 8;
  // PCM takes the plain 44-byte header; float data also needs the fmt chunk's
  // extension size and a fact chunk with the sample count.
  const bool Float = Format == TTA_FORMAT_FLOAT;
  uint8_t H[58] = {};
  std::memcpy(H, "RIFF", 4);
  std::memcpy(H + 8, "WAVEfmt ", 8);
  StoreLE32(H + 16, Float ? 18 : 16);
  StoreLE16(H + 20, static_cast<uint16_t>(Float ? 3 : 1));
  StoreLE16(H + 22, static_cast<uint16_t>(Channels));
  StoreLE32(H + 24, static_cast<uint32_t>(SampleRate));
  StoreLE32(H + 28, static_cast<uint32_t>(SampleRate) * static_cast<uint32_t>(FBlockAlign));
  StoreLE16(H + 32, static_cast<uint16_t>(FBlockAlign));
  StoreLE16(H + 34, static_cast<uint16_t>(Bits));
  size_t Size = 44;
  if (Float) {
    std::memcpy(H + 38, "fact", 4);
    StoreLE32(H + 42, 4);
    std::memcpy(H + 50, "data", 4);
    Size = 58;
  } else {
    std::memcpy(H + 36, "data", 4);
  }
  StoreLE32(H + 4, static_cast<uint32_t>(Size - 8));
  if (!WriteAt(FFd, H, Size, 0)) FailErrno(TTA_WRITE_ERROR);
  FDataStart = static_cast<int64_t>(Size);
  FDataBytes = 0;
}

int32_t Wave::Read(int64_t* Samples, int32_t Frames) {
  if (FFd < 0 || FWriting || FBlockAlign == 0) Fail(TTA_INVALID_ARGUMENT, "no WAV data open for reading");
  if (Frames <= 0) return 0;
  int64_t Bytes = std::min<int64_t>(int64_t{Frames} * FBlockAlign, FDataBytes - FDone);
  if (Bytes <= 0) return 0;
  FBuf.resize(static_cast<size_t>(Bytes));
  int64_t N = ReadAt(FFd, FBuf.data(), FBuf.size(), FDataStart + FDone);
  if (N < 0) Fail(TTA_READ_ERROR, std::strerror(errno));
  N -= N % FBlockAlign;
  FDone += N;
  int64_t Count = N / (FBits / 8);
  const uint8_t* P = FBuf.data();
  switch (FBits) {
    case 8:
      for (int64_t I = 0; I < Count; ++I) Samples[I] = int64_t{P[I]} - 128;
      break;
    case 16:
      for (int64_t I = 0; I < Count; ++I, P += 2) Samples[I] = static_cast<int16_t>(LoadLE16(P));
      break;
    case 24:
      for (int64_t I = 0; I < Count; ++I, P += 3)
        Samples[I] = static_cast<int32_t>((uint32_t{P[0]} << 8) | (uint32_t{P[1]} << 16) | (uint32_t{P[2]} << 24)) >> 8;
      break;
    default:
      for (int64_t I = 0; I < Count; ++I, P += 4) {
        uint32_t B = LoadLE32(P);
        float F;
        std::memcpy(&F, &B, 4);
        Samples[I] = FloatToSlot(F);
      }
  }
  return static_cast<int32_t>(N / FBlockAlign);
}

void Wave::Write(const int64_t* Samples, int32_t Frames) {
  if (FFd < 0 || !FWriting || FBlockAlign == 0) Fail(TTA_INVALID_ARGUMENT, "no WAV data open for writing");
  if (Frames <= 0) return;
  size_t Count = size_t(Frames) * FChannels;
  FBuf.resize(Count * (FBits / 8));
  uint8_t* P = FBuf.data();
  switch (FBits) {
    case 8:
      for (size_t I = 0; I < Count; ++I) P[I] = static_cast<uint8_t>(Samples[I] + 128);
      break;
    case 16:
      for (size_t I = 0; I < Count; ++I, P += 2) StoreLE16(P, static_cast<uint16_t>(Samples[I]));
      break;
    case 24:
      for (size_t I = 0; I < Count; ++I, P += 3) {
        uint32_t V = static_cast<uint32_t>(Samples[I]);
        P[0] = static_cast<uint8_t>(V);
        P[1] = static_cast<uint8_t>(V >> 8);
        P[2] = static_cast<uint8_t>(V >> 16);
      }
      break;
    default:
      for (size_t I = 0; I < Count; ++I, P += 4) {
        float F = SlotToFloat(Samples[I]);
        uint32_t B;
        std::memcpy(&B, &F, 4);
        StoreLE32(P, B);
      }
  }
  if (!WriteAt(FFd, FBuf.data(), FBuf.size(), FDataStart + FDataBytes)) FailErrno(TTA_WRITE_ERROR);
  FDataBytes += static_cast<int64_t>(FBuf.size());
}

void Wave::Close() {
  if (FFd < 0) return;
  int Fd = FFd;
  FFd = -1;
  bool Ok = true;
  if (FWriting && FBlockAlign) {
    if (FDataBytes > int64_t{UINT32_MAX} - FDataStart) {
      close(Fd);
      Fail(TTA_TOO_LONG, "a WAV file holds at most 4 GiB");
    }
    uint8_t Size[4];
    uint8_t Pad = 0;
    int64_t End = FDataStart + FDataBytes;
    if (FDataBytes & 1) Ok = WriteAt(Fd, &Pad, 1, End++);
    StoreLE32(Size, static_cast<uint32_t>(End - 8));
    Ok = Ok && WriteAt(Fd, Size, 4, 4);
    StoreLE32(Size, static_cast<uint32_t>(FDataBytes));
    Ok = Ok && WriteAt(Fd, Size, 4, FDataStart - 4);
    if (FFormat == TTA_FORMAT_FLOAT) { // the fact chunk's sample frames
      StoreLE32(Size, static_cast<uint32_t>(FDataBytes / FBlockAlign));
      Ok = Ok && WriteAt(Fd, Size, 4, 46);
    }
  }
  if (close(Fd) != 0) Ok = false;
  if (!Ok) FailErrno(TTA_WRITE_ERROR);
}

} // namespace TTALib::Impl
