// libmpdec over Debian's libmpcdec.so.6 (the demux calls, float samples).

#include "MPCDemux.h"

#include <dlfcn.h>
#include <pthread.h>
#include <stdlib.h>
#include <string.h>

#include <mpc/mpcdec.h>

#define HIDDEN __attribute__((visibility("hidden")))

static struct {
  void* handle;
  __typeof__(&mpc_demux_init) demux_init;
  __typeof__(&mpc_demux_exit) demux_exit;
  __typeof__(&mpc_demux_decode) demux_decode;
  __typeof__(&mpc_demux_get_info) demux_get_info;
  __typeof__(&mpc_demux_seek_sample) demux_seek_sample;
  int ready;
} Backend;

static pthread_once_t BackendOnce = PTHREAD_ONCE_INIT;
// libmpcdec fills shared tables the first time a decoder is made; opening streams
// one at a time keeps two first openings from racing.
static pthread_mutex_t OpenLock = PTHREAD_MUTEX_INITIALIZER;

#define BIND(field, name)                                     \
  do {                                                        \
    *(void**)(&Backend.field) = dlsym(Backend.handle, name);  \
    if (!Backend.field) return;                               \
  } while (0)

static void LoadBackend(void) {
  Backend.handle = dlopen("libmpcdec.so.6", RTLD_NOW | RTLD_LOCAL);
  if (!Backend.handle) return;
  BIND(demux_init, "mpc_demux_init");
  BIND(demux_exit, "mpc_demux_exit");
  BIND(demux_decode, "mpc_demux_decode");
  BIND(demux_get_info, "mpc_demux_get_info");
  BIND(demux_seek_sample, "mpc_demux_seek_sample");
  Backend.ready = 1;
}

HIDDEN int mpdec_backend_ready(void) {
  pthread_once(&BackendOnce, LoadBackend);
  return Backend.ready;
}

struct mpdec_stream {
  mpc_reader reader;  // must stay first: libmpcdec hands it back to the callbacks
  mpdec_io io;
  mpc_demux* demux;
  int blocks;  // SV8: frames come in blocks checked as a whole; SV7: frame by frame
};

static mpdec_stream* StreamOf(mpc_reader* r) { return (mpdec_stream*)r; }

static mpc_int32_t ReaderRead(mpc_reader* r, void* ptr, mpc_int32_t size) {
  mpdec_stream* s = StreamOf(r);
  return s->io.read(s->io.ctx, ptr, size);
}
static mpc_bool_t ReaderSeek(mpc_reader* r, mpc_int32_t offset) {
  mpdec_stream* s = StreamOf(r);
  return s->io.seek(s->io.ctx, offset) ? MPC_TRUE : MPC_FALSE;
}
static mpc_int32_t ReaderTell(mpc_reader* r) {
  mpdec_stream* s = StreamOf(r);
  return s->io.tell(s->io.ctx);
}
static mpc_int32_t ReaderGetSize(mpc_reader* r) {
  mpdec_stream* s = StreamOf(r);
  return s->io.get_size(s->io.ctx);
}
static mpc_bool_t ReaderCanSeek(mpc_reader* r) {
  mpdec_stream* s = StreamOf(r);
  return s->io.canseek(s->io.ctx) ? MPC_TRUE : MPC_FALSE;
}

static void CopyText(char* dst, size_t size, const char* src) {
  const size_t n = src ? strnlen(src, size - 1) : 0;
  if (n) memcpy(dst, src, n);
  dst[n] = 0;
}

static void FillInfo(const mpc_streaminfo* si, mpdec_info* info) {
  memset(info, 0, sizeof *info);
  info->sample_freq = si->sample_freq;
  info->channels = si->channels;
  info->stream_version = si->stream_version;
  info->bitrate = si->bitrate;
  info->average_bitrate = si->average_bitrate;
  info->max_band = si->max_band;
  info->ms = si->ms;
  info->fast_seek = si->fast_seek;
  info->is_true_gapless = si->is_true_gapless;
  info->gain_title = si->gain_title;
  info->gain_album = si->gain_album;
  info->peak_album = si->peak_album;
  info->peak_title = si->peak_title;
  info->samples = si->samples > si->beg_silence ? si->samples - si->beg_silence : 0;
  info->profile = si->profile;
  CopyText(info->profile_name, sizeof info->profile_name, si->profile_name);
  info->encoder_version = si->encoder_version;
  CopyText(info->encoder, sizeof info->encoder, si->encoder);
  info->header_position = si->header_position;
  info->tag_offset = si->tag_offset;
  info->total_file_length = si->total_file_length;
}

HIDDEN mpdec_stream* mpdec_open(const mpdec_io* io, mpdec_info* info) {
  if (!io || !mpdec_backend_ready()) return NULL;
  mpdec_stream* s = (mpdec_stream*)calloc(1, sizeof *s);
  if (!s) return NULL;
  s->io = *io;
  s->reader.read = ReaderRead;
  s->reader.seek = ReaderSeek;
  s->reader.tell = ReaderTell;
  s->reader.get_size = ReaderGetSize;
  s->reader.canseek = ReaderCanSeek;
  s->reader.data = s;
  pthread_mutex_lock(&OpenLock);
  s->demux = Backend.demux_init(&s->reader);
  pthread_mutex_unlock(&OpenLock);
  if (!s->demux) {
    free(s);
    return NULL;
  }
  mpc_streaminfo si;
  memset(&si, 0, sizeof si);
  Backend.demux_get_info(s->demux, &si);
  // libmpcdec decodes one or two channels into buffers of MPC_DECODER_BUFFER_LENGTH.
  if (si.channels < 1 || si.channels > 2 || si.sample_freq == 0) {
    mpdec_close(s);
    return NULL;
  }
  s->blocks = si.stream_version >= 8;
  if (info) FillInfo(&si, info);
  return s;
}

HIDDEN void mpdec_close(mpdec_stream* s) {
  if (!s) return;
  if (s->demux) Backend.demux_exit(s->demux);
  free(s);
}

HIDDEN int mpdec_decode(mpdec_stream* s, float* buffer, uint32_t* frames, uint32_t* bits, int* block_start) {
  *frames = 0;
  *bits = 0;
  *block_start = 0;
  // Frames without samples (the decoder's start-up) are skipped; a stream that never
  // yields one is damaged.
  for (int tries = 0; tries < 4096; ++tries) {
    mpc_frame_info fi;
    memset(&fi, 0, sizeof fi);
    fi.buffer = buffer;
    if (Backend.demux_decode(s->demux, &fi) != MPC_STATUS_OK) return -1;
    if (fi.bits == -1) return 0;
    if (fi.samples > MPC_FRAME_LENGTH) return -1;
    if (fi.is_key_frame || !s->blocks) *block_start = 1;
    if (fi.samples > 0) {
      *frames = fi.samples;
      *bits = (uint32_t)fi.bits;
      return 1;
    }
  }
  return -1;
}

HIDDEN int mpdec_seek(mpdec_stream* s, uint64_t sample) {
  return Backend.demux_seek_sample(s->demux, sample) == MPC_STATUS_OK;
}
