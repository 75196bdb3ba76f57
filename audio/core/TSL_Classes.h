#pragma once
// The pipeline core: inputs deliver interleaved little-endian PCM on demand,
// converters pull from another input and transform the data, outputs own a worker
// thread that pulls blocks from their input and writes them to a destination.
// Data moves by pulling only.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <exception>
#include <new>
#include <span>
#include <string>
#include <vector>

#include <sys/types.h>

#include "audio/core/TSL_Tags.h"
#include "platform/rtl/Classes.h"
#include "platform/rtl/Streams.h"
#include "platform/rtl/SyncObjs.h"
#include "platform/rtl/SysUtils.h"
#include "platform/rtl/Threads.h"

class EAuException : public Exception {
public:
  using Exception::Exception;
};

// Serialises the loading and binding of codec libraries across all threads.
extern TCriticalSection LoadLock;

// The message of an input whose source turns out damaged or cut short: the format,
// the file (left out when there is no name) and where the damage is: the first sample
// frame, counted from the start of the file, that could not be decoded, and its time at
// SampleRate ("after 0:09.94 (sample frame 438272)"; the time is left out when the rate
// is not known); Detail (when given) says what was found. File inputs call their
// member of this name, which gives their own sample rate.
std::string DecodingErrorMessage(const std::string& Format, const std::string& FileName, int64_t Frame,
                                 int32_t SampleRate, const std::string& Detail = "");
// The sample frames a header announces, believed only as far as a file of FileBytes
// bytes can hold them, at most FramesPerUnit frames in every UnitBytes bytes begun;
// beyond that (or when Announced is negative) the length is unknown: -1.
int64_t BelievedLength(int64_t Announced, int64_t FileBytes, int64_t UnitBytes, int64_t FramesPerUnit);
// The message of an output file that cannot be created: "Cannot create "name": reason".
std::string CannotCreateMessage(const std::string& FileName, int ErrorCode);
// The message of a write that failed: "Cannot write "name": reason".
std::string CannotWriteMessage(const std::string& FileName, int ErrorCode);
// The same for a temporary file without a name: "Cannot write a temporary file in "folder": reason".
std::string CannotWriteTempMessage(const std::string& Dir, int ErrorCode);
// A new temporary file without a name in Dir (see CreateUnnamedFile) as a stream
// whose failed writes say so with CannotWriteTempMessage. Raises EAuException when it
// cannot be made.
std::unique_ptr<TStream> CreateTempStream(const std::string& Dir);

// Sample sizes, for TAuFormatLimits::Bits.
enum : uint32_t { AuBits8 = 1, AuBits16 = 2, AuBits24 = 4, AuBits32 = 8, AuBitsAll = 15 };

// What an output format takes: the outputs and the run refuse anything else with the
// same texts.
struct TAuFormatLimits {
  const char* Article;  // "A" or "An", before the name
  const char* Name;     // the format's usual name: "MP3", "Monkey's Audio"
  int32_t MaxChannels;
  uint32_t Bits;  // AuBits8 | AuBits16 ...
  int32_t MinRate;
  int32_t MaxRate;
  std::span<const int32_t> OnlyRates = {};  // when not empty, the only rates taken
};
// Why audio of this format cannot go into a file of that kind, such as "A Musepack file
// holds one or two channels; the source has 6."; empty when it can.
std::string FormatRefusalText(const TAuFormatLimits& Limits, int32_t Bits, int32_t Channels, int32_t Rate);

enum TFileOutputMode : uint8_t { foRewrite, foAppend };
enum TAuOutputStatus : uint8_t { asWorking, asPaused, asIdle };

using TOutputDoneEvent = std::function<void(TComponent* Sender)>;
using TOutputProgressEvent = std::function<void(TComponent* Sender)>;
using TThreadExceptionEvent = std::function<void(TComponent* Sender)>;

// ---------------------------------------------------------------------------
// Block buffers

// Allocates on a cache-line boundary. The kernel's copy out of the page cache runs a
// fifth slower, or worse, into memory that starts a few bytes past a page boundary,
// which is where malloc puts large blocks (16 bytes in); a cache-line boundary is
// never there.
template <class T>
struct TAuBufferAllocator {
  using value_type = T;
  static constexpr std::align_val_t Alignment{64};

