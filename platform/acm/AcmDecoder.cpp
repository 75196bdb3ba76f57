// Compressed payloads to 16-bit PCM with libavcodec.
#include "platform/acm/AcmStream.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/ffmpeg/FFmpegLib.h"
#include "platform/rtl/ByteOrder.h"
#include "platform/rtl/MPEGAudioFormat.h"

namespace {

constexpr uint32_t kMpegRates[] = {48000, 44100, 32000, 24000, 22050, 16000, 12000, 11025, 8000};

// The coefficient pairs every Microsoft ADPCM record carries. libavcodec
// decodes with these whatever the record says, so other tables are refused.
constexpr int16_t kMsAdpcmCoefficients[7][2] = {{256, 0}, {512, -256}, {0, 0},     {192, 64},
                                                {240, 0}, {460, -208}, {392, -232}};

// Bytes handed to the parser at a time; it wants padded input, so they are
// copied. Small, because a lost frame boundary copies the rest of the step again.
constexpr size_t kParseStep = 4096;
// Law bytes decoded per packet.
constexpr size_t kLawStep = 65536;

bool IsMpegRate(uint32_t Rate) {
  return std::find(std::begin(kMpegRates), std::end(kMpegRates), Rate) != std::end(kMpegRates);
}

// Every MPEG audio frame starts with 11 set bits.
bool StartsWithSync(const uint8_t* P, size_t Size) { return Size >= 4 && P[0] == 0xFF && (P[1] & 0xE0) == 0xE0; }

// A packet that is one MPEG frame, as long as its header says (free format
// says nothing: the parser's length stands).
bool WholeFrame(const uint8_t* P, size_t Size) {
  TMPEGFrameHeader h;
  if (Size < 4 || !DecodeMPEGFrameHeader(GetBE32(P), h)) return false;
  return h.Bytes == 0 || static_cast<size_t>(h.Bytes) == Size;
}

// Two frame headers of one stream: version, layer and sample rate agree.
bool SameStream(const uint8_t* A, const uint8_t* B) {
  return (A[1] & 0xFE) == (B[1] & 0xFE) && (A[2] & 0x0C) == (B[2] & 0x0C);
}

// MPEG layer of a record: 1, 2, 3, or 0 when the record does not say.
int MpegLayer(const WAVEFORMATEX& Format) {
  if (Format.wFormatTag == WAVE_FORMAT_MPEGLAYER3) return 3;
  if (Format.Extra.size() < 2) return 0;
  switch (GetLE16(Format.Extra.data())) {
    case 1: return 1;
    case 2: return 2;
    case 4: return 3;
    default: return 0;
  }
}

enum TPacketing : uint8_t { pkParser, pkBlocks, pkFrames };

class AcmDecoderStream final : public AcmStream {
public:
  explicit AcmDecoderStream(const WAVEFORMATEX& Src)
      : AcmStream(Src.wFormatTag == WAVE_FORMAT_MPEG || Src.wFormatTag == WAVE_FORMAT_MPEGLAYER3 ? 1 : Src.nBlockAlign),
        FFormat(Src) {
    FF();  // raises when FFmpeg cannot be loaded, so the destructor always finds it
  }

  ~AcmDecoderStream() override {
    FF().av_parser_close(FParser);
    FF().avcodec_free_context(&FCtx);
    FF().av_packet_free(&FPacket);
    FF().av_frame_free(&FFrame);
  }

