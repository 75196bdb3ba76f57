// The network sink: a small HTTP server on a thread of its own. Each listener that
// sends a GET gets the ASF header and then the data packets from the next packet
// boundary on; the connection ends with the stream. A listener that cannot keep up
// is dropped rather than holding up the writer.

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/wmf/WMF.h"

namespace {

constexpr size_t MaxRequest = 8192;
constexpr size_t MaxPending = 16u << 20;  // bytes queued for one listener
constexpr auto RequestTimeout = std::chrono::seconds(10);
constexpr auto DrainTimeout = std::chrono::milliseconds(1000);
constexpr uint32_t DefaultMaxClients = 5;

const char* const StreamResponse =
    "HTTP/1.0 200 OK\r\n"
    "Content-Type: application/vnd.ms-asf\r\n"
    "Cache-Control: no-cache\r\n"
    "Connection: close\r\n\r\n";

void SetNonBlocking(int Fd) { ::fcntl(Fd, F_SETFL, ::fcntl(Fd, F_GETFL) | O_NONBLOCK); }

}  // namespace

class WMNetworkSinkImpl {
public:
  ~WMNetworkSinkImpl() { Close(); }

  HRESULT Open(uint32_t& Port, bool LoopbackOnly);
  HRESULT Close();
  HRESULT Advise(IWMStatusCallback* Callback, uintptr_t Context);
  HRESULT Unadvise(IWMStatusCallback* Callback, uintptr_t Context);
  void BeginWriting();
  void HeaderDone(uint32_t PacketSize);
  void Data(const uint8_t* Data, size_t Size);
  void EndWriting();

  std::atomic<uint32_t> FMaxClients{DefaultMaxClients};

private:
  struct TClient {
    int Fd = -1;
    sockaddr_in Addr{};
    std::string Request;
    bool Listening = false;  // the request was a GET: stream goes out
    bool Synced = false;     // queued data starts at a packet boundary
    bool Refused = false;    // closes once its reply is out
    std::vector<uint8_t> Pending;
    size_t Sent = 0;
    std::chrono::steady_clock::time_point Since;
  };

  void Run();
  void Wake();
  void Queue(TClient& C, const void* Data, size_t Size);
  void StartListening(TClient& C);
  // Ends a connection; a listener's end is reported.
  void Drop(size_t Index);
  void Notify(WMT_STATUS Status, const TClient& C);
  bool ReadRequest(TClient& C);
  bool Flush(TClient& C);

  int FListen = -1;
  int FWake[2] = {-1, -1};
  std::thread FThread;
  std::mutex FLock;  // guards everything below
  std::vector<TClient> FClients;
  std::vector<uint8_t> FHeader;
  bool FHeaderDone = false;
  bool FEnded = false;
  bool FStopping = false;
  uint32_t FPacketSize = 0;
  uint64_t FDataPos = 0;
  std::recursive_mutex FCallbackLock;
  std::vector<std::pair<IWMStatusCallback*, uintptr_t>> FCallbacks;
};

IWMWriterNetworkSink::IWMWriterNetworkSink() : FImpl(std::make_unique<WMNetworkSinkImpl>()) {}
IWMWriterNetworkSink::~IWMWriterNetworkSink() = default;

HRESULT WMCreateWriterNetworkSink(std::unique_ptr<IWMWriterNetworkSink>& Sink) {
  Sink = std::make_unique<IWMWriterNetworkSink>();
  return S_OK;
}

