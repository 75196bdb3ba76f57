#include "platform/inet/HttpRequest.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/inet/CurlLib.h"
#include "platform/rtl/SysUtils.h"
#include "platform/rtl/Threads.h"

const char* const THttpRequest::UserAgent = "Sonvix";

namespace {

// How long one wait for the transfer may last. Curl's own time-outs and Cancel's
// wake-up end it sooner; this only bounds a transfer without time-outs.
constexpr int MaxPollMs = 10 * 60 * 1000;
constexpr long MaxRedirects = 5;

struct TBody {
  std::string& Data;
  int64_t Max;
  bool TooLarge = false;
};

size_t WriteBody(char* Ptr, size_t Size, size_t Count, void* User) {
  auto& body = *static_cast<TBody*>(User);
  const size_t n = Size * Count;
  if (static_cast<int64_t>(body.Data.size() + n) > body.Max) {
    body.TooLarge = true;
    return 0;  // anything but n stops the transfer
  }
  body.Data.append(Ptr, n);
  return n;
}

THttpFailure FailureOf(CURLcode Code, bool TooLarge) {
  switch (Code) {
    case CURLE_OK:
      return hfNone;
    case CURLE_COULDNT_CONNECT:
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
      return hfConnect;
    case CURLE_OPERATION_TIMEDOUT:
      return hfTimeout;
    case CURLE_FILESIZE_EXCEEDED:
      return hfTooLarge;
    case CURLE_WRITE_ERROR:
      return TooLarge ? hfTooLarge : hfOther;
    default:
      return hfOther;
  }
}

void ConfigureEasy(CURL* Easy, const std::string& Url, const THttpOptions& O, TBody& Body, char* ErrorBuffer) {
  Curl().curl_easy_setopt(Easy, CURLOPT_URL, Url.c_str());
  Curl().curl_easy_setopt(Easy, CURLOPT_HTTPGET, 1L);
  Curl().curl_easy_setopt(Easy, CURLOPT_NOSIGNAL, 1L);
  Curl().curl_easy_setopt(Easy, CURLOPT_PROTOCOLS_STR, "http,https");
  Curl().curl_easy_setopt(Easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  Curl().curl_easy_setopt(Easy, CURLOPT_FOLLOWLOCATION, 1L);
  Curl().curl_easy_setopt(Easy, CURLOPT_MAXREDIRS, MaxRedirects);
  Curl().curl_easy_setopt(Easy, CURLOPT_USERAGENT, THttpRequest::UserAgent);
  Curl().curl_easy_setopt(Easy, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(O.ConnectTimeoutMs));
  Curl().curl_easy_setopt(Easy, CURLOPT_TIMEOUT_MS, static_cast<long>(O.TotalTimeoutMs));
  // Refuses an announced length at once; WriteBody catches bodies of unknown length.
  Curl().curl_easy_setopt(Easy, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(O.MaxBodySize));
  Curl().curl_easy_setopt(Easy, CURLOPT_WRITEFUNCTION, WriteBody);
  Curl().curl_easy_setopt(Easy, CURLOPT_WRITEDATA, &Body);
  Curl().curl_easy_setopt(Easy, CURLOPT_ERRORBUFFER, ErrorBuffer);
}

}  // namespace

// Shared by the request object and its worker, so either may end first.
struct THttpRequest::TState {
  std::mutex Mutex;
  std::condition_variable Changed;
  std::atomic<bool> Cancelled{false};
  CURLM* Multi = nullptr;   // while the transfer runs: the handle that Cancel wakes
  bool Queued = false;      // the worker is handing its result to the main thread
  bool Ran = false;         // that call has run
  bool Delivering = false;  // OnDone is running
  bool Finished = false;    // the worker has nothing left to do
  TDoneEvent OnDone;
  std::thread Worker;

  static void Run(std::shared_ptr<TState> S, std::string Url, THttpOptions Options);
  THttpResult Transfer(const std::string& Url, const THttpOptions& O);
  void Deliver(const THttpResult& Result);
  // Cancels; true when the worker has ended, false when it ends once the running
  // handler returns.
  bool Stop();

