#include "audio/core/TSL_Classes.h"

#include <algorithm>
#include <cfenv>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <unordered_map>
#include <utility>

#include <sys/stat.h>
#include <unistd.h>

#include "platform/rtl/FileUtils.h"
#include "platform/rtl/StrUtils.h"

TCriticalSection LoadLock;

namespace {

// The default floating-point environment masks every exception, so codec arithmetic
// never traps. Make sure nothing before us changed that.
const bool FloatEnvironmentChecked = [] {
  if (!FloatExceptionsMasked()) std::fesetenv(FE_DFL_ENV);
  return true;
}();

constexpr uint32_t PauseHandshakeTimeoutMs = 10000;

}  // namespace

namespace {

// "m:ss.hh", or "h:mm:ss.hh" from an hour on: the time of Frame at Rate, to the nearest
// hundredth (halves to even).
std::string FrameTime(int64_t Frame, int32_t Rate) {
  const int64_t scaled = Frame * 100;
  int64_t hundredths = scaled / Rate;
  const int64_t rest = scaled % Rate;
  if (2 * rest > Rate || (2 * rest == Rate && hundredths % 2 != 0)) ++hundredths;
  const int64_t seconds = hundredths / 100, minutes = seconds / 60, hours = minutes / 60;
  char buf[64];
  if (hours > 0)
    std::snprintf(buf, sizeof buf, "%lld:%02lld:%02lld.%02lld", static_cast<long long>(hours),
                  static_cast<long long>(minutes % 60), static_cast<long long>(seconds % 60),
                  static_cast<long long>(hundredths % 100));
  else
    std::snprintf(buf, sizeof buf, "%lld:%02lld.%02lld", static_cast<long long>(minutes),
                  static_cast<long long>(seconds % 60), static_cast<long long>(hundredths % 100));
  return buf;
}

}  // namespace

std::string DecodingErrorMessage(const std::string& Format, const std::string& FileName, int64_t Frame,
                                 int32_t SampleRate, const std::string& Detail) {
  std::string m = Format + " decoding error";
  if (!FileName.empty()) m += " in \"" + FileName + "\"";
  // Past what the multiplication holds (millennia of audio) only the frame is given.
  if (SampleRate > 0 && Frame >= 0 && Frame <= INT64_MAX / 100)
    m += " after " + FrameTime(Frame, SampleRate) + " (sample frame " + std::to_string(Frame) + ")";
  else
    m += " after sample frame " + std::to_string(Frame);
  return m + (Detail.empty() ? "." : ": " + Detail + ".");
}

int64_t BelievedLength(int64_t Announced, int64_t FileBytes, int64_t UnitBytes, int64_t FramesPerUnit) {
  if (Announced < 0 || FileBytes < 0 || UnitBytes <= 0 || FramesPerUnit <= 0) return -1;
  // Compared in units, so that no product overflows.
  const int64_t units = FileBytes / UnitBytes + (FileBytes % UnitBytes != 0 ? 1 : 0);
  const int64_t needed = Announced / FramesPerUnit + (Announced % FramesPerUnit != 0 ? 1 : 0);
  return needed <= units ? Announced : -1;
}

std::string CannotCreateMessage(const std::string& FileName, int ErrorCode) {
  return "Cannot create \"" + FileName + "\": " + SysErrorMessage(ErrorCode);
}

namespace {

// "a, b or c".
std::string OneOf(const std::vector<std::string>& Items) {
  std::string s;
  for (size_t i = 0; i < Items.size(); ++i) s += (i == 0 ? "" : i + 1 == Items.size() ? " or " : ", ") + Items[i];
  return s;
}

}  // namespace

std::string FormatRefusalText(const TAuFormatLimits& L, int32_t Bits, int32_t Channels, int32_t Rate) {
  const std::string file = std::string(L.Article) + " " + L.Name + " file ";
  if (Channels < 1 || Channels > L.MaxChannels) {
    const std::string held = L.MaxChannels == 2 ? "one or two" : "1 to " + std::to_string(L.MaxChannels);
    return file + "holds " + held + " channels; the source has " + std::to_string(Channels) + ".";
  }
  if (Bits < 8 || Bits > 32 || Bits % 8 != 0 || !(L.Bits & (1u << (Bits / 8 - 1)))) {
    std::vector<std::string> sizes;
    for (int32_t b = 8; b <= 32; b += 8)
      if (L.Bits & (1u << (b / 8 - 1))) sizes.push_back(std::to_string(b));
    return file + "holds " + OneOf(sizes) + "-bit samples; the source has " + std::to_string(Bits) + "-bit samples.";
  }
  std::string rates;
  if (L.OnlyRates.empty()) {
    if (Rate >= L.MinRate && Rate <= L.MaxRate) return {};
    rates = std::to_string(L.MinRate) + " to " + std::to_string(L.MaxRate);
  } else {
    std::vector<std::string> list;
    for (const int32_t r : L.OnlyRates) {
      if (r == Rate) return {};
      list.push_back(std::to_string(r));
    }
    rates = OneOf(list);
  }
  return file + "takes sample rates of " + rates + " Hz; the source has " + std::to_string(Rate) + " Hz.";
}

