// The worker thread of outputs and the delivery of their notifications.

#include <gtest/gtest.h>

#include <random>
#include <unistd.h>

#include "platform/rtl/FileUtils.h"
#include "tests/support/TestComponents.h"
#include "tests/support/Files.h"
#include "tests/support/Pipeline.h"

namespace {

std::vector<uint8_t> Pattern(size_t Bytes) {
  std::vector<uint8_t> v(Bytes);
  for (size_t i = 0; i < Bytes; ++i) v[i] = static_cast<uint8_t>(i * 7 + i / 251);
  return v;
}

// An input over a memory stream feeding a collecting output, with notification logs.
struct Chain {
  explicit Chain(size_t Bytes = 64 * 1024) : Data(Pattern(Bytes)) {
    Mem.Write(Data.data(), static_cast<int64_t>(Data.size()));
    In = new TRawIn(Owner.get());
    In->SetStream(&Mem);
    Out = new TCollectOut(Owner.get());
    Out->SetInput(In);
    Out->OnDone = [this](TComponent* S) {
      EXPECT_TRUE(IsMainThread());
      EXPECT_EQ(S, Out);
      EXPECT_FALSE(Out->Busy());
      Log.push_back("done");
      ++Done;
    };
    Out->OnThreadException = [this](TComponent*) {
      EXPECT_TRUE(IsMainThread());
      Log.push_back("exception:" + Out->ExceptionMessage());
    };
    Out->OnProgress = [this](TComponent*) {
      EXPECT_TRUE(IsMainThread());
      Progress.push_back(Out->Progress());
    };
  }
  TMemoryStream Mem;
  std::vector<uint8_t> Data;
  TComponentPtr<TComponent> Owner{new TComponent(nullptr)};
  TRawIn* In;
  TCollectOut* Out;
  std::vector<std::string> Log;
  std::vector<int> Progress;
  int Done = 0;
};

}  // namespace

TEST(WorkerTest, RunDeliversEverythingThenOneDone) {
  Chain c;
  c.Out->BlockSize = 1000;  // not a divisor of the data size
  c.Out->Run();
  ASSERT_TRUE(PumpUntil([&] { return c.Done == 1; }));
  PumpFor(50);
  EXPECT_EQ(c.Done, 1);
  EXPECT_EQ(c.Out->Data, c.Data);
  EXPECT_EQ(c.Out->Prepares, 1);
  EXPECT_EQ(c.Out->Finishes, 1);
  EXPECT_FALSE(c.Out->Busy());
  EXPECT_EQ(c.Out->Status(), asIdle);
  EXPECT_TRUE(c.Out->ExceptionMessage().empty());
  ASSERT_FALSE(c.Progress.empty());
  // Posted only when the percentage changes; read when delivered, so never falling.
  EXPECT_LE(c.Progress.size(), 101u);
  for (size_t i = 1; i < c.Progress.size(); ++i) EXPECT_GE(c.Progress[i], c.Progress[i - 1]);
  EXPECT_EQ(c.Progress.back(), 100);
}

TEST(WorkerTest, RunRefusesABusyOutputAndAMissingInput) {
  Chain c;
  c.Out->OnBlock = [](int) { std::this_thread::sleep_for(std::chrono::milliseconds(2)); };
  c.Out->Run();
  try {
    c.Out->Run();
    ADD_FAILURE();
  } catch (const EAuException& E) {
    EXPECT_STREQ(E.what(), "Component is Busy");
  }
  c.Out->Stop(false);
  TComponentPtr<TCollectOut> lone(new TCollectOut(nullptr));
  try {
    lone->Run();
    ADD_FAILURE();
  } catch (const EAuException& E) {
    EXPECT_STREQ(E.what(), "Input is not assigned");
  }
  try {
    lone->Pause();
    ADD_FAILURE();
  } catch (const EAuException& E) {
    EXPECT_STREQ(E.what(), "Input is not assigned.");
  }
}

TEST(WorkerTest, FailedBlockReportsBeforeDoneAndStillFinishes) {
  Chain c;
  c.Out->BlockSize = 512;
  c.Out->OnBlock = [](int B) {
    if (B == 3) throw EAuException("disk full");
  };
  c.Out->Run();
  ASSERT_TRUE(PumpUntil([&] { return c.Done == 1; }));
  EXPECT_EQ(c.Log, (std::vector<std::string>{"exception:disk full", "done"}));
  EXPECT_EQ(c.Out->Finishes, 1);
  EXPECT_FALSE(c.In->Busy());  // Finish flushed the input
  EXPECT_EQ(c.Out->ExceptionMessage(), "disk full");
  // The next run starts clean.
  c.Out->OnBlock = nullptr;
  c.Out->Run();
  EXPECT_TRUE(c.Out->ExceptionMessage().empty());
  ASSERT_TRUE(PumpUntil([&] { return c.Done == 2; }));
  EXPECT_EQ(c.Out->Data, c.Data);
}

