#pragma once
// libmppenc: the Musepack encoder that the engine loads at run time as libmppenc.so
// and binds by name. It encodes with Debian's `mpcenc` program (musepack-tools,
// stream version 8): the PCM the caller hands over through its read callback is
// streamed to the program as a WAV file, and the finished stream, followed by an
// APEv2 tag of the items added with add_tag, goes out through the write callback.
//
// A state is driven from one thread: init_enc_state, set_callbacks, add_tag,
// start_encoder, then process_block until it returns non-zero, then
// free_encoder_state (at any point, also after a failure).
//
// The stream declares exactly the samples that were read. With a known total the PCM
// goes to the program while it is read; with an unknown one it is kept in a
// temporary file until the input ends, because the program must be told the length
// up front.

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define MPPENC_API __attribute__((visibility("default")))

typedef struct mppenc_state mppenc_state;

// Results of init_enc_state.
enum {
  MPPENC_OK = 0,
  MPPENC_ERR_FORMAT = 1,      // rate other than 32000/37800/44100/48000 Hz, 8/16/24/32 bits, 1-2 channels
  MPPENC_ERR_QUALITY = 2,     // quality outside 0..10
  MPPENC_ERR_NO_ENCODER = 3,  // `mpcenc` is not on the search path
  MPPENC_ERR_TOO_LONG = 4,    // more PCM than one WAV file can carry
  MPPENC_ERR_MEMORY = 5,
};

// The callbacks, in the order set_callbacks takes them. user is set_callbacks's last
// argument. Reading and writing count items of size bytes, as fread and fwrite do.
//
// 1. A failure's description, given before the failing call returns.
typedef void (*mppenc_message_fn)(void* user, const char* text);
// 2. PCM (interleaved little-endian, 8-bit unsigned, wider signed; size is one sample
//    frame): returns the frames read, 0 at the end of the input.
typedef size_t (*mppenc_read_pcm_fn)(void* user, void* buffer, size_t size, size_t count);
// 3. Non-zero when the input must not be read any more (the caller stops the run).
typedef int (*mppenc_end_of_input_fn)(void* user);
// 4. Sample frames handed to the encoder so far.
typedef void (*mppenc_progress_fn)(void* user, uint64_t frames);
// 5. The encoding has ended and the stream is about to be written.
typedef void (*mppenc_encoded_fn)(void* user);
// 6.-8. The output stream: seek (origin 0 start, 1 current, 2 end; returns the new
//    position, negative on failure), read back and write. This library writes the
//    stream in one pass and does not seek or read it.
typedef int64_t (*mppenc_seek_fn)(void* user, int64_t offset, int origin);
typedef size_t (*mppenc_read_out_fn)(void* user, void* buffer, size_t size, size_t count);
typedef size_t (*mppenc_write_out_fn)(void* user, const void* buffer, size_t size, size_t count);
// 9. Everything is written: the stream's size in bytes, tag included.
typedef void (*mppenc_finished_fn)(void* user, uint64_t bytes);

// Process-wide preparation; there is none to do, and calling it is harmless.
MPPENC_API void init_static(void);
// A new state for PCM of the given format. total_samples is the number of sample
// frames the input will deliver, 0 or negative when unknown; an input may end early,
// never deliver more. quality is mpcenc's scale, 0.0 to 10.0. Returns MPPENC_OK, or
// an error with *state left null. Fails with MPPENC_ERR_NO_ENCODER when `mpcenc`
// cannot be found.
MPPENC_API int init_enc_state(mppenc_state** state, int32_t sample_rate, int64_t total_samples,
                              int32_t bits_per_sample, int32_t channels, float quality);
MPPENC_API void set_callbacks(mppenc_state* state, mppenc_message_fn message, mppenc_read_pcm_fn read_pcm,
                              mppenc_end_of_input_fn end_of_input, mppenc_progress_fn progress,
                              mppenc_encoded_fn encoded, mppenc_seek_fn seek_out, mppenc_read_out_fn read_out,
                              mppenc_write_out_fn write_out, mppenc_finished_fn finished, void* user);
// Adds an APEv2 text item (UTF-8 value). Keys are 2 to 255 printable ASCII
// characters other than "ID3", "TAG", "OggS" and "MP+"; a key added again (in any
// letter case) replaces the earlier value. 0 on success, non-zero for a bad key or
// after start_encoder.
MPPENC_API int add_tag(mppenc_state* state, const char* name, size_t name_length, const char* value,
                       size_t value_length);
// Starts the encoder. 0 on success; otherwise the message callback has said why.
MPPENC_API int start_encoder(mppenc_state* state);
// One step of the work: 0 while there is more to do, 1 once the stream is complete
// and written, negative after a failure (the message callback has said why; every
// later call returns the same).
MPPENC_API int process_block(mppenc_state* state);
// Stops a running encoder and frees the state; null is accepted.
MPPENC_API void free_encoder_state(mppenc_state* state);

#ifdef __cplusplus
}
#endif