  TAuBufferAllocator() noexcept = default;
  template <class U>
  TAuBufferAllocator(const TAuBufferAllocator<U>&) noexcept {}
  T* allocate(size_t N) { return static_cast<T*>(::operator new(N * sizeof(T), Alignment)); }
  void deallocate(T* P, size_t) noexcept { ::operator delete(P, Alignment); }
  template <class U>
  bool operator==(const TAuBufferAllocator<U>&) const noexcept { return true; }
};

// The buffer a component reads its data into or fills with FillBuffer.
using TAuBuffer = std::vector<uint8_t, TAuBufferAllocator<uint8_t>>;

// ---------------------------------------------------------------------------
// Inputs

class TAuInput : public TComponent {
public:
  explicit TAuInput(TComponent* AOwner);

  int32_t BitsPerSample() { return GetBitsPerSample(); }
  int32_t Channels() { return GetChannels(); }
  int32_t SampleRate() { return GetSampleRate(); }
  int32_t TotalTime() { return GetTotalTime(); }
  int64_t TotalSamples() { return GetTotalSamples(); }

  // Bytes delivered in the current run, and bytes the run will deliver (-1: unknown).
  // Read without a lock by progress reporting on another thread.
  int64_t Position() const { return FPosition; }
  int64_t Size() const { return FSize; }
  uint16_t FrameSize() const { return FFrameSize; }
  // Percent of the run delivered, by Position against Size; -1 when the size is unknown
  // and the input cannot estimate it. Called without a lock by progress reporting.
  virtual int32_t Progress();
  bool Busy() const { return FBusy; }
  bool EndOfData() const { return FEndOfData; }

  // Starts a run (BeginRead under the data lock). A failure ends the data and is raised
  // again as EAuException with the same message.
  void Init();
  // Ends a run (EndRead under the data lock).
  void Flush();
  // The read consumers call. Buffer points into the component's own memory and stays
  // valid until the next read; Bytes in: wanted, out: delivered (0: the data ended).
  virtual void ReadData(void*& Buffer, uint32_t& Bytes);
  // One ReadData of at most BufferSize bytes copied into Buffer; returns the count.
  uint32_t CopyData(void* Buffer, uint32_t BufferSize);
  // Fills Buffer with whole frames until no further frame fits or the data ends
  // (Eof set). A read that fails after some bytes came returns those bytes first; the
  // next FillBuffer of the run raises the failure.
  uint32_t FillBuffer(void* Buffer, uint32_t BufferSize, bool& Eof);
  void Lock() { FDataLock.Enter(); }
  void Unlock() { FDataLock.Leave(); }
  // Ends a run whatever state it is in; never raises.
  virtual void Reset();
  virtual void Pause() {}
  virtual void Resume() {}

protected:
  // Done of Total, in percent rounded and held to [0, Most]; 0 for a Total of 0, -1 for
  // an unknown one (negative).
  static int32_t Percent(int64_t Done, int64_t Total, int32_t Most = 100);
  virtual int32_t GetBitsPerSample() = 0;
  virtual int32_t GetChannels() = 0;
  virtual int32_t GetSampleRate() = 0;
  virtual int32_t GetTotalTime() { return 0; }
  virtual int64_t GetTotalSamples() { return 0; }
  // Per-run set-up and tear-down; only Init and Flush call them.
  virtual void BeginRead() = 0;
  virtual void EndRead() = 0;
  // The component's own read (see ReadData); 0 bytes means the data has ended.
  virtual void ReadRaw(void*& Buffer, uint32_t& Bytes) = 0;
  // A request smaller than one frame at a frame boundary: nothing is read and the
  // data does not end.
  bool RequestBelowFrame(void*& Buffer, uint32_t& Bytes) const;

  std::atomic<int64_t> FPosition{0};
  std::atomic<int64_t> FSize{0};
  uint16_t FFrameSize = 0;
  std::atomic<bool> FBusy{false};
  // Half-open window [FBufStart, FBufEnd) of not yet delivered bytes in the
  // component's own decode buffer; empty when FBufStart >= FBufEnd.
  int32_t FBufStart = 0;
  int32_t FBufEnd = 0;
  TCriticalSection FDataLock;
  bool FEndOfData = false;

private:
  // A failure FillBuffer held back to deliver the bytes before it; cleared by Init.
  std::exception_ptr FPendingFailure;
};

