// The exported entry points: thin shims over the objects of TTAFile.

#include "TTAFile.h"
#include "TTALib.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <new>
#include <unistd.h>

using namespace TTALib;
using TTALib::Impl::Fail;
using TTALib::Impl::FailErrno;

namespace {

template <class T, class S>
T* Object(S* Self) {
  if (!Self || !Self->FImpl) Fail(TTA_INVALID_ARGUMENT, "the object is not constructed");
  return static_cast<T*>(Self->FImpl);
}
template <class T, class S>
const T* Peek(const S* Self) noexcept {
  return Self ? static_cast<const T*>(Self->FImpl) : nullptr;
}

// Constructs T in the caller's storage; allocation failure becomes a TTAException.
template <class T, class S, class... A>
void Construct(S* Self, A&&... Args) {
  if (!Self) Fail(TTA_INVALID_ARGUMENT, "no storage for the object");
  Self->FImpl = nullptr;
  try {
    Self->FImpl = new T(std::forward<A>(Args)...);
  } catch (const std::bad_alloc&) {
    Fail(TTA_MEMORY_ERROR);
  }
}

// Runs an entry point's work; allocation failure becomes a TTAException.
template <class F>
auto Guard(F&& Fn) -> decltype(Fn()) {
  try {
    return Fn();
  } catch (const std::bad_alloc&) {
    Fail(TTA_MEMORY_ERROR);
  }
}

// A property of a constructed object, or zero when there is none.
template <class T, class R, class S>
R Query(const S* Self, R (T::*Get)() const) noexcept {
  const T* P = Peek<T>(Self);
  return P ? (P->*Get)() : R{};
}

template <class T, class S>
void Destroy(S* Self) noexcept {
  if (!Self) return;
  delete static_cast<T*>(Self->FImpl);
  Self->FImpl = nullptr;
}

// Runs a whole-file job and turns its failures into an error code.
template <class F>
int32_t Run(F&& Fn) noexcept {
  try {
    Fn();
    return TTA_NO_ERROR;
  } catch (const TTAException& E) {
    return E.Code();
  } catch (const std::bad_alloc&) {
    return TTA_MEMORY_ERROR;
  } catch (...) {
    return TTA_FILE_ERROR;
  }
}

// A descriptor closed when it goes out of scope.
struct FdHolder {
  int Fd = -1;
  ~FdHolder() {
    if (Fd >= 0) close(Fd);
  }
};

} // namespace

// ---- TTADecoder ----------------------------------------------------------------------

void TTALib_TTADecoder_Construct(TTADecoder* Self, int32_t Handle) { Construct<Impl::Decoder>(Self, Handle); }

void TTALib_TTADecoder_Destruct(TTADecoder* Self) noexcept { Destroy<Impl::Decoder>(Self); }

int32_t TTALib_TTADecoder_GetBlock(TTADecoder* Self, int64_t** Buffer) {
  return Guard([&] { return Object<Impl::Decoder>(Self)->GetBlock(Buffer); });
}

int32_t TTALib_TTADecoder_GetNumChannels(const TTADecoder* Self) noexcept {
  return Query(Self, &Impl::Decoder::Channels);
}
int32_t TTALib_TTADecoder_GetBitsPerSample(const TTADecoder* Self) noexcept {
  return Query(Self, &Impl::Decoder::Bits);
}
int32_t TTALib_TTADecoder_GetSampleRate(const TTADecoder* Self) noexcept {
  return Query(Self, &Impl::Decoder::SampleRate);
}
int64_t TTALib_TTADecoder_GetDataLength(const TTADecoder* Self) noexcept {
  return Query(Self, &Impl::Decoder::DataLength);
}
int32_t TTALib_TTADecoder_GetFormat(const TTADecoder* Self) noexcept {
  return Query(Self, &Impl::Decoder::Format);
}
void TTALib_TTADecoder_GetStat(const TTADecoder* Self, TTAStat* Stat) noexcept {
  if (!Stat) return;
  *Stat = Query(Self, &Impl::Decoder::Stat);
}

// ---- TTAEncoder ----------------------------------------------------------------------

void TTALib_TTAEncoder_Construct(TTAEncoder* Self, int32_t Handle, bool CopyID3v2, int32_t Format,
                                 int32_t NumChannels, int32_t BitsPerSample, int32_t SampleRate,
                                 int64_t DataLength) {
  Construct<Impl::Encoder>(Self, Handle, CopyID3v2, Format, NumChannels, BitsPerSample, SampleRate, DataLength);
}

