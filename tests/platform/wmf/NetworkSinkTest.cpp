// The writer with the network sink on loopback: listeners joining before and during
// the stream, refusals, status reports, and a Close that never hangs on a listener
// that stopped reading. Every wait is bounded.

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <fstream>
#include <future>
#include <thread>

#include "platform/wmf/WMF.h"
#include "tests/support/Files.h"

namespace {

class TCounter : public IWMStatusCallback {
public:
  std::atomic<int> Connects{0}, Disconnects{0};
  std::atomic<uint32_t> LastAddress{0};
  HRESULT OnStatus(WMT_STATUS Status, HRESULT, WMT_ATTR_DATATYPE Type, const uint8_t* Value, uintptr_t) override {
    if (Status == WMT_CLIENT_CONNECT) {
      if (Type == WMT_TYPE_BINARY && Value) {
        uint32_t a;
        std::memcpy(&a, Value, 4);
        LastAddress = ntohl(a);
      }
      ++Connects;
    }
    if (Status == WMT_CLIENT_DISCONNECT) ++Disconnects;
    return S_OK;
  }
};

bool WaitFor(const std::function<bool()>& Cond, int Ms = 10000) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(Ms);
  while (!Cond()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

int Connect(uint32_t Port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<uint16_t>(Port));
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
    ::close(fd);
    return -1;
  }
  timeval tv{20, 0};
  ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
  return fd;
}

void Send(int Fd, const std::string& S) { [[maybe_unused]] ssize_t n = ::send(Fd, S.data(), S.size(), MSG_NOSIGNAL); }

std::string ReadToEnd(int Fd) {
  std::string s;
  char buf[65536];
  ssize_t n;
  while ((n = ::recv(Fd, buf, sizeof buf, 0)) > 0) s.append(buf, static_cast<size_t>(n));
  ::close(Fd);
  return s;
}

// A writer of 44.1 kHz stereo WMA 2 at 128 kbit/s into Sink.
std::unique_ptr<IWMWriter> MakeWriter(IWMWriterSink& Sink) {
  std::unique_ptr<IWMProfileManager> m;
  WMCreateProfileManager(m);
  uint32_t formats = 0;
  m->GetCodecFormatCount(WMMEDIATYPE_Audio, 1, formats);
  IWMStreamConfig config;
  for (uint32_t f = 0; f < formats; ++f) {
    m->GetCodecFormat(WMMEDIATYPE_Audio, 1, f, config);
    uint32_t bitrate = 0;
    config.GetBitrate(bitrate);
    if (bitrate == 128000 && config.FType.nSamplesPerSec == 44100 && config.FType.nChannels == 2) break;
  }
  config.SetStreamNumber(1);
  std::unique_ptr<IWMProfile> profile;
  m->CreateEmptyProfile(WMT_VER_9_0, profile);
  EXPECT_EQ(profile->AddStream(config), S_OK);
  std::unique_ptr<IWMWriter> w;
  WMCreateWriter(nullptr, w);
  EXPECT_EQ(w->SetProfile(*profile), S_OK);
  EXPECT_EQ(w->AddSink(&Sink), S_OK);
  return w;
}

// Writes Seconds of a tone starting at sample First.
void WriteTone(IWMWriter& W, double Seconds, int64_t& First) {
  const int frames = static_cast<int>(Seconds * 44100);
  auto sample = std::make_unique<INSSBuffer>(static_cast<uint32_t>(frames * 4));
  uint8_t* p = nullptr;
  sample->GetBuffer(p);
  for (int i = 0; i < frames; ++i) {
    const auto v = static_cast<int16_t>(12000 * std::sin((First + i) * 0.05));
    for (int c = 0; c < 2; ++c) {
      p[4 * i + 2 * c] = static_cast<uint8_t>(v);
      p[4 * i + 2 * c + 1] = static_cast<uint8_t>(v >> 8);
    }
  }
  sample->SetLength(static_cast<uint32_t>(frames * 4));
  EXPECT_EQ(W.WriteSample(0, static_cast<uint64_t>(First) * 10000000 / 44100, 0, *sample), S_OK);
  First += frames;
}

std::string Body(const std::string& Reply) {
  const size_t p = Reply.find("\r\n\r\n");
  return p == std::string::npos ? std::string() : Reply.substr(p + 4);
}

double DecodedSeconds(const std::string& Asf, const std::string& Name) {
  const std::string path = testsupport::TempPath(Name + ".wma");
  testsupport::WriteFile(path, Asf);
  FILE* p = ::popen(("ffmpeg -nostdin -v error -i '" + path + "' -f s16le - | wc -c").c_str(), "r");
  EXPECT_NE(p, nullptr);
  long bytes = -1;
  if (p) {
    EXPECT_EQ(std::fscanf(p, "%ld", &bytes), 1);
    EXPECT_EQ(::pclose(p), 0) << "ffmpeg is needed";
  }
  ::unlink(path.c_str());
  return bytes / 4.0 / 44100;
}

}  // namespace

