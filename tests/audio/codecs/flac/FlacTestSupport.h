#pragma once
// Fixtures and tool runs for the FLAC tests: raw PCM made by sox, files made and
// checked by flac and metaflac, our components driven through the pipeline.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <future>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "audio/codecs/flac/TSL_FLAC.h"
#include "platform/rtl/FileUtils.h"
#include "platform/rtl/StrUtils.h"
#include "tests/audio/core/TestComponents.h"

namespace flactest {

inline const std::string& TempDir() {
  struct TDir {
    std::string Path;
    TDir() {
      std::string t = GetTempDirectory() + "flactest-XXXXXX";
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

// Raw little-endian PCM from sox, one tone per channel so that channels differ.
inline std::string MakeRaw(const std::string& Name, int32_t Bits, int32_t Channels, int32_t Rate,
                           double Seconds) {
  const std::string path = TempPath(Name);
  std::string gens;
  for (int32_t c = 0; c < Channels; ++c) gens += " sine " + std::to_string(220 + 130 * c);
  Shell("sox -D -n -t raw -r " + std::to_string(Rate) + " -c " + std::to_string(Channels) + " -b " +
        std::to_string(Bits) + " -e " + Sign(Bits) + "-integer '" + path + "' synth " + std::to_string(Seconds) +
        gens + " vol 0.6");
  return path;
}

// flac's own decode of a file as raw little-endian samples (8-bit unsigned).
inline std::vector<uint8_t> FlacDecode(const std::string& Path, int32_t Bits) {
  const std::string out = Path + ".ref.raw";
  Shell("flac -s -d -f --force-raw-format --endian=little --sign=" + Sign(Bits) + " -o '" + out + "' '" + Path +
        "'");
  return ReadFile(out);
}

// flac's encode of a raw file; Extra goes on the command line (tags, level).
inline std::string FlacEncode(const std::string& Raw, int32_t Bits, int32_t Channels, int32_t Rate,
                              const std::string& Out, const std::string& Extra = "") {
  Shell("flac -s -f --force-raw-format --endian=little --sign=" + Sign(Bits) + " --channels=" +
        std::to_string(Channels) + " --bps=" + std::to_string(Bits) + " --sample-rate=" + std::to_string(Rate) +
        " " + Extra + " -o '" + Out + "' '" + Raw + "'");
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

// Encodes a raw file through TRawIn -> TFLACOut; Setup may set properties first.
inline std::string EncodeRaw(const std::string& Raw, int32_t Bits, int32_t Channels, int32_t Rate,
                             const std::string& Out, const std::function<void(TFLACOut&)>& Setup = nullptr,
                             int64_t DeclaredSize = -2) {
  TComponentPtr<TRawIn> in(new TRawIn(nullptr, Bits, Channels, Rate));
  in->SetFileName(Raw);
  in->DeclaredSize = DeclaredSize;
  TComponentPtr<TFLACOut> out(new TFLACOut(nullptr));
  out->SetInput(in.get());
  out->SetFileName(Out);
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

}  // namespace flactest
