// Pieces the bench drivers share: an output that writes raw blocks to a file, and a
// timed run of an output on its worker thread.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "audio/core/TSL_Classes.h"
#include "platform/rtl/Threads.h"

// Writes every block it pulls to a file.
class TRawFileOut : public TAuOutput {
public:
  using TAuOutput::TAuOutput;
  std::string Path;
  uint32_t BlockSize = 1 << 16;
  int64_t Written = 0;

protected:
  void Prepare() override {
    FInput->Init();
    FFd = ::open(Path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (FFd < 0) throw EAuException("cannot create " + Path);
    FBlock.resize(BlockSize);
    Written = 0;
  }
  bool WriteBlock(bool) override {
    bool eof = false;
    const uint32_t n = FInput->FillBuffer(FBlock.data(), BlockSize, eof);
    if (n > 0 && ::write(FFd, FBlock.data(), n) != static_cast<ssize_t>(n)) throw EAuException("write failed");
    Written += n;
    return !eof && n > 0;
  }
  void Finish() override {
    if (FFd >= 0) ::close(FFd);
    FFd = -1;
    FInput->Flush();
  }

private:
  int FFd = -1;
  TAuBuffer FBlock;
};

inline double Since(std::chrono::steady_clock::time_point T) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - T).count();
}

// Runs Out on its worker thread, serving its synchronised calls until it is done.
// The seconds the run took; nothing, with the error printed, when it failed.
inline std::optional<double> TimedRun(TAuOutput* Out) {
  bool done = false;
  Out->OnDone = [&](TComponent*) { done = true; };
  const auto t0 = std::chrono::steady_clock::now();
  Out->Run();
  // OnDone comes as a synchronised call, which ends the wait at once.
  while (!done) CheckSynchronize(1000);
  const double s = Since(t0);
  if (!Out->ExceptionMessage().empty()) {
    std::fprintf(stderr, "failed: %s\n", Out->ExceptionMessage().c_str());
    return std::nullopt;
  }
  return s;
}