void TTALib_TTAEncoder_Destruct(TTAEncoder* Self) noexcept { Destroy<Impl::Encoder>(Self); }

bool TTALib_TTAEncoder_CompressBlock(TTAEncoder* Self, const int64_t* Samples, int32_t Count) {
  if (!Self || !Self->FImpl) return false;
  return Guard([&] { return static_cast<Impl::Encoder*>(Self->FImpl)->CompressBlock(Samples, Count); });
}

void TTALib_TTAEncoder_Finish(TTAEncoder* Self) {
  Guard([&] { Object<Impl::Encoder>(Self)->Finish(); });
}

void TTALib_TTAEncoder_GetStat(const TTAEncoder* Self, TTAStat* Stat) noexcept {
  if (!Stat) return;
  *Stat = Query(Self, &Impl::Encoder::Stat);
}

// ---- WaveFile ------------------------------------------------------------------------

void TTALib_WaveFile_Construct(WaveFile* Self) noexcept {
  if (!Self) return;
  Self->FImpl = new (std::nothrow) Impl::Wave();
}

void TTALib_WaveFile_Destruct(WaveFile* Self) noexcept { Destroy<Impl::Wave>(Self); }

void TTALib_WaveFile_Open(WaveFile* Self, const char* FileName) {
  Guard([&] { Object<Impl::Wave>(Self)->Open(FileName); });
}
void TTALib_WaveFile_Create(WaveFile* Self, const char* FileName) {
  Guard([&] { Object<Impl::Wave>(Self)->Create(FileName); });
}
void TTALib_WaveFile_ReadHeaders(WaveFile* Self) {
  Guard([&] { Object<Impl::Wave>(Self)->ReadHeaders(); });
}
void TTALib_WaveFile_WriteHeaders(WaveFile* Self, int32_t Format, int32_t NumChannels, int32_t BitsPerSample,
                                  int32_t SampleRate) {
  Guard([&] { Object<Impl::Wave>(Self)->WriteHeaders(Format, NumChannels, BitsPerSample, SampleRate); });
}
int32_t TTALib_WaveFile_Read(WaveFile* Self, int64_t* Samples, int32_t Frames) {
  return Guard([&] { return Object<Impl::Wave>(Self)->Read(Samples, Frames); });
}
void TTALib_WaveFile_Write(WaveFile* Self, const int64_t* Samples, int32_t Frames) {
  Guard([&] { Object<Impl::Wave>(Self)->Write(Samples, Frames); });
}
void TTALib_WaveFile_Close(WaveFile* Self) {
  Guard([&] { Object<Impl::Wave>(Self)->Close(); });
}
int32_t TTALib_WaveFile_GetFormat(const WaveFile* Self) noexcept {
  return Query(Self, &Impl::Wave::Format);
}
int32_t TTALib_WaveFile_GetNumChannels(const WaveFile* Self) noexcept {
  return Query(Self, &Impl::Wave::Channels);
}
int32_t TTALib_WaveFile_GetBitsPerSample(const WaveFile* Self) noexcept {
  return Query(Self, &Impl::Wave::Bits);
}
int32_t TTALib_WaveFile_GetSampleRate(const WaveFile* Self) noexcept {
  return Query(Self, &Impl::Wave::SampleRate);
}
int64_t TTALib_WaveFile_GetDataLength(const WaveFile* Self) noexcept {
  return Query(Self, &Impl::Wave::DataLength);
}

// ---- whole files ---------------------------------------------------------------------

int64_t TTALib_CopyId3Header(int32_t InHandle, int32_t OutHandle, bool Copy) noexcept {
  try {
    if (InHandle < 0 || (Copy && OutHandle < 0)) return -1;
    int64_t Size = Impl::FileSize(InHandle);
    if (Size < 0) return -1;
    uint8_t Head[10];
    int64_t N = Impl::ReadAt(InHandle, Head, sizeof Head, 0);
    if (N < 0) return -1;
    uint64_t Tag = Codec::Id3v2Size(Head, static_cast<size_t>(N));
    if (static_cast<int64_t>(Tag) > Size) Tag = 0; // claims more than there is: not a tag
    if (Copy && Tag > 0) {
      off_t Out = lseek(OutHandle, 0, SEEK_CUR);
      if (Out < 0) return -1;
      std::vector<uint8_t> Buf(1 << 16);
      for (uint64_t Done = 0; Done < Tag;) {
        size_t Step = static_cast<size_t>(std::min<uint64_t>(Buf.size(), Tag - Done));
        if (Impl::ReadAt(InHandle, Buf.data(), Step, static_cast<int64_t>(Done)) != static_cast<int64_t>(Step) ||
            !Impl::WriteAt(OutHandle, Buf.data(), Step, Out + static_cast<int64_t>(Done)))
          return -1;
        Done += Step;
      }
      if (lseek(OutHandle, Out + static_cast<off_t>(Tag), SEEK_SET) < 0) return -1;
    }
    if (lseek(InHandle, static_cast<off_t>(Tag), SEEK_SET) < 0) return -1;
    return static_cast<int64_t>(Tag);
  } catch (...) {
    return -1;
  }
}