TEST(WorkerTest, FailedPrepareStillFinishesAndEndsWithDone) {
  Chain c;
  c.Out->OnPrepare = [] { throw std::runtime_error("no device"); };
  c.Out->Run();
  ASSERT_TRUE(PumpUntil([&] { return c.Done == 1; }));
  EXPECT_EQ(c.Log, (std::vector<std::string>{"exception:no device", "done"}));
  EXPECT_EQ(c.Out->Finishes, 1);
  EXPECT_EQ(c.Out->Blocks, 0);
  EXPECT_FALSE(c.Out->Prepared());
}

TEST(WorkerTest, RunFromInsideDoneStartsTheNextRun) {
  Chain c(8000);
  int runs = 0;
  c.Out->OnDone = [&](TComponent*) {
    EXPECT_EQ(c.Out->Data, c.Data);
    if (++runs < 20) c.Out->Run();
  };
  c.Out->Run();
  ASSERT_TRUE(PumpUntil([&] { return runs == 20; }));
  PumpFor(30);
  EXPECT_EQ(runs, 20);
  EXPECT_EQ(c.Out->Prepares, 20);
  EXPECT_EQ(c.Out->Finishes, 20);
}

TEST(WorkerTest, AsyncStopEndsWithOneDone) {
  Chain c(1 << 20);
  c.Out->BlockSize = 256;
  std::atomic<bool> started{false};
  c.Out->OnBlock = [&](int) {
    started = true;
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  };
  c.Out->Run();
  while (!started) std::this_thread::yield();
  c.Out->Stop(true);
  ASSERT_TRUE(PumpUntil([&] { return c.Done == 1; }));
  PumpFor(50);
  EXPECT_EQ(c.Done, 1);
  EXPECT_EQ(c.Out->Finishes, 1);
  EXPECT_LT(c.Out->Data.size(), c.Data.size());
  EXPECT_FALSE(c.Out->Stopping());
}

TEST(WorkerTest, SyncStopEndsSilently) {
  Chain c(1 << 20);
  c.Out->BlockSize = 256;
  c.Out->Run();
  PumpUntil([&] { return c.Progress.size() >= 2; });
  c.Out->Stop(false);
  EXPECT_FALSE(c.Out->Busy());
  EXPECT_EQ(c.Out->Finishes, 1);
  const size_t seen = c.Progress.size();
  PumpFor(150);
  EXPECT_EQ(c.Done, 0);
  EXPECT_EQ(c.Progress.size(), seen);

  c.Out->Stop(false);  // idle: returns at once, posts nothing
  PumpFor(20);
  EXPECT_EQ(c.Done, 0);
}

TEST(WorkerTest, StopsAtRandomMomentsNeverLoseOrLeakARun) {
  Chain c(256 * 1024);
  c.Out->BlockSize = 4096;
  c.Out->Keep = false;
  std::mt19937 rng(12345);
  int expectedDone = 0;
  for (int i = 0; i < 150; ++i) {
    c.Out->Run();
    const int us = static_cast<int>(rng() % 3000);
    std::this_thread::sleep_for(std::chrono::microseconds(us));
    const bool async = rng() % 2 == 0;
    c.Out->Stop(async);
    if (async) {
      ++expectedDone;
      ASSERT_TRUE(PumpUntil([&] { return c.Done == expectedDone; })) << i;
    } else {
      EXPECT_FALSE(c.Out->Busy()) << i;
    }
  }
  // A Run straight after a synchronous stop is never lost.
  for (int i = 0; i < 50; ++i) {
    c.Out->Run();
    c.Out->Stop(false);
    c.Out->Run();
    ++expectedDone;
    ASSERT_TRUE(PumpUntil([&] { return c.Done == expectedDone; })) << i;
  }
  PumpFor(50);
  EXPECT_EQ(c.Done, expectedDone);
  EXPECT_EQ(c.Out->Prepares.load(), c.Out->Finishes.load());
}