namespace {

std::string Quoted(const std::string& FileName) { return "\"" + FileName + "\""; }

std::string WriteFailure(const std::string& What, int ErrorCode) {
  return "Cannot write " + What + ": " + SysErrorMessage(ErrorCode);
}

std::string TempFileIn(const std::string& Dir) { return "a temporary file in " + Quoted(Dir); }

}  // namespace

std::string CannotWriteMessage(const std::string& FileName, int ErrorCode) {
  return WriteFailure(Quoted(FileName), ErrorCode);
}

std::string CannotWriteTempMessage(const std::string& Dir, int ErrorCode) {
  return WriteFailure(TempFileIn(Dir), ErrorCode);
}

std::unique_ptr<TStream> CreateTempStream(const std::string& Dir) {
  const int fd = CreateUnnamedFile(Dir);
  if (fd < 0) throw EAuException("Cannot create " + TempFileIn(Dir) + ": " + SysErrorMessage(errno));
  return std::make_unique<TAuFileStream>(fd, TempFileIn(Dir));
}

// ===========================================================================
// TAuInput

TAuInput::TAuInput(TComponent* AOwner) : TComponent(AOwner) {}

void TAuInput::Init() {
  TCriticalSectionGuard g(FDataLock);
  FEndOfData = false;
  FPendingFailure = nullptr;
  try {
    BeginRead();
  } catch (const EAuException&) {
    FEndOfData = true;
    throw;
  } catch (const std::exception& E) {
    FEndOfData = true;
    throw EAuException(E.what());
  }
}

void TAuInput::Flush() {
  TCriticalSectionGuard g(FDataLock);
  EndRead();
}

bool TAuInput::RequestBelowFrame(void*& Buffer, uint32_t& Bytes) const {
  // Components that hand out whole frames only would take a smaller request for the
  // end of the data; a request that completes a partly delivered frame is fine.
  if (FFrameSize > 0 && Bytes < FFrameSize && FPosition % FFrameSize == 0) {
    Buffer = nullptr;
    Bytes = 0;
    return true;
  }
  return false;
}

void TAuInput::ReadData(void*& Buffer, uint32_t& Bytes) {
  TCriticalSectionGuard g(FDataLock);
  ReadRaw(Buffer, Bytes);
}

uint32_t TAuInput::CopyData(void* Buffer, uint32_t BufferSize) {
  void* p = nullptr;
  uint32_t n = BufferSize;
  ReadData(p, n);
  if (p && n > 0) {
    n = std::min(n, BufferSize);
    std::memcpy(Buffer, p, n);
    return n;
  }
  return 0;
}

uint32_t TAuInput::FillBuffer(void* Buffer, uint32_t BufferSize, bool& Eof) {
  auto* dst = static_cast<uint8_t*>(Buffer);
  const uint32_t frame = std::max<uint32_t>(FFrameSize, 1);
  // Whole frames only: less room than one frame is not the end of the data.
  const uint32_t target = BufferSize - BufferSize % frame;
  uint32_t filled = 0;
  Eof = false;
  if (FPendingFailure) std::rethrow_exception(std::exchange(FPendingFailure, nullptr));
  while (filled < target) {
    uint32_t n;
    try {
      n = CopyData(dst + filled, target - filled);
    } catch (...) {
      // The bytes before a failure are real audio: they go out first.
      if (filled == 0) throw;
      FPendingFailure = std::current_exception();
      break;
    }
    if (n == 0) {
      Eof = true;
      break;
    }
    filled += n;
  }
  return filled;
}

void TAuInput::Reset() {
  try {
    Flush();
  } catch (...) {
  }
  FBusy = false;
}

int32_t TAuInput::Percent(int64_t Done, int64_t Total, int32_t Most) {
  if (Total < 0) return -1;
  if (Total == 0) return 0;
  const int64_t p = Round(static_cast<double>(Done) / static_cast<double>(Total) * 100.0);
  return static_cast<int32_t>(std::clamp<int64_t>(p, 0, Most));
}

int32_t TAuInput::Progress() { return Percent(FPosition, FSize); }

// ===========================================================================
// TAuStreamedInput

TAuStreamedInput::TAuStreamedInput(TComponent* AOwner) : TAuInput(AOwner) {}

void TAuStreamedInput::SetStream(TStream* Value) {
  FStream = Value;
  FStreamAssigned = Value != nullptr;
}

void TAuStreamedInput::RestartLoop() {
  if (!FSeekable) {
    Flush();
    Init();
  } else {
    int64_t s = FStartSample;
    SeekRaw(s);
  }
  FPosition = 0;
  FEndOfData = false;
}

