#pragma once
// Threads, and calls handed from worker threads to the main (GUI) thread.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

enum TThreadPriority : uint8_t {
  tpIdle, tpLowest, tpLower, tpNormal, tpHigher, tpHighest, tpTimeCritical
};

class TThread {
public:
  // Threads are created suspended: Execute must not start before the derived
  // object is complete. Start (or Resume) lets it run.
  TThread() = default;
  // The thread must have ended before a derived object is destroyed (call Terminate
  // and WaitFor first): Execute may be using the derived part.
  virtual ~TThread();
  TThread(const TThread&) = delete;
  TThread& operator=(const TThread&) = delete;

  // Starts a thread created suspended, or wakes one that parked itself with Suspend.
  // A Resume that comes while the thread is running is kept, so the thread's next
  // Suspend returns at once: a wake-up is never lost.
  void Resume();
  void Start() { Resume(); }
  void Terminate() { FTerminated = true; }
  bool Terminated() const { return FTerminated; }
  // Not yet started, or parked in Suspend.
  bool Suspended() const { return FSuspended; }
  // Execute has returned.
  bool Finished() const { return FFinished; }
  // Waits for Execute to return and gives ReturnValue. On the main thread, calls that
  // other threads hand over with Synchronize keep running meanwhile.
  int WaitFor();

  TThreadPriority Priority() const { return FPriority; }
  void SetPriority(TThreadPriority Value);

  // The message of an exception that escaped Execute, empty when none did.
  const std::string& FatalException() const { return FFatalException; }

  // Runs Method on the main thread and waits for it; on the main thread it runs at once.
  // An exception thrown by Method is raised again in the calling thread.
  static void Synchronize(TThread* Thread, const std::function<void()>& Method);
  void Synchronize(const std::function<void()>& Method) { Synchronize(this, Method); }

protected:
  virtual void Execute() = 0;
  // Parks the calling thread, which must be this thread, until Resume.
  void Suspend();
  int ReturnValue = 0;

private:
  void ThreadProc();
  void ApplyPriority();

  std::thread FThread;
  std::mutex FMutex;
  std::condition_variable FCond;
  bool FStarted = false;
  bool FResumePending = false;
  std::atomic<bool> FTerminated{false};
  std::atomic<bool> FSuspended{true};
  std::atomic<bool> FFinished{false};
  std::atomic<TThreadPriority> FPriority{tpNormal};
  std::atomic<int> FTid{0};
  std::string FFatalException;
};

// Runs the calls handed to the main thread. Waits up to TimeoutMs for one when none
// is pending. Returns true when at least one ran. Call it on the main thread only.
bool CheckSynchronize(int TimeoutMs = 0);
// Called (on the handing thread) whenever a call is queued for the main thread, so a
// GUI loop can wake up and run CheckSynchronize.
void SetWakeMainThread(std::function<void()> Hook);
bool IsMainThread();
