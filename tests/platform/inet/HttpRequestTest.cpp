// The asynchronous GET against peers on the loopback: answers, failures, time-outs,
// and cancelling at every stage without a late result.

#include "platform/inet/HttpRequest.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <memory>
#include <mutex>

#include "platform/rtl/Threads.h"
#include "tests/support/HttpServer.h"

using namespace testsupport;

namespace {

constexpr int32_t Long = 10 * 60 * 1000;  // a limit no test may reach

// Runs the calls handed to this, the main thread, until Done holds; false when that
// does not happen within a bound far beyond any time-out used here.
template <typename TPred>
bool RunUntil(TPred Done) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (!Done() && std::chrono::steady_clock::now() < deadline) CheckSynchronize(20);
  return Done();
}

// Starts a request whose results are counted, the last one kept.
struct TCounted {
  THttpResult Result;
  int Calls = 0;
  THttpRequest Request;
  TCounted(const std::string& Url, int32_t ConnectMs = Long, int32_t TotalMs = Long, int64_t MaxBody = 1000) {
    Request.Start(Url, {ConnectMs, TotalMs, MaxBody}, [this](const THttpResult& R) {
      Result = R;
      ++Calls;
    });
  }
};

class HttpRequestTest : public testing::Test {
protected:
  // The loopback never goes through a proxy of the environment.
  static void SetUpTestSuite() { setenv("no_proxy", "*", 1); }
};

TEST_F(HttpRequestTest, AnswersAndFailuresReachTheMainThread) {
  const std::string version("\x02\x00\x02", 3), big(40 * 1024, 'x');
  TTestHttpServer server({
      {"/version", {.Body = version}},
      {"/missing", {.Status = 404, .Body = "not here"}},
      {"/broken", {.Status = 500, .Body = "server error"}},
      {"/moved", {.Status = 302, .Location = "/version"}},
      {"/exact", {.Body = std::string(1000, 'e')}},
      {"/big", {.Body = big}},
      {"/big-stream", {.Body = big, .Length = false}},
      {"/silent", {.Silent = true}},
  });
  const TLoopbackPort refusing(false), full(true);
  struct TCase {
    std::string Url;
    int32_t ConnectMs, TotalMs;
    THttpFailure Failure;
    int32_t Status;
    std::string Body;
  } cases[] = {
      {server.Url("/version"), Long, Long, hfNone, 200, version},
      {server.Url("/missing"), Long, Long, hfNone, 404, "not here"},
      {server.Url("/broken"), Long, Long, hfNone, 500, "server error"},
      {server.Url("/moved"), Long, Long, hfNone, 200, version},
      {server.Url("/exact"), Long, Long, hfNone, 200, std::string(1000, 'e')},
      {server.Url("/big"), Long, Long, hfTooLarge, 200, ""},
      {server.Url("/big-stream"), Long, Long, hfTooLarge, 200, ""},
      {refusing.Url(), Long, Long, hfConnect, 0, ""},
      {server.Url("/silent"), Long, 300, hfTimeout, 0, ""},
      {full.Url(), 300, Long, hfTimeout, 0, ""},
      {"file:///etc/hostname", Long, Long, hfOther, 0, ""},
  };
  for (const TCase& c : cases) {
    TCounted req(c.Url, c.ConnectMs, c.TotalMs);
    EXPECT_TRUE(req.Request.Active());
    EXPECT_TRUE(RunUntil([&] { return req.Calls > 0; })) << c.Url;
    CheckSynchronize(0);
    EXPECT_EQ(req.Calls, 1);
    EXPECT_FALSE(req.Request.Active());
    const THttpResult& r = req.Result;
    EXPECT_EQ(r.Failure, c.Failure) << c.Url << ": " << r.FailureText;
    EXPECT_EQ(r.FailureText.empty(), c.Failure == hfNone) << c.Url;
    EXPECT_EQ(r.Status, c.Status) << c.Url;
    EXPECT_EQ(r.Body, c.Body) << c.Url;
    EXPECT_EQ(r.StatusOK(), c.Failure == hfNone && c.Status == 200) << c.Url;
  }
}

TEST_F(HttpRequestTest, CancelledOrDestroyedDuringASlowAnswerDeliversNothing) {
  TTestHttpServer server({{"/slow", {.Body = std::string(1000, 's'), .Stall = true}}});
  int calls = 0;
  for (const int round : {1, 2}) {
    auto req = std::make_unique<THttpRequest>();
    req->Start(server.Url("/slow"), {}, [&](const THttpResult&) { ++calls; });
    ASSERT_TRUE(server.WaitHeld(round));
    if (round == 1) {
      req->Cancel();
      EXPECT_FALSE(req->Active());
    } else {
      req.reset();
    }
    // The transfer has really stopped: the client closed its connection.
    EXPECT_TRUE(server.WaitLeft(round));
    while (CheckSynchronize(0)) {
    }
  }
  EXPECT_EQ(calls, 0);
}

TEST_F(HttpRequestTest, CancelWhileTheResultWaitsForTheMainThread) {
  // The worker blocks until the main thread takes its result; Cancel, on the main
  // thread, must neither wait for ever nor deliver.
  TTestHttpServer server({{"/version", {.Body = "020002"}}});
  std::mutex m;
  std::condition_variable cv;
  bool queued = false;
  SetWakeMainThread([&] {
    std::lock_guard<std::mutex> lk(m);
    queued = true;
    cv.notify_all();
  });
  TCounted req(server.Url("/version"));
  {
    std::unique_lock<std::mutex> lk(m);
    EXPECT_TRUE(cv.wait_for(lk, std::chrono::seconds(30), [&] { return queued; }));
  }
  req.Request.Cancel();
  SetWakeMainThread(nullptr);
  while (CheckSynchronize(0)) {
  }
  EXPECT_EQ(req.Calls, 0);
}

TEST_F(HttpRequestTest, HandlerMayStartAgainOrDestroyTheRequest) {
  TTestHttpServer server({{"/first", {.Body = "1"}}, {"/second", {.Body = "2"}}});
  auto req = std::make_unique<THttpRequest>();
  std::string bodies;
  req->Start(server.Url("/first"), {}, [&](const THttpResult& R) {
    bodies += R.Body;
    req->Start(server.Url("/second"), {}, [&](const THttpResult& R2) {
      bodies += R2.Body;
      req.reset();
    });
  });
  EXPECT_TRUE(RunUntil([&] { return req == nullptr; }));
  EXPECT_EQ(bodies, "12");
}

}  // namespace
