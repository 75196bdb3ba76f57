// Threads, events, locks and calls handed to the main thread.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <thread>
#include <vector>

#include "platform/rtl/SyncObjs.h"
#include "platform/rtl/SysUtils.h"
#include "platform/rtl/Threads.h"

namespace {

class TFuncThread : public TThread {
public:
  explicit TFuncThread(std::function<void(TFuncThread&)> F) : FFunc(std::move(F)) {}
  ~TFuncThread() override {
    Terminate();
    Resume();
    WaitFor();
  }
  void Park() { Suspend(); }
  void SetReturn(int V) { ReturnValue = V; }

protected:
  void Execute() override { FFunc(*this); }

private:
  std::function<void(TFuncThread&)> FFunc;
};

}  // namespace

TEST(ThreadTest, CreatedSuspendedRunsOnlyOnceStarted) {
  std::atomic<bool> ran{false};
  TFuncThread t([&](TFuncThread& Self) {
    ran = true;
    Self.SetReturn(42);
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_FALSE(ran);
  EXPECT_TRUE(t.Suspended());
  t.Start();
  EXPECT_EQ(t.WaitFor(), 42);
  EXPECT_TRUE(ran);
  EXPECT_TRUE(t.Finished());
}

TEST(ThreadTest, ResumeIsNeverLostWhateverTheOrder) {
  // Each Resume must release exactly one Suspend, whether it comes before or after
  // the thread parks.
  constexpr int N = 2000;
  std::atomic<int> wakes{0};
  TFuncThread t([&](TFuncThread& Self) {
    while (!Self.Terminated()) {
      Self.Park();
      if (Self.Terminated()) break;
      ++wakes;
    }
  });
  t.Start();
  for (int i = 0; i < N; ++i) {
    const int before = wakes;
    t.Resume();
    while (wakes == before) std::this_thread::yield();
  }
  EXPECT_EQ(wakes, N);
}

TEST(ThreadTest, ExceptionEscapingExecuteIsKept) {
  TFuncThread t([](TFuncThread&) { throw EThread("boom"); });
  t.Start();
  t.WaitFor();
  EXPECT_EQ(t.FatalException(), "boom");
}

TEST(ThreadTest, SynchronizeRunsOnTheMainThreadAndRaisesBack) {
  ASSERT_TRUE(IsMainThread());
  std::atomic<int> order{0};
  std::atomic<bool> onMain{false};
  std::string caught;
  TFuncThread t([&](TFuncThread& Self) {
    EXPECT_FALSE(IsMainThread());
    Self.Synchronize([&] {
      onMain = IsMainThread();
      order = 1;
    });
    EXPECT_EQ(order, 1);  // returned only after the call ran
    try {
      Self.Synchronize([] { throw Exception("from main"); });
    } catch (const Exception& E) {
      caught = E.Message();
    }
  });
  t.Start();
  // WaitFor on the main thread serves the calls, so this cannot deadlock.
  t.WaitFor();
  EXPECT_TRUE(onMain);
  EXPECT_EQ(caught, "from main");
}

TEST(ThreadTest, WakeHookAndCheckSynchronize) {
  std::atomic<int> hooks{0};
  SetWakeMainThread([&] { ++hooks; });
  std::atomic<int> calls{0};
  std::vector<std::unique_ptr<TFuncThread>> threads;
  for (int i = 0; i < 4; ++i) {
    threads.emplace_back(new TFuncThread([&](TFuncThread& Self) {
      for (int k = 0; k < 50; ++k) Self.Synchronize([&] { ++calls; });
    }));
    threads.back()->Start();
  }
  while (calls < 200) CheckSynchronize(10);
  for (auto& t : threads) t->WaitFor();
  SetWakeMainThread(nullptr);
  EXPECT_EQ(calls, 200);
  EXPECT_GE(hooks, 200);
  EXPECT_FALSE(CheckSynchronize(0));  // nothing left
}

TEST(ThreadTest, CheckSynchronizeOffTheMainThreadIsRefused) {
  std::atomic<bool> refused{false};
  TFuncThread t([&](TFuncThread&) {
    try {
      CheckSynchronize(0);
    } catch (const EThread&) {
      refused = true;
    }
  });
  t.Start();
  t.WaitFor();
  EXPECT_TRUE(refused);
}

TEST(ThreadTest, PriorityIsKeptAndLoweringWorks) {
  std::atomic<bool> go{false};
  TFuncThread t([&](TFuncThread&) {
    while (!go) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  });
  t.SetPriority(tpLowest);
  t.Start();
  t.SetPriority(tpIdle);
  EXPECT_EQ(t.Priority(), tpIdle);
  go = true;
  t.WaitFor();
}

TEST(EventTest, AutoResetReleasesOneWaiterPerSignal) {
  TEvent e(false, false);
  EXPECT_EQ(e.WaitFor(10), wrTimeout);
  e.SetEvent();
  EXPECT_EQ(e.WaitFor(0), wrSignaled);
  EXPECT_EQ(e.WaitFor(10), wrTimeout);  // the wait took the signal

  std::atomic<int> released{0};
  std::vector<std::thread> waiters;
  for (int i = 0; i < 3; ++i)
    waiters.emplace_back([&] {
      if (e.WaitFor(5000) == wrSignaled) ++released;
    });
  for (int i = 0; i < 3; ++i) {
    e.SetEvent();
    while (released < i + 1) std::this_thread::yield();
  }
  for (auto& w : waiters) w.join();
  EXPECT_EQ(released, 3);
}

TEST(EventTest, ManualResetReleasesEveryoneUntilReset) {
  TEvent e(true, false);
  std::atomic<int> released{0};
  std::vector<std::thread> waiters;
  for (int i = 0; i < 4; ++i)
    waiters.emplace_back([&] {
      if (e.WaitFor(INFINITE) == wrSignaled) ++released;
    });
  e.SetEvent();
  for (auto& w : waiters) w.join();
  EXPECT_EQ(released, 4);
  EXPECT_EQ(e.WaitFor(0), wrSignaled);
  e.ResetEvent();
  EXPECT_EQ(e.WaitFor(5), wrTimeout);
}

TEST(CriticalSectionTest, IsRecursiveAndExcludesOtherThreads) {
  TCriticalSection cs;
  cs.Enter();
  cs.Enter();  // same thread: no deadlock
  std::atomic<bool> otherGot{true};
  std::thread other([&] { otherGot = cs.TryEnter(); });
  other.join();
  EXPECT_FALSE(otherGot);
  cs.Leave();
  cs.Leave();

  long counter = 0;
  std::vector<std::thread> ts;
  for (int i = 0; i < 4; ++i)
    ts.emplace_back([&] {
      for (int k = 0; k < 10000; ++k) {
        TCriticalSectionGuard g(cs);
        ++counter;
      }
    });
  for (auto& t : ts) t.join();
  EXPECT_EQ(counter, 40000);
}

TEST(FloatEnvironmentTest, EveryExceptionIsMaskedAndRoundingIsToNearest) {
  EXPECT_TRUE(FloatExceptionsMasked());
  volatile double zero = 0.0;
  volatile double r = 1.0 / zero;  // must not trap
  EXPECT_TRUE(std::isinf(r));
  EXPECT_EQ(Round(2.5), 2);
  EXPECT_EQ(Round(3.5), 4);
  EXPECT_EQ(Round(-2.5), -2);
  EXPECT_EQ(Round(0.49999999999999994), 0);
  EXPECT_EQ(Trunc(-2.7), -2);
}
