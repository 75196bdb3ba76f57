#pragma once
// Runs of pipeline components for the tests: outputs on their worker thread, inputs
// read to their end, and the codec libraries pointed elsewhere.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "audio/core/TSL_Classes.h"
#include "audio/core/TSL_CodecLib.h"
#include "tests/support/TestComponents.h"

namespace testsupport {

// Runs Out on its worker thread until done, pumping the main thread; returns the run's
// error message. A run that does not end in time fails the test and is stopped.
std::string RunOutput(TAuOutput& Out, int TimeoutMs = 120000);

// Everything In delivers in one run, pulled by a TCollectOut on the worker thread. The
// run's error goes to Error; without Error it must be none.
std::vector<uint8_t> Collect(TAuInput& In, std::string* Error = nullptr, uint32_t BlockSize = 4096);

// Everything In delivers from Init to the end of its data on this thread, Request bytes
// a read.
std::vector<uint8_t> ReadAll(TAuInput& In, uint32_t Request = 4096);

// Everything In delivers on this thread from Init until its data ends or a read fails;
// the failure's message (also one of Init) goes to Error, empty when none; RunSize gets
// the run's Size once started. The input is idle afterwards.
std::vector<uint8_t> ReadUntilFailure(TAuInput& In, std::string& Error, uint32_t Request = 4096,
                                      int64_t* RunSize = nullptr);

// The message an input's Init fails with; empty when it does not.
std::string InitError(TAuInput& In);

// Runs Fn on another thread; a run that does not end in time fails the test and ends
// the process, since a hung decoder cannot be stopped from outside.
void WithinSeconds(int Seconds, const std::function<void()>& Fn, const std::string& What);

// Points a codec library at another file while it lives, and back afterwards.
class TLibraryName {
public:
  TLibraryName(TCodecLibrary& Lib, const std::string& FileName);
  ~TLibraryName();
  TLibraryName(const TLibraryName&) = delete;
  TLibraryName& operator=(const TLibraryName&) = delete;

private:
  TCodecLibrary& FLib;
  std::string FOld;
};

// A stream that accepts nothing: every write stores no byte, as on a full disk.
class TZeroWriteStream : public TMemoryStream {
public:
  int64_t Write(const void*, int64_t) override { return 0; }
};

// A stream written front to back only, as a pipe: it cannot tell or change its position.
class TForwardOnlyStream : public TMemoryStream {
public:
  int64_t Seek(int64_t, TSeekOrigin) override { throw EStreamError("Illegal seek"); }
};

}  // namespace testsupport
