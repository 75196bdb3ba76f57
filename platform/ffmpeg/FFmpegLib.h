#pragma once
// FFmpeg's libraries (libavutil, libswresample, libavcodec, libavformat), loaded at run
// time on first use by their sonames rather than linked: together they map about a
// hundred libraries, and only opening an MP3, WMA or AVI file, decoding a compressed
// WAV payload or writing a WMA file needs them. The headers give the types; every
// entry point the tree calls is listed below and bound with the type its header
// declares. Inline functions and macros of the headers are used as they are.
//
// Failure: FF() raises Exception "<file> library could not be loaded." for the first
// library that does not load, or "Function "<name>" not found in <file> library." for
// an entry point one lacks. It never hands out a table with an entry missing, and
// tries again on the next call. Each object that uses FFmpeg calls FF() when it is
// made, so its later calls, its clean-up included, never meet a library that is not
// there. Nothing here crashes when a library is missing.
//
// Thread-safe: the first call loads and binds under a lock; the libraries then stay
// loaded for the life of the process.

#include <string>

#include "platform/rtl/DynLib.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/channel_layout.h>
#include <libavutil/dict.h>
#include <libavutil/frame.h>
#include <libavutil/mathematics.h>
#include <libavutil/mem.h>
#include <libavutil/samplefmt.h>
#include <libswresample/swresample.h>
}

#define FFMPEG_AVUTIL_ENTRIES(X)        \
  X(av_malloc)                          \
  X(av_mallocz)                         \
  X(av_free)                            \
  X(av_freep)                           \
  X(av_rescale_q)                       \
  X(av_dict_get)                        \
  X(av_dict_set)                        \
  X(av_dict_set_int)                    \
  X(av_dict_free)                       \
  X(av_channel_layout_default)          \
  X(av_channel_layout_copy)             \
  X(av_channel_layout_uninit)           \
  X(av_channel_layout_compare)          \
  X(av_channel_layout_subset)           \
  X(av_frame_alloc)                     \
  X(av_frame_free)                      \
  X(av_frame_unref)                     \
  X(av_frame_get_buffer)                \
  X(av_get_packed_sample_fmt)           \
  X(av_sample_fmt_is_planar)            \
  X(av_samples_alloc_array_and_samples) \
  X(av_samples_set_silence)             \
  X(av_audio_fifo_alloc)                \
  X(av_audio_fifo_free)                 \
  X(av_audio_fifo_write)                \
  X(av_audio_fifo_read)                 \
  X(av_audio_fifo_size)

#define FFMPEG_SWRESAMPLE_ENTRIES(X) \
  X(swr_alloc_set_opts2)             \
  X(swr_init)                        \
  X(swr_free)                        \
  X(swr_convert)                     \
  X(swr_get_out_samples)

#define FFMPEG_AVCODEC_ENTRIES(X)    \
  X(avcodec_find_decoder)            \
  X(avcodec_find_encoder)            \
  X(avcodec_alloc_context3)          \
  X(avcodec_free_context)            \
  X(avcodec_parameters_to_context)   \
  X(avcodec_parameters_from_context) \
  X(avcodec_open2)                   \
  X(avcodec_send_packet)             \
  X(avcodec_receive_frame)           \
  X(avcodec_send_frame)              \
  X(avcodec_receive_packet)          \
  X(avcodec_flush_buffers)           \
  X(av_packet_alloc)                 \
  X(av_packet_free)                  \
  X(av_packet_unref)                 \
  X(av_packet_free_side_data)        \
  X(av_packet_get_side_data)         \
  X(av_packet_rescale_ts)            \
  X(av_parser_init)                  \
  X(av_parser_parse2)                \
  X(av_parser_close)

#define FFMPEG_AVFORMAT_ENTRIES(X)    \
  X(avformat_alloc_context)           \
  X(avformat_open_input)              \
  X(avformat_find_stream_info)        \
  X(avformat_close_input)             \
  X(av_probe_input_buffer2)           \
  X(av_find_input_format)             \
  X(av_read_frame)                    \
  X(avformat_index_get_entries_count) \
  X(avformat_index_get_entry)         \
  X(avformat_alloc_output_context2)   \
  X(avformat_new_stream)              \
  X(avformat_write_header)            \
  X(av_interleaved_write_frame)       \
  X(av_write_trailer)                 \
  X(avformat_free_context)            \
  X(avio_alloc_context)               \
  X(avio_context_free)                \
  X(avio_size)                        \
  X(avio_feof)                        \
  X(avio_flush)

// The entry points, each typed as its header declares it.
struct TFFmpeg {
  FFMPEG_AVUTIL_ENTRIES(LIBRARY_ENTRY_POINTER)
  FFMPEG_SWRESAMPLE_ENTRIES(LIBRARY_ENTRY_POINTER)
  FFMPEG_AVCODEC_ENTRIES(LIBRARY_ENTRY_POINTER)
  FFMPEG_AVFORMAT_ENTRIES(LIBRARY_ENTRY_POINTER)
};

// The file names of the four libraries, in the order they are loaded.
struct TFFmpegFiles {
  std::string AvUtil, SwResample, AvCodec, AvFormat;
};

// The sonames of the libraries the headers were built against ("libavcodec.so.59").
TFFmpegFiles FFmpegSonames();

// Loads Files in order and binds every entry point into Entries, raising as FF() does.
// What loaded stays loaded. FF() loads the sonames; tests name other files.
void LoadFFmpeg(const TFFmpegFiles& Files, TFFmpeg& Entries);

// The process's FFmpeg, loaded and bound on the first call.
const TFFmpeg& FF();
