#pragma once
// libmpdec: the Musepack decoder that the engine loads at run time as libmpdec.so
// and binds by name. It offers the classic libmpcdec calls (stream info, a decoder
// record the caller holds, frame decoding and seeking) and decodes stream versions 7
// and 8 with Debian's libmpcdec.so.6, which it loads privately (see MPCDemux.h).
//
// Output is float, interleaved, +-1.0 full scale, exactly the number of samples the
// stream declares: the decoder's start-up delay and the padding of the last frame
// never reach the caller.
//
// The library must be loaded with RTLD_LOCAL (as the engine does): libmpcdec.so.6
// exports some of the same names for calls of its own.

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define MPDEC_API __attribute__((visibility("default")))

typedef int32_t mpc_int32_t;
typedef uint32_t mpc_uint32_t;
typedef int64_t mpc_int64_t;
typedef int16_t mpc_int16_t;
typedef uint16_t mpc_uint16_t;
typedef int32_t mpc_bool_t;
typedef float MPC_SAMPLE_FORMAT;

enum {
  MPC_FRAME_LENGTH = 36 * 32,                            // sample frames per Musepack frame
  MPC_DECODER_BUFFER_LENGTH = MPC_FRAME_LENGTH * 4,      // floats one decode call may write
};

// Results of mpc_streaminfo_read.
enum {
  MPC_ERROR_CODE_OK = 0,
  MPC_ERROR_CODE_FILE = -1,      // the reader failed, or the data is no Musepack stream
  MPC_ERROR_CODE_LIBRARY = -2,   // libmpcdec.so.6 could not be loaded
  MPC_ERROR_CODE_ARGUMENT = -3,  // a null record or reader
};

// mpc_decoder_decode and mpc_decoder_decode_frame return this on a decoding error.
#define MPC_DECODE_ERROR ((mpc_uint32_t)-1)

// The caller's data source. Every callback receives the data field. Offsets count
// bytes from the start of the stream; a failing read returns -1 (or fewer bytes).
typedef struct mpc_reader_t {
  mpc_int32_t (*read)(void* data, void* ptr, mpc_int32_t size);
  mpc_bool_t (*seek)(void* data, mpc_int32_t offset);  // true when the offset was reached
  mpc_int32_t (*tell)(void* data);
  mpc_int32_t (*get_size)(void* data);
  mpc_bool_t (*canseek)(void* data);
  void* data;
} mpc_reader;

// What mpc_streaminfo_read learns from a stream's header.
typedef struct mpc_streaminfo {
  mpc_uint32_t sample_freq;      // Hz
  mpc_uint32_t channels;
  mpc_uint32_t stream_version;   // 7 or 8
  mpc_uint32_t bitrate;          // 0: variable
  double average_bitrate;        // bits per second over the whole stream
  mpc_int64_t pcm_samples;       // sample frames the stream delivers
  mpc_uint32_t max_band;
  mpc_uint32_t ms;               // mid/side stereo used
  mpc_uint32_t fast_seek;
  mpc_uint32_t is_true_gapless;
  mpc_uint16_t gain_title;
  mpc_uint16_t gain_album;
  mpc_uint16_t peak_album;
  mpc_uint16_t peak_title;
  float profile;                 // quality of the encoding
  char profile_name[32];
  mpc_uint32_t encoder_version;
  char encoder[256];
  mpc_int32_t header_position;   // byte offset of the Musepack header (after an ID3v2 tag)
  mpc_int32_t tag_offset;
  mpc_int32_t total_file_length;
} mpc_streaminfo;

// The decoder record. The caller owns its storage and must zero it before the first
// mpc_decoder_setup; the library keeps its decoding state behind it.
typedef struct mpc_decoder_t {
  mpc_reader* r;
  void* state;                   // the library's, never touched by the caller
  mpc_uint32_t magic;            // marks a record this library set up
  mpc_uint32_t sample_freq;      // of the stream, once initialised
  mpc_uint32_t channels;
  mpc_bool_t fast_seeking;
  double scale_factor;           // applied to every sample (1.0 unless changed)
  // The last frame decoded begins a block of the stream. The decoder checks a block
  // when it has read all of it: damage shows after the frames of its block came out.
  mpc_bool_t block_start;
} mpc_decoder;

// Clears si.
MPDEC_API void mpc_streaminfo_init(mpc_streaminfo* si);
// Reads the header of the stream behind r (from its start) into si; MPC_ERROR_CODE_OK
// or one of the negative codes. The reader is left at the start of the stream.
MPDEC_API mpc_int32_t mpc_streaminfo_read(mpc_streaminfo* si, mpc_reader* r);
// Length in seconds and in sample frames.
MPDEC_API double mpc_streaminfo_get_length(mpc_streaminfo* si);
MPDEC_API mpc_int64_t mpc_streaminfo_get_length_samples(mpc_streaminfo* si);

// Attaches r to the record and frees whatever decoding state the record held. With a
// null reader the record is only released: call it that way once the record is no
// longer needed.
MPDEC_API void mpc_decoder_setup(mpc_decoder* d, mpc_reader* r);
// Opens the decoding of the attached stream from its start. si must describe that
// stream (as mpc_streaminfo_read filled it); a stream of another rate or channel
// count is refused. 1 on success, 0 on failure.
MPDEC_API mpc_bool_t mpc_decoder_initialize(mpc_decoder* d, mpc_streaminfo* si);
// Seeking is always sample-exact; the flag is kept for callers that set it.
MPDEC_API void mpc_decoder_set_seeking(mpc_decoder* d, mpc_streaminfo* si, mpc_bool_t fast_seeking);
// Takes rate and channel count from si before initialisation.
MPDEC_API void mpc_decoder_set_streaminfo(mpc_decoder* d, mpc_streaminfo* si);
// Multiplies every following sample by scale_factor.
MPDEC_API void mpc_decoder_scale_output(mpc_decoder* d, double scale_factor);
// Decodes the next frame into buffer (MPC_DECODER_BUFFER_LENGTH floats): the number
// of sample frames written, 0 at the end of the stream, MPC_DECODE_ERROR on damaged
// data or a decoder that is not initialised. When given, *vbr_update_acc counts the
// frames and *vbr_update_bits their bits.
MPDEC_API mpc_uint32_t mpc_decoder_decode(mpc_decoder* d, MPC_SAMPLE_FORMAT* buffer,
                                          mpc_uint32_t* vbr_update_acc, mpc_uint32_t* vbr_update_bits);
// The same for one frame. Every frame is read through the reader, so in_buffer must be
// null and in_len 0 (anything else is MPC_DECODE_ERROR).
MPDEC_API mpc_uint32_t mpc_decoder_decode_frame(mpc_decoder* d, mpc_uint32_t* in_buffer, mpc_uint32_t in_len,
                                                MPC_SAMPLE_FORMAT* out_buffer);
// Moves to a sample frame (0 .. length) or a time; 1 on success. On failure the
// position is unknown until the next successful seek.
MPDEC_API mpc_bool_t mpc_decoder_seek_sample(mpc_decoder* d, mpc_int64_t destsample);
MPDEC_API mpc_bool_t mpc_decoder_seek_seconds(mpc_decoder* d, double seconds);

#ifdef __cplusplus
}
#endif