  MMRESULT Open() {
    AVCodecID id = AV_CODEC_ID_NONE;
    switch (FFormat.wFormatTag) {
      case WAVE_FORMAT_ALAW:
        id = AV_CODEC_ID_PCM_ALAW;
        FPacketing = pkFrames;
        break;
      case WAVE_FORMAT_MULAW:
        id = AV_CODEC_ID_PCM_MULAW;
        FPacketing = pkFrames;
        break;
      case WAVE_FORMAT_IMA_ADPCM:
        id = AV_CODEC_ID_ADPCM_IMA_WAV;
        FPacketing = pkBlocks;
        break;
      case WAVE_FORMAT_ADPCM:
        id = AV_CODEC_ID_ADPCM_MS;
        FPacketing = pkBlocks;
        break;
      case WAVE_FORMAT_GSM610:
        id = AV_CODEC_ID_GSM_MS;
        FPacketing = pkBlocks;
        break;
      // The layer 3 decoder reads every layer.
      default:
        id = AV_CODEC_ID_MP3;
        FPacketing = pkParser;
        break;
    }
    const AVCodec* codec = FF().avcodec_find_decoder(id);
    if (!codec) return ACMERR_NOTPOSSIBLE;
    FCtx = FF().avcodec_alloc_context3(codec);
    FPacket = FF().av_packet_alloc();
    FFrame = FF().av_frame_alloc();
    if (!FCtx || !FPacket || !FFrame) return MMSYSERR_NOMEM;
    FCtx->sample_rate = static_cast<int>(FFormat.nSamplesPerSec);
    FF().av_channel_layout_default(&FCtx->ch_layout, FFormat.nChannels);
    FCtx->bits_per_coded_sample = FFormat.wBitsPerSample;
    // MPEG records often put a sample count there; frames carry their own size.
    FCtx->block_align = FPacketing == pkParser ? 0 : FFormat.nBlockAlign;
    if (!FFormat.Extra.empty()) {
      FCtx->extradata = static_cast<uint8_t*>(FF().av_mallocz(FFormat.Extra.size() + AV_INPUT_BUFFER_PADDING_SIZE));
      if (!FCtx->extradata) return MMSYSERR_NOMEM;
      std::memcpy(FCtx->extradata, FFormat.Extra.data(), FFormat.Extra.size());
      FCtx->extradata_size = static_cast<int>(FFormat.Extra.size());
    }
    if (FF().avcodec_open2(FCtx, codec, nullptr) < 0) return ACMERR_NOTPOSSIBLE;
    if (FPacketing == pkParser && !(FParser = FF().av_parser_init(AV_CODEC_ID_MP3))) return MMSYSERR_NOMEM;
    return MMSYSERR_NOERROR;
  }

