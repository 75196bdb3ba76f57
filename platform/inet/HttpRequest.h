#pragma once
// An HTTP(S) GET that runs on a worker thread and hands its result to the main thread.
//
// Threading: Start, Cancel and the destructor are called on the main thread. The result
// reaches OnDone on the main thread through TThread::Synchronize, so it arrives while
// the GUI loop (or CheckSynchronize) runs. Once Cancel has returned, or the object is
// gone, OnDone is not called for that request: Cancel wakes the transfer, which stops
// at once, and waits only for the worker to end. OnDone may start a new request,
// cancel, or destroy the object. An exception escaping OnDone is dropped (it would
// reach the worker thread), so handlers catch their own.
//
// Only http and https are fetched, redirects among them are followed, and the proxy
// settings of the environment apply. libcurl is loaded by the first request's worker
// (CurlLib.h); when it cannot be, the request fails (hfOther) with the text
// "libcurl.so.4 library could not be loaded.".

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

struct THttpOptions {
  int32_t ConnectTimeoutMs = 10000;  // 0: no limit
  int32_t TotalTimeoutMs = 30000;    // 0: no limit
  int64_t MaxBodySize = 1 << 20;     // a longer body fails the request
};

enum THttpFailure : uint8_t {
  hfNone,      // an answer arrived, whatever its status
  hfConnect,   // no connection: refused, or the host is unknown
  hfTimeout,   // the connect or total time-out ran out
  hfTooLarge,  // the body is longer than MaxBodySize
  hfOther      // anything else: a broken answer, a bad address, TLS...
};

struct THttpResult {
  THttpFailure Failure = hfNone;
  std::string FailureText;  // English text; empty when Failure is hfNone
  int32_t Status = 0;       // the HTTP status of the last answer; 0 when none arrived
  std::string Body;         // the whole body; empty on failure

  // The status check: a complete answer with status 200.
  bool StatusOK() const { return Failure == hfNone && Status == 200; }
};

class THttpRequest {
public:
  using TDoneEvent = std::function<void(const THttpResult& Result)>;

  THttpRequest() = default;
  ~THttpRequest() { Cancel(); }
  THttpRequest(const THttpRequest&) = delete;
  THttpRequest& operator=(const THttpRequest&) = delete;

  // Cancels a request still running, then starts fetching Url.
  void Start(const std::string& Url, const THttpOptions& Options, TDoneEvent OnDone);
  void Cancel();
  // Started, and neither delivered nor cancelled yet.
  bool Active() const;

  // The agent name sent with every request.
  static const char* const UserAgent;

private:
  struct TState;
  std::shared_ptr<TState> FState;
};
