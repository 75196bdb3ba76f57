#pragma once
// HTTP peers on the loopback for the tests: a small server whose paths answer as told
// (or stall, or never answer), a port that refuses connections, and a listener whose
// queue is full so that connecting never completes. Waits are bounded; one that runs
// out returns false and the test fails.

#include <condition_variable>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace testsupport {

struct TRoute {
  int Status = 200;
  std::string Body{};
  bool Length = true;    // without Content-Length the body ends with the connection
  std::string Location{};  // a redirect's target
  bool Stall = false;    // sends the head and half the body, then waits
  bool Silent = false;   // reads the request and never answers
};

class TTestHttpServer {
public:
  // Paths not in Routes get 404.
  explicit TTestHttpServer(std::map<std::string, TRoute> Routes);
  ~TTestHttpServer();  // releases held connections and joins every thread

  std::string Url(const std::string& Path) const;
  // Until Count connections are held (stalled or silent) / were closed by their client.
  bool WaitHeld(int Count) { return WaitFor(FHeld, Count); }
  bool WaitLeft(int Count) { return WaitFor(FLeft, Count); }

private:
  bool WaitFor(const int& Counter, int Count);
  void Serve(int Fd);
  void Hold(int Fd);

  const std::map<std::string, TRoute> FRoutes;
  int FListen, FStop, FPort;  // FStop: an eventfd, readable once the server stops
  std::mutex FMutex;
  std::condition_variable FChanged;
  int FHeld = 0, FLeft = 0;
  std::vector<std::thread> FThreads;
  std::thread FAcceptor;
};

// A socket bound to a free loopback port, closed with the object. Listening with a
// backlog of 0 and one connection filling it, it drops new connection attempts.
struct TLoopbackPort {
  explicit TLoopbackPort(bool FullListener);
  ~TLoopbackPort();
  std::string Url() const;
  int Fd, Filler = -1, Port;
};

}  // namespace testsupport