HRESULT IWMWriterNetworkSink::SetNetworkProtocol(uint32_t Protocol) { return Protocol == 0 ? S_OK : E_INVALIDARG; }
HRESULT IWMWriterNetworkSink::Open(uint32_t& Port, bool LoopbackOnly) { return FImpl->Open(Port, LoopbackOnly); }
HRESULT IWMWriterNetworkSink::SetMaximumClients(uint32_t MaxClients) {
  FImpl->FMaxClients = MaxClients;
  return S_OK;
}
HRESULT IWMWriterNetworkSink::GetMaximumClients(uint32_t& MaxClients) {
  MaxClients = FImpl->FMaxClients;
  return S_OK;
}
HRESULT IWMWriterNetworkSink::Close() { return FImpl->Close(); }
HRESULT IWMWriterNetworkSink::Advise(IWMStatusCallback* Callback, uintptr_t Context) {
  return FImpl->Advise(Callback, Context);
}
HRESULT IWMWriterNetworkSink::Unadvise(IWMStatusCallback* Callback, uintptr_t Context) {
  return FImpl->Unadvise(Callback, Context);
}
HRESULT IWMWriterNetworkSink::OnBeginWriting() {
  FImpl->BeginWriting();
  return S_OK;
}
void IWMWriterNetworkSink::OnHeaderDone(uint32_t PacketSize) { FImpl->HeaderDone(PacketSize); }
HRESULT IWMWriterNetworkSink::OnData(const uint8_t* Data, size_t Size) {
  FImpl->Data(Data, Size);
  return S_OK;
}
HRESULT IWMWriterNetworkSink::OnEndWriting() {
  FImpl->EndWriting();
  return S_OK;
}

// ---------------------------------------------------------------------------

HRESULT WMNetworkSinkImpl::Open(uint32_t& Port, bool LoopbackOnly) {
  if (FListen >= 0) return NS_E_INVALID_REQUEST;
  if (Port > 65535) return E_INVALIDARG;
  FListen = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (FListen < 0) return E_FAIL;
  int one = 1;
  ::setsockopt(FListen, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<uint16_t>(Port));
  a.sin_addr.s_addr = htonl(LoopbackOnly ? INADDR_LOOPBACK : INADDR_ANY);
  socklen_t len = sizeof a;
  if (::bind(FListen, reinterpret_cast<sockaddr*>(&a), sizeof a) < 0 || ::listen(FListen, 16) < 0 ||
      ::getsockname(FListen, reinterpret_cast<sockaddr*>(&a), &len) < 0 || ::pipe2(FWake, O_CLOEXEC | O_NONBLOCK) < 0) {
    Close();
    return E_FAIL;
  }
  SetNonBlocking(FListen);
  Port = ntohs(a.sin_port);
  {
    std::lock_guard<std::mutex> lk(FLock);
    FHeader.clear();
    FHeaderDone = FEnded = FStopping = false;
    FDataPos = 0;
  }
  FThread = std::thread([this] { Run(); });
  return S_OK;
}

HRESULT WMNetworkSinkImpl::Close() {
  if (FThread.joinable()) {
    {
      std::lock_guard<std::mutex> lk(FLock);
      FStopping = true;
    }
    Wake();
    FThread.join();
  }
  if (FListen >= 0) ::close(FListen);
  FListen = -1;
  for (int& fd : FWake) {
    if (fd >= 0) ::close(fd);
    fd = -1;
  }
  return S_OK;
}

HRESULT WMNetworkSinkImpl::Advise(IWMStatusCallback* Callback, uintptr_t Context) {
  if (!Callback) return E_INVALIDARG;
  std::lock_guard<std::recursive_mutex> lk(FCallbackLock);
  FCallbacks.emplace_back(Callback, Context);
  return S_OK;
}

HRESULT WMNetworkSinkImpl::Unadvise(IWMStatusCallback* Callback, uintptr_t Context) {
  // Waits for a callback in progress, so the callback may be freed afterwards.
  std::lock_guard<std::recursive_mutex> lk(FCallbackLock);
  auto it = std::find(FCallbacks.begin(), FCallbacks.end(), std::make_pair(Callback, Context));
  if (it == FCallbacks.end()) return E_INVALIDARG;
  FCallbacks.erase(it);
  return S_OK;
}

void WMNetworkSinkImpl::Wake() {
  if (FWake[1] >= 0) {
    const char c = 1;
    [[maybe_unused]] ssize_t n = ::write(FWake[1], &c, 1);
  }
}

void WMNetworkSinkImpl::Notify(WMT_STATUS Status, const TClient& C) {
  // The client's IPv4 address and port, in network order.
  uint8_t value[8] = {};
  std::memcpy(value, &C.Addr.sin_addr.s_addr, 4);
  std::memcpy(value + 4, &C.Addr.sin_port, 2);
  std::lock_guard<std::recursive_mutex> lk(FCallbackLock);
  const auto callbacks = FCallbacks;
  for (const auto& [cb, ctx] : callbacks) cb->OnStatus(Status, S_OK, WMT_TYPE_BINARY, value, ctx);
}

