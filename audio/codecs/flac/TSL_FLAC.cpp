#include "audio/codecs/flac/TSL_FLAC.h"

#include <FLAC/stream_decoder.h>
#include <FLAC/stream_encoder.h>

#include <algorithm>
#include <cstring>
#include <exception>

#include "audio/core/TSL_Procs.h"
#include "platform/rtl/ByteOrder.h"
#include "platform/rtl/StrUtils.h"
#include "platform/rtl/VorbisComments.h"

TCodecLibrary FLACLib("libFLAC.so.12");

namespace {

// The entry points the components call.
#define FLAC_ENTRIES(X)                                  \
  X(FLAC__stream_encoder_new)                            \
  X(FLAC__stream_encoder_delete)                         \
  X(FLAC__stream_encoder_set_verify)                     \
  X(FLAC__stream_encoder_set_channels)                   \
  X(FLAC__stream_encoder_set_bits_per_sample)            \
  X(FLAC__stream_encoder_set_sample_rate)                \
  X(FLAC__stream_encoder_set_do_mid_side_stereo)         \
  X(FLAC__stream_encoder_set_loose_mid_side_stereo)      \
  X(FLAC__stream_encoder_set_blocksize)                  \
  X(FLAC__stream_encoder_set_max_lpc_order)              \
  X(FLAC__stream_encoder_set_qlp_coeff_precision)        \
  X(FLAC__stream_encoder_set_do_qlp_coeff_prec_search)   \
  X(FLAC__stream_encoder_set_min_residual_partition_order) \
  X(FLAC__stream_encoder_set_max_residual_partition_order) \
  X(FLAC__stream_encoder_set_do_exhaustive_model_search) \
  X(FLAC__stream_encoder_set_compression_level)          \
  X(FLAC__stream_encoder_set_total_samples_estimate)     \
  X(FLAC__stream_encoder_init_stream)                    \
  X(FLAC__stream_encoder_process_interleaved)            \
  X(FLAC__stream_encoder_finish)                         \
  X(FLAC__stream_decoder_new)                            \
  X(FLAC__stream_decoder_delete)                         \
  X(FLAC__stream_decoder_set_md5_checking)               \
  X(FLAC__stream_decoder_set_metadata_respond_all)       \
  X(FLAC__stream_decoder_init_stream)                    \
  X(FLAC__stream_decoder_process_single)                 \
  X(FLAC__stream_decoder_get_state)                      \
  X(FLAC__stream_decoder_seek_absolute)                  \
  X(FLAC__stream_decoder_reset)                          \
  X(FLAC__stream_decoder_finish)

namespace fl {
FLAC_ENTRIES(CODEC_ENTRY_POINTER)
void BindAll(TCodecLibrary& Lib) { FLAC_ENTRIES(CODEC_BIND_ENTRY) }
}  // namespace fl

FLAC__StreamEncoder* Enc(const TFLACEncoderHandle& P) { return static_cast<FLAC__StreamEncoder*>(P.get()); }
FLAC__StreamDecoder* Dec(const TFLACDecoderHandle& P) { return static_cast<FLAC__StreamDecoder*>(P.get()); }

constexpr uint16_t DefaultBlockSize = 4608;
constexpr uint32_t MaxCommentBody = 0xFFFFFF;
// The largest block a frame can hold, and the fewest bytes a frame takes: a 6-byte
// header, one byte and a half per channel for a constant subframe, a 2-byte checksum.
constexpr int64_t MaxBlockSize = 65535;
constexpr int64_t MinFrameBytes = 10;

}  // namespace

void TFLACEncoderDelete::operator()(void* Encoder) const {
  if (Encoder && fl::FLAC__stream_encoder_delete)
    fl::FLAC__stream_encoder_delete(static_cast<FLAC__StreamEncoder*>(Encoder));
}

void TFLACDecoderDelete::operator()(void* Decoder) const {
  if (Decoder && fl::FLAC__stream_decoder_delete)
    fl::FLAC__stream_decoder_delete(static_cast<FLAC__StreamDecoder*>(Decoder));
}

void RequireFLACLibrary() { FLACLib.RequireAll(fl::BindAll); }

// ===========================================================================
// Callbacks: libFLAC calls them with the component as client data. Nothing may be
// raised through the library, so failures become status codes.