  uint64_t DestinationSize(uint64_t SrcBytes) const override {
    const uint64_t frameBytes = uint64_t{FFormat.nChannels} * 2;
    const uint64_t align = FFormat.nBlockAlign;
    switch (FFormat.wFormatTag) {
      case WAVE_FORMAT_ALAW:
      case WAVE_FORMAT_MULAW: return SrcBytes / align * align * 2;
      case WAVE_FORMAT_IMA_ADPCM:
      case WAVE_FORMAT_ADPCM:
      case WAVE_FORMAT_GSM610:
        // A partial last block decodes to at most a whole block's samples.
        return (SrcBytes + align - 1) / align * SamplesPerBlock() * frameBytes;
      default: {
        if (SrcBytes == 0) return 0;
        // Average rate, or the lowest bitrate when the record gives none or
        // less, which bounds any payload. Two frames of slack: one completed
        // from an earlier conversion's bytes, one for padding and rounding.
        const uint64_t perSecond = std::max<uint64_t>(FFormat.nAvgBytesPerSec, MinBitrate() / 8);
        const uint64_t samples =
            (SrcBytes * FFormat.nSamplesPerSec + perSecond - 1) / perSecond + 2 * MpegFrameSamples();
        return samples * frameBytes;
      }
    }
  }

protected:
  MMRESULT Consume(const uint8_t* Src, size_t Length, bool Last, size_t& Used, std::vector<uint8_t>& Out) override {
    const uint64_t rejectedBefore = FRejected;
    MMRESULT r = FDamaged ? ACMERR_DAMAGED : MMSYSERR_NOERROR;
    Used = 0;
    if (!r) switch (FPacketing) {
      case pkParser:
        for (size_t n = 0; Used < Length && !r; Used += n) {
          n = std::min(kParseStep, Length - Used);
          r = Parse(Src + Used, n, Out);
        }
        break;
      case pkBlocks: {
        const size_t align = FFormat.nBlockAlign;
        for (; Length - Used >= align && !r; Used += align) r = Decode(Src + Used, align, Out);
        // A cut last block still holds samples; the decoder takes what it can,
        // and what it cannot take is the end of the data, not damage.
        if (Last && Used < Length && !r) {
          r = Decode(Src + Used, Length - Used, Out, true);
          Used = Length;
        }
        break;
      }
      case pkFrames: {
        const size_t align = FFormat.nBlockAlign;
        const size_t whole = Length / align * align, step = kLawStep / align * align;
        for (size_t n = 0; Used < whole && !r; Used += n) {
          n = std::min(step, whole - Used);
          r = Decode(Src + Used, n, Out);
        }
        if (Last) Used = Length;  // a partial frame is no sample
        break;
      }
    }
    if (r == ACMERR_DAMAGED) {
      // Nothing after the damage counts: the rest of the source is taken unseen.
      Used = Length;
      if (Last) r = EndDamaged();
      return r;
    }
    FTakenBytes += Used;
    if (Last && !r) r = Finish(Out);
    if (r) return r;
    // Packets the decoder rejects are skipped; but rejects before any audio,
    // or a whole stream without audio, mean the data is not in this format.
    if (FProduced == 0 && (FRejected > rejectedBefore || (Last && FTakenBytes > 0))) r = ACMERR_NOTPOSSIBLE;
    if (Last) FTakenBytes = FProduced = FRejected = 0;
    return r;
  }

private:
  unsigned SamplesPerBlock() const {
    const unsigned ch = FFormat.nChannels, align = FFormat.nBlockAlign;
    switch (FFormat.wFormatTag) {
      case WAVE_FORMAT_IMA_ADPCM: return (align - 4 * ch) * 2 / ch + 1;
      case WAVE_FORMAT_ADPCM: return (align - 7 * ch) * 2 / ch + 2;
      default: return 320;  // GSM 6.10, two frames of 160
    }
  }

  bool LowSamplingFrequency() const { return FFormat.nSamplesPerSec < 32000; }

  unsigned MpegFrameSamples() const {
    switch (MpegLayer(FFormat)) {
      case 1: return 384;
      case 3: return LowSamplingFrequency() ? 576 : 1152;
      default: return 1152;
    }
  }

  // The lowest bitrate in bits per second a frame of this format can have.
  uint64_t MinBitrate() const { return LowSamplingFrequency() && MpegLayer(FFormat) != 1 ? 8000 : 32000; }

