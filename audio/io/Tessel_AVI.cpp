#include "audio/io/Tessel_AVI.h"

#include <algorithm>
#include <cstdio>

#include "audio/io/WaveConverter.h"

namespace {

// Chunks of a variable bit rate stream (one per sample) read at once.
constexpr int32_t VbrSamplesPerRead = 16;
// Room for a decoder's held-back tail at the end of a stream.
constexpr uint32_t TailRoom = 1 << 16;

std::string Hex8(uint32_t V) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%08X", V);
  return buf;
}

}  // namespace

TAVIIn::TAVIIn(TComponent* AOwner) : TAuFileIn(AOwner) {}

bool TAVIIn::BlockCodec() const {
  switch (FStreamFormat.wFormatTag) {
    case WAVE_FORMAT_ADPCM:
    case WAVE_FORMAT_IMA_ADPCM:
    case WAVE_FORMAT_GSM610:
    case WAVE_FORMAT_ALAW:
    case WAVE_FORMAT_MULAW:
      return FInfo.dwSampleSize > 0 && FInfo.dwSampleSize == FStreamFormat.nBlockAlign;
    default:
      return false;
  }
}

void TAVIIn::OpenDecoder(HACMSTREAM& Acm) {
  Acm.reset();
  if (acmStreamOpen(Acm, FStreamFormat, FPcmFormat, ACM_STREAMOPENF_NONREALTIME) != MMSYSERR_NOERROR)
    throw EAuException("Cannot set up decoder");
}

void TAVIIn::DoOpenFile() {
  if (FFileName.empty()) throw EAuException("File name is not assigned");
  FValid = false;
  FHasAudio = false;
  AVIFileInit();
  FLibraryInit = true;
  try {
    if (AVIFileOpen(FFile, FFileName, OF_READ | OF_SHARE_DENY_WRITE) != AVIERR_OK)
      throw EAuException("Failed to open input file");
    if (AVIFileGetStream(FFile, FAudio, streamtypeAUDIO, 0) != AVIERR_OK) return;  // no audio: not valid
    FHasAudio = true;
    AVIStreamInfo(FAudio, FInfo);
    // The whole format record: Microsoft ADPCM's coefficients make it 50 bytes.
    int32_t formatSize = 0;
    AVIStreamReadFormat(FAudio, 0, nullptr, formatSize);
    std::vector<uint8_t> format(static_cast<size_t>(std::max(formatSize, 0)));
    AVIStreamReadFormat(FAudio, 0, format.data(), formatSize);
    if (!WAVEFORMATEX::FromBytes(format.data(), static_cast<size_t>(formatSize), FStreamFormat) ||
        FStreamFormat.nChannels == 0 || FStreamFormat.nSamplesPerSec == 0)
      throw EAuException("Cannot set up decoder");
    FStreamStart = AVIStreamStart(FAudio);
    FStreamPos = 0;
    const int64_t length = AVIStreamLength(FAudio);
    const WAVEFORMATEX& s = FStreamFormat;
    if (s.wFormatTag == WAVE_FORMAT_PCM && s.nBlockAlign > 0 && FInfo.dwSampleSize == s.nBlockAlign &&
        (s.wBitsPerSample == 8 || s.wBitsPerSample == 16 || s.wBitsPerSample == 24 || s.wBitsPerSample == 32) &&
        s.nBlockAlign == s.nChannels * s.wBitsPerSample / 8) {
      FCompressed = false;
      FPcmFormat = s;
      FSize = length * s.nBlockAlign;
    } else {
      // Anything else (PCM stored in variable chunks too) goes through the decoder.
      FCompressed = true;
      FPcmFormat = WAVEFORMATEX();
      FPcmFormat.wFormatTag = WAVE_FORMAT_PCM;
      if (acmFormatSuggest(FStreamFormat, FPcmFormat, ACM_METRIC_MAX_SIZE_FORMAT, ACM_FORMATSUGGESTF_WFORMATTAG) !=
          MMSYSERR_NOERROR)
        throw EAuException("Cannot set up decoder");
      OpenDecoder(FAcm);
      // A variable bit rate stream has no sample size to divide by.
      FSamplesPerRead = FInfo.dwSampleSize > 0
                            ? static_cast<int32_t>(std::max<uint32_t>(1, FInfo.dwSuggestedBufferSize / FInfo.dwSampleSize))
                            : VbrSamplesPerRead;
      FSamplesPerRead = std::min(FSamplesPerRead, 1 << 20);
      // The exact decoded size: the stream is decoded once.
      HACMSTREAM scan;
      OpenDecoder(scan);
      int64_t pos = 0, total = 0;
      std::vector<uint8_t> leftover, out;
      bool ended = false;
      FPayloadDamaged = false;
      while (DecodeChunk(scan, pos, leftover, ended, out)) {
        total += static_cast<int64_t>(out.size());
        if (AuWorkerCheckPoint()) break;
      }
      FSize = total;
    }
    FChannels = FPcmFormat.nChannels;
    FSampleRate = static_cast<int32_t>(FPcmFormat.nSamplesPerSec);
    FBitsPerSample = FPcmFormat.wBitsPerSample;
    FBlockAlign = static_cast<uint16_t>(FBitsPerSample / 8 * FChannels);
    if (FBlockAlign == 0) throw EAuException("Cannot set up decoder");
    FSize = FSize / FBlockAlign * FBlockAlign;
    FTotalSamples = FSize / FBlockAlign;
    // The stream ends early where its compressed data or the file is damaged, or where
    // the file is cut: the run that reaches it fails there. Damage in the data comes
    // before whatever the file lacks after it.
    const TAviDamage damage = AVIStreamDamage(FAudio);
    if (FCompressed && FPayloadDamaged)
      FDamageMessage = DecodingErrorMessage(PayloadFormatName(FStreamFormat), FFileName, FTotalSamples,
                                            PayloadDamageText(FStreamFormat));
    else
      FDamageMessage = damage == adNone ? std::string()
                                        : DecodingErrorMessage("AVI", FFileName, FTotalSamples,
                                                               damage == adCutShort ? "the file ends early"
                                                                                    : "chunks are damaged or missing");
    FSeekable = true;
    FValid = true;
    if (!FSizeKnown) {
      FSize = -1;
      FSeekable = false;
    }
    FLeftover.clear();
    FDecoded.clear();
    FDecodedPos = 0;
    FDecoderEnded = false;
    FDropBytes = 0;
  } catch (...) {
    DoCloseFile();
    throw;
  }
}