struct TFLACCallbacks {
  static FLAC__StreamEncoderWriteStatus EncWrite(const FLAC__StreamEncoder*, const FLAC__byte Buffer[],
                                                 size_t Bytes, uint32_t Samples, uint32_t, void* Client) {
    auto* self = static_cast<TFLACOut*>(Client);
    try {
      const uint8_t* p = Buffer;
      size_t n = Bytes;
      // The encoder's own comment block is dropped and ours goes in its place.
      if (!self->FCommentReplaced && Samples == 0 && n >= 4 && (p[0] & 127) == 4) {
        self->FCommentReplaced = true;
        self->FCommentSkip = 4 + int64_t{GetBE24(p + 1)};
        const std::string block = self->BuildCommentBlock((p[0] & 128) != 0);
        self->FStream->WriteBuffer(block.data(), static_cast<int64_t>(block.size()));
      }
      if (self->FCommentSkip > 0) {
        const size_t skip = static_cast<size_t>(std::min<int64_t>(self->FCommentSkip, static_cast<int64_t>(n)));
        self->FCommentSkip -= static_cast<int64_t>(skip);
        p += skip;
        n -= skip;
      }
      if (n > 0) self->FStream->WriteBuffer(p, static_cast<int64_t>(n));
      return FLAC__STREAM_ENCODER_WRITE_STATUS_OK;
    } catch (const std::exception& E) {
      self->FWriteError = E.what();
      return FLAC__STREAM_ENCODER_WRITE_STATUS_FATAL_ERROR;
    }
  }

  static FLAC__StreamEncoderSeekStatus EncSeek(const FLAC__StreamEncoder*, FLAC__uint64 Offset, void* Client) {
    auto* self = static_cast<TFLACOut*>(Client);
    try {
      self->FStream->Seek(static_cast<int64_t>(Offset), soBeginning);
      return FLAC__STREAM_ENCODER_SEEK_STATUS_OK;
    } catch (const std::exception&) {
      return FLAC__STREAM_ENCODER_SEEK_STATUS_ERROR;
    }
  }

  static FLAC__StreamEncoderTellStatus EncTell(const FLAC__StreamEncoder*, FLAC__uint64* Offset, void* Client) {
    auto* self = static_cast<TFLACOut*>(Client);
    try {
      *Offset = static_cast<FLAC__uint64>(self->FStream->Position());
      return FLAC__STREAM_ENCODER_TELL_STATUS_OK;
    } catch (const std::exception&) {
      return FLAC__STREAM_ENCODER_TELL_STATUS_ERROR;
    }
  }

  static void EncMetadata(const FLAC__StreamEncoder*, const FLAC__StreamMetadata*, void*) {}

  static FLAC__StreamDecoderReadStatus DecRead(const FLAC__StreamDecoder*, FLAC__byte Buffer[], size_t* Bytes,
                                               void* Client) {
    auto* self = static_cast<TFLACIn*>(Client);
    try {
      const int64_t n = *Bytes > 0 ? self->FStream->Read(Buffer, static_cast<int64_t>(*Bytes)) : 0;
      *Bytes = static_cast<size_t>(n);
      return n == 0 ? FLAC__STREAM_DECODER_READ_STATUS_END_OF_STREAM : FLAC__STREAM_DECODER_READ_STATUS_CONTINUE;
    } catch (const std::exception&) {
      *Bytes = 0;
      return FLAC__STREAM_DECODER_READ_STATUS_ABORT;
    }
  }

  static FLAC__StreamDecoderSeekStatus DecSeek(const FLAC__StreamDecoder*, FLAC__uint64 Offset, void* Client) {
    auto* self = static_cast<TFLACIn*>(Client);
    if (!self->FSeekable) return FLAC__STREAM_DECODER_SEEK_STATUS_UNSUPPORTED;
    if (Offset > static_cast<FLAC__uint64>(self->FStreamSize)) return FLAC__STREAM_DECODER_SEEK_STATUS_ERROR;
    try {
      self->FStream->Seek(static_cast<int64_t>(Offset), soBeginning);
      return FLAC__STREAM_DECODER_SEEK_STATUS_OK;
    } catch (const std::exception&) {
      return FLAC__STREAM_DECODER_SEEK_STATUS_ERROR;
    }
  }