// An input that reads a stream, with a sample range and looping.
class TAuStreamedInput : public TAuInput {
public:
  explicit TAuStreamedInput(TComponent* AOwner);

  TStream* Stream() const { return FStream; }
  virtual void SetStream(TStream* Value);
  bool Seekable() const { return FSeekable; }
  int64_t StartSample() const { return FStartSample; }
  void SetStartSample(int64_t V) { FStartSample = V; }
  int64_t EndSample() const { return FEndSample; }
  void SetEndSample(int64_t V) { FEndSample = V; }
  bool Loop() const { return FLoop; }
  void SetLoop(bool V) { FLoop = V; }

  void ReadData(void*& Buffer, uint32_t& Bytes) override;
  // Idle: the next run starts at SampleNum. Busy: the decoder moves to SampleNum frames
  // after the start of the range. False when the input cannot seek there.
  bool Seek(int64_t SampleNum);

protected:
  // The component's own seek to a frame counted from the start of the data; it may move
  // SampleNum to the frame it really reached.
  virtual bool SeekRaw(int64_t& SampleNum) = 0;
  void RestartLoop();
  // A damaged source: reads deliver what decoded cleanly, then raise the message of
  // the first damage found (again on every later read) until a new run or a seek.
  void SetDamage(const std::string& Message) {
    if (FDamage.empty()) FDamage = Message;
  }
  bool Damaged() const { return !FDamage.empty(); }
  void RaiseDamage() const {
    if (!FDamage.empty()) throw EAuException(FDamage);
  }

  // The stream in use: the one supplied, or the component's own.
  TStream* FStream = nullptr;
  bool FStreamAssigned = false;
  bool FSeekable = true;
  int64_t FStartSample = 0;
  int64_t FEndSample = -1;
  bool FLoop = false;
  int64_t FTotalSamples = 0;
  std::string FDamage;

private:
  bool FLoopRestartPending = false;
};

// An input that reads a named file or a supplied stream.
//
// Descendants implement DoOpenFile and DoCloseFile; OpenFile and CloseFile wrap them
// with the open lock, the open count and the stream's ownership.
class TAuFileIn : public TAuStreamedInput {
public:
  explicit TAuFileIn(TComponent* AOwner);
  ~TAuFileIn() override;
  void BeforeDestruction() override;

  const std::string& FileName() const { return FFileName; }
  // Closes the file first. Raises EAuException while a run is in progress.
  void SetFileName(const std::string& Value);
  void SetStream(TStream* Value) override;
  // True when the file (or stream) can be read; a valid file stays open.
  bool Valid();

  // Opens the source and reads its format, when it is not open yet.
  void OpenFile();
  // Releases the decoder and the stream. Raises EAuException while a run is in progress.
  void CloseFile();
  int32_t OpenCount() const { return FOpenCount; }

  void Reset() override;

protected:
  // Open the stream unless one was supplied (use OpenOwnStream), then fill
  // FBitsPerSample, FChannels, FSampleRate, FSize and FValid. An opening that fails
  // half-way releases the stream itself (ReleaseStream).
  virtual void DoOpenFile() = 0;
  // Release the decoder. The stream itself is closed (or a supplied one rewound) afterwards.
  virtual void DoCloseFile() = 0;
  // Opens FFileName for reading as the component's own stream.
  void OpenOwnStream();
  // Closes the component's own stream, or rewinds a supplied one.
  void ReleaseStream();
  // The damage message (see the free function of this name) with the source's sample
  // rate, so that it gives the time of the damage too.
  std::string DecodingErrorMessage(const std::string& Format, const std::string& FileName, int64_t Frame,
                                   const std::string& Detail = "") const {
    return ::DecodingErrorMessage(Format, FileName, Frame, FSampleRate, Detail);
  }

  int32_t GetBitsPerSample() override;
  int32_t GetChannels() override;
  int32_t GetSampleRate() override;
  int32_t GetTotalTime() override;
  int64_t GetTotalSamples() override;
  void BeginRead() override;
  void EndRead() override;

  TCriticalSection FOpenLock;
  std::string FFileName;
  std::u16string FWideFileName;
  int32_t FOpenCount = 0;
  bool FValid = false;
  int32_t FBitsPerSample = 0;
  int32_t FSampleRate = 0;
  int32_t FChannels = 0;
  int32_t FTotalTimeSeconds = 0;

private:
  void CloseFileLocked();