  // Cuts Src into frames and decodes them. Before the first audio, bytes that
  // are no frame are passed over: the parser can go on cutting at false
  // boundaries for many frames, so a packet that the decoder rejects and that
  // does not even start like a frame sends the search back to the byte after
  // its start; from then on a frame counts only once the next one follows it
  // where it ends. After the first audio such bytes are damage.
  MMRESULT Parse(const uint8_t* Src, size_t Length, std::vector<uint8_t>& Out) {
    FWork.assign(Src, Src + Length);
    FWork.resize(Length + AV_INPUT_BUFFER_PADDING_SIZE, 0);
    size_t pos = 0, end = Length;
    // Parses again from the byte after Packet's start: Packet's bytes end where
    // the unparsed rest of FWork begins.
    const auto searchAgain = [&](const uint8_t* Packet, size_t Size) -> MMRESULT {
      std::vector<uint8_t> again(Packet + 1, Packet + Size);
      again.insert(again.end(), FWork.begin() + static_cast<ptrdiff_t>(pos),
                   FWork.begin() + static_cast<ptrdiff_t>(end));
      end = again.size();
      again.resize(end + AV_INPUT_BUFFER_PADDING_SIZE, 0);
      FWork.swap(again);
      pos = 0;
      FInSync = false;
      FHeld.clear();
      return ResetParser();
    };
    while (pos < end) {
      uint8_t* packet = nullptr;
      int size = 0;
      const int used = FF().av_parser_parse2(FParser, FCtx, &packet, &size, FWork.data() + pos,
                                             static_cast<int>(end - pos), AV_NOPTS_VALUE, AV_NOPTS_VALUE, 0);
      if (used < 0) return MMSYSERR_ERROR;
      pos += static_cast<size_t>(used);
      if (size <= 0) {
        if (used == 0) return MMSYSERR_ERROR;  // the parser would not move on
        continue;
      }
      const size_t n = static_cast<size_t>(size);
      if (!FInSync) {
        if (!StartsWithSync(packet, n)) {
          if (const MMRESULT r = searchAgain(packet, n)) return r;
          continue;
        }
        if (FHeld.empty()) {
          FHeld.assign(packet, packet + n);
          continue;
        }
        if (!SameStream(FHeld.data(), packet)) {
          // The held frame was a false one; its bytes may hide the real start.
          std::vector<uint8_t> held;
          held.swap(FHeld);
          held.insert(held.end(), packet, packet + n);
          if (const MMRESULT r = searchAgain(held.data(), held.size())) return r;
          continue;
        }
        FInSync = true;
        std::vector<uint8_t> held;
        held.swap(FHeld);
        if (const MMRESULT r = Decode(held.data(), held.size(), Out)) return r;
      }
      // Once audio came, a packet is one whole frame: bytes around it that are no
      // frame were lost.
      if (FProduced > 0 && !WholeFrame(packet, n)) return Damaged();
      const uint64_t rejected = FRejected;
      if (const MMRESULT r = Decode(packet, n, Out)) return r;
      if (FRejected > rejected && !StartsWithSync(packet, n))
        if (const MMRESULT r = searchAgain(packet, n)) return r;
    }
    return MMSYSERR_NOERROR;
  }

  MMRESULT ResetParser() {
    FF().av_parser_close(FParser);
    FParser = FF().av_parser_init(AV_CODEC_ID_MP3);
    return FParser ? MMSYSERR_NOERROR : MMSYSERR_NOMEM;
  }

  // Decodes one packet into Out; an MPEG frame's audio waits in FHeldOut until
  // the next frame decodes cleanly. A rejection once the stream has produced
  // audio is damage, unless the packet is a cut last block.
  MMRESULT Decode(const uint8_t* Data, size_t Size, std::vector<uint8_t>& Out, bool CutBlock = false) {
    const uint64_t rejected = FRejected, produced = FProduced;
    // Not reference-counted: the decoder copies the bytes into padded memory.
    FPacket->data = const_cast<uint8_t*>(Data);
    FPacket->size = static_cast<int>(Size);
    const int r = FF().avcodec_send_packet(FCtx, FPacket);
    FPacket->data = nullptr;
    FPacket->size = 0;
    if (r == AVERROR(ENOMEM)) return MMSYSERR_NOMEM;
    if (r < 0) ++FRejected;
    FPacketOut.clear();
    if (const MMRESULT e = Receive(FParser ? FPacketOut : Out)) return e;
    if (FRejected > rejected && produced > 0 && !CutBlock) return Damaged();
    if (FParser && !FPacketOut.empty()) {
      Out.insert(Out.end(), FHeldOut.begin(), FHeldOut.end());
      FHeldOut.swap(FPacketOut);
    }
    return MMSYSERR_NOERROR;
  }

  MMRESULT Receive(std::vector<uint8_t>& Out) {
    for (;;) {
      const int r = FF().avcodec_receive_frame(FCtx, FFrame);
      if (r == AVERROR(EAGAIN) || r == AVERROR_EOF) return MMSYSERR_NOERROR;
      if (r == AVERROR(ENOMEM)) return MMSYSERR_NOMEM;
      if (r < 0) {
        ++FRejected;
        return MMSYSERR_NOERROR;
      }
      // A frame the decoder patched over is no audio of the stream.
      if (FFrame->decode_error_flags != 0 || (FFrame->flags & AV_FRAME_FLAG_CORRUPT))
        ++FRejected;
      else
        Append(Out);
      FF().av_frame_unref(FFrame);
    }
  }

