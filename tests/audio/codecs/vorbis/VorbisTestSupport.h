#pragma once
// Fixtures and tool runs for the Ogg Vorbis tests: raw PCM made by sox, files made and
// checked by oggenc, oggdec, ogginfo and vorbiscomment, our components driven through
// the pipeline, and Ogg pages taken apart for damaged files.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <future>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "audio/codecs/vorbis/TSL_Vorbis.h"
#include "platform/rtl/FileUtils.h"
#include "platform/rtl/StrUtils.h"
#include "tests/audio/core/TestComponents.h"

namespace vorbistest {

inline const std::string& TempDir() {
  struct TDir {
    std::string Path;
    TDir() {
      std::string t = GetTempDirectory() + "vorbistest-XXXXXX";
      if (::mkdtemp(t.data())) Path = t + "/";
    }
    ~TDir() {
      if (!Path.empty()) std::system(("rm -rf '" + Path + "'").c_str());
    }
  };
  static TDir dir;
  return dir.Path;
}

inline std::string TempPath(const std::string& Name) { return TempDir() + Name; }

// Runs a shell command; returns its exit code and puts stdout and stderr in Out.
inline int ShellRc(const std::string& Command, std::string* Out = nullptr) {
  std::string out;
  // The tools are programs of their own: a library preloaded into the tests (a
  // sanitizer run) is not theirs.
  FILE* p = ::popen(("(unset LD_PRELOAD; " + Command + ") 2>&1").c_str(), "r");
  if (!p) return -1;
  char buf[4096];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
  const int rc = ::pclose(p);
  if (Out) *Out = out;
  return rc;
}

// Runs a command that must succeed (a missing tool fails the test).
inline std::string Shell(const std::string& Command) {
  std::string out;
  const int rc = ShellRc(Command, &out);
  EXPECT_EQ(rc, 0) << "command failed: " << Command << "\n" << out;
  return out;
}

inline std::vector<uint8_t> ReadFile(const std::string& Path) {
  std::ifstream f(Path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(f), {});
}

inline void WriteFile(const std::string& Path, const std::vector<uint8_t>& Bytes) {
  std::ofstream f(Path, std::ios::binary | std::ios::trunc);
  f.write(reinterpret_cast<const char*>(Bytes.data()), static_cast<std::streamsize>(Bytes.size()));
}

inline std::string Sign(int32_t Bits) { return Bits == 8 ? "unsigned" : "signed"; }

// Raw 16-bit pink noise from sox: it fills many Ogg pages.
inline std::string MakeNoise(const std::string& Name, int32_t Channels, int32_t Rate, double Seconds) {
  const std::string path = TempPath(Name);
  Shell("sox -D -n -t raw -r " + std::to_string(Rate) + " -c " + std::to_string(Channels) +
        " -b 16 -e signed-integer '" + path + "' synth " + std::to_string(Seconds) + " pinknoise vol 0.5");
  return path;
}

// Raw little-endian PCM from sox, one tone per channel so that channels differ. The
// tones are low enough for a low-frequency effects channel to keep.
inline std::string MakeRaw(const std::string& Name, int32_t Bits, int32_t Channels, int32_t Rate,
                           double Seconds) {
  const std::string path = TempPath(Name);
  std::string gens;
  for (int32_t c = 0; c < Channels; ++c) gens += " sine " + std::to_string(50 + 15 * c);
  Shell("sox -D -n -t raw -r " + std::to_string(Rate) + " -c " + std::to_string(Channels) + " -b " +
        std::to_string(Bits) + " -e " + Sign(Bits) + "-integer '" + path + "' synth " + std::to_string(Seconds) +
        gens + " vol 0.6");
  return path;
}

// oggdec's decode of a file as raw 16-bit little-endian samples.
inline std::vector<uint8_t> OggDecode(const std::string& Path) {
  const std::string out = Path + ".ref.raw";
  Shell("oggdec -Q -R -o '" + out + "' '" + Path + "'");
  return ReadFile(out);
}

// oggenc's encode of a raw file; Extra goes on the command line (quality, comments).
inline std::string OggEncode(const std::string& Raw, int32_t Bits, int32_t Channels, int32_t Rate,
                             const std::string& Out, const std::string& Extra = "") {
  Shell("oggenc -Q --raw --raw-bits=" + std::to_string(Bits) + " --raw-chan=" + std::to_string(Channels) +
        " --raw-rate=" + std::to_string(Rate) + " --raw-endianness=0 " + Extra + " -o '" + Out + "' '" + Raw + "'");
  return Out;
}

// Runs an output on its worker thread until done; returns the run's error message.
inline std::string RunOutput(TAuOutput& Out) {
  bool done = false;
  Out.OnDone = [&done](TComponent*) { done = true; };
  Out.Run();
  EXPECT_TRUE(PumpUntil([&] { return done; }, 120000)) << "the run did not end";
  Out.OnDone = nullptr;
  return Out.ExceptionMessage();
}

// Encodes a raw file through TRawIn -> TVorbisOut; Setup may set properties first.
inline std::string EncodeRaw(const std::string& Raw, int32_t Bits, int32_t Channels, int32_t Rate,
                             const std::string& Out, const std::function<void(TVorbisOut&)>& Setup = nullptr) {
  TComponentPtr<TRawIn> in(new TRawIn(nullptr, Bits, Channels, Rate));
  in->SetFileName(Raw);
  TComponentPtr<TVorbisOut> out(new TVorbisOut(nullptr));
  out->SetInput(in.get());
  out->SetFileName(Out);
  out->SetCompression(0.5f);
  if (Setup) Setup(*out);
  return RunOutput(*out);
}

// Everything an input delivers from Init to the end of its data (Request bytes a read).
inline std::vector<uint8_t> ReadAll(TAuInput& In, uint32_t Request = 4096) {
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

// Runs Fn on another thread; a run that does not end in time fails the test and ends
// the process, since a hung decoder cannot be stopped from outside.
inline void WithinSeconds(int Seconds, const std::function<void()>& Fn, const std::string& What) {
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

// The samples of one channel of interleaved little-endian PCM, as fractions of full scale.
inline std::vector<double> Channel(const std::vector<uint8_t>& Pcm, int32_t Bits, int32_t Channels, int32_t C) {
  const int32_t w = Bits / 8;
  const size_t frames = Pcm.size() / static_cast<size_t>(w * Channels);
  std::vector<double> v(frames);
  for (size_t i = 0; i < frames; ++i) {
    const uint8_t* p = Pcm.data() + (i * static_cast<size_t>(Channels) + static_cast<size_t>(C)) * static_cast<size_t>(w);
    uint32_t u = 0;
    for (int32_t b = 0; b < w; ++b) u |= static_cast<uint32_t>(p[b]) << (8 * b);
    if (w == 1) {
      v[i] = (static_cast<int32_t>(u) - 128) / 128.0;
    } else {
      const int32_t s = static_cast<int32_t>(u << (32 - 8 * w)) >> (32 - 8 * w);
      v[i] = s / std::ldexp(1.0, 8 * w - 1);
    }
  }
  return v;
}

// Pearson correlation over the common length.
inline double Correlation(const std::vector<double>& A, const std::vector<double>& B) {
  const size_t n = std::min(A.size(), B.size());
  double ma = 0, mb = 0;
  for (size_t i = 0; i < n; ++i) {
    ma += A[i];
    mb += B[i];
  }
  if (n == 0) return 0;
  ma /= static_cast<double>(n);
  mb /= static_cast<double>(n);
  double ab = 0, aa = 0, bb = 0;
  for (size_t i = 0; i < n; ++i) {
    ab += (A[i] - ma) * (B[i] - mb);
    aa += (A[i] - ma) * (A[i] - ma);
    bb += (B[i] - mb) * (B[i] - mb);
  }
  return aa > 0 && bb > 0 ? ab / std::sqrt(aa * bb) : 0;
}

// ffmpeg's decode of a file as raw 16-bit samples, its channels in WAV order.
inline std::vector<uint8_t> FfmpegDecode(const std::string& Path) {
  const std::string out = Path + ".ff.raw";
  Shell("ffmpeg -nostdin -v error -y -i '" + Path + "' -f s16le -c:a pcm_s16le '" + out + "'");
  return ReadFile(out);
}

// Each decoded channel follows its own source channel and no other (one tone per
// channel), which shows the channel order.
inline void ExpectChannelsFollow(const std::vector<uint8_t>& Source, int32_t Bits,
                                 const std::vector<uint8_t>& Decoded, int32_t Channels) {
  for (int32_t c = 0; c < Channels; ++c) {
    const std::vector<double> d = Channel(Decoded, 16, Channels, c);
    for (int32_t o = 0; o < Channels; ++o) {
      const double r = Correlation(Channel(Source, Bits, Channels, o), d);
      if (o == c) {
        EXPECT_GT(r, 0.99) << "decoded channel " << c;
      } else {
        EXPECT_LT(std::abs(r), 0.5) << "decoded channel " << c << " against source channel " << o;
      }
    }
  }
}

// The channels of two decodes of 16-bit PCM are the same sample for sample, in any order.
inline bool SameChannelsInAnyOrder(const std::vector<uint8_t>& A, const std::vector<uint8_t>& B, int32_t Channels) {
  if (A.size() != B.size()) return false;
  std::vector<std::vector<double>> a, b;
  for (int32_t c = 0; c < Channels; ++c) {
    a.push_back(Channel(A, 16, Channels, c));
    b.push_back(Channel(B, 16, Channels, c));
  }
  std::sort(a.begin(), a.end());
  std::sort(b.begin(), b.end());
  return a == b;
}

// One Ogg page of a file: where it starts and how long it is.
struct TOggPage {
  size_t Offset = 0;
  size_t Length = 0;
  uint32_t Serial = 0;
};

inline std::vector<TOggPage> OggPages(const std::vector<uint8_t>& File) {
  std::vector<TOggPage> pages;
  size_t at = 0;
  while (at + 27 <= File.size() && std::equal(File.begin() + static_cast<std::ptrdiff_t>(at),
                                               File.begin() + static_cast<std::ptrdiff_t>(at) + 4, "OggS")) {
    const size_t segs = File[at + 26];
    if (at + 27 + segs > File.size()) break;
    size_t body = 0;
    for (size_t i = 0; i < segs; ++i) body += File[at + 27 + i];
    TOggPage p;
    p.Offset = at;
    p.Length = 27 + segs + body;
    p.Serial = File[at + 14] | File[at + 15] << 8 | File[at + 16] << 16 | static_cast<uint32_t>(File[at + 17]) << 24;
    if (at + p.Length > File.size()) break;
    pages.push_back(p);
    at += p.Length;
  }
  return pages;
}

// Recomputes the checksum of the page at Offset after its bytes were changed.
inline void FixOggChecksum(std::vector<uint8_t>& File, const TOggPage& Page) {
  for (int i = 22; i < 26; ++i) File[Page.Offset + static_cast<size_t>(i)] = 0;
  uint32_t crc = 0;
  for (size_t i = 0; i < Page.Length; ++i) {
    crc ^= static_cast<uint32_t>(File[Page.Offset + i]) << 24;
    for (int b = 0; b < 8; ++b) crc = crc & 0x80000000u ? (crc << 1) ^ 0x04C11DB7u : crc << 1;
  }
  for (int i = 0; i < 4; ++i) File[Page.Offset + 22 + static_cast<size_t>(i)] = static_cast<uint8_t>(crc >> (8 * i));
}

}  // namespace vorbistest
