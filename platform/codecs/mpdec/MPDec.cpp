// libmpdec's entry points: the classic calls over the demux of MPCDemux.c.

#include "MPDec.h"

#include <cmath>
#include <cstring>
#include <new>

#include "MPCDemux.h"

namespace {

constexpr mpc_uint32_t RecordMagic = 0x4D504443;  // "MPDC"

// The decoding state behind a set-up record.
struct TDecodeState {
  mpdec_stream* Stream = nullptr;
  int64_t Length = 0;     // sample frames the stream declares
  int64_t Position = 0;   // the next sample frame decode delivers
  bool PositionKnown = true;
};

// The caller's reader seen through the neutral io of the demux part.
int32_t IoRead(void* Ctx, void* Ptr, int32_t Size) {
  auto* r = static_cast<mpc_reader*>(Ctx);
  return r->read ? r->read(r->data, Ptr, Size) : -1;
}
int IoSeek(void* Ctx, int32_t Offset) {
  auto* r = static_cast<mpc_reader*>(Ctx);
  return r->seek ? (r->seek(r->data, Offset) ? 1 : 0) : 0;
}
int32_t IoTell(void* Ctx) {
  auto* r = static_cast<mpc_reader*>(Ctx);
  return r->tell ? r->tell(r->data) : -1;
}
int32_t IoGetSize(void* Ctx) {
  auto* r = static_cast<mpc_reader*>(Ctx);
  return r->get_size ? r->get_size(r->data) : -1;
}
int IoCanSeek(void* Ctx) {
  auto* r = static_cast<mpc_reader*>(Ctx);
  return r->canseek ? (r->canseek(r->data) ? 1 : 0) : 0;
}

mpdec_io IoOver(mpc_reader* r) {
  mpdec_io io;
  io.read = IoRead;
  io.seek = IoSeek;
  io.tell = IoTell;
  io.get_size = IoGetSize;
  io.canseek = IoCanSeek;
  io.ctx = r;
  return io;
}

// Streams are read from their first byte, wherever the caller left the reader.
void Rewind(mpc_reader* r) {
  if (r->canseek && r->seek && r->canseek(r->data)) r->seek(r->data, 0);
}

TDecodeState* StateOf(mpc_decoder* d) {
  if (!d || d->magic != RecordMagic) return nullptr;
  return static_cast<TDecodeState*>(d->state);
}

void ReleaseState(mpc_decoder* d) {
  TDecodeState* s = StateOf(d);
  if (!s) return;
  mpdec_close(s->Stream);
  delete s;
  d->state = nullptr;
}

void FillStreamInfo(const mpdec_info& Info, mpc_streaminfo* si) {
  std::memset(si, 0, sizeof *si);
  si->sample_freq = Info.sample_freq;
  si->channels = Info.channels;
  si->stream_version = Info.stream_version;
  si->bitrate = Info.bitrate;
  si->average_bitrate = Info.average_bitrate;
  si->pcm_samples = static_cast<mpc_int64_t>(Info.samples);
  si->max_band = Info.max_band;
  si->ms = Info.ms;
  si->fast_seek = Info.fast_seek;
  si->is_true_gapless = Info.is_true_gapless;
  si->gain_title = Info.gain_title;
  si->gain_album = Info.gain_album;
  si->peak_album = Info.peak_album;
  si->peak_title = Info.peak_title;
  si->profile = Info.profile;
  std::memcpy(si->profile_name, Info.profile_name, sizeof si->profile_name);
  si->encoder_version = Info.encoder_version;
  std::memcpy(si->encoder, Info.encoder, sizeof si->encoder);
  si->header_position = Info.header_position;
  si->tag_offset = Info.tag_offset;
  si->total_file_length = Info.total_file_length;
}

}  // namespace