  // The stream's audio ends here: the frame held, which the damage may have
  // reached, goes too.
  MMRESULT Damaged() {
    FDamaged = true;
    FHeldOut.clear();
    return ACMERR_DAMAGED;
  }

  // Ends a damaged stream: its tail is dropped and the next conversion starts
  // afresh.
  MMRESULT EndDamaged() {
    std::vector<uint8_t> dropped;
    const MMRESULT r = Finish(dropped);
    FDamaged = false;
    FHeldOut.clear();
    FTakenBytes = FProduced = FRejected = 0;
    return r ? r : ACMERR_DAMAGED;
  }

  // Ends the stream: the frame held and the decoder's held frames, then a fresh
  // start. The parser holds at most a cut frame, which would decode to a frame
  // partly silent, and before the first audio an unconfirmed one; both are
  // dropped.
  MMRESULT Finish(std::vector<uint8_t>& Out) {
    if (FParser) {
      FInSync = true;
      FHeld.clear();
      Out.insert(Out.end(), FHeldOut.begin(), FHeldOut.end());
      FHeldOut.clear();
      if (const MMRESULT r = ResetParser()) return r;
    }
    if (FF().avcodec_send_packet(FCtx, nullptr) >= 0)
      if (const MMRESULT r = Receive(Out)) return r;
    FF().avcodec_flush_buffers(FCtx);
    return MMSYSERR_NOERROR;
  }

  // Appends the frame as interleaved little-endian 16-bit samples.
  void Append(std::vector<uint8_t>& Out) {
    const AVFrame& f = *FFrame;
    const int channels = f.ch_layout.nb_channels;
    // A frame in another rate or channel count than the record promised
    // would corrupt the PCM stream.
    if (f.sample_rate != static_cast<int>(FFormat.nSamplesPerSec) || channels != FFormat.nChannels) {
      ++FRejected;
      return;
    }
    if (f.nb_samples <= 0) return;
    const auto format = static_cast<AVSampleFormat>(f.format);
    const bool planar = FF().av_sample_fmt_is_planar(format);
    const size_t frames = static_cast<size_t>(f.nb_samples);
    const auto convert = [&](auto Sample) {
      const size_t base = Out.size();
      Out.resize(base + frames * channels * 2);
      for (int c = 0; c < channels; ++c) {
        const uint8_t* plane = f.extended_data[planar ? c : 0];
        const size_t stride = planar ? 1 : static_cast<size_t>(channels);
        size_t k = planar ? 0 : static_cast<size_t>(c);
        uint8_t* p = Out.data() + base + 2 * c;
        for (size_t i = 0; i < frames; ++i, k += stride, p += 2 * channels) {
          const int v = Sample(plane, k);
          PutLE16(p, static_cast<uint16_t>(v));
        }
      }
    };
    switch (FF().av_get_packed_sample_fmt(format)) {
      case AV_SAMPLE_FMT_U8: convert([](const uint8_t* P, size_t K) { return (P[K] - 128) * 256; }); break;
      case AV_SAMPLE_FMT_S16:
        convert([](const uint8_t* P, size_t K) { return int{reinterpret_cast<const int16_t*>(P)[K]}; });
        break;
      case AV_SAMPLE_FMT_S32:
        convert([](const uint8_t* P, size_t K) { return reinterpret_cast<const int32_t*>(P)[K] >> 16; });
        break;
      case AV_SAMPLE_FMT_FLT:
        convert([](const uint8_t* P, size_t K) { return ToSixteen(reinterpret_cast<const float*>(P)[K]); });
        break;
      case AV_SAMPLE_FMT_DBL:
        convert([](const uint8_t* P, size_t K) { return ToSixteen(reinterpret_cast<const double*>(P)[K]); });
        break;
      default: ++FRejected; return;
    }
    FProduced += frames;
  }