void TAuStreamedInput::ReadData(void*& Buffer, uint32_t& Bytes) {
  TCriticalSectionGuard g(FDataLock);
  const uint32_t wanted = Bytes;
  if (FEndOfData || RequestBelowFrame(Buffer, Bytes)) {
    if (FEndOfData) {
      Buffer = nullptr;
      Bytes = 0;
    }
    return;
  }
  // The previous read delivered the end of a looping range; start over now.
  if (FLoopRestartPending) {
    FLoopRestartPending = false;
    RestartLoop();
  }
  // A source found damaged at its end (while the last bytes were read) fails a run
  // that reads to the end, though no byte it announced is missing.
  const bool toTheEnd = FEndSample == -1;
  auto readOnce = [&](bool trim) {
    const int64_t size = FSize;
    if (size >= 0 && FPosition >= size) {  // an empty or exhausted range
      if (toTheEnd) RaiseDamage();
      Buffer = nullptr;
      Bytes = 0;
      FEndOfData = true;
      return;
    }
    Bytes = wanted;
    ReadRaw(Buffer, Bytes);
    if (Bytes == 0) {
      Buffer = nullptr;
      FEndOfData = true;
      return;
    }
    FPosition += Bytes;
    if (size > 0 && FPosition >= size) {
      FEndOfData = !(toTheEnd && Damaged());
      if (trim && FPosition > size) {
        Bytes -= static_cast<uint32_t>(FPosition - size);
        FPosition = size;
      }
    }
  };
  readOnce(true);
  if (!FEndOfData || !FLoop) return;
  if (Bytes > 0) {
    // Deliver the last bytes of the range first; the next read starts over.
    FEndOfData = false;
    FLoopRestartPending = true;
    return;
  }
  RestartLoop();
  readOnce(true);
  if (FEndOfData && FLoop && Bytes > 0) {
    FEndOfData = false;
    FLoopRestartPending = true;
  }
}

bool TAuStreamedInput::Seek(int64_t SampleNum) {
  if (!FSeekable || SampleNum < 0) return false;
  if (FTotalSamples > 0 && SampleNum > FTotalSamples) return false;
  TCriticalSectionGuard g(FDataLock);
  if (!FBusy) {
    FStartSample = SampleNum;
    FPosition = SampleNum * FFrameSize;
    FEndSample = -1;
    return true;
  }
  int64_t n = FStartSample + SampleNum;
  bool result = false;
  try {
    result = SeekRaw(n);
  } catch (...) {
    return false;
  }
  FPosition = (n - FStartSample) * FFrameSize;
  if (result) {
    FEndOfData = false;
    FLoopRestartPending = false;
    FDamage.clear();
  }
  return result;
}

// ===========================================================================
// TAuFileIn

TAuFileIn::TAuFileIn(TComponent* AOwner) : TAuStreamedInput(AOwner) {}

TAuFileIn::~TAuFileIn() = default;

void TAuFileIn::BeforeDestruction() {
  if (!Destroying()) {
    try {
      if (FBusy) Reset();
      TCriticalSectionGuard g(FOpenLock);
      CloseFileLocked();
    } catch (...) {
    }
  }
  TAuStreamedInput::BeforeDestruction();
}

void TAuFileIn::SetFileName(const std::string& Value) {
  if (FBusy) throw EAuException("The component is Busy");
  CloseFile();
  FFileName = Value;
  FWideFileName = UTF8ToUTF16(Value);
}

void TAuFileIn::SetStream(TStream* Value) {
  if (FBusy) throw EAuException("The component is Busy");
  CloseFile();
  TAuStreamedInput::SetStream(Value);
}

void TAuFileIn::OpenOwnStream() {
  FOwnStream = std::make_unique<TAuFileStream>(FFileName, fmOpenRead | fmShareDenyWrite);
  FStream = FOwnStream.get();
}

void TAuFileIn::ReleaseStream() {
  if (FStreamAssigned) {
    if (FStream && FSeekable) {
      try {
        FStream->Seek(0, soBeginning);
      } catch (...) {
      }
    }
  } else {
    FStream = nullptr;
    FOwnStream.reset();
  }
}

void TAuFileIn::OpenFile() {
  TCriticalSectionGuard g(FOpenLock);
  if (FOpenCount > 0) return;
  // Some decoders open the file by name themselves, and opening a FIFO would wait for
  // a writer: anything but a regular file is refused before they look at it.
  struct stat st;
  if (!FStreamAssigned && !FFileName.empty() && ::stat(FFileName.c_str(), &st) == 0 && !S_ISREG(st.st_mode))
    throw EAuException(Quoted(FFileName) + " is not a regular file");
  DoOpenFile();
  FOpenCount = 1;
}

void TAuFileIn::CloseFileLocked() {
  if (FOpenCount == 0) return;
  try {
    DoCloseFile();
  } catch (...) {
    ReleaseStream();
    FOpenCount = 0;
    throw;
  }
  ReleaseStream();
  FOpenCount = 0;
}

void TAuFileIn::CloseFile() {
  if (FBusy) throw EAuException("The component is Busy");
  TCriticalSectionGuard g(FOpenLock);
  CloseFileLocked();
}

bool TAuFileIn::Valid() {
  if (!FStreamAssigned && FWideFileName.empty()) return FValid;
  TCriticalSectionGuard g(FOpenLock);
  try {
    OpenFile();
  } catch (...) {
    FValid = false;
  }
  if (!FValid) {
    if (FOpenCount == 0) {
      // The opening stopped half-way: drop whatever stream it had opened.
      ReleaseStream();
    } else if (!FBusy) {
      try {
        CloseFileLocked();
      } catch (...) {
      }
    }
  }
  return FValid;
}