extern "C" {

MPDEC_API void mpc_streaminfo_init(mpc_streaminfo* si) {
  if (si) std::memset(si, 0, sizeof *si);
}

MPDEC_API mpc_int32_t mpc_streaminfo_read(mpc_streaminfo* si, mpc_reader* r) {
  if (!si || !r) return MPC_ERROR_CODE_ARGUMENT;
  if (!mpdec_backend_ready()) return MPC_ERROR_CODE_LIBRARY;
  Rewind(r);
  const mpdec_io io = IoOver(r);
  mpdec_info info;
  mpdec_stream* s = mpdec_open(&io, &info);
  if (!s) return MPC_ERROR_CODE_FILE;
  mpdec_close(s);
  FillStreamInfo(info, si);
  Rewind(r);
  return MPC_ERROR_CODE_OK;
}

MPDEC_API double mpc_streaminfo_get_length(mpc_streaminfo* si) {
  if (!si || si->sample_freq == 0) return 0.0;
  return static_cast<double>(si->pcm_samples) / si->sample_freq;
}

MPDEC_API mpc_int64_t mpc_streaminfo_get_length_samples(mpc_streaminfo* si) {
  return si ? si->pcm_samples : 0;
}

MPDEC_API void mpc_decoder_setup(mpc_decoder* d, mpc_reader* r) {
  if (!d) return;
  ReleaseState(d);
  std::memset(d, 0, sizeof *d);
  if (!r) return;
  d->r = r;
  d->magic = RecordMagic;
  d->scale_factor = 1.0;
}

MPDEC_API mpc_bool_t mpc_decoder_initialize(mpc_decoder* d, mpc_streaminfo* si) {
  if (!d || d->magic != RecordMagic || !d->r || !si) return 0;
  ReleaseState(d);
  Rewind(d->r);
  const mpdec_io io = IoOver(d->r);
  mpdec_info info;
  mpdec_stream* stream = mpdec_open(&io, &info);
  if (!stream) return 0;
  if (info.sample_freq != si->sample_freq || info.channels != si->channels) {
    mpdec_close(stream);
    return 0;
  }
  auto* s = new (std::nothrow) TDecodeState;
  if (!s) {
    mpdec_close(stream);
    return 0;
  }
  s->Stream = stream;
  s->Length = static_cast<int64_t>(info.samples);
  d->state = s;
  d->sample_freq = info.sample_freq;
  d->channels = info.channels;
  return 1;
}

MPDEC_API void mpc_decoder_set_seeking(mpc_decoder* d, mpc_streaminfo*, mpc_bool_t fast_seeking) {
  if (d && d->magic == RecordMagic) d->fast_seeking = fast_seeking;
}

MPDEC_API void mpc_decoder_set_streaminfo(mpc_decoder* d, mpc_streaminfo* si) {
  if (!d || d->magic != RecordMagic || !si) return;
  d->sample_freq = si->sample_freq;
  d->channels = si->channels;
}

MPDEC_API void mpc_decoder_scale_output(mpc_decoder* d, double scale_factor) {
  if (d && d->magic == RecordMagic) d->scale_factor = scale_factor;
}

MPDEC_API mpc_uint32_t mpc_decoder_decode(mpc_decoder* d, MPC_SAMPLE_FORMAT* buffer,
                                          mpc_uint32_t* vbr_update_acc, mpc_uint32_t* vbr_update_bits) {
  TDecodeState* s = StateOf(d);
  if (!s || !buffer || !s->PositionKnown) return MPC_DECODE_ERROR;
  if (s->Position >= s->Length) return 0;
  uint32_t frames = 0, bits = 0;
  int blockStart = 0;
  const int r = mpdec_decode(s->Stream, buffer, &frames, &bits, &blockStart);
  d->block_start = blockStart;
  if (r < 0) return MPC_DECODE_ERROR;
  if (r == 0) return 0;  // a stream shorter than its header says ends here
  // The last frame carries padding beyond the declared length.
  if (frames > s->Length - s->Position) frames = static_cast<uint32_t>(s->Length - s->Position);
  s->Position += frames;
  if (d->scale_factor != 1.0) {
    const float k = static_cast<float>(d->scale_factor);
    for (uint32_t i = 0, n = frames * d->channels; i < n; ++i) buffer[i] *= k;
  }
  if (vbr_update_acc) ++*vbr_update_acc;
  if (vbr_update_bits) *vbr_update_bits += bits;
  return frames;
}

MPDEC_API mpc_uint32_t mpc_decoder_decode_frame(mpc_decoder* d, mpc_uint32_t* in_buffer, mpc_uint32_t in_len,
                                                MPC_SAMPLE_FORMAT* out_buffer) {
  if (in_buffer || in_len) return MPC_DECODE_ERROR;
  return mpc_decoder_decode(d, out_buffer, nullptr, nullptr);
}

MPDEC_API mpc_bool_t mpc_decoder_seek_sample(mpc_decoder* d, mpc_int64_t destsample) {
  TDecodeState* s = StateOf(d);
  if (!s || destsample < 0 || destsample > s->Length) return 0;
  if (destsample == s->Length) {
    // The end: nothing is left to decode, and the demux need not move.
    s->Position = destsample;
    s->PositionKnown = true;
    return 1;
  }
  if (!mpdec_seek(s->Stream, static_cast<uint64_t>(destsample))) {
    s->PositionKnown = false;
    return 0;
  }
  s->Position = destsample;
  s->PositionKnown = true;
  return 1;
}

MPDEC_API mpc_bool_t mpc_decoder_seek_seconds(mpc_decoder* d, double seconds) {
  if (!StateOf(d) || !std::isfinite(seconds) || seconds < 0) return 0;
  const double sample = std::nearbyint(seconds * d->sample_freq);
  if (sample > 9.0e18) return 0;
  return mpc_decoder_seek_sample(d, static_cast<mpc_int64_t>(sample));
}

}  // extern "C"