  static FLAC__StreamDecoderTellStatus DecTell(const FLAC__StreamDecoder*, FLAC__uint64* Offset, void* Client) {
    auto* self = static_cast<TFLACIn*>(Client);
    try {
      *Offset = static_cast<FLAC__uint64>(self->FStream->Position());
      return FLAC__STREAM_DECODER_TELL_STATUS_OK;
    } catch (const std::exception&) {
      return FLAC__STREAM_DECODER_TELL_STATUS_ERROR;
    }
  }

  static FLAC__StreamDecoderLengthStatus DecLength(const FLAC__StreamDecoder*, FLAC__uint64* Length,
                                                   void* Client) {
    *Length = static_cast<FLAC__uint64>(static_cast<TFLACIn*>(Client)->FStreamSize);
    return FLAC__STREAM_DECODER_LENGTH_STATUS_OK;
  }

  static FLAC__bool DecEof(const FLAC__StreamDecoder*, void* Client) {
    auto* self = static_cast<TFLACIn*>(Client);
    try {
      return self->FStream->Position() >= self->FStreamSize;
    } catch (const std::exception&) {
      return true;
    }
  }

  static FLAC__StreamDecoderWriteStatus DecWrite(const FLAC__StreamDecoder*, const FLAC__Frame* Frame,
                                                 const FLAC__int32* const Buffer[], void* Client) {
    auto* self = static_cast<TFLACIn*>(Client);
    if (!self->FHaveStreamInfo) return FLAC__STREAM_DECODER_WRITE_STATUS_CONTINUE;
    const uint32_t blockSize = Frame->header.blocksize;
    const int64_t first = static_cast<int64_t>(Frame->header.number.sample_number);
    // Bytes skipped between two frames were part of the audio: libFLAC even stands in
    // silence for a frame lost with them.
    if (self->FLostSync) {
      self->FLostSync = false;
      self->NoteDamage("frames are missing");
    }
    // A damaged frame reaches us as silence: none of it is audio.
    if (self->Damaged()) return FLAC__STREAM_DECODER_WRITE_STATUS_CONTINUE;
    const int32_t channels = self->FChannels;
    // A frame in another format than the stream header's: the header or the frames
    // are damaged, and what they hold cannot be told.
    if (static_cast<int32_t>(Frame->header.channels) != channels ||
        static_cast<int32_t>(Frame->header.bits_per_sample) != self->FStreamBits ||
        static_cast<int32_t>(Frame->header.sample_rate) != self->FSampleRate) {
      self->NoteDamage("a frame does not match the stream's format");
      return FLAC__STREAM_DECODER_WRITE_STATUS_CONTINUE;
    }
    self->FNextSample = first + blockSize;
    const int32_t width = self->FBitsPerSample / 8;
    const size_t bytes = size_t(blockSize) * size_t(channels) * size_t(width);
    if (self->FBuf.size() < bytes) self->FBuf.resize(bytes);
    uint8_t* d = self->FBuf.data();
    // Interleaved and widened to whole bytes, then packed.
    const uint32_t shift = static_cast<uint32_t>(self->FShift);
    const size_t count = size_t(blockSize) * size_t(channels);
    if (self->FSamples.size() < count) self->FSamples.resize(count);
    int32_t* v = self->FSamples.data();
    for (uint32_t i = 0; i < blockSize; ++i)
      for (int32_t c = 0; c < channels; ++c) *v++ = static_cast<int32_t>(static_cast<uint32_t>(Buffer[c][i]) << shift);
    PackPCM(self->FSamples.data(), width, d, count);
    self->FBlockSize = blockSize;
    self->FBufStart = 0;
    self->FBufEnd = static_cast<int32_t>(bytes);
    self->FFrameDelivered = true;
    return FLAC__STREAM_DECODER_WRITE_STATUS_CONTINUE;
  }