void TAuFileIn::Reset() {
  TAuStreamedInput::Reset();
  TCriticalSectionGuard g(FOpenLock);
  try {
    CloseFileLocked();
  } catch (...) {
  }
}

int32_t TAuFileIn::GetBitsPerSample() {
  OpenFile();
  return FBitsPerSample;
}

int32_t TAuFileIn::GetChannels() {
  OpenFile();
  return FChannels;
}

int32_t TAuFileIn::GetSampleRate() {
  OpenFile();
  return FSampleRate;
}

int64_t TAuFileIn::GetTotalSamples() {
  OpenFile();
  // A running input's range is its own; only an idle one is measured again.
  if (FBusy) return FTotalSamples;
  const int64_t frame = static_cast<int64_t>(FChannels) * (FBitsPerSample / 8);
  // A file with no audio holds 0 frames; only an unknown size gives -1.
  FTotalSamples = (FSize >= 0 && frame > 0) ? FSize / frame : -1;
  return FTotalSamples;
}

int32_t TAuFileIn::GetTotalTime() {
  OpenFile();
  const int64_t bytesPerSecond =
      static_cast<int64_t>(FSampleRate) * FChannels * (FBitsPerSample / 8);
  if (bytesPerSecond <= 0 || FSize <= 0) return 0;
  return static_cast<int32_t>(Round(static_cast<double>(FSize) / static_cast<double>(bytesPerSecond)));
}

void TAuFileIn::BeginRead() {
  if (FBusy) throw EAuException("The component is Busy");
  if (!FStreamAssigned && FWideFileName.empty())
    throw EAuException("The file name is not assigned");
  FBusy = true;
  FDamage.clear();
  try {
    FPosition = 0;
    OpenFile();
    if (!FValid) throw EAuException("The file \"" + FFileName + "\" is not a valid audio file");
    const int32_t frame = FChannels * FBitsPerSample / 8;
    if (frame <= 0 || frame > 0xFFFF || FSampleRate <= 0)
      throw EAuException("The audio format of \"" + FFileName + "\" is not supported");
    FFrameSize = static_cast<uint16_t>(frame);

    const int64_t size = FSize;
    FTotalSamples = size >= 0 ? size / FFrameSize : -1;
    FTotalTimeSeconds = FTotalSamples > 0 ? static_cast<int32_t>(FTotalSamples / FSampleRate) : 0;
    if (FStartSample > 0) {
      Seek(0);  // busy: moves the decoder to the start of the range
      FPosition = 0;
    }
    if (FStartSample > 0 || FEndSample != -1) {
      if (FTotalSamples >= 0 && FEndSample >= FTotalSamples) FEndSample = -1;
      int64_t frames;
      if (FEndSample != -1)
        frames = FEndSample - FStartSample + 1;  // the end sample is part of the range
      else if (FTotalSamples >= 0)
        frames = FTotalSamples - FStartSample;
      else
        frames = -1;  // unknown length, and no end bounds it
      if (frames != -1) {
        frames = std::max<int64_t>(frames, 0);
        FTotalSamples = frames;
        FSize = frames * FFrameSize;
      } else {
        FTotalSamples = -1;
        FSize = -1;
      }
    }
    FBufStart = 0;
    FBufEnd = 0;
  } catch (...) {
    // A failed start leaves the input idle and closed, ready for another try.
    FBusy = false;
    try {
      TCriticalSectionGuard g(FOpenLock);
      CloseFileLocked();
    } catch (...) {
    }
    throw;
  }
}

void TAuFileIn::EndRead() {
  {
    TCriticalSectionGuard g(FOpenLock);
    CloseFileLocked();
  }
  FStartSample = 0;
  FEndSample = -1;
  // The run's range is no measure of the file: let the next query measure it again.
  FTotalSamples = 0;
  FBusy = false;
}

// ===========================================================================
// TAuConverter

TAuConverter::TAuConverter(TComponent* AOwner) : TAuInput(AOwner) {}

void TAuConverter::Notification(TComponent* AComponent, TOperation Operation) {
  TAuInput::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == FInput) SetInput(nullptr);
}

void TAuConverter::SetInput(TAuInput* Value) {
  if (Value == this) return;
  TCriticalSectionGuard g(FDataLock);
  if (FBusy && Value) {
    if (FInput) FInput->Flush();
    Value->Init();
  }
  if (FInput && FInput != Value) RemoveFreeNotification(FInput);
  FInput = Value;
  if (Value) FreeNotification(Value);
}

int32_t TAuConverter::GetBitsPerSample() { return FInput ? FInput->BitsPerSample() : 0; }
int32_t TAuConverter::GetChannels() { return FInput ? FInput->Channels() : 0; }
int32_t TAuConverter::GetSampleRate() { return FInput ? FInput->SampleRate() : 0; }

void TAuConverter::ReadData(void*& Buffer, uint32_t& Bytes) {
  TCriticalSectionGuard g(FDataLock);
  if (FEndOfData) {
    Buffer = nullptr;
    Bytes = 0;
    return;
  }
  if (RequestBelowFrame(Buffer, Bytes)) return;
  ReadRaw(Buffer, Bytes);
  if (Bytes == 0) {
    Buffer = nullptr;
    FEndOfData = true;
    return;
  }
  FPosition += Bytes;
  const int64_t size = FSize;
  if (size > 0 && FPosition > size) {
    const int64_t surplus = std::min<int64_t>(FPosition - size, Bytes);
    Bytes -= static_cast<uint32_t>(surplus);
    FEndOfData = true;
  }
}

