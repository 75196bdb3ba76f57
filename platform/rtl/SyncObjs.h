#pragma once
// Locks and events.

#include <condition_variable>
#include <cstdint>
#include <mutex>

constexpr uint32_t INFINITE = 0xFFFFFFFFu;

// A recursive lock: the thread that holds it may enter again.
class TCriticalSection {
public:
  void Enter() { FMutex.lock(); }
  void Leave() { FMutex.unlock(); }
  bool TryEnter() { return FMutex.try_lock(); }
  // BasicLockable, so std::lock_guard and std::unique_lock work too.
  void lock() { Enter(); }
  void unlock() { Leave(); }
  bool try_lock() { return TryEnter(); }

private:
  std::recursive_mutex FMutex;
};

class TCriticalSectionGuard {
public:
  explicit TCriticalSectionGuard(TCriticalSection& CS) : FCS(CS) { FCS.Enter(); }
  ~TCriticalSectionGuard() { FCS.Leave(); }
  TCriticalSectionGuard(const TCriticalSectionGuard&) = delete;
  TCriticalSectionGuard& operator=(const TCriticalSectionGuard&) = delete;

private:
  TCriticalSection& FCS;
};

enum TWaitResult : uint8_t { wrSignaled, wrTimeout, wrAbandoned, wrError };

// A manual- or auto-reset event. An auto-reset event releases one waiter per
// SetEvent and is unsignalled again once a wait has taken the signal.
class TEvent {
public:
  TEvent(bool ManualReset, bool InitialState) : FManualReset(ManualReset), FSignaled(InitialState) {}
  void SetEvent();
  void ResetEvent();
  // Timeout in milliseconds, INFINITE to wait for ever.
  TWaitResult WaitFor(uint32_t Timeout);

private:
  std::mutex FMutex;
  std::condition_variable FCond;
  const bool FManualReset;
  bool FSignaled;
};