  std::unique_ptr<TStream> FOwnStream;
};

// An input that pulls from another input and transforms the data.
class TAuConverter : public TAuInput {
public:
  explicit TAuConverter(TComponent* AOwner);

  TAuInput* Input() const { return FInput; }
  virtual void SetInput(TAuInput* Value);
  void ReadData(void*& Buffer, uint32_t& Bytes) override;
  // Of an unknown size: as far as the input has come.
  int32_t Progress() override;
  void Pause() override;
  void Resume() override;

protected:
  void Notification(TComponent* AComponent, TOperation Operation) override;
  int32_t GetBitsPerSample() override;
  int32_t GetChannels() override;
  int32_t GetSampleRate() override;

  TAuInput* FInput = nullptr;
};

// ---------------------------------------------------------------------------
// Outputs

class TAuOutput;

// The worker thread of one output: prepare, a loop of blocks, finish, per run.
class TAuThread : public TThread {
public:
  explicit TAuThread(TAuOutput* AOwner) : FOwner(AOwner) {}

  TAuOutput* Owner() const { return FOwner; }
  bool Paused() const { return FPaused; }
  bool StopRequest() const { return FStopRequest; }

protected:
  void Execute() override;

private:
  friend class TAuOutput;
  friend bool AuWorkerCheckPoint();
  void DoRun();
  static void ReportFailure(TAuOutput* Owner, const std::string& Msg);
  // Acknowledges a requested pause and idles until resumed or stopped.
  void IdleWhilePaused();
  void NotifyHandshake();

  TAuOutput* FOwner;
  std::atomic<bool> FSendDone{true};
  std::atomic<bool> FStopRequest{false};
  std::atomic<bool> FPauseRequest{false};
  std::atomic<bool> FPaused{false};
  // Runs asked for by Run and runs that have fully ended (done posted).
  std::atomic<uint64_t> FRunsRequested{0};
  std::atomic<uint64_t> FRunsEnded{0};
  // The pause/resume/stop handshake of this output alone.
  std::mutex FHandshakeMutex;
  std::condition_variable FHandshake;
};

// For inputs doing long work on the worker thread (inside Prepare or a read): answers
// a pending pause (idling until resumed) and returns true when the run is to stop.
// Off a worker thread it returns false.
bool AuWorkerCheckPoint();

class TAuOutput : public TComponent {
public:
  explicit TAuOutput(TComponent* AOwner);
  ~TAuOutput() override;
  void BeforeDestruction() override;

  TAuInput* Input() const { return FInput; }
  virtual void SetInput(TAuInput* Value);
  bool Busy() const { return FBusy; }
  bool Stopping() const { return FStopping; }
  bool Prepared() const { return FPrepared; }
  std::string ExceptionMessage() const;
  // Why this output cannot encode audio of this format; empty when it can. The run
  // asks with the format its chain will deliver before it makes anything for an entry.
  virtual std::string FormatRefusal(int32_t Bits, int32_t Channels, int32_t Rate) const;

  // Starts a run on the worker thread.
  void Run();
  // Async: returns at once and the run ends with OnDone. Not async: returns once the
  // run has ended, and no notification of that run is delivered afterwards.
  void Stop(bool Async = true);
  void Pause();
  void Resume();
  TAuOutputStatus Status() const;
  // Percent of the input delivered (0..100), -1 when the input's size is unknown.
  int32_t Progress() const;
  void SetThreadPriority(TThreadPriority Priority);

