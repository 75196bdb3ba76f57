// TWMStreamedOut on loopback: a listener receives a stream ffmpeg decodes, listener
// events reach the main thread through the dispatcher, listeners beyond the maximum
// are turned away. Every wait is bounded.

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "audio/io/TSL_WinMedia.h"
#include "tests/support/TestComponents.h"
#include "tests/audio/io/WinMediaTestUtil.h"

using namespace wmtest;

namespace {

// Holds the first read until opened (or for at most 20 s).
class TGate : public TPassConverter {
public:
  using TPassConverter::TPassConverter;
  std::atomic<bool> Open{false};

protected:
  void ReadRaw(void*& Buffer, uint32_t& Bytes) override {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!Open && std::chrono::steady_clock::now() < end)
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    TPassConverter::ReadRaw(Buffer, Bytes);
  }
};

// A free port for the output to listen on. It must be closed again before the output
// binds it, so it is taken below the kernel's ephemeral range (where bind(0) and other
// tests' servers get theirs) at a place chosen by the process id: two of these tests
// running at once in two processes would otherwise be handed the same port, and one's
// listener would reach the other's stream.
uint16_t FreePort() {
  constexpr int First = 20000, Count = 12000;
  for (int i = 0; i < Count; ++i) {
    const auto port = static_cast<uint16_t>(First + (static_cast<int>(::getpid()) * 37 + i * 101) % Count);
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool free = ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    ::close(fd);
    if (free) return port;
  }
  return 0;
}

// Connects (retrying while the server is not up yet), sends a GET and reads until
// the server closes; at most TimeoutS seconds in all.
std::string HttpGet(uint16_t Port, int TimeoutS = 20) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(TimeoutS);
  int fd = -1;
  while (std::chrono::steady_clock::now() < end) {
    fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(Port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0) break;
    ::close(fd);
    fd = -1;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  if (fd < 0) return {};
  timeval tv{TimeoutS, 0};
  ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
  const std::string req = "GET / HTTP/1.0\r\nHost: localhost\r\n\r\n";
  [[maybe_unused]] ssize_t sent = ::send(fd, req.data(), req.size(), MSG_NOSIGNAL);
  std::string reply;
  char buf[65536];
  ssize_t n;
  while ((n = ::recv(fd, buf, sizeof buf, 0)) > 0) reply.append(buf, static_cast<size_t>(n));
  ::close(fd);
  return reply;
}

}  // namespace

TEST(WinMediaStreamTest, ListenerGetsAValidStreamAndEventsArriveOnTheMainThread) {
  const std::string wav = MakeSource("stream.wav", 44100, 2, 2.0);
  const std::string raw = TempPath("stream.raw");
  Shell("sox '" + wav + "' -t raw '" + raw + "'");

  TComponentPtr<TComponent> owner(new TComponent(nullptr));
  auto* in = new TRawIn(owner.get(), 16, 2, 44100);
  in->SetFileName(raw);
  auto* gate = new TGate(owner.get());
  gate->SetInput(in);
  auto* out = new TWMStreamedOut(owner.get());
  out->SetInput(gate);
  out->SetDesiredBitrate(128000);
  const uint16_t port = FreePort();
  out->SetPort(port);
  out->SetMaxClients(1);
  out->SetLoopbackOnly(true);
  const auto mainThread = std::this_thread::get_id();
  std::atomic<int> connects{0}, disconnects{0}, offThread{0};
  out->OnClientConnected = [&](TComponent* Sender) {
    if (std::this_thread::get_id() != mainThread || Sender != out) ++offThread;
    ++connects;
  };
  out->OnClientDisconnected = [&](TComponent* Sender) {
    if (std::this_thread::get_id() != mainThread || Sender != out) ++offThread;
    ++disconnects;
  };
  bool done = false;
  out->OnDone = [&](TComponent*) { done = true; };
  out->Run();

  std::string stream;
  std::thread listener([&] { stream = HttpGet(port); });
  ASSERT_TRUE(PumpUntil([&] { return connects == 1; }, 20000));
  // A second listener is one too many.
  const std::string refused = HttpGet(port, 10);
  EXPECT_EQ(refused.rfind("HTTP/1.0 503", 0), 0u) << refused.substr(0, 40);
  gate->Open = true;
  EXPECT_TRUE(PumpUntil([&] { return done && disconnects == 1; }, 30000));
  listener.join();
  EXPECT_EQ(out->ExceptionMessage(), "");
  EXPECT_EQ(connects, 1);
  EXPECT_EQ(offThread, 0);

  // The listener's bytes: an HTTP reply, then an ASF stream ffmpeg decodes in full.
  const size_t body = stream.find("\r\n\r\n");
  ASSERT_NE(body, std::string::npos);
  EXPECT_EQ(stream.rfind("HTTP/1.0 200 OK", 0), 0u);
  const std::string file = TempPath("received.wma");
  WriteFile(file, std::vector<uint8_t>(stream.begin() + static_cast<std::ptrdiff_t>(body) + 4, stream.end()));
  EXPECT_EQ(Probe(file, "stream=codec_name"), "wmav2");
  const auto pcm = FfmpegDecode(file);
  EXPECT_NEAR(static_cast<double>(pcm.size()) / 4 / 44100, 2.0, 2 * 2048.0 / 44100);
}

TEST(WinMediaStreamTest, RunWithoutListenersEndsAndClosesTheSocket) {
  const std::string raw = TempPath("quiet.raw");
  WriteFile(raw, std::vector<uint8_t>(44100 * 4, 0));
  TComponentPtr<TComponent> owner(new TComponent(nullptr));
  auto* in = new TRawIn(owner.get(), 16, 2, 44100);
  in->SetFileName(raw);
  auto* out = new TWMStreamedOut(owner.get());
  out->SetInput(in);
  out->SetDesiredBitrate(64000);
  const uint16_t port = FreePort();
  out->SetPort(port);
  out->SetLoopbackOnly(true);
  EXPECT_EQ(RunOutput(*out, 20000), "");
  // Nobody listens on the port any more.
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(port);
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  EXPECT_NE(::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
  ::close(fd);
}
