#include "tests/support/HttpServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>

namespace testsupport {

namespace {

sockaddr_in Loopback(int Port) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  a.sin_port = htons(static_cast<uint16_t>(Port));
  return a;
}

// A TCP socket bound to a free port of 127.0.0.1.
int BoundSocket(int& Port) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in a = Loopback(0);
  socklen_t len = sizeof a;
  if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
      getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) != 0)
    throw std::runtime_error("no loopback socket");
  Port = ntohs(a.sin_port);
  return fd;
}

std::string UrlOf(int Port, const std::string& Path) { return "http://127.0.0.1:" + std::to_string(Port) + Path; }

// Waits until Fd is readable; false once the server stops.
bool Readable(int Fd, int Stop) {
  pollfd p[2] = {{Fd, POLLIN, 0}, {Stop, POLLIN, 0}};
  while (poll(p, 2, -1) < 0) {
  }
  return (p[1].revents & POLLIN) == 0;
}

}  // namespace

TTestHttpServer::TTestHttpServer(std::map<std::string, TRoute> Routes)
    : FRoutes(std::move(Routes)), FListen(BoundSocket(FPort)), FStop(eventfd(0, EFD_CLOEXEC)) {
  if (listen(FListen, 16) != 0 || FStop < 0) throw std::runtime_error("cannot listen");
  FAcceptor = std::thread([this] {
    while (Readable(FListen, FStop)) {
      const int fd = accept4(FListen, nullptr, nullptr, SOCK_CLOEXEC);
      if (fd >= 0) FThreads.emplace_back(&TTestHttpServer::Serve, this, fd);
    }
  });
}

TTestHttpServer::~TTestHttpServer() {
  const uint64_t one = 1;
  (void)!write(FStop, &one, sizeof one);
  FAcceptor.join();
  for (std::thread& t : FThreads) t.join();
  close(FListen);
  close(FStop);
}

std::string TTestHttpServer::Url(const std::string& Path) const { return UrlOf(FPort, Path); }

bool TTestHttpServer::WaitFor(const int& Counter, int Count) {
  std::unique_lock<std::mutex> lk(FMutex);
  return FChanged.wait_for(lk, std::chrono::seconds(30), [&] { return Counter >= Count; });
}

void TTestHttpServer::Hold(int Fd) {
  {
    std::lock_guard<std::mutex> lk(FMutex);
    ++FHeld;
  }
  FChanged.notify_all();
  char buf[256];
  while (Readable(Fd, FStop)) {
    if (recv(Fd, buf, sizeof buf, 0) <= 0) {
      std::lock_guard<std::mutex> lk(FMutex);
      ++FLeft;
      break;
    }
  }
  FChanged.notify_all();
}

void TTestHttpServer::Serve(int Fd) {
  std::string head;
  char buf[4096];
  ssize_t n = 1;
  while (head.find("\r\n\r\n") == std::string::npos && n > 0 && Readable(Fd, FStop)) {
    n = recv(Fd, buf, sizeof buf, 0);
    if (n > 0) head.append(buf, static_cast<size_t>(n));
  }
  // "GET /path HTTP/1.1"
  const size_t start = head.find(' ') + 1, end = head.find(' ', start);
  const auto it = FRoutes.find(head.substr(start, end - start));
  const TRoute r = it != FRoutes.end() ? it->second : TRoute{.Status = 404, .Body = "no route"};
  std::string answer = "HTTP/1.1 " + std::to_string(r.Status) + " Test\r\nConnection: close\r\n";
  if (r.Length) answer += "Content-Length: " + std::to_string(r.Body.size()) + "\r\n";
  if (!r.Location.empty()) answer += "Location: " + r.Location + "\r\n";
  answer += "\r\n" + (r.Stall ? r.Body.substr(0, r.Body.size() / 2) : r.Body);
  if (n > 0 && !r.Silent) send(Fd, answer.data(), answer.size(), MSG_NOSIGNAL);
  if (n > 0 && (r.Stall || r.Silent)) Hold(Fd);
  close(Fd);
}

TLoopbackPort::TLoopbackPort(bool FullListener) : Fd(BoundSocket(Port)) {
  if (!FullListener) return;  // bound only: connecting is refused
  const sockaddr_in a = Loopback(Port);
  Filler = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (listen(Fd, 0) != 0 || connect(Filler, reinterpret_cast<const sockaddr*>(&a), sizeof a) != 0)
    throw std::runtime_error("cannot fill the queue");
}

TLoopbackPort::~TLoopbackPort() {
  if (Filler >= 0) close(Filler);
  close(Fd);
}

std::string TLoopbackPort::Url() const { return UrlOf(Port, "/"); }

}  // namespace testsupport