  TOutputDoneEvent OnDone;
  TOutputProgressEvent OnProgress;
  TThreadExceptionEvent OnThreadException;

protected:
  void Notification(TComponent* AComponent, TOperation Operation) override;
  // One step of output work; false when the output has finished. Abort is the stop
  // request at the moment of the call.
  virtual bool WriteBlock(bool Abort) = 0;
  // Close the destination and Flush the input. Runs after every run that started,
  // also when Prepare failed half-way.
  virtual void Finish() = 0;
  // Init the input and open the destination.
  virtual void Prepare() = 0;
  // On the thread that calls Run, as it starts a run.
  virtual void RunStarting() {}
  // After Finish of every run. Failed: the run did not complete (Prepare or a step
  // failed); a failure raised here fails the run.
  virtual void RunEnded(bool /*Failed*/) {}
  // Starts the run's input (Init), then refuses a source announced as empty (see
  // RefuseEmptySource). The run flushes it once: at FlushInput, or after Finish when
  // that did not.
  void StartInput();
  // Raises when the run's source holds no audio: announced as empty once the input has
  // started, or nothing delivered by a run that reached its end. A file output never
  // passes an empty file off as a conversion; a device plays nothing without complaint.
  virtual void RefuseEmptySource() {}
  // Flushes the input when the run started it, once.
  void FlushInput();
  // Raises FormatRefusal of the input's format; Prepare calls it before anything is made.
  void RefuseInputFormat();

  std::atomic<bool> FStopping{false};
  std::atomic<bool> FPrepared{false};
  std::atomic<int32_t> FLastProgress{0};
  TAuInput* FInput = nullptr;
  std::atomic<bool> FBusy{false};

private:
  friend class TAuThread;
  void EndRun();
  void SetExceptionMessage(const std::string& Msg);
  void ShutDownWorker();

  mutable std::mutex FMessageMutex;
  std::string FExceptionMessage;
  TAuThread* FThread = nullptr;
  bool FInputStarted = false;
};

class TAuStreamedOutput : public TAuOutput {
public:
  using TAuOutput::TAuOutput;
  ~TAuStreamedOutput() override;
  TStream* Stream() const { return FStream; }
  // A supplied stream is neither created nor freed by the output.
  void SetStream(TStream* Value) {
    FStream = Value;
    FStreamAssigned = Value != nullptr;
  }

protected:
  // Makes Value the run's own stream, the one in use until ReleaseStream frees it.
  void TakeOwnStream(std::unique_ptr<TStream> Value);
  void ReleaseStream();

  // The stream in use: the one supplied, or the run's own.
  TStream* FStream = nullptr;
  bool FStreamAssigned = false;

private:
  std::unique_ptr<TStream> FOwnStream;
};

class TAuFileOut : public TAuStreamedOutput {
public:
  using TAuStreamedOutput::TAuStreamedOutput;
  const std::string& FileName() const { return FFileName; }
  void SetFileName(const std::string& Value);
  TFileOutputMode FileMode() const { return FFileMode; }
  // Outputs that cannot append keep foRewrite whatever is asked.
  virtual void SetFileMode(TFileOutputMode Value);
  // The name the last run gave the file it made, once the run completed; empty while a
  // run is in progress, after a run that failed, and after one that made no file of
  // its own (it wrote a stream or a device, or appended to a file).
  const std::string& CompletedFileName() const { return FCompletedFileName; }

protected:
  // The run makes the file Name under a temporary name in the same folder (hidden,
  // ending in ".part", created here and never an existing file's), which the file
  // keeps until the run has completed: after Finish it is renamed to Name, so nothing
  // incomplete ever carries Name. A run that fails removes it. A file that was at Name
  // when the run began is replaced; one that appeared there meanwhile is not, and the
  // run fails. Returns the temporary name, for libraries that write files by name
  // (their failed writes are reported with CannotWriteMessage and Name).
  std::string CreateRunFileName(const std::string& Name);
  // The same, as a descriptor open for reading and writing that the caller closes.
  int CreateRunHandle(const std::string& Name);
  // The same, as a stream whose failed writes are reported with Name.
  std::unique_ptr<TStream> CreateRunFile(const std::string& Name);
  // The run's own stream: FFileName made as above (returns the temporary name), or
  // opened for reading and writing as it is, to append to it in place.
  std::string CreateOwnStream();
  void OpenOwnStream();
  void RefuseEmptySource() override;
  void RunStarting() override { FCompletedFileName.clear(); }
  void RunEnded(bool Failed) override;

  std::string FFileName;
  std::u16string FWideFileName;
  TFileOutputMode FFileMode = foRewrite;

private:
  struct TRunFile {
    std::string Name;      // as asked for
    std::string Path;      // where it goes: Name, or the file a link there points at
    std::string TempName;  // empty: written in place (a device or a pipe)
    bool Existed;          // Path was there when the run began
    dev_t Device;          // and was this file
    ino_t Inode;
    const std::string& WrittenName() const { return TempName.empty() ? Path : TempName; }
  };
  static void GiveFinalNames(const std::vector<TRunFile>& Files);