void TAVIIn::DoCloseFile() {
  FAcm.reset();
  FAudio.reset();
  FFile.reset();
  if (FLibraryInit) AVIFileExit();
  FLibraryInit = false;
  FReadBuffer.clear();
  FReadBuffer.shrink_to_fit();
  FDecoded.clear();
  FLeftover.clear();
  FDecodedPos = 0;
  FHasAudio = false;
}

bool TAVIIn::DecodeChunk(HACMSTREAM& Acm, int64_t& Pos, std::vector<uint8_t>& Leftover, bool& Ended,
                         std::vector<uint8_t>& Out) {
  Out.clear();
  // A chunk that decodes to nothing (a decoder filling its history) does not end the
  // data; only the end of the stream does.
  while (Out.empty()) {
    if (Ended) return false;
    int32_t bytes = 0, samples = 0;
    const HRESULT q = AVIStreamRead(FAudio, static_cast<int32_t>(FStreamStart + Pos), FSamplesPerRead, nullptr, 0,
                                    &bytes, &samples);
    if (q != AVIERR_OK) {
      if (Pos == 0) throw EAuException("Error reading from AVI file: " + Hex8(q));
      samples = 0;
    }
    bool last = samples == 0;
    std::vector<uint8_t> src;
    src.swap(Leftover);
    if (!last) {
      const size_t at = src.size();
      src.resize(at + static_cast<size_t>(bytes));
      int32_t got = 0, gotSamples = 0;
      const HRESULT r = AVIStreamRead(FAudio, static_cast<int32_t>(FStreamStart + Pos), samples, src.data() + at,
                                      bytes, &got, &gotSamples);
      if (r != AVIERR_OK || gotSamples == 0) {
        last = true;
        src.resize(at);
      } else {
        src.resize(at + static_cast<size_t>(got));
        Pos += gotSamples;
      }
    }
    uint32_t room = 0;
    if (acmStreamSize(Acm, static_cast<uint32_t>(std::max<size_t>(src.size(), 1)), room, ACM_STREAMSIZEF_SOURCE) !=
        MMSYSERR_NOERROR)
      room = 0;
    std::vector<uint8_t> dst(static_cast<size_t>(room) + (last ? TailRoom : 0) + FBlockAlign + 16);
    ACMSTREAMHEADER h;
    h.pbSrc = src.data();
    h.cbSrcLength = static_cast<uint32_t>(src.size());
    h.pbDst = dst.data();
    h.cbDstLength = static_cast<uint32_t>(dst.size());
    MMRESULT r = acmStreamPrepareHeader(Acm, h, 0);
    if (r == MMSYSERR_NOERROR) {
      r = acmStreamConvert(Acm, h, last ? 0 : ACM_STREAMCONVERTF_BLOCKALIGN);
      acmStreamUnprepareHeader(Acm, h, 0);
    }
    if (r == ACMERR_DAMAGED) {
      // The audio before the damage is the stream's: it goes out, and nothing after it.
      Out.assign(dst.begin(), dst.begin() + h.cbDstLengthUsed);
      Ended = FPayloadDamaged = true;
      Leftover.clear();
      return !Out.empty();
    }
    if (r != MMSYSERR_NOERROR) {
      // The flush of an empty tail has nothing to report.
      if (last && src.empty()) {
        Ended = true;
        return false;
      }
      throw EAuException("Decoding failed : " + std::to_string(r));
    }
    Out.assign(dst.begin(), dst.begin() + h.cbDstLengthUsed);
    const uint32_t used = std::min(h.cbSrcLengthUsed, h.cbSrcLength);
    Leftover.assign(src.begin() + used, src.end());
    if (last && (Leftover.empty() || (Out.empty() && Leftover.size() == src.size()))) Ended = true;
  }
  return true;
}

