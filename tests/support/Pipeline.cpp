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

std::vector<uint8_t> ReadAll(TAuInput& In, uint32_t Request) {
  std::vector<uint8_t> data;
  In.Init();
  for (;;) {
    void* p = nullptr;
    uint32_t n = Request;
    In.ReadData(p, n);
    if (n == 0) break;
    data.insert(data.end(), static_cast<uint8_t*>(p), static_cast<uint8_t*>(p) + n);
  }
  In.Flush();
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
