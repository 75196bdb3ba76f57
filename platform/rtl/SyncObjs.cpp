#include "platform/rtl/SyncObjs.h"

#include <chrono>

void TEvent::SetEvent() {
  {
    std::lock_guard<std::mutex> lk(FMutex);
    FSignaled = true;
  }
  if (FManualReset)
    FCond.notify_all();
  else
    FCond.notify_one();
}

void TEvent::ResetEvent() {
  std::lock_guard<std::mutex> lk(FMutex);
  FSignaled = false;
}

TWaitResult TEvent::WaitFor(uint32_t Timeout) {
  std::unique_lock<std::mutex> lk(FMutex);
  auto signaled = [this] { return FSignaled; };
  if (Timeout == INFINITE) {
    FCond.wait(lk, signaled);
  } else if (!FCond.wait_for(lk, std::chrono::milliseconds(Timeout), signaled)) {
    return wrTimeout;
  }
  if (!FManualReset) FSignaled = false;
  return wrSignaled;
}