TEST(NetworkSinkTest, EarlyAndLateListenersGetHeaderAndWholePackets) {
  std::unique_ptr<IWMWriterNetworkSink> sink;
  WMCreateWriterNetworkSink(sink);
  TCounter counter;
  sink->Advise(&counter, 7);
  uint32_t port = 0;
  ASSERT_EQ(sink->Open(port, true), S_OK);
  ASSERT_NE(port, 0u);
  auto w = MakeWriter(*sink);

  const int early = Connect(port);
  ASSERT_GE(early, 0);
  Send(early, "GET /stream HTTP/1.1\r\nHost: x\r\n\r\n");
  ASSERT_TRUE(WaitFor([&] { return counter.Connects == 1; }));
  EXPECT_EQ(counter.LastAddress, INADDR_LOOPBACK);
  auto earlyReply = std::async(std::launch::async, [early] { return ReadToEnd(early); });

  ASSERT_EQ(w->BeginWriting(), S_OK);
  int64_t first = 0;
  WriteTone(*w, 1.0, first);
  const int late = Connect(port);
  ASSERT_GE(late, 0);
  Send(late, "GET / HTTP/1.0\r\n\r\n");
  ASSERT_TRUE(WaitFor([&] { return counter.Connects == 2; }));
  auto lateReply = std::async(std::launch::async, [late] { return ReadToEnd(late); });
  WriteTone(*w, 1.5, first);
  ASSERT_EQ(w->EndWriting(), S_OK);
  ASSERT_EQ(sink->Close(), S_OK);
  EXPECT_EQ(counter.Disconnects, 2);

  const std::string a = Body(earlyReply.get());
  const std::string b = Body(lateReply.get());
  ASSERT_GT(a.size(), 10000u);
  ASSERT_GT(b.size(), 3000u);
  // Both start with the same header; the late one continues at a packet boundary of the early one's data.
  uint64_t headerSize = 0;
  for (int i = 7; i >= 0; --i) headerSize = (headerSize << 8) | static_cast<uint8_t>(a[16 + i]);
  const size_t headerEnd = static_cast<size_t>(headerSize) + 50;  // the header object and the data object's start
  ASSERT_LT(headerEnd, b.size());
  EXPECT_EQ(a.substr(0, headerEnd), b.substr(0, headerEnd));
  // The packet size: the file properties object's minimum packet size, 92 bytes in.
  const std::string fileProperties("\xA1\xDC\xAB\x8C\x47\xA9\xCF\x11\x8E\xE4\x00\xC0\x0C\x20\x53\x65", 16);
  const size_t props = a.find(fileProperties);
  ASSERT_LT(props + 96, headerEnd);
  uint32_t packet = 0;
  for (int i = 3; i >= 0; --i) packet = (packet << 8) | static_cast<uint8_t>(a[props + 92 + i]);
  ASSERT_GT(packet, 0u);
  const std::string lateData = b.substr(headerEnd);
  const size_t at = a.find(lateData.substr(0, packet), headerEnd);
  ASSERT_NE(at, std::string::npos);
  EXPECT_EQ((at - headerEnd) % packet, 0u);
  EXPECT_GT(at, headerEnd);  // it did join late
  EXPECT_EQ(a.substr(at, lateData.size()), lateData);
  // ffmpeg decodes both.
  EXPECT_NEAR(DecodedSeconds(a, "early"), 2.5, 0.1);
  const double lateSeconds = DecodedSeconds(b, "late");
  EXPECT_GT(lateSeconds, 1.0);
  EXPECT_LT(lateSeconds, 2.2);
  sink->Unadvise(&counter, 7);
}

TEST(NetworkSinkTest, RefusesExtraListenersAndOtherRequests) {
  std::unique_ptr<IWMWriterNetworkSink> sink;
  WMCreateWriterNetworkSink(sink);
  TCounter counter;
  sink->Advise(&counter, 0);
  sink->SetMaximumClients(1);
  uint32_t port = 0;
  ASSERT_EQ(sink->Open(port, true), S_OK);
  const int one = Connect(port);
  Send(one, "GET / HTTP/1.0\r\n\r\n");
  ASSERT_TRUE(WaitFor([&] { return counter.Connects == 1; }));
  const int two = Connect(port);
  Send(two, "GET / HTTP/1.0\r\n\r\n");
  EXPECT_EQ(ReadToEnd(two).rfind("HTTP/1.0 503", 0), 0u);
  ::shutdown(one, SHUT_RDWR);
  ::close(one);
  ASSERT_TRUE(WaitFor([&] { return counter.Disconnects == 1; }));
  const int post = Connect(port);
  Send(post, "POST / HTTP/1.0\r\nContent-Length: 0\r\n\r\n");
  EXPECT_EQ(ReadToEnd(post).rfind("HTTP/1.0 405", 0), 0u);
  EXPECT_EQ(counter.Connects, 1);
  EXPECT_EQ(sink->Close(), S_OK);
  EXPECT_EQ(Connect(port), -1);
}

TEST(NetworkSinkTest, CloseDoesNotHangOnAListenerThatStoppedReading) {
  std::unique_ptr<IWMWriterNetworkSink> sink;
  WMCreateWriterNetworkSink(sink);
  TCounter counter;
  sink->Advise(&counter, 0);
  uint32_t port = 0;
  ASSERT_EQ(sink->Open(port, true), S_OK);
  auto w = MakeWriter(*sink);
  const int stalled = Connect(port);
  const int small = 4096;
  ::setsockopt(stalled, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
  Send(stalled, "GET / HTTP/1.0\r\n\r\n");
  ASSERT_TRUE(WaitFor([&] { return counter.Connects == 1; }));
  ASSERT_EQ(w->BeginWriting(), S_OK);
  int64_t first = 0;
  for (int i = 0; i < 20; ++i) WriteTone(*w, 5.0, first);  // far more than the socket holds
  EXPECT_EQ(w->EndWriting(), S_OK);
  auto closed = std::async(std::launch::async, [&] { return sink->Close(); });
  ASSERT_EQ(closed.wait_for(std::chrono::seconds(15)), std::future_status::ready) << "Close hangs";
  EXPECT_EQ(closed.get(), S_OK);
  EXPECT_EQ(counter.Disconnects, 1);
  ::close(stalled);
}