void TAVIIn::ReadRaw(void*& Buffer, uint32_t& Bytes) {
  if (!FDamageMessage.empty()) SetDamage(FDamageMessage);
  ReadStream(Buffer, Bytes);
  if (Bytes == 0) RaiseDamage();
}

void TAVIIn::ReadStream(void*& Buffer, uint32_t& Bytes) {
  if (!FCompressed) {
    const int64_t size = FSize;
    if (size > 0) Bytes = static_cast<uint32_t>(std::clamp<int64_t>(size - FPosition, 0, Bytes));
    Bytes -= Bytes % FBlockAlign;
    if (Bytes == 0) {
      Buffer = nullptr;
      return;
    }
    if (FReadBuffer.size() < Bytes) FReadBuffer.resize(Bytes);
    int32_t got = 0, samples = 0;
    if (AVIStreamRead(FAudio, static_cast<int32_t>(FStreamStart + FStreamPos), static_cast<int32_t>(Bytes / FBlockAlign),
                      FReadBuffer.data(), static_cast<int32_t>(Bytes), &got, &samples) != AVIERR_OK)
      got = samples = 0;
    FStreamPos += samples;
    Buffer = FReadBuffer.data();
    Bytes = static_cast<uint32_t>(got);
    return;
  }
  for (;;) {
    if (FDecodedPos >= FDecoded.size()) {
      if (!DecodeChunk(FAcm, FStreamPos, FLeftover, FDecoderEnded, FDecoded)) {
        Buffer = nullptr;
        Bytes = 0;
        return;
      }
      FDecodedPos = 0;
    }
    const size_t avail = FDecoded.size() - FDecodedPos;
    if (FDropBytes > 0) {
      const size_t skip = static_cast<size_t>(std::min<int64_t>(FDropBytes, static_cast<int64_t>(avail)));
      FDecodedPos += skip;
      FDropBytes -= static_cast<int64_t>(skip);
      continue;
    }
    Bytes = static_cast<uint32_t>(std::min<size_t>(Bytes, avail));
    Buffer = FDecoded.data() + FDecodedPos;
    FDecodedPos += Bytes;
    return;
  }
}

bool TAVIIn::SeekRaw(int64_t& SampleNum) {
  if (!FBusy || !FAudio) return false;
  if (!FCompressed) {
    FStreamPos = SampleNum;
    return true;
  }
  // Frames and bytes are kept apart: whole blocks are skipped in the stream, the rest
  // of the way is decoded and dropped.
  OpenDecoder(FAcm);
  FLeftover.clear();
  FDecoded.clear();
  FDecodedPos = 0;
  FDecoderEnded = false;
  int64_t perBlock = 0;
  uint32_t blockBytes = 0;
  if (BlockCodec() && acmStreamSize(FAcm, FInfo.dwSampleSize, blockBytes, ACM_STREAMSIZEF_SOURCE) == MMSYSERR_NOERROR)
    perBlock = blockBytes / FBlockAlign;
  if (perBlock > 0) {
    FStreamPos = SampleNum / perBlock;
    FDropBytes = SampleNum % perBlock * FBlockAlign;
  } else {
    FStreamPos = 0;
    FDropBytes = SampleNum * FBlockAlign;
  }
  return true;
}