int32_t TAuConverter::Progress() {
  TAuInput* in = FInput;
  if (FSize < 0 && in) return in->Progress();
  return TAuInput::Progress();
}

void TAuConverter::Pause() {
  if (FInput) FInput->Pause();
}

void TAuConverter::Resume() {
  if (FInput) FInput->Resume();
}

// ===========================================================================
// The worker

namespace {
thread_local TAuThread* CurrentWorker = nullptr;
}

bool AuWorkerCheckPoint() {
  TAuThread* w = CurrentWorker;
  if (!w) return false;
  if (w->FPauseRequest && !w->FStopRequest) w->IdleWhilePaused();
  return w->FStopRequest;
}

void TAuThread::NotifyHandshake() {
  { std::lock_guard<std::mutex> lk(FHandshakeMutex); }
  FHandshake.notify_all();
}

void TAuThread::IdleWhilePaused() {
  FPaused = true;
  NotifyHandshake();
  std::unique_lock<std::mutex> lk(FHandshakeMutex);
  FHandshake.wait(lk, [this] { return !FPauseRequest || FStopRequest; });
  lk.unlock();
  FPaused = false;
  NotifyHandshake();
}

void TAuThread::Execute() {
  CurrentWorker = this;
  for (;;) {
    Suspend();  // until Run (or the end of the output)
    if (Terminated()) break;
    DoRun();
  }
}

// The first failure of a run is the one the output keeps and reports.
void TAuThread::ReportFailure(TAuOutput* Owner, const std::string& Msg) {
  if (!Owner->ExceptionMessage().empty()) return;
  Owner->SetExceptionMessage(Msg.empty() ? std::string("Unknown error") : Msg);
  if (Owner->OnThreadException) TEventHandler::PostException(Owner, Owner->OnThreadException);
}

void TAuThread::DoRun() {
  TAuOutput* owner = FOwner;
  try {
    owner->FBusy = true;
    owner->Prepare();
    owner->FPrepared = true;
    bool more = true;
    while (!FStopRequest && more) {
      const int32_t p = owner->Progress();
      if (p != owner->FLastProgress) {
        owner->FLastProgress = p;
        if (owner->OnProgress) TEventHandler::PostProgress(owner, owner->OnProgress);
      }
      if (FPauseRequest) {
        IdleWhilePaused();
      } else {
        more = owner->WriteBlock(FStopRequest);
      }
    }
    if (!more && !FStopRequest) owner->RefuseEmptySource();
  } catch (const std::exception& E) {
    ReportFailure(owner, E.what());
  } catch (...) {
    ReportFailure(owner, "Unknown error");
  }
  // A failure while closing the destination (a full disk, say) is as real as one while
  // writing it: report it rather than let the run look finished.
  try {
    owner->EndRun();
  } catch (const std::exception& E) {
    owner->FBusy = false;
    owner->FStopping = false;
    ReportFailure(owner, E.what());
  } catch (...) {
    owner->FBusy = false;
    owner->FStopping = false;
    ReportFailure(owner, "Unknown error");
  }
  FPaused = false;
  if (FSendDone && owner->OnDone) TEventHandler::PostDone(owner, owner->OnDone);
  FRunsEnded.fetch_add(1);
  NotifyHandshake();
}

// ===========================================================================
// TAuOutput

TAuOutput::TAuOutput(TComponent* AOwner) : TComponent(AOwner) {
  if (Designing()) return;
  TEventHandler::AddRef();
  TEventHandler::RegisterSender(this);
  FThread = new TAuThread(this);
  FThread->Start();
}

void TAuOutput::ShutDownWorker() {
  if (!FThread) return;
  try {
    Stop(false);
  } catch (...) {
  }
  FThread->Terminate();
  FThread->Resume();
  FThread->WaitFor();
  delete FThread;
  FThread = nullptr;
  TEventHandler::UnregisterSender(this);
  TEventHandler::Release();
}

void TAuOutput::BeforeDestruction() {
  ShutDownWorker();
  TComponent::BeforeDestruction();
}

TAuOutput::~TAuOutput() {
  // Normally done by BeforeDestruction; an output deleted directly must still not
  // leave its worker running.
  ShutDownWorker();
}

void TAuOutput::Notification(TComponent* AComponent, TOperation Operation) {
  TComponent::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == FInput) SetInput(nullptr);
}

void TAuOutput::SetInput(TAuInput* Value) {
  if (FInput && FInput != Value) RemoveFreeNotification(FInput);
  if (FBusy) {
    Stop(false);
    FInput = Value;
    if (Value) {
      FreeNotification(Value);
      Run();
    }
    return;
  }
  FInput = Value;
  if (Value) FreeNotification(Value);
}

std::string TAuOutput::ExceptionMessage() const {
  std::lock_guard<std::mutex> lk(FMessageMutex);
  return FExceptionMessage;
}

