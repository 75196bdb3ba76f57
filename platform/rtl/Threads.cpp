#include "platform/rtl/Threads.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <chrono>
#include <deque>
#include <exception>

#include "platform/rtl/SysUtils.h"

namespace {

// The thread that ran the static initialisers is the main thread.
const std::thread::id MainThreadId = std::this_thread::get_id();

struct TSyncCall {
  const std::function<void()>* Method;
  std::exception_ptr Error;
  bool Done = false;
};

std::mutex SyncMutex;
std::condition_variable SyncQueued;   // main thread waits for calls
std::condition_variable SyncDone;     // callers wait for their call to have run
std::deque<TSyncCall*> SyncQueue;
// Bumped when a thread ends, so a main thread waiting for it wakes at once.
uint64_t ThreadEndings = 0;
std::function<void()> WakeMainThreadHook;

int NiceOf(TThreadPriority P) {
  static const int nice[] = {19, 10, 5, 0, -5, -10, -15};
  return nice[P];
}

}  // namespace

bool IsMainThread() { return std::this_thread::get_id() == MainThreadId; }

void SetWakeMainThread(std::function<void()> Hook) {
  std::lock_guard<std::mutex> lk(SyncMutex);
  WakeMainThreadHook = std::move(Hook);
}

bool CheckSynchronize(int TimeoutMs) {
  if (!IsMainThread()) throw EThread("CheckSynchronize called from a thread other than the main thread");
  std::unique_lock<std::mutex> lk(SyncMutex);
  if (SyncQueue.empty() && TimeoutMs > 0) {
    const uint64_t endings = ThreadEndings;
    SyncQueued.wait_for(lk, std::chrono::milliseconds(TimeoutMs),
                        [endings] { return !SyncQueue.empty() || ThreadEndings != endings; });
  }
  bool ran = false;
  while (!SyncQueue.empty()) {
    TSyncCall* call = SyncQueue.front();
    SyncQueue.pop_front();
    lk.unlock();
    try {
      (*call->Method)();
    } catch (...) {
      call->Error = std::current_exception();
    }
    lk.lock();
    call->Done = true;
    ran = true;
    SyncDone.notify_all();
  }
  return ran;
}

void TThread::Synchronize(TThread*, const std::function<void()>& Method) {
  if (IsMainThread()) {
    Method();
    return;
  }
  TSyncCall call{&Method, nullptr, false};
  std::function<void()> hook;
  {
    std::lock_guard<std::mutex> lk(SyncMutex);
    SyncQueue.push_back(&call);
    hook = WakeMainThreadHook;
  }
  SyncQueued.notify_all();
  if (hook) hook();
  std::unique_lock<std::mutex> lk(SyncMutex);
  SyncDone.wait(lk, [&] { return call.Done; });
  if (call.Error) std::rethrow_exception(call.Error);
}

TThread::~TThread() {
  if (FStarted && FThread.joinable()) {
    Terminate();
    Resume();
    FThread.join();
  }
}

void TThread::Resume() {
  std::lock_guard<std::mutex> lk(FMutex);
  if (!FStarted) {
    FStarted = true;
    FSuspended = false;
    FThread = std::thread(&TThread::ThreadProc, this);
    return;
  }
  FResumePending = true;
  FCond.notify_all();
}

void TThread::Suspend() {
  std::unique_lock<std::mutex> lk(FMutex);
  if (!FResumePending) {
    FSuspended = true;
    FCond.wait(lk, [this] { return FResumePending; });
  }
  FResumePending = false;
  FSuspended = false;
}

void TThread::ThreadProc() {
  FTid = static_cast<int>(::syscall(SYS_gettid));
  ApplyPriority();
  try {
    Execute();
  } catch (const std::exception& E) {
    FFatalException = E.what();
  } catch (...) {
    FFatalException = "Unknown exception";
  }
  {
    std::lock_guard<std::mutex> lk(SyncMutex);
    FFinished = true;
    ++ThreadEndings;
  }
  SyncQueued.notify_all();
}

int TThread::WaitFor() {
  if (!FStarted || !FThread.joinable()) return ReturnValue;
  if (std::this_thread::get_id() == FThread.get_id())
    throw EThread("Thread cannot wait for itself");
  if (IsMainThread()) {
    // Keep serving Synchronize calls so the thread can finish.
    while (!FFinished) CheckSynchronize(5);
  }
  FThread.join();
  return ReturnValue;
}

void TThread::SetPriority(TThreadPriority Value) {
  FPriority = Value;
  if (FTid != 0) ApplyPriority();
}

void TThread::ApplyPriority() {
  // Linux threads have their own nice value. Raising priority needs privileges;
  // without them the thread simply keeps its current one.
  const int tid = FTid;
  if (tid != 0) ::setpriority(PRIO_PROCESS, static_cast<id_t>(tid), NiceOf(FPriority));
}