void WMNetworkSinkImpl::Queue(TClient& C, const void* Data, size_t Size) {
  const auto* p = static_cast<const uint8_t*>(Data);
  C.Pending.insert(C.Pending.end(), p, p + Size);
}

void WMNetworkSinkImpl::StartListening(TClient& C) {
  // Called under the lock once the request is in.
  C.Listening = true;
  Queue(C, StreamResponse, std::strlen(StreamResponse));
  if (FHeaderDone) {
    Queue(C, FHeader.data(), FHeader.size());
    C.Synced = FPacketSize == 0 || FDataPos % FPacketSize == 0;
  }
}

void WMNetworkSinkImpl::BeginWriting() {
  std::lock_guard<std::mutex> lk(FLock);
  FHeader.clear();
  FHeaderDone = FEnded = false;
  FDataPos = 0;
}

void WMNetworkSinkImpl::HeaderDone(uint32_t PacketSize) {
  {
    std::lock_guard<std::mutex> lk(FLock);
    FHeaderDone = true;
    FPacketSize = PacketSize;
    for (auto& c : FClients)
      if (c.Listening) {
        Queue(c, FHeader.data(), FHeader.size());
        c.Synced = true;
      }
  }
  Wake();
}

void WMNetworkSinkImpl::Data(const uint8_t* Data, size_t Size) {
  {
    std::lock_guard<std::mutex> lk(FLock);
    if (!FHeaderDone) {
      FHeader.insert(FHeader.end(), Data, Data + Size);
      return;
    }
    for (auto& c : FClients) {
      if (!c.Listening) continue;
      size_t from = 0;
      if (!c.Synced) {
        // A late listener starts with the next whole packet.
        const uint64_t into = FDataPos % FPacketSize;
        from = static_cast<size_t>(into == 0 ? 0 : FPacketSize - into);
        if (from >= Size) continue;
        c.Synced = true;
      }
      Queue(c, Data + from, Size - from);
    }
    FDataPos += Size;
  }
  Wake();
}

void WMNetworkSinkImpl::EndWriting() {
  {
    std::lock_guard<std::mutex> lk(FLock);
    FEnded = true;
  }
  Wake();
}

bool WMNetworkSinkImpl::ReadRequest(TClient& C) {
  char buf[1024];
  for (;;) {
    const ssize_t n = ::recv(C.Fd, buf, sizeof buf, 0);
    if (n > 0) {
      if (C.Listening) continue;  // anything after the request is ignored
      C.Request.append(buf, static_cast<size_t>(n));
      if (C.Request.size() > MaxRequest) return false;
      continue;
    }
    if (n == 0) return false;  // the peer closed
    return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
  }
}

bool WMNetworkSinkImpl::Flush(TClient& C) {
  while (C.Sent < C.Pending.size()) {
    const ssize_t n = ::send(C.Fd, C.Pending.data() + C.Sent, C.Pending.size() - C.Sent, MSG_NOSIGNAL);
    if (n > 0) {
      C.Sent += static_cast<size_t>(n);
      continue;
    }
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) break;
    return false;
  }
  if (C.Sent == C.Pending.size()) {
    C.Pending.clear();
    C.Sent = 0;
  } else if (C.Sent > (1u << 20)) {
    C.Pending.erase(C.Pending.begin(), C.Pending.begin() + static_cast<std::ptrdiff_t>(C.Sent));
    C.Sent = 0;
  }
  return true;
}

void WMNetworkSinkImpl::Drop(size_t Index) {
  // Called under the lock; the report goes out after the lock is released.
  TClient c = std::move(FClients[Index]);
  FClients.erase(FClients.begin() + static_cast<std::ptrdiff_t>(Index));
  ::shutdown(c.Fd, SHUT_RDWR);
  ::close(c.Fd);
  if (c.Listening) {
    FLock.unlock();
    Notify(WMT_CLIENT_DISCONNECT, c);
    FLock.lock();
  }
}

