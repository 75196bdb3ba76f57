#include "platform/ffmpeg/FFmpegLib.h"

#include <atomic>
#include <mutex>

#include "platform/rtl/DynLib.h"
#include "platform/rtl/SysUtils.h"

namespace {

#define FFMPEG_SONAME(Lib, Major) "lib" #Lib ".so." AV_STRINGIFY(Major)

// A library of the set, loaded for good (FFmpeg keeps process-wide state that does not
// survive being unmapped).
void* Require(const std::string& File) {
  void* lib = LoadLibrary(File);
  if (!lib) throw Exception(File + " library could not be loaded.");
  return lib;
}

template <class F>
void Bind(void* Lib, const std::string& File, const char* Name, F& Fn) {
  Fn = reinterpret_cast<F>(GetProcAddress(Lib, Name));
  if (!Fn) throw Exception(std::string("Function \"") + Name + "\" not found in " + File + " library.");
}

#define FFMPEG_BIND(Name) Bind(lib, file, #Name, Entries.Name);

// Loads File and binds the entry points that LIST names.
#define FFMPEG_LOAD(File, LIST)     \
  do {                              \
    const std::string& file = File; \
    void* lib = Require(file);      \
    LIST(FFMPEG_BIND)               \
  } while (false)

}  // namespace

TFFmpegFiles FFmpegSonames() {
  return {FFMPEG_SONAME(avutil, LIBAVUTIL_VERSION_MAJOR), FFMPEG_SONAME(swresample, LIBSWRESAMPLE_VERSION_MAJOR),
          FFMPEG_SONAME(avcodec, LIBAVCODEC_VERSION_MAJOR), FFMPEG_SONAME(avformat, LIBAVFORMAT_VERSION_MAJOR)};
}

void LoadFFmpeg(const TFFmpegFiles& Files, TFFmpeg& Entries) {
  // In the order they need each other, so that a missing library is named rather than
  // one that needs it.
  FFMPEG_LOAD(Files.AvUtil, FFMPEG_AVUTIL_ENTRIES);
  FFMPEG_LOAD(Files.SwResample, FFMPEG_SWRESAMPLE_ENTRIES);
  FFMPEG_LOAD(Files.AvCodec, FFMPEG_AVCODEC_ENTRIES);
  FFMPEG_LOAD(Files.AvFormat, FFMPEG_AVFORMAT_ENTRIES);
}

const TFFmpeg& FF() {
  static TFFmpeg entries;
  static std::atomic<bool> loaded{false};
  static std::mutex lock;
  if (!loaded.load(std::memory_order_acquire)) {
    std::lock_guard<std::mutex> g(lock);
    if (!loaded.load(std::memory_order_relaxed)) {
      TFFmpeg bound;
      LoadFFmpeg(FFmpegSonames(), bound);
      entries = bound;
      loaded.store(true, std::memory_order_release);
    }
  }
  return entries;
}