const char* TTALib_GetErrStr(int32_t Error) noexcept { return Impl::ErrorText(Error); }

int32_t TTALib_Wav2TTA(const char* InFile, const char* OutFile, bool CopyID3v2, TTACallback Callback,
                       void* UserData) noexcept {
  if (!InFile || !OutFile) return TTA_INVALID_ARGUMENT;
  bool Created = false;
  int32_t R = Run([&] {
    Impl::Wave In;
    In.Open(InFile);
    In.ReadHeaders();
    FdHolder Out;
    Out.Fd = open(OutFile, O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (Out.Fd < 0) Fail(TTA_OPEN_ERROR, std::string(OutFile) + ": " + std::strerror(errno));
    Created = true;
    if (CopyID3v2 && TTALib_CopyId3Header(In.Fd(), Out.Fd, true) < 0) Fail(TTA_WRITE_ERROR, "copying the ID3v2 tag");
    {
      Impl::Encoder Enc(Out.Fd, CopyID3v2, In.Format(), In.Channels(), In.Bits(), In.SampleRate(), In.DataLength());
      const int32_t Step = static_cast<int32_t>(Codec::FrameLength(static_cast<uint32_t>(In.SampleRate())));
      std::vector<int64_t> Buf(size_t(Step) * In.Channels());
      while (int32_t Frames = In.Read(Buf.data(), Step)) {
        if (!Enc.CompressBlock(Buf.data(), Frames * In.Channels())) Fail(TTA_WRITE_ERROR);
        if (Callback) {
          TTAStat S = Enc.Stat();
          S.DataLength = static_cast<uint64_t>(In.DataLength());
          if (!Callback(&S, UserData)) Fail(TTA_CANCELLED);
        }
      }
      Enc.Finish();
    }
    if (close(Out.Fd) != 0) {
      Out.Fd = -1;
      FailErrno(TTA_WRITE_ERROR);
    }
    Out.Fd = -1;
  });
  if (R != TTA_NO_ERROR && Created) unlink(OutFile);
  return R;
}

int32_t TTALib_TTA2Wav(const char* InFile, const char* OutFile, TTACallback Callback, void* UserData) noexcept {
  if (!InFile || !OutFile) return TTA_INVALID_ARGUMENT;
  bool Created = false;
  int32_t R = Run([&] {
    FdHolder In;
    In.Fd = open(InFile, O_RDONLY | O_CLOEXEC);
    if (In.Fd < 0) Fail(TTA_OPEN_ERROR, std::string(InFile) + ": " + std::strerror(errno));
    Impl::Decoder Dec(In.Fd);
    Impl::Wave Out;
    Out.Create(OutFile);
    Created = true;
    Out.WriteHeaders(Dec.Format(), Dec.Channels(), Dec.Bits(), Dec.SampleRate());
    int64_t* Block = nullptr;
    while (int32_t Frames = Dec.GetBlock(&Block)) {
      Out.Write(Block, Frames);
      if (Callback) {
        TTAStat S = Dec.Stat();
        if (!Callback(&S, UserData)) Fail(TTA_CANCELLED);
      }
    }
    Out.Close();
  });
  if (R != TTA_NO_ERROR && Created) unlink(OutFile);
  return R;
}

int32_t TTALib_TTATest(const char* InFile, TTACallback Callback, void* UserData) noexcept {
  if (!InFile) return TTA_INVALID_ARGUMENT;
  return Run([&] {
    FdHolder In;
    In.Fd = open(InFile, O_RDONLY | O_CLOEXEC);
    if (In.Fd < 0) Fail(TTA_OPEN_ERROR, std::string(InFile) + ": " + std::strerror(errno));
    Impl::Decoder Dec(In.Fd);
    int64_t* Block = nullptr;
    while (Dec.GetBlock(&Block)) {
      if (Callback) {
        TTAStat S = Dec.Stat();
        if (!Callback(&S, UserData)) Fail(TTA_CANCELLED);
      }
    }
  });
}