TEST(WorkerTest, PauseAndResumeAffectOnlyTheirOwnOutput) {
  Chain a(2 << 20), b(2 << 20);
  std::atomic<bool> slow{true};
  for (Chain* c : {&a, &b}) {
    c->Out->BlockSize = 1024;
    c->Out->OnBlock = [&slow](int) {
      if (slow) std::this_thread::sleep_for(std::chrono::microseconds(100));
    };
  }
  a.Out->Pause();  // idle: nothing happens
  EXPECT_EQ(a.Out->Status(), asIdle);
  a.Out->Run();
  b.Out->Run();
  a.Out->Pause();
  EXPECT_EQ(a.Out->Status(), asPaused);
  EXPECT_EQ(b.Out->Status(), asWorking);
  const int64_t held = a.Out->BytesSeen;
  const int64_t bBefore = b.Out->BytesSeen;
  PumpFor(100);
  EXPECT_EQ(a.Out->BytesSeen, held);  // nothing moves while paused
  EXPECT_GT(b.Out->BytesSeen, bBefore);
  b.Out->Pause();
  EXPECT_EQ(b.Out->Status(), asPaused);
  a.Out->Resume();
  EXPECT_EQ(a.Out->Status(), asWorking);
  EXPECT_EQ(b.Out->Status(), asPaused);
  b.Out->Resume();
  slow = false;
  ASSERT_TRUE(PumpUntil([&] { return a.Done == 1 && b.Done == 1; }));
  EXPECT_EQ(a.Out->Data, a.Data);  // pausing lost nothing
  EXPECT_EQ(b.Out->Data, b.Data);
}

TEST(WorkerTest, PauseDuringPrepareTakesEffectWhenBlocksStart) {
  Chain c(1 << 20);
  std::atomic<bool> inPrepare{false};
  c.Out->OnPrepare = [&] {
    inPrepare = true;
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
  };
  c.Out->Run();
  while (!inPrepare) std::this_thread::yield();
  c.Out->Pause();
  EXPECT_EQ(c.Out->Status(), asPaused);
  EXPECT_EQ(c.Out->Blocks, 0);
  c.Out->Resume();
  ASSERT_TRUE(PumpUntil([&] { return c.Done == 1; }));
  EXPECT_EQ(c.Out->Data, c.Data);
}

TEST(WorkerTest, LongPrepareAnswersPauseAndStopThroughTheCheckPoint) {
  EXPECT_FALSE(AuWorkerCheckPoint());  // not a worker thread
  Chain c;
  std::atomic<bool> inPrepare{false};
  std::atomic<int> polls{0};
  c.Out->OnPrepare = [&] {
    inPrepare = true;
    while (!AuWorkerCheckPoint()) {
      ++polls;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  };
  c.Out->Run();
  while (!inPrepare) std::this_thread::yield();
  c.Out->Pause();
  EXPECT_EQ(c.Out->Status(), asPaused);
  const int held = polls;
  PumpFor(50);
  EXPECT_EQ(polls, held);  // the long work idles while paused
  c.Out->Resume();
  EXPECT_EQ(c.Out->Status(), asWorking);
  c.Out->Stop(false);
  EXPECT_FALSE(c.Out->Busy());
  EXPECT_EQ(c.Out->Finishes, 1);
}

TEST(WorkerTest, DestroyingOutputsRightAfterStopOrWhileRunningIsSafe) {
  for (int i = 0; i < 30; ++i) {
    auto alive = std::make_shared<bool>(true);
    int calls = 0;
    {
      Chain c(256 * 1024);
      c.Out->BlockSize = 512;
      auto note = [&calls](TComponent*) { ++calls; };
      c.Out->OnProgress = note;
      c.Out->OnDone = note;
      c.Out->Run();
      std::this_thread::sleep_for(std::chrono::microseconds(300 * (i % 5)));
      if (i % 2 == 0) c.Out->Stop(false);
      const int before = calls;
      c.Out->Free();  // also while running
      EXPECT_EQ(calls, before);
      EXPECT_FALSE(c.In->Busy());
    }
    PumpFor(5);  // anything still queued for the dead output is dropped
  }
}

TEST(WorkerTest, AProgramEndingWithAnOutputAliveStillEnds) {
  // A program that stops early (a failed start) exits with its outputs, their workers
  // and the dispatcher still waiting.
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        alarm(30);  // a hang fails the test rather than the whole run
        static Chain* Left = new Chain();
        Left->Out->Run();
        if (!PumpUntil([] { return Left->Done == 1; })) std::exit(1);
        std::exit(3);
      },
      testing::ExitedWithCode(3), "");
}

