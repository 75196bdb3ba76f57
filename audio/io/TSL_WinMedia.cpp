#include "audio/io/TSL_WinMedia.h"

#include <algorithm>
#include <exception>

#include "platform/rtl/StrUtils.h"
#include "platform/rtl/SysUtils.h"

namespace {

int32_t ChannelsWanted(TChannelsNumber N) {
  switch (N) {
    case cnMaxAvailable: return -1;
    case cn5dot1: return 6;
    case cn7dot1: return 8;
    default: return 0;
  }
}

}  // namespace

// ===========================================================================
// TWMIn

TWMIn::TWMIn(TComponent* AOwner) : TAuTaggedFileIn(AOwner) {}

void TWMIn::Reopen() {
  if (FOpenCount == 0) return;
  CloseFile();
  OpenFile();
}

void TWMIn::SetHighPrecision(bool Value) {
  if (FBusy || FOutputChannels != cnMonoOrStereo) return;
  if (FHighPrecision == Value) return;
  FHighPrecision = Value;
  Reopen();
}

void TWMIn::SetOutputChannels(TChannelsNumber Value) {
  if (FBusy) return;
  if (FOutputChannels == Value) return;
  FOutputChannels = Value;
  if (Value != cnMonoOrStereo) FHighPrecision = true;
  Reopen();
}

TId3v2Tags* TWMIn::GetId3v2Tags() {
  OpenFile();
  return FId3v2Tags.get();
}

void TWMIn::DoOpenFile() {
  if (!FStreamAssigned && FFileName.empty()) throw EAuException("File name is not assigned");
  if (!FStreamAssigned) OpenOwnStream();
  // Tags of an earlier file must not pass for this one's.
  FId3v2Tags->Clear();
  FValid = false;
  FSize = -1;
  FDuration = 0;
  try {
    OpenWMAReader(FReader, FStream, FHighPrecision, ChannelsWanted(FOutputChannels));
    FValid = FReader.HasAudio;
    if (!FReader.Reader) return;
    if (FReader.Protected) throw EAuException("File is protected");
    if (!FValid) return;
    GetWMAFormat(FReader, FChannels, FBitsPerSample, FSampleRate);
    // Believed as far as the file can hold it at its bit rate, with room for a variable
    // one: at least half of it.
    FDuration = GetWMADuration(FReader);
    if (FReader.Bitrate > 0 &&
        BelievedLength(FDuration, FStream->Size(), std::max<int64_t>(FReader.Bitrate / 16, 1), 100) < 0)
      FDuration = 0;
    FSeekable = true;
    if (CountsAtOpen()) {
      Measure();
      if (!FValid) return;
    }
    TId3v2Tags& t = *FId3v2Tags;
    t.SetArtist(GetWMAAttribute(FReader, "Author"));
    t.SetTitle(GetWMAAttribute(FReader, "Title"));
    t.SetAlbum(GetWMAAttribute(FReader, "WM/AlbumTitle"));
    t.SetGenre(GetWMAAttribute(FReader, "WM/Genre"));
    t.SetTrack(UTF16ToUTF8(GetWMAAttribute(FReader, "WM/Track")));
    t.SetYear(UTF16ToUTF8(GetWMAAttribute(FReader, "WM/Year")));
    // The comment is the file's description. Files that hold none but a copyright
    // were written when the comment went there: their copyright is their comment.
    const std::u16string description = GetWMAAttribute(FReader, "Description");
    const std::u16string copyright = GetWMAAttribute(FReader, "Copyright");
    if (!description.empty()) {
      t.SetComment(description);
      t.SetCopyright(copyright);
    } else {
      t.SetComment(copyright);
    }
  } catch (...) {
    CloseWMAReader(FReader);
    FValid = false;
    ReleaseStream();
    throw;
  }
}

void TWMIn::DoCloseFile() { CloseWMAReader(FReader); }