void TAuOutput::SetExceptionMessage(const std::string& Msg) {
  std::lock_guard<std::mutex> lk(FMessageMutex);
  FExceptionMessage = Msg;
}

void TAuOutput::Run() {
  SetExceptionMessage("");
  if (FBusy) throw EAuException("Component is Busy");
  if (!FInput) throw EAuException("Input is not assigned");
  if (!FThread) return;
  RunStarting();
  // Everything a run starts from is set here, before the worker wakes, so a Run that
  // follows a Stop at once, or comes from an OnDone handler, is never lost.
  FBusy = true;
  FStopping = false;
  FThread->FStopRequest = false;
  FThread->FPauseRequest = false;
  FThread->FPaused = false;
  FThread->FSendDone = true;
  FThread->FRunsRequested.fetch_add(1);
  FThread->Resume();
}

void TAuOutput::Stop(bool Async) {
  if (!FThread) return;
  TAuThread* t = FThread;
  FStopping = true;
  t->FSendDone = Async;
  t->FStopRequest = true;
  if (t->FPaused) t->FPauseRequest = false;
  t->NotifyHandshake();
  if (Async) return;
  // Nothing of this run reaches the application any more, not even what the worker
  // posts while it ends; then wait for its end.
  TEventHandler::MuteSender(this, true);
  auto ended = [t] { return t->FRunsEnded.load() == t->FRunsRequested.load(); };
  while (!ended()) {
    if (IsMainThread()) {
      CheckSynchronize(2);
    } else {
      std::unique_lock<std::mutex> lk(t->FHandshakeMutex);
      t->FHandshake.wait_for(lk, std::chrono::milliseconds(20), ended);
    }
  }
  TEventHandler::MuteSender(this, false);
  t->FSendDone = true;
}

void TAuOutput::Pause() {
  if (!FInput) throw EAuException("Input is not assigned.");
  if (!FBusy || !FThread) return;
  TAuThread* t = FThread;
  t->FPauseRequest = true;
  t->NotifyHandshake();
  {
    std::unique_lock<std::mutex> lk(t->FHandshakeMutex);
    t->FHandshake.wait_for(lk, std::chrono::milliseconds(PauseHandshakeTimeoutMs), [this, t] {
      return t->FPaused || !FBusy || t->FStopRequest;
    });
  }
  FInput->Pause();
}

void TAuOutput::Resume() {
  if (!FBusy || !FThread) return;
  TAuThread* t = FThread;
  if (FInput) FInput->Resume();
  t->FPauseRequest = false;
  t->NotifyHandshake();
  std::unique_lock<std::mutex> lk(t->FHandshakeMutex);
  t->FHandshake.wait_for(lk, std::chrono::milliseconds(PauseHandshakeTimeoutMs), [this, t] {
    return !t->FPaused || !FBusy || t->FStopRequest;
  });
}

TAuOutputStatus TAuOutput::Status() const {
  if (!FBusy) return asIdle;
  if (FThread && FThread->FPaused) return asPaused;
  return asWorking;
}

int32_t TAuOutput::Progress() const {
  TAuInput* in = FInput;
  return in ? in->Progress() : 0;
}

void TAuOutput::SetThreadPriority(TThreadPriority Priority) {
  if (FThread) FThread->SetPriority(Priority);
}

std::string TAuOutput::FormatRefusal(int32_t, int32_t, int32_t) const { return {}; }

void TAuOutput::RefuseInputFormat() {
  const std::string refusal = FormatRefusal(FInput->BitsPerSample(), FInput->Channels(), FInput->SampleRate());
  if (!refusal.empty()) throw EAuException(refusal);
}

void TAuOutput::StartInput() {
  // Noted first: an input whose start fails half-way is flushed as well.
  FInputStarted = true;
  FInput->Init();
  RefuseEmptySource();
}

void TAuOutput::FlushInput() {
  if (!FInputStarted) return;
  FInputStarted = false;
  if (FInput) FInput->Flush();
}

void TAuOutput::EndRun() {
  if (!FBusy) return;
  const bool setUp = FPrepared;
  FPrepared = false;
  std::exception_ptr failure;
  try {
    Finish();
  } catch (...) {
    failure = std::current_exception();
  }
  try {
    FlushInput();
  } catch (...) {
    if (!failure) failure = std::current_exception();
  }
  try {
    RunEnded(!setUp || failure || !ExceptionMessage().empty());
  } catch (...) {
    if (!failure) failure = std::current_exception();
  }
  FStopping = false;
  FBusy = false;
  if (failure) std::rethrow_exception(failure);
}

// ===========================================================================
// TAuStreamedOutput, TAuFileOut, TAuFileStream

TAuStreamedOutput::~TAuStreamedOutput() = default;

void TAuStreamedOutput::TakeOwnStream(std::unique_ptr<TStream> Value) {
  FOwnStream = std::move(Value);
  FStream = FOwnStream.get();
}

void TAuStreamedOutput::ReleaseStream() {
  if (!FOwnStream) return;
  if (FStream == FOwnStream.get()) FStream = nullptr;
  FOwnStream.reset();
}

void TAuFileOut::SetFileName(const std::string& Value) {
  FFileName = Value;
  FWideFileName = UTF8ToUTF16(Value);
}

