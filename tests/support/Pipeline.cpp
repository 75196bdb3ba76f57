#include "tests/support/Pipeline.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <thread>

namespace testsupport {

std::string RunOutput(TAuOutput& Out, int TimeoutMs) {
  std::atomic<bool> done{false};
  Out.OnDone = [&done](TComponent*) { done = true; };
  Out.Run();
  const bool ended = PumpUntil([&done] { return done.load(); }, TimeoutMs);
  EXPECT_TRUE(ended) << "the run did not end";
  if (!ended) Out.Stop(false);
  Out.OnDone = nullptr;
  return Out.ExceptionMessage();
}

std::vector<uint8_t> Collect(TAuInput& In, std::string* Error, uint32_t BlockSize) {
  TComponentPtr<TCollectOut> out(new TCollectOut(nullptr));
  out->BlockSize = BlockSize;
  out->SetInput(&In);
  const std::string error = RunOutput(*out);
  if (Error)
    *Error = error;
  else
    EXPECT_EQ(error, "");
  return std::move(out->Data);
}

namespace {

// Appends what a started input delivers, Request bytes a read, until its data ends.
void ReadToEnd(TAuInput& In, uint32_t Request, std::vector<uint8_t>& Data) {
  for (;;) {
    void* p = nullptr;
    uint32_t n = Request;
    In.ReadData(p, n);
    if (n == 0) break;
    Data.insert(Data.end(), static_cast<uint8_t*>(p), static_cast<uint8_t*>(p) + n);
  }
}

}  // namespace

std::vector<uint8_t> ReadAll(TAuInput& In, uint32_t Request) {
  std::vector<uint8_t> data;
  In.Init();
  ReadToEnd(In, Request, data);
  In.Flush();
  return data;
}

std::vector<uint8_t> ReadUntilFailure(TAuInput& In, std::string& Error, uint32_t Request, int64_t* RunSize) {
  std::vector<uint8_t> data;
  Error.clear();
  try {
    In.Init();
    if (RunSize) *RunSize = In.Size();
    ReadToEnd(In, Request, data);
  } catch (const std::exception& E) {
    Error = E.what();
  }
  In.Reset();
  return data;
}

std::string InitError(TAuInput& In) {
  try {
    In.Init();
    In.Flush();
  } catch (const EAuException& E) {
    return E.what();
  }
  return "";
}

void WithinSeconds(int Seconds, const std::function<void()>& Fn, const std::string& What) {
  std::packaged_task<void()> task(Fn);
  auto result = task.get_future();
  std::thread t(std::move(task));
  if (result.wait_for(std::chrono::seconds(Seconds)) != std::future_status::ready) {
    ADD_FAILURE() << What << " did not end within " << Seconds << " s";
    std::fprintf(stderr, "%s hung\n", What.c_str());
    std::_Exit(1);
  }
  t.join();
  result.get();
}

TLibraryName::TLibraryName(TCodecLibrary& Lib, const std::string& FileName) : FLib(Lib), FOld(Lib.FileName()) {
  FLib.Unload();
  FLib.SetFileName(FileName);
}

TLibraryName::~TLibraryName() {
  FLib.Unload();
  FLib.SetFileName(FOld);
}

}  // namespace testsupport