void TWMIn::Measure() {
  if (!FValid || FSize >= 0) return;
  // The exact count the reader delivers: the pipeline ends every run at Size.
  const int64_t total = GetWMASampleCount(FReader);
  if (total <= 0) {
    // Nothing decodable.
    FValid = false;
    return;
  }
  FSize = total * FChannels * (FBitsPerSample / 8);
}

int32_t TWMIn::GetTotalTime() {
  OpenFile();
  if (FSize >= 0) return TAuTaggedFileIn::GetTotalTime();
  return FValid ? static_cast<int32_t>(Round(FDuration / 100.0)) : 0;
}

int64_t TWMIn::GetTotalSamples() {
  OpenFile();
  if (!FBusy) Measure();
  return TAuTaggedFileIn::GetTotalSamples();
}

void TWMIn::BeginRead() {
  if (!FBusy) {
    OpenFile();
    // A range is cut by the exact count; the whole file is counted by its one decode.
    if (FStartSample > 0 || FEndSample != -1) Measure();
  }
  TAuTaggedFileIn::BeginRead();
  const int64_t frame = int64_t{FChannels} * (FBitsPerSample / 8);
  FHeaderBytes = FSize < 0 && FDuration > 0 ? Round(FDuration / 100.0 * FSampleRate) * frame : -1;
}

int32_t TWMIn::Progress() {
  const int64_t expected = FHeaderBytes;
  if (FSize >= 0 || expected <= 0) return TAuTaggedFileIn::Progress();
  // Not done before the decode ends, however long the header says the file is.
  return Percent(FPosition, expected, 99);
}

void TWMIn::ReadRaw(void*& Buffer, uint32_t& Bytes) {
  const int64_t size = FSize;
  if (size > 0) Bytes = static_cast<uint32_t>(std::clamp<int64_t>(size - FPosition, 0, Bytes));
  if (Bytes == 0) {
    Buffer = nullptr;
    return;
  }
  ReadWMAData(FReader, Buffer, Bytes);
  if (Bytes > 0) return;
  // Everything before the damage has been delivered: the frame after it is where it is.
  if (FReader.Damaged && FFrameSize > 0)
    throw EAuException(DecodingErrorMessage(DecoderName(), FFileName, FStartSample + FPosition / FFrameSize));
  // The decode has counted the frames.
  if (size < 0) FSize = FPosition.load();
}

bool TWMIn::SeekRaw(int64_t& SampleNum) {
  if (!FBusy || FSampleRate <= 0) return false;
  // The time of the sample itself, so that the reader lands on it.
  SeekWMA(FReader, static_cast<double>(SampleNum) * 100.0 / FSampleRate);
  return true;
}

// ===========================================================================
// TWMAOut

TWMAOut::TWMAOut(TComponent* AOwner) : TAuTaggedFileOut(AOwner) {
  if (!Designing()) GetWMACodecNames(FCodecs);
}

const TStringList& TWMAOut::GetFormats(uint16_t CodecIndex) {
  FFormats.Clear();
  if (CodecIndex < FCodecs.Count()) GetWMAFormatDescs(CodecIndex, FVBR || FLossless, FFormats);
  return FFormats;
}

void TWMAOut::ClientConnected() { PostClientEvent(true); }
void TWMAOut::ClientDisconnected() { PostClientEvent(false); }

// The writer brings the input to its codec's rate and, for a format chosen by index, to
// its channels; the formats chosen by bitrate or quality match the source's channels,
// and none has more than two.
std::string TWMAOut::FormatRefusal(int32_t Bits, int32_t Channels, int32_t Rate) const {
  const int32_t maxChannels = FCodecIndex < 0 ? 2 : WMF_MAX_INPUT_CHANNELS;
  const TAuFormatLimits limits{"A", "Windows Media", maxChannels, AuBitsAll, WMF_MIN_INPUT_RATE, WMF_MAX_INPUT_RATE};
  return FormatRefusalText(limits, Bits, Channels, Rate);
}