  struct TOrphans;
  static TOrphans& Orphans();
  static void AddOrphan(std::shared_ptr<TState> S);
  static void JoinFinishedOrphans();
};

// Workers whose request was cancelled or destroyed by its own handler. They end as
// soon as the handler returns; each new request joins those that have, and the rest
// are joined when the program ends. The list is made on first use, during the
// program's run, so it goes before the runtime's older statics that workers use.
struct THttpRequest::TState::TOrphans {
  std::mutex Mutex;
  std::vector<std::shared_ptr<TState>> States;
  ~TOrphans() {
    for (auto& s : States) s->Worker.join();
  }
};

THttpRequest::TState::TOrphans& THttpRequest::TState::Orphans() {
  static TOrphans orphans;
  return orphans;
}

void THttpRequest::TState::AddOrphan(std::shared_ptr<TState> S) {
  TOrphans& o = Orphans();
  std::lock_guard<std::mutex> lk(o.Mutex);
  o.States.push_back(std::move(S));
}

void THttpRequest::TState::JoinFinishedOrphans() {
  TOrphans& o = Orphans();
  std::lock_guard<std::mutex> lk(o.Mutex);
  std::erase_if(o.States, [](const std::shared_ptr<TState>& S) {
    {
      std::lock_guard<std::mutex> slk(S->Mutex);
      if (!S->Finished) return false;
    }
    S->Worker.join();
    return true;
  });
}

void THttpRequest::TState::Run(std::shared_ptr<TState> S, std::string Url, THttpOptions Options) {
  const THttpResult result = S->Transfer(Url, Options);
  if (!S->Cancelled) {
    {
      std::lock_guard<std::mutex> lk(S->Mutex);
      S->Queued = true;
    }
    S->Changed.notify_all();
    try {
      TThread::Synchronize(nullptr, [&] { S->Deliver(result); });
    } catch (...) {
      // Raised by OnDone; this thread has no one to hand it to.
    }
  }
  {
    std::lock_guard<std::mutex> lk(S->Mutex);
    S->Finished = true;
  }
  S->Changed.notify_all();
}

THttpResult THttpRequest::TState::Transfer(const std::string& Url, const THttpOptions& O) {
  THttpResult r;
  // Loaded here, on the worker, the first time: a missing library fails the request.
  try {
    Curl();
  } catch (const Exception& E) {
    r.Failure = hfOther;
    r.FailureText = E.Message();
    return r;
  }
  CURL* easy = Curl().curl_easy_init();
  CURLM* multi = Curl().curl_multi_init();
  TBody body{r.Body, O.MaxBodySize};
  char error[CURL_ERROR_SIZE] = "";
  CURLcode code = CURLE_FAILED_INIT;
  if (easy && multi) {
    ConfigureEasy(easy, Url, O, body, error);
    if (Curl().curl_multi_add_handle(multi, easy) == CURLM_OK) {
      {
        std::lock_guard<std::mutex> lk(Mutex);
        Multi = multi;
      }
      int running = 1;
      while (!Cancelled) {
        if (Curl().curl_multi_perform(multi, &running) != CURLM_OK) break;
        if (running == 0) {
          int left = 0;
          while (CURLMsg* msg = Curl().curl_multi_info_read(multi, &left))
            if (msg->msg == CURLMSG_DONE) code = msg->data.result;
          break;
        }
        if (Curl().curl_multi_poll(multi, nullptr, 0, MaxPollMs, nullptr) != CURLM_OK) break;
      }
      {
        std::lock_guard<std::mutex> lk(Mutex);
        Multi = nullptr;
      }
      Curl().curl_multi_remove_handle(multi, easy);
    }
  }
  long status = 0;
  if (easy) Curl().curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status);
  r.Status = static_cast<int32_t>(status);
  r.Failure = FailureOf(code, body.TooLarge);
  if (r.Failure == hfTooLarge) {
    r.FailureText = "The answer is larger than " + std::to_string(O.MaxBodySize) + " bytes.";
  } else if (r.Failure != hfNone) {
    r.FailureText = error[0] ? error : Curl().curl_easy_strerror(code);
  }
  if (r.Failure != hfNone) r.Body.clear();
  if (easy) Curl().curl_easy_cleanup(easy);
  if (multi) Curl().curl_multi_cleanup(multi);
  return r;
}

// On the main thread, while the worker waits in Synchronize.
void THttpRequest::TState::Deliver(const THttpResult& Result) {
  TDoneEvent done;
  {
    std::lock_guard<std::mutex> lk(Mutex);
    Ran = true;
    if (Cancelled) return;
    done = std::move(OnDone);
    Delivering = true;
  }
  struct TReset {
    TState& S;
    ~TReset() {
      std::lock_guard<std::mutex> lk(S.Mutex);
      S.Delivering = false;
    }
  } reset{*this};
  if (done) done(Result);
}

// On the main thread: no delivery after this returns.
bool THttpRequest::TState::Stop() {
  std::unique_lock<std::mutex> lk(Mutex);
  Cancelled = true;
  if (Multi) Curl().curl_multi_wakeup(Multi);
  // OnDone is below us on this stack and the worker waits for it to return: joining
  // would never end.
  if (Delivering) return false;
  while (!Finished) {
    if (Queued && !Ran && IsMainThread()) {
      // The worker waits in Synchronize for the main thread, which is this one.
      lk.unlock();
      CheckSynchronize(5);
      lk.lock();
    } else {
      Changed.wait(lk);
    }
  }
  lk.unlock();
  Worker.join();
  return true;
}

void THttpRequest::Start(const std::string& Url, const THttpOptions& Options, TDoneEvent OnDone) {
  Cancel();
  TState::JoinFinishedOrphans();
  auto s = std::make_shared<TState>();
  s->OnDone = std::move(OnDone);
  s->Worker = std::thread(&TState::Run, s, Url, Options);
  FState = std::move(s);
}

void THttpRequest::Cancel() {
  if (!FState) return;
  std::shared_ptr<TState> s = std::move(FState);
  if (!s->Stop()) TState::AddOrphan(std::move(s));
}

bool THttpRequest::Active() const {
  if (!FState) return false;
  std::lock_guard<std::mutex> lk(FState->Mutex);
  return !FState->Ran && !FState->Cancelled;
}