  static void DecMetadata(const FLAC__StreamDecoder*, const FLAC__StreamMetadata* M, void* Client) {
    auto* self = static_cast<TFLACIn*>(Client);
    self->FLastMetadata = M->is_last;
    // The format and tags are taken when the file is opened; a reset decoder that
    // reads the metadata again changes nothing.
    if (!self->FOpening) return;
    if (M->type == FLAC__METADATA_TYPE_STREAMINFO) {
      const FLAC__StreamMetadata_StreamInfo& si = M->data.stream_info;
      if (si.channels < 1 || si.channels > 8 || si.bits_per_sample < 4 || si.bits_per_sample > 32 ||
          si.sample_rate == 0)
        return;
      self->FHaveStreamInfo = true;
      self->FStreamBits = static_cast<int32_t>(si.bits_per_sample);
      const int32_t width = (self->FStreamBits + 7) / 8;
      self->FShift = width * 8 - self->FStreamBits;
      self->FBitsPerSample = width * 8;
      self->FChannels = static_cast<int32_t>(si.channels);
      self->FSampleRate = static_cast<int32_t>(si.sample_rate);
      // 0 is "not told"; a total the file cannot hold is not believed either: a frame
      // holds at most the stream's largest block and takes at least MinFrameBytes (a
      // file cut short can still hold what its header tells, and is found out).
      const int64_t maxBlock = si.max_blocksize >= 16 ? si.max_blocksize : MaxBlockSize;
      const int64_t total = si.total_samples > 0 ? static_cast<int64_t>(si.total_samples) : -1;
      self->FAnnouncedTotal = std::max<int64_t>(total, 0);
      self->FStreamTotal = std::max<int64_t>(BelievedLength(total, self->FStreamSize, MinFrameBytes, maxBlock), 0);
      self->FSize = self->FStreamTotal > 0 ? self->FStreamTotal * width * self->FChannels : -1;
    } else if (M->type == FLAC__METADATA_TYPE_VORBIS_COMMENT) {
      const FLAC__StreamMetadata_VorbisComment& vc = M->data.vorbis_comment;
      for (FLAC__uint32 i = 0; i < vc.num_comments; ++i) {
        const FLAC__StreamMetadata_VorbisComment_Entry& e = vc.comments[i];
        if (e.entry) self->FTags->TakeComment(std::string_view(reinterpret_cast<const char*>(e.entry), e.length));
      }
    }
  }

  static void DecError(const FLAC__StreamDecoder*, FLAC__StreamDecoderErrorStatus Status, void* Client) {
    auto* self = static_cast<TFLACIn*>(Client);
    if (self->FOpening) {
      self->FValid = false;
      return;
    }
    // Bytes skipped to find the next frame are damage when a frame follows them; junk
    // after the last frame is not.
    if (Status == FLAC__STREAM_DECODER_ERROR_STATUS_LOST_SYNC) {
      self->FLostSync = true;
      return;
    }
    const char* detail = Status == FLAC__STREAM_DECODER_ERROR_STATUS_FRAME_CRC_MISMATCH ? "a frame fails its checksum"
                         : Status == FLAC__STREAM_DECODER_ERROR_STATUS_BAD_HEADER      ? "a frame header is damaged"
                                                                                        : "the stream is damaged";
    self->NoteDamage(detail);
  }
};

// ===========================================================================
// TFLACOut

TFLACOut::TFLACOut(TComponent* AOwner) : TAuFileOut(AOwner), FTags(std::make_unique<TVorbisTags>()) {}

TFLACOut::~TFLACOut() = default;

void TFLACOut::SetEnableLooseMidSideStereo(bool Value) {
  FEnableLooseMidSideStereo = Value;
  if (Value) FEnableMidSideStereo = true;
}

void TFLACOut::SetBestModelSearch(bool Value) {
  FBestModelSearch = Value;
  if (Value) {
    FEnableMidSideStereo = true;
    FEnableLooseMidSideStereo = false;
  }
}

std::string TFLACOut::BuildCommentBlock(bool Last) const {
  std::string comments;
  uint32_t count = 0;
  for (const char* key : {"title", "artist", "album", "date", "genre", "tracknumber"}) {
    const std::u16string v = FTags->AsWideString(key);
    if (v.empty()) continue;
    AppendVorbisComment(comments, std::string(key) + "=" + UTF16ToUTF8(v));
    ++count;
  }
  const std::string body = BuildVorbisComments("VENDOR=Hacked", count, comments);
  if (body.size() > MaxCommentBody) throw EAuException("The tags are too long for a FLAC comment block.");
  std::string block(1, static_cast<char>(4 | (Last ? 128 : 0)));
  AppendBE24(block, static_cast<uint32_t>(body.size()));
  return block + body;
}