void TAuFileOut::SetFileMode(TFileOutputMode) { FFileMode = foRewrite; }

int TAuFileOut::CreateRunHandle(const std::string& Name) {
  TRunFile f{Name, Name, std::string(), false, 0, 0};
  struct stat st;
  if (::stat(Name.c_str(), &st) == 0) {
    // A folder cannot be replaced by the file; say so before the work is done.
    if (S_ISDIR(st.st_mode)) throw EAuException(CannotCreateMessage(Name, EISDIR));
    if (!S_ISREG(st.st_mode)) {
      // A device or a pipe is written as it is.
      const int fd = FileOpenMode(Name, fmCreate);
      if (fd < 0) throw EAuException(CannotCreateMessage(Name, errno));
      FRunFiles.push_back(std::move(f));
      return fd;
    }
    // Through a link, the file it points at is the one replaced.
    if (char* real = ::realpath(Name.c_str(), nullptr)) {
      f.Path = real;
      std::free(real);
    }
    f.Existed = true;
    f.Device = st.st_dev;
    f.Inode = st.st_ino;
  }
  const int fd = CreateSiblingFile(f.Path, ".part", 0666, f.TempName);
  if (fd < 0) throw EAuException(CannotCreateMessage(Name, errno));
  FRunFiles.push_back(std::move(f));
  return fd;
}

std::string TAuFileOut::CreateRunFileName(const std::string& Name) {
  ::close(CreateRunHandle(Name));
  return FRunFiles.back().WrittenName();
}

std::unique_ptr<TStream> TAuFileOut::CreateRunFile(const std::string& Name) {
  return std::make_unique<TAuFileStream>(CreateRunHandle(Name), Quoted(Name));
}

std::string TAuFileOut::CreateOwnStream() {
  TakeOwnStream(CreateRunFile(FFileName));
  return FRunFiles.back().WrittenName();
}

void TAuFileOut::OpenOwnStream() {
  TakeOwnStream(std::make_unique<TAuFileStream>(FFileName, fmOpenReadWrite | fmShareExclusive));
}

void TAuFileOut::RefuseEmptySource() {
  if (!FInput || (FInput->Size() != 0 && (FInput->Position() > 0 || !FInput->EndOfData()))) return;
  throw EAuException("The source holds no audio; no file is made.");
}

void TAuFileOut::GiveFinalNames(const std::vector<TRunFile>& Files) {
  // The main file last: once it has its name, everything of the run has.
  std::vector<const TRunFile*> placed;
  for (auto f = Files.rbegin(); f != Files.rend(); ++f) {
    if (f->TempName.empty()) continue;  // written in place
    struct stat st;
    const bool same = f->Existed && ::lstat(f->Path.c_str(), &st) == 0 && st.st_dev == f->Device &&
                      st.st_ino == f->Inode;
    const bool ok = same ? ::rename(f->TempName.c_str(), f->Path.c_str()) == 0 : RenameFile(f->TempName, f->Path);
    if (!ok) {
      const int err = errno;
      // What this run put in place goes too, unless it replaced a file of the same name.
      for (const TRunFile* p : placed)
        if (!p->Existed) DeleteFile(p->Path);
      throw EAuException("Cannot save \"" + f->Name + "\": " +
                         (err == EEXIST ? std::string("another file took that name during the conversion")
                                        : SysErrorMessage(err)));
    }
    placed.push_back(&*f);
  }
}

void TAuFileOut::RunEnded(bool Failed) {
  const std::vector<TRunFile> files = std::move(FRunFiles);
  FRunFiles.clear();
  auto removeTemporaries = [&files] {
    for (const TRunFile& f : files)
      if (!f.TempName.empty()) DeleteFile(f.TempName);
  };
  if (Failed) return removeTemporaries();
  try {
    GiveFinalNames(files);
  } catch (...) {
    removeTemporaries();
    throw;
  }
  if (!files.empty() && !files.front().TempName.empty()) FCompletedFileName = files.front().Name;
}

TAuFileStream::TAuFileStream(const std::string& FileName, uint16_t Mode) : THandleStream(-1), FWhat(Quoted(FileName)) {
  FHandle = FileOpenMode(FileName, Mode);
  if (FHandle < 0)
    throw EAuException(Mode == fmCreate ? CannotCreateMessage(FileName, errno) : SysErrorMessage(errno));
}

TAuFileStream::TAuFileStream(int Handle, std::string What) : THandleStream(Handle), FWhat(std::move(What)) {}

TAuFileStream::~TAuFileStream() {
  if (FHandle >= 0) ::close(FHandle);
}

int64_t TAuFileStream::Write(const void* Buffer, int64_t Count) {
  if (Count <= 0) return 0;
  for (;;) {
    const ssize_t n = ::write(FHandle, Buffer, static_cast<size_t>(Count));
    if (n > 0) return n;
    if (n < 0 && errno == EINTR) continue;
    throw EAuException(WriteFailure(FWhat, n < 0 ? errno : EIO));
  }
}

// ===========================================================================
// TEventHandler