  // Full scale is 32768, nearest with halves to even, clipped; no dither.
  static int ToSixteen(double V) {
    double x = V * 32768.0;
    if (!(x >= -32768.0)) x = -32768.0;  // also catches NaN
    if (x > 32767.0) x = 32767.0;
    return static_cast<int>(std::lrint(x));
  }

  const WAVEFORMATEX FFormat;
  TPacketing FPacketing = pkParser;
  AVCodecContext* FCtx = nullptr;
  AVCodecParserContext* FParser = nullptr;
  AVPacket* FPacket = nullptr;
  AVFrame* FFrame = nullptr;
  std::vector<uint8_t> FWork;
  // False once the frame boundaries were lost before the first audio; a frame
  // is then held until the next one confirms it.
  bool FInSync = true;
  std::vector<uint8_t> FHeld;
  // MPEG: the audio of the last frame decoded, and of the one being decoded.
  std::vector<uint8_t> FHeldOut, FPacketOut;
  // Damage was found: the stream delivers nothing more until it ends.
  bool FDamaged = false;
  // Of the current stream: source bytes taken, frames delivered, packets rejected.
  uint64_t FTakenBytes = 0, FProduced = 0, FRejected = 0;
};

}  // namespace

MMRESULT CheckDecoderFormat(const WAVEFORMATEX& Format) {
  const uint16_t ch = Format.nChannels, align = Format.nBlockAlign;
  if (ch == 0 || Format.nSamplesPerSec == 0) return MMSYSERR_INVALPARAM;
  switch (Format.wFormatTag) {
    case WAVE_FORMAT_ALAW:
    case WAVE_FORMAT_MULAW:
      if (ch > 8 || Format.wBitsPerSample != 8 || align != ch) return ACMERR_NOTPOSSIBLE;
      return MMSYSERR_NOERROR;
    case WAVE_FORMAT_IMA_ADPCM:
      // A block is a 4-byte header per channel, then the codes; stereo codes
      // come in groups of 8 bytes.
      if (ch > 2 || Format.wBitsPerSample != 4 || align <= 4 * ch || (ch == 2 && (align - 8) % 8 != 0))
        return ACMERR_NOTPOSSIBLE;
      return MMSYSERR_NOERROR;
    case WAVE_FORMAT_ADPCM: {
      if (ch > 2 || Format.wBitsPerSample != 4 || align < 7 * ch) return ACMERR_NOTPOSSIBLE;
      // Samples per block, the pair count, the pairs.
      const std::vector<uint8_t>& x = Format.Extra;
      if (x.size() < 4 + sizeof kMsAdpcmCoefficients || GetLE16(x.data() + 2) != 7) return ACMERR_NOTPOSSIBLE;
      for (int i = 0; i < 7; ++i)
        if (static_cast<int16_t>(GetLE16(x.data() + 4 + 4 * i)) != kMsAdpcmCoefficients[i][0] ||
            static_cast<int16_t>(GetLE16(x.data() + 6 + 4 * i)) != kMsAdpcmCoefficients[i][1])
          return ACMERR_NOTPOSSIBLE;
      return MMSYSERR_NOERROR;
    }
    case WAVE_FORMAT_GSM610:
      // The Microsoft packing: two 160-sample frames in 65 bytes, mono.
      if (ch != 1 || align != 65) return ACMERR_NOTPOSSIBLE;
      return MMSYSERR_NOERROR;
    case WAVE_FORMAT_MPEG:
    case WAVE_FORMAT_MPEGLAYER3:
      if (ch > 2 || !IsMpegRate(Format.nSamplesPerSec)) return ACMERR_NOTPOSSIBLE;
      return MMSYSERR_NOERROR;
    default: return ACMERR_NOTPOSSIBLE;
  }
}

MMRESULT OpenDecoderStream(const WAVEFORMATEX& Src, HACMSTREAM& Stream) {
  auto stream = std::make_unique<AcmDecoderStream>(Src);
  if (const MMRESULT r = stream->Open()) return r;
  Stream.reset(stream.release());
  return MMSYSERR_NOERROR;
}