void TWMAOut::Prepare() {
  if (!FStreamed && FFileName.empty()) throw EAuException("File name is not assigned.");
  RefuseInputFormat();
  StartInput();
  if (FStreamed)
    OpenWMAStream(
        FWriter, FPort, FMaxClients, [this] { ClientDisconnected(); }, [this] { ClientConnected(); }, this,
        FLoopbackOnly);
  else
    OpenWMAFile(FWriter, CreateRunFileName(FFileName));
  if (!FWriter.Created)
    throw Exception(FStreamed ? std::string("Cannot create file") : CannotCreateMessage(FFileName, FWriter.OpenError));
  const int32_t ch = FInput->Channels(), bits = FInput->BitsPerSample(), rate = FInput->SampleRate();
  if (FCodecIndex >= 0)
    SetWMAFormatByIndex(FWriter, ch, bits, FFormatIndex, FCodecIndex, FVBR || FLossless, rate);
  else if (FVBR)
    SetWMAFormatByValue(FWriter, ch, bits, FVBRQuality, FVBR, FLossless, rate);
  else
    SetWMAFormatByValue(FWriter, ch, bits, FDesiredBitrate, FVBR, FLossless, rate);
  const int64_t block = static_cast<int64_t>(ch) * bits * rate / 100;
  FBuffer.assign(static_cast<size_t>(std::clamp<int64_t>(block, 4096, 1 << 22)), 0);

  const TId3v2Tags& t = *FId3v2Tags;
  auto text = [this](const char* Name, const std::u16string& V) {
    if (!V.empty()) SetWMATag(FWriter, Name, V);
  };
  auto number = [this](const char* Name, const std::string& V) {
    if (!V.empty() && V != "0") SetWMATag(FWriter, Name, UTF8ToUTF16(V));
  };
  text("Author", t.Artist());
  text("WM/AlbumTitle", t.Album());
  text("WM/Genre", t.Genre());
  number("WM/Year", t.Year());
  number("WM/Track", t.Track());
  text("Title", t.Title());
  text("Description", t.Comment());
  text("Copyright", t.Copyright());
  try {
    BeginWMAWriting(FWriter);
  } catch (...) {
    RaiseWriteFailure();
  }
  FEndOfData = false;
}

void TWMAOut::RaiseWriteFailure() const {
  const int err = FWriter.FileSink ? FWriter.FileSink->Error() : 0;
  if (err != 0) throw EAuException(CannotWriteMessage(FFileName, err));
  throw;
}

bool TWMAOut::WriteBlock(bool Abort) {
  if (!FPrepared) return true;
  if (Abort || FEndOfData) return false;
  bool eof = false;
  const uint32_t n = FInput->FillBuffer(FBuffer.data(), static_cast<uint32_t>(FBuffer.size()), eof);
  FEndOfData = eof;
  try {
    WriteWMAData(FWriter, FBuffer.data(), n);
    // Complete the file while the run can still report a failure.
    if (eof) EndWMAWriting(FWriter);
  } catch (...) {
    RaiseWriteFailure();
  }
  return true;
}

void TWMAOut::Finish() {
  FlushInput();
  // A stopped run completes its file too, or says why it could not.
  std::exception_ptr error;
  if (!FStreamed) {
    try {
      try {
        EndWMAWriting(FWriter);
      } catch (...) {
        RaiseWriteFailure();
      }
    } catch (...) {
      error = std::current_exception();
    }
  }
  if (FStreamed)
    CloseWMAStream(FWriter);
  else
    CloseWMAFile(FWriter);
  FBuffer.clear();
  FBuffer.shrink_to_fit();
  if (error) std::rethrow_exception(error);
}

// ===========================================================================
// TWMStreamedOut

TWMStreamedOut::TWMStreamedOut(TComponent* AOwner) : TWMAOut(AOwner) { FStreamed = true; }

void TWMStreamedOut::PostClientEvent(bool Connected) {
  // On the sink's thread: only hand the event to the dispatcher.
  const TStreamedAudioEvent& handler = Connected ? OnClientConnected : OnClientDisconnected;
  if (handler) TEventHandler::PostException(this, handler);
}
