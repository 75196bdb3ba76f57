#include "platform/ffmpeg/FFmpegLib.h"

#include "platform/rtl/DynLib.h"

namespace {

#define FFMPEG_SONAME(Lib, Major) "lib" #Lib ".so." AV_STRINGIFY(Major)

#define FFMPEG_BIND(Name) RequireEntry(lib, file, #Name, Entries.Name);

// Loads File for good (FFmpeg keeps process-wide state that does not survive being
// unmapped) and binds the entry points that LIST names.
#define FFMPEG_LOAD(File, LIST)       \
  do {                                \
    const std::string& file = File;   \
    void* lib = RequireLibrary(file); \
    LIST(FFMPEG_BIND)                 \
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
  static TLoadOnce once;
  once.Run([] {
    TFFmpeg bound;
    LoadFFmpeg(FFmpegSonames(), bound);
    entries = bound;
  });
  return entries;
}
