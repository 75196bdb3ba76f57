#pragma once
// The inside of libmpdec: Debian's libmpcdec.so.6 behind neutral names.
//
// libmpcdec.so.6 is opened with dlopen (RTLD_LOCAL) rather than linked: it calls two
// of its own exports (mpc_decoder_scale_output, mpc_decoder_decode_frame) through
// its symbol table, and libmpdec exports those very names with the classic
// signatures. Linked, the loader would bind those inner calls to libmpdec's
// functions; opened privately, libmpcdec resolves them to itself.
//
// This part is C so that Debian's declarations and libmpdec's own, which share type
// names, never meet in one translation unit.

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// The byte source a stream reads; ctx is handed back to every call.
typedef struct mpdec_io {
  int32_t (*read)(void* ctx, void* ptr, int32_t size);
  int (*seek)(void* ctx, int32_t offset);
  int32_t (*tell)(void* ctx);
  int32_t (*get_size)(void* ctx);
  int (*canseek)(void* ctx);
  void* ctx;
} mpdec_io;

typedef struct mpdec_info {
  uint32_t sample_freq, channels, stream_version, bitrate;
  double average_bitrate;
  uint32_t max_band, ms, fast_seek, is_true_gapless;
  uint16_t gain_title, gain_album, peak_album, peak_title;
  uint64_t samples;      // sample frames delivered, after the start-up silence
  float profile;
  char profile_name[32];
  uint32_t encoder_version;
  char encoder[256];
  int32_t header_position, tag_offset, total_file_length;
} mpdec_info;

typedef struct mpdec_stream mpdec_stream;

// Loads libmpcdec.so.6 once; non-zero when it and every call used are there.
int mpdec_backend_ready(void);

// Reads the header from the io's current position and prepares decoding. NULL when
// the data is no stream libmpcdec accepts. info receives the header's facts.
mpdec_stream* mpdec_open(const mpdec_io* io, mpdec_info* info);
void mpdec_close(mpdec_stream* s);
// Decodes the next frame into buffer (room for 4608 floats), skipping frames that
// carry no samples: 1 with *frames set, 0 at the end of the stream, -1 on an error.
// *bits receives the frame's size in bits, *block_start whether the frame (or a
// skipped one before it) begins a block of the stream.
int mpdec_decode(mpdec_stream* s, float* buffer, uint32_t* frames, uint32_t* bits, int* block_start);
// Moves to a sample frame counted after the start-up silence; non-zero on success.
int mpdec_seek(mpdec_stream* s, uint64_t sample);

#ifdef __cplusplus
}
#endif