void WMNetworkSinkImpl::Run() {
  std::unique_lock<std::mutex> lk(FLock);
  std::chrono::steady_clock::time_point drainUntil{};
  for (;;) {
    const auto now = std::chrono::steady_clock::now();
    if (FStopping && drainUntil == std::chrono::steady_clock::time_point{}) drainUntil = now + DrainTimeout;
    // Listeners whose stream has ended leave once their data is out; on Close every
    // connection ends, after at most the drain time.
    for (size_t i = FClients.size(); i-- > 0;) {
      TClient& c = FClients[i];
      const bool idle = c.Pending.size() == c.Sent;
      const bool requestLate = !c.Listening && now - c.Since > RequestTimeout;
      if ((c.Refused && idle) || requestLate || ((FEnded || FStopping) && idle) ||
          (FStopping && now >= drainUntil))
        Drop(i);
    }
    if (FStopping && FClients.empty()) break;

    std::vector<pollfd> fds;
    fds.push_back({FWake[0], POLLIN, 0});
    fds.push_back({FListen, static_cast<short>(FStopping ? 0 : POLLIN), 0});
    for (const auto& c : FClients)
      fds.push_back({c.Fd, static_cast<short>(POLLIN | (c.Pending.size() > c.Sent ? POLLOUT : 0)), 0});
    lk.unlock();
    ::poll(fds.data(), fds.size(), 100);
    lk.lock();
    if (fds[0].revents & POLLIN) {
      char buf[256];
      while (::read(FWake[0], buf, sizeof buf) > 0) {
      }
    }
    if (fds[1].revents & POLLIN) {
      for (;;) {
        TClient c;
        socklen_t len = sizeof c.Addr;
        c.Fd = ::accept4(FListen, reinterpret_cast<sockaddr*>(&c.Addr), &len, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (c.Fd < 0) break;
        c.Since = std::chrono::steady_clock::now();
        const size_t listening =
            static_cast<size_t>(std::count_if(FClients.begin(), FClients.end(), [](const TClient& x) {
              return !x.Refused;
            }));
        const uint32_t max = FMaxClients;
        if (max != 0 && listening >= max) {
          static const char busy[] = "HTTP/1.0 503 Service Unavailable\r\nConnection: close\r\n\r\n";
          Queue(c, busy, sizeof busy - 1);
          c.Refused = true;
        }
        FClients.push_back(std::move(c));
      }
    }
    // The poll set was built before these changes; match clients by descriptor.
    for (size_t f = 2; f < fds.size(); ++f) {
      if (!fds[f].revents) continue;
      auto it = std::find_if(FClients.begin(), FClients.end(), [&](const TClient& c) { return c.Fd == fds[f].fd; });
      if (it == FClients.end()) continue;
      size_t i = static_cast<size_t>(it - FClients.begin());
      TClient& c = *it;
      bool alive = !(fds[f].revents & (POLLERR | POLLNVAL));
      if (alive && (fds[f].revents & (POLLIN | POLLHUP))) alive = ReadRequest(c);
      if (alive && !c.Listening && !c.Refused) {
        const size_t end = c.Request.find("\r\n\r\n");
        if (end != std::string::npos) {
          if (c.Request.compare(0, 4, "GET ") == 0) {
            StartListening(c);
            lk.unlock();
            Notify(WMT_CLIENT_CONNECT, c);
            lk.lock();
            // The list may have changed while unlocked.
            auto again = std::find_if(FClients.begin(), FClients.end(),
                                      [&](const TClient& x) { return x.Fd == fds[f].fd; });
            if (again == FClients.end()) continue;
            i = static_cast<size_t>(again - FClients.begin());
          } else {
            static const char bad[] = "HTTP/1.0 405 Method Not Allowed\r\nConnection: close\r\n\r\n";
            Queue(c, bad, sizeof bad - 1);
            c.Refused = true;
          }
        }
      }
      TClient& cur = FClients[i];
      if (alive) alive = Flush(cur);
      if (alive && cur.Pending.size() - cur.Sent > MaxPending) alive = false;  // cannot keep up
      if (!alive) Drop(i);
    }
  }
}