// The format's streamable subset, which the encoder keeps to and every decoder plays:
// frame headers code rates above 65535 Hz in steps of 10 Hz, up to 655350 Hz.
std::string TFLACOut::FormatRefusal(int32_t Bits, int32_t Channels, int32_t Rate) const {
  static const TAuFormatLimits limits{"A", "FLAC", static_cast<int32_t>(FLAC__MAX_CHANNELS), AuBitsAll, 1, 655350};
  std::string refusal = FormatRefusalText(limits, Bits, Channels, Rate);
  if (refusal.empty() && Rate > 65535 && Rate % 10 != 0)
    refusal = "A FLAC file takes sample rates above 65535 Hz in steps of 10 Hz only; the source has " +
              std::to_string(Rate) + " Hz.";
  return refusal;
}

void TFLACOut::Prepare() {
  RequireFLACLibrary();
  RefuseInputFormat();
  if (!FStreamAssigned) {
    if (FFileName.empty()) throw EAuException("File name is not assigned.");
    CreateOwnStream();
  }
  FEndOfData = false;
  FCommentReplaced = false;
  FCommentSkip = 0;
  FEncoderFinished = false;
  FWriteError.clear();
  FEncoder.reset(fl::FLAC__stream_encoder_new());
  if (!FEncoder) throw EAuException("Failed to initialize FLAC encoder.");

  StartInput();
  FBits = FInput->BitsPerSample();
  FChannels = FInput->Channels();
  const int32_t rate = FInput->SampleRate();

  FLAC__StreamEncoder* e = Enc(FEncoder);
  fl::FLAC__stream_encoder_set_verify(e, FVerify);
  fl::FLAC__stream_encoder_set_channels(e, static_cast<uint32_t>(FChannels));
  fl::FLAC__stream_encoder_set_bits_per_sample(e, static_cast<uint32_t>(FBits));
  fl::FLAC__stream_encoder_set_sample_rate(e, static_cast<uint32_t>(rate));
  if (FChannels == 2) {
    fl::FLAC__stream_encoder_set_do_mid_side_stereo(e, FEnableMidSideStereo);
    fl::FLAC__stream_encoder_set_loose_mid_side_stereo(e, FEnableLooseMidSideStereo);
  }
  fl::FLAC__stream_encoder_set_blocksize(e, FBlockSize);
  if (FCompressionLevel < 0) {
    fl::FLAC__stream_encoder_set_max_lpc_order(e, FMaxLPCOrder);
    // 0 leaves the precision to the encoder; at 32 bits no explicit one fits.
    if (FQLPCoeffPrecision > 0 && FBits + FQLPCoeffPrecision > 31)
      FQLPCoeffPrecision = static_cast<uint16_t>(std::max(0, 31 - FBits));
    fl::FLAC__stream_encoder_set_qlp_coeff_precision(e, FQLPCoeffPrecision);
    fl::FLAC__stream_encoder_set_do_qlp_coeff_prec_search(e, FQLPCoeffPrecisionSearch);
    fl::FLAC__stream_encoder_set_min_residual_partition_order(e, FMinResidualPartitionOrder);
    fl::FLAC__stream_encoder_set_max_residual_partition_order(e, FMaxResidualPartitionOrder);
    fl::FLAC__stream_encoder_set_do_exhaustive_model_search(e, FBestModelSearch);
  } else {
    fl::FLAC__stream_encoder_set_compression_level(e, static_cast<uint32_t>(FCompressionLevel));
  }
  const int64_t size = FInput->Size();
  if (size > 0)
    fl::FLAC__stream_encoder_set_total_samples_estimate(
        e, static_cast<FLAC__uint64>(Round(static_cast<double>(size) / (FBits / 8) / FChannels)));

  const FLAC__StreamEncoderInitStatus status =
      fl::FLAC__stream_encoder_init_stream(e, TFLACCallbacks::EncWrite, TFLACCallbacks::EncSeek,
                                           TFLACCallbacks::EncTell, TFLACCallbacks::EncMetadata, this);
  if (status != FLAC__STREAM_ENCODER_INIT_STATUS_OK || !FWriteError.empty()) {
    FlushInput();
    // An encoder that never started has nothing to finish.
    FEncoderFinished = true;
    RaiseEncoderError("Failed to initialize FLAC encoder.");
  }

  FBufSize = static_cast<uint32_t>(FBits / 8) * (FBlockSize ? FBlockSize : DefaultBlockSize) *
             static_cast<uint32_t>(FChannels);
  FBuffer.resize(FBufSize);
}