  std::vector<TRunFile> FRunFiles;
  std::string FCompletedFileName;
};

// A file opened by name. Mode fmCreate (0xFFFF) creates or truncates for reading and
// writing; any other mode opens an existing file with access Mode & 3 (0 read, 1 write,
// 2 both). Share bits are accepted and have no effect. A failure raises EAuException
// with the system's text (a file that cannot be created: CannotCreateMessage). A write
// that fails raises EAuException with CannotWriteMessage; one that stores only part of
// its bytes returns that count, and the next one says why.
class TAuFileStream : public THandleStream {
public:
  TAuFileStream(const std::string& FileName, uint16_t Mode);
  // Takes over the open Handle; failed writes say "Cannot write " + What + ": reason".
  TAuFileStream(int Handle, std::string What);
  ~TAuFileStream() override;
  int64_t Write(const void* Buffer, int64_t Count) override;

private:
  std::string FWhat;
};

// ---------------------------------------------------------------------------
// The dispatcher: one thread per process that hands the workers' notifications to
// the main (GUI) thread by synchronised calls, in posting order.

class TEventHandler : public TThread {
public:
  enum TEventKind : uint8_t { ekProgress = 0, ekDone = 1, ekException = 2 };

  static void AddRef();
  static void Release();
  static void PostProgress(TAuOutput* Sender, const TOutputProgressEvent& Handler);
  static void PostDone(TAuOutput* Sender, const TOutputDoneEvent& Handler);
  static void PostException(TComponent* Sender, const TThreadExceptionEvent& Handler);
  // Muting drops the queued notifications of Sender, every one already taken from the
  // queue but not yet delivered, and everything Sender posts until it is unmuted.
  static void MuteSender(TComponent* Sender, bool Muted);
  // Sender takes part in delivery only while registered (from creation to destruction).
  static void RegisterSender(TComponent* Sender);
  static void UnregisterSender(TComponent* Sender);

protected:
  void Execute() override;
};

// ---------------------------------------------------------------------------
// Tagged file components: file inputs and outputs that carry tag sets.

// A file input that owns one set of each tag kind a reader may fill.
class TAuTaggedFileIn : public TAuFileIn {
public:
  explicit TAuTaggedFileIn(TComponent* AOwner);
  ~TAuTaggedFileIn() override;

  TId3v1Tags* Id3v1Tags() const { return FId3v1Tags.get(); }
  // Inputs that read their tags on demand override GetId3v2Tags.
  TId3v2Tags* Id3v2Tags() { return GetId3v2Tags(); }
  TAPEv2Tags* APEv2Tags() const { return FAPEv2Tags.get(); }

protected:
  virtual TId3v2Tags* GetId3v2Tags() { return FId3v2Tags.get(); }

  std::unique_ptr<TId3v1Tags> FId3v1Tags;
  std::unique_ptr<TId3v2Tags> FId3v2Tags;
  std::unique_ptr<TAPEv2Tags> FAPEv2Tags;
};

// A file output that owns one set of each tag kind; the setters copy the given set
// into the owned one, the caller keeps its own.
class TAuTaggedFileOut : public TAuFileOut {
public:
  explicit TAuTaggedFileOut(TComponent* AOwner);
  ~TAuTaggedFileOut() override;

  TId3v1Tags* Id3v1Tags() const { return FId3v1Tags.get(); }
  void SetId3v1Tags(const TId3v1Tags& Value) { FId3v1Tags->Assign(Value); }
  TId3v2Tags* Id3v2Tags() const { return FId3v2Tags.get(); }
  void SetId3v2Tags(const TId3v2Tags& Value) { FId3v2Tags->Assign(Value); }
  TAPEv2Tags* APEv2Tags() const { return FAPEv2Tags.get(); }
  void SetAPEv2Tags(const TAPEv2Tags& Value) { FAPEv2Tags->Assign(Value); }

protected:
  std::unique_ptr<TId3v1Tags> FId3v1Tags;
  std::unique_ptr<TId3v2Tags> FId3v2Tags;
  std::unique_ptr<TAPEv2Tags> FAPEv2Tags;
};