TEST(WorkerTest, RemovingTheInputComponentClearsTheOutputsInput) {
  Chain c;
  c.In->Free();
  EXPECT_EQ(c.Out->Input(), nullptr);
  EXPECT_EQ(c.Out->Progress(), 0);
}

TEST(WorkerTest, ProgressIsClampedAndMinusOneForUnknownSize) {
  Chain c(4000);
  c.In->DeclaredSize = -1;
  std::vector<int> seen;
  c.Out->OnProgress = [&](TComponent*) { seen.push_back(c.Out->Progress()); };
  c.Out->Run();
  ASSERT_TRUE(PumpUntil([&] { return c.Done == 1; }));
  ASSERT_FALSE(seen.empty());
  for (int p : seen) EXPECT_EQ(p, -1);

  // A header that claims less than the stream holds.
  Chain d(4000);
  d.In->DeclaredSize = 1000;
  d.Out->Run();
  ASSERT_TRUE(PumpUntil([&] { return d.Done == 1; }));
  EXPECT_EQ(d.Out->Data.size(), 1000u);
  for (int p : d.Progress) {
    EXPECT_GE(p, 0);
    EXPECT_LE(p, 100);
  }
}

namespace {
// Fails while closing its destination.
class TFailingFinishOut : public TCollectOut {
public:
  using TCollectOut::TCollectOut;
  bool FailFinish = true;

protected:
  void Finish() override {
    TCollectOut::Finish();
    if (FailFinish) throw EAuException("cannot close the file");
  }
};
}  // namespace

TEST(WorkerTest, FailureWhileFinishingIsReportedNotSwallowed) {
  TComponentPtr<TComponent> owner(new TComponent(nullptr));
  TMemoryStream mem;
  std::vector<uint8_t> data(5000, 7);
  mem.Write(data.data(), 5000);
  auto* in = new TRawIn(owner.get());
  in->SetStream(&mem);
  auto* out = new TFailingFinishOut(owner.get());
  out->SetInput(in);
  std::vector<std::string> log;
  out->OnThreadException = [&](TComponent*) { log.push_back("exception:" + out->ExceptionMessage()); };
  out->OnDone = [&](TComponent*) { log.push_back("done"); };
  out->Run();
  ASSERT_TRUE(PumpUntil([&] { return log.size() == 2; }));
  EXPECT_EQ(log, (std::vector<std::string>{"exception:cannot close the file", "done"}));
  EXPECT_FALSE(out->Busy());
  EXPECT_FALSE(in->Busy());
  // The first failure of a run is the one kept.
  log.clear();
  out->OnBlock = [](int) { throw EAuException("write failed"); };
  out->Run();
  ASSERT_TRUE(PumpUntil([&] { return log.size() == 2; }));
  EXPECT_EQ(log, (std::vector<std::string>{"exception:write failed", "done"}));
  EXPECT_EQ(out->ExceptionMessage(), "write failed");
}

namespace {
// An output that makes its file and then refuses its set-up; the run flushes the
// input it started and Finish closes the file.
class TRefusingOut : public TAuFileOut {
public:
  using TAuFileOut::TAuFileOut;

protected:
  void Prepare() override {
    StartInput();
    CreateOwnStream();
    throw EAuException("refused");
  }
  bool WriteBlock(bool) override { return false; }
  void Finish() override { ReleaseStream(); }
};
}  // namespace

TEST(WorkerTest, ASetUpThatFailsRemovesTheFileItMadeButNothingThatWasThere) {
  TComponentPtr<TComponent> owner(new TComponent(nullptr));
  TMemoryStream mem;
  mem.Write("abcd", 4);
  auto* in = new TRawIn(owner.get());
  in->SetStream(&mem);
  auto* out = new TRefusingOut(owner.get());
  out->SetInput(in);
  const std::string made = testsupport::TempPath("refused-new.out");
  out->SetFileName(made);
  EXPECT_EQ(testsupport::RunOutput(*out), "refused");
  EXPECT_FALSE(FileExists(made));
  EXPECT_FALSE(in->Busy());
  const std::string there = testsupport::TempPath("refused-old.out");
  testsupport::WriteFile(there, std::string("old"));
  out->SetFileName(there);
  EXPECT_EQ(testsupport::RunOutput(*out), "refused");
  EXPECT_TRUE(FileExists(there));
}