// A write that failed says which file and why; the encoder's own failures say less.
void TFLACOut::RaiseEncoderError(const char* Message) const {
  throw EAuException(FWriteError.empty() ? std::string(Message) : FWriteError);
}

void TFLACOut::FinishEncoder() {
  if (!FEncoder || FEncoderFinished) return;
  FEncoderFinished = true;
  const bool ok = fl::FLAC__stream_encoder_finish(Enc(FEncoder));
  if (!ok || !FWriteError.empty()) RaiseEncoderError("Failed to encode data.");
}

bool TFLACOut::WriteBlock(bool Abort) {
  if (!Prepared()) return true;
  if (Abort) return false;
  if (FEndOfData) {
    FinishEncoder();
    return false;
  }
  bool eof = false;
  const uint32_t bytes = FInput->FillBuffer(FBuffer.data(), FBufSize, eof);
  FEndOfData = eof;
  if (bytes == 0) {
    FinishEncoder();
    return false;
  }
  const uint32_t samples = bytes * 8 / static_cast<uint32_t>(FBits);
  if (FSamples.size() < samples) FSamples.resize(samples);
  int32_t* d = FSamples.data();
  UnpackPCM(FBuffer.data(), FBits / 8, d, samples);
  if (!fl::FLAC__stream_encoder_process_interleaved(Enc(FEncoder), d, samples / static_cast<uint32_t>(FChannels)))
    RaiseEncoderError("Failed to encode data.");
  return true;
}

void TFLACOut::Finish() {
  // A stopped or failed run still gets a consistent file; one that could not be
  // written is not passed off as complete.
  std::exception_ptr error;
  try {
    FinishEncoder();
  } catch (...) {
    error = std::current_exception();
  }
  FEncoder.reset();
  FEncoderFinished = false;
  FBuffer = std::vector<uint8_t>();
  FSamples = std::vector<int32_t>();
  ReleaseStream();
  FlushInput();
  if (error) std::rethrow_exception(error);
}

// ===========================================================================
// TFLACIn

TFLACIn::TFLACIn(TComponent* AOwner) : TAuFileIn(AOwner), FTags(std::make_unique<TVorbisTags>()) {}

TFLACIn::~TFLACIn() { ReleaseDecoder(); }

void TFLACIn::ReleaseDecoder() {
  if (!FDecoder) return;
  FMD5Result = fl::FLAC__stream_decoder_finish(Dec(FDecoder));
  FDecoder.reset();
}

void TFLACIn::DoOpenFile() {
  RequireFLACLibrary();
  if (!FStreamAssigned) {
    if (FFileName.empty()) throw EAuException("File name is not assigned");
    OpenOwnStream();
  }
  FValid = true;
  FBufStart = FBufEnd = 0;
  FSeekPending = 0;
  FAtEnd = false;
  FHaveStreamInfo = false;
  FLastMetadata = false;
  FStreamTotal = 0;
  FAnnouncedTotal = 0;
  FSize = -1;
  FNextSample = 0;
  FLostSync = false;
  FTags->Clear();
  try {
    FStreamSize = FStream->Size();
    FDecoder.reset(fl::FLAC__stream_decoder_new());
    if (!FDecoder) throw EAuException("Failed to initialize the FLAC decoder.");
    FLAC__StreamDecoder* d = Dec(FDecoder);
    if (!fl::FLAC__stream_decoder_set_md5_checking(d, FCheckMD5Signature))
      throw EAuException("Internal error 113, please report to Tessel developers");
    fl::FLAC__stream_decoder_set_metadata_respond_all(d);
    if (fl::FLAC__stream_decoder_init_stream(d, TFLACCallbacks::DecRead, TFLACCallbacks::DecSeek,
                                             TFLACCallbacks::DecTell, TFLACCallbacks::DecLength,
                                             TFLACCallbacks::DecEof, TFLACCallbacks::DecWrite,
                                             TFLACCallbacks::DecMetadata, TFLACCallbacks::DecError,
                                             this) != FLAC__STREAM_DECODER_INIT_STATUS_OK)
      throw EAuException("Failed to set up the FLAC decoder.");
    // Read the metadata. A damaged or foreign file stops at an error or at the end of
    // the stream, never loops.
    FOpening = true;
    while (!FLastMetadata && FValid) {
      if (!fl::FLAC__stream_decoder_process_single(d)) {
        FValid = false;
        break;
      }
      const FLAC__StreamDecoderState state = fl::FLAC__stream_decoder_get_state(d);
      if (!FLastMetadata && state != FLAC__STREAM_DECODER_SEARCH_FOR_METADATA &&
          state != FLAC__STREAM_DECODER_READ_METADATA) {
        FValid = false;  // audio, the end or an error before the metadata ended
        break;
      }
    }
    FOpening = false;
    if (!FHaveStreamInfo) FValid = false;
    FBufStart = FBufEnd = 0;
  } catch (...) {
    FOpening = false;
    ReleaseDecoder();
    // The stream is released here once; the caller finds none left.
    ReleaseStream();
    throw;
  }
}