namespace {

struct TEventRecord {
  TEventHandler::TEventKind Kind;
  TComponent* Sender;
  std::function<void(TComponent*)> Handler;
  uint64_t Epoch;
};

std::mutex QueueLock;  // guards everything below
std::deque<TEventRecord> Queue;
// Senders that may still receive notifications, with the epoch their records must
// carry; a muted sender posts nothing.
struct TSenderState {
  uint64_t Epoch = 0;
  bool Muted = false;
};
std::unordered_map<TComponent*, TSenderState> Senders;
TEventHandler* Instance = nullptr;
int RefCount = 0;
std::mutex RefLock;
// Never destroyed: a dispatcher still waiting on it when the process exits (outputs left
// alive by a program that ends early) would make the destructor wait for ever.
TEvent& MainEvent = *new TEvent(false, false);

void PostEvent(TEventHandler::TEventKind Kind, TComponent* Sender,
               const std::function<void(TComponent*)>& Handler) {
  {
    std::lock_guard<std::mutex> lk(QueueLock);
    auto it = Senders.find(Sender);
    if (it == Senders.end() || it->second.Muted) return;
    Queue.push_back(TEventRecord{Kind, Sender, Handler, it->second.Epoch});
  }
  MainEvent.SetEvent();
}

bool PopEvent(TEventRecord& Rec) {
  std::lock_guard<std::mutex> lk(QueueLock);
  if (Queue.empty()) return false;
  Rec = std::move(Queue.front());
  Queue.pop_front();
  return true;
}

}  // namespace

void TEventHandler::AddRef() {
  std::lock_guard<std::mutex> lk(RefLock);
  if (RefCount++ == 0) {
    Instance = new TEventHandler();
    Instance->Start();
  }
}

void TEventHandler::Release() {
  TEventHandler* last = nullptr;
  {
    std::lock_guard<std::mutex> lk(RefLock);
    if (RefCount == 0) return;
    if (--RefCount == 0) {
      last = Instance;
      Instance = nullptr;
    }
  }
  if (last) {
    last->Terminate();
    MainEvent.SetEvent();
    last->WaitFor();
    delete last;
  }
}

void TEventHandler::PostProgress(TAuOutput* Sender, const TOutputProgressEvent& Handler) {
  PostEvent(ekProgress, Sender, Handler);
}

void TEventHandler::PostDone(TAuOutput* Sender, const TOutputDoneEvent& Handler) {
  PostEvent(ekDone, Sender, Handler);
}

void TEventHandler::PostException(TComponent* Sender, const TThreadExceptionEvent& Handler) {
  PostEvent(ekException, Sender, Handler);
}

void TEventHandler::MuteSender(TComponent* Sender, bool Muted) {
  std::lock_guard<std::mutex> lk(QueueLock);
  auto it = Senders.find(Sender);
  if (it == Senders.end()) return;
  it->second.Muted = Muted;
  if (!Muted) return;
  Queue.erase(std::remove_if(Queue.begin(), Queue.end(),
                             [Sender](const TEventRecord& R) { return R.Sender == Sender; }),
              Queue.end());
  // Records already taken by the dispatcher carry the old epoch and are dropped too.
  ++it->second.Epoch;
}

void TEventHandler::RegisterSender(TComponent* Sender) {
  std::lock_guard<std::mutex> lk(QueueLock);
  Senders.emplace(Sender, TSenderState());
}

void TEventHandler::UnregisterSender(TComponent* Sender) {
  std::lock_guard<std::mutex> lk(QueueLock);
  Senders.erase(Sender);
  Queue.erase(std::remove_if(Queue.begin(), Queue.end(),
                             [Sender](const TEventRecord& R) { return R.Sender == Sender; }),
              Queue.end());
}

void TEventHandler::Execute() {
  while (!Terminated()) {
    TEventRecord rec;
    while (!Terminated() && PopEvent(rec)) {
      Synchronize([&rec] {
        // Runs on the main thread, which is also the only thread that stops and frees
        // outputs: the check and the call cannot be overtaken by either.
        {
          std::lock_guard<std::mutex> lk(QueueLock);
          auto it = Senders.find(rec.Sender);
          if (it == Senders.end() || it->second.Epoch != rec.Epoch) return;
        }
        if (rec.Handler) rec.Handler(rec.Sender);
      });
    }
    // Every post and the end set the event: with nothing to hand on, the thread sleeps.
    MainEvent.WaitFor(INFINITE);
  }
}

// ---------------------------------------------------------------------------
// Tagged file components

TAuTaggedFileIn::TAuTaggedFileIn(TComponent* AOwner)
    : TAuFileIn(AOwner),
      FId3v1Tags(std::make_unique<TId3v1Tags>()),
      FId3v2Tags(std::make_unique<TId3v2Tags>()),
      FAPEv2Tags(std::make_unique<TAPEv2Tags>()) {}

TAuTaggedFileIn::~TAuTaggedFileIn() = default;

TAuTaggedFileOut::TAuTaggedFileOut(TComponent* AOwner)
    : TAuFileOut(AOwner),
      FId3v1Tags(std::make_unique<TId3v1Tags>()),
      FId3v2Tags(std::make_unique<TId3v2Tags>()),
      FAPEv2Tags(std::make_unique<TAPEv2Tags>()) {}

TAuTaggedFileOut::~TAuTaggedFileOut() = default;