void TFLACIn::NoteDamage(const std::string& Detail) {
  SetDamage(DecodingErrorMessage("FLAC", FFileName, std::max<int64_t>(FNextSample, 0), Detail));
}

void TFLACIn::DoCloseFile() {
  ReleaseDecoder();
  FBuf = std::vector<uint8_t>();
  FSamples = std::vector<int32_t>();
  FBufStart = FBufEnd = 0;
  FSeekPending = 0;
  FAtEnd = false;
}

void TFLACIn::ReadRaw(void*& Buffer, uint32_t& Bytes) {
  if (!FBusy) throw EAuException("The Stream is not opened");
  FLAC__StreamDecoder* d = Dec(FDecoder);
  if (FBufStart >= FBufEnd && FSeekPending > 0) {
    FBufStart = 0;
    FBufEnd = FSeekPending;
  }
  FSeekPending = 0;
  while (FBufStart >= FBufEnd) {
    FBufStart = FBufEnd = 0;
    RaiseDamage();
    if (FAtEnd || !d) {
      Buffer = nullptr;
      Bytes = 0;
      return;
    }
    // The end is where the decoder gives no new frame; a step that only read
    // metadata or skipped damaged bytes is followed by another.
    FFrameDelivered = false;
    const bool ok = fl::FLAC__stream_decoder_process_single(d);
    const FLAC__StreamDecoderState state = fl::FLAC__stream_decoder_get_state(d);
    if (FFrameDelivered) break;
    if (state == FLAC__STREAM_DECODER_END_OF_STREAM) {
      FAtEnd = true;
      // Fewer frames than the stream announces, believed or not: the file was cut
      // short, or its header is damaged.
      if (FAnnouncedTotal > 0 && FNextSample >= 0 && FNextSample < FAnnouncedTotal) NoteDamage("the file ends early");
      continue;
    }
    if (!ok || state > FLAC__STREAM_DECODER_END_OF_STREAM) throw EAuException("Error reading FLAC file");
  }
  const uint32_t avail = static_cast<uint32_t>(FBufEnd - FBufStart);
  const uint32_t frame = static_cast<uint32_t>(FChannels * (FBitsPerSample / 8));
  uint32_t n = std::min(Bytes, avail);
  if (frame > 0 && n >= frame) n -= n % frame;
  Buffer = FBuf.data() + FBufStart;
  Bytes = n;
  FBufStart += static_cast<int32_t>(n);
}

bool TFLACIn::SeekRaw(int64_t& SampleNum) {
  OpenFile();
  if (!FDecoder) return false;
  FCheckMD5Signature = false;
  FBufStart = FBufEnd = 0;
  FSeekPending = 0;
  FAtEnd = false;
  FLostSync = false;
  FNextSample = -1;  // the frame the seek lands in tells
  if (SampleNum < 0) return false;
  if (FStreamTotal > 0 && SampleNum >= FStreamTotal) {
    // Nothing is left to decode there.
    FAtEnd = true;
    return SampleNum == FStreamTotal;
  }
  // The decoder lands on the exact sample and may already hand over the rest of that
  // frame during the seek: it is kept for the next read.
  FFrameDelivered = false;
  const bool ok = fl::FLAC__stream_decoder_seek_absolute(Dec(FDecoder), static_cast<FLAC__uint64>(SampleNum));
  if (!ok) fl::FLAC__stream_decoder_reset(Dec(FDecoder));
  else if (FFrameDelivered) FSeekPending = FBufEnd;
  FBufStart = FBufEnd = 0;
  return ok;
}
