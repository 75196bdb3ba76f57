#pragma once
// liblame_enc.so: a stream interface to the LAME MP3 encoder. A stream is opened with
// a configuration record, fed interleaved 16-bit PCM in chunks, flushed and closed;
// the LAME (Xing) tag of a VBR stream is written into the finished file afterwards.
// Every stream handle keeps its own encoder, so streams may run on several threads
// at once (one thread per stream at a time).

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef uint32_t BE_ERR;
typedef uint32_t HBE_STREAM;

#define BE_ERR_SUCCESSFUL 0x00000000u
#define BE_ERR_INVALID_FORMAT 0x00000001u             /* not the LAME configuration kind */
#define BE_ERR_INVALID_FORMAT_PARAMETERS 0x00000002u  /* the encoder refused a setting */
#define BE_ERR_NO_MORE_HANDLES 0x00000003u
#define BE_ERR_INVALID_HANDLE 0x00000004u
#define BE_ERR_BUFFER_TOO_SMALL 0x00000005u

#define BE_CONFIG_LAME 256u
#define CURRENT_STRUCT_VERSION 1u
#define CURRENT_STRUCT_SIZE 331u

/* nMode */
#define BE_MP3_MODE_STEREO 0
#define BE_MP3_MODE_JSTEREO 1
#define BE_MP3_MODE_DUALCHANNEL 2
#define BE_MP3_MODE_MONO 3

/* nVbrMethod */
#define VBR_METHOD_NONE (-1)
#define VBR_METHOD_DEFAULT 0
#define VBR_METHOD_OLD 1
#define VBR_METHOD_NEW 2
#define VBR_METHOD_MTRH 3
#define VBR_METHOD_ABR 4

#pragma pack(push, 1)
/* Version 1 of the configuration record: 331 bytes, no padding, little-endian.
   Zero means "the encoder's default" wherever a default exists. */
typedef struct {
  uint32_t dwConfig; /* BE_CONFIG_LAME */
  union {
    struct {
      uint32_t dwStructVersion; /* CURRENT_STRUCT_VERSION */
      uint32_t dwStructSize;    /* CURRENT_STRUCT_SIZE */
      uint32_t dwSampleRate;    /* of the PCM fed in */
      uint32_t dwReSampleRate;  /* of the MP3; 0: chosen by the encoder */
      int32_t nMode;            /* BE_MP3_MODE_* */
      uint32_t dwBitrate;       /* kbit/s: CBR rate, or the VBR/ABR minimum */
      uint32_t dwMaxBitrate;    /* kbit/s: VBR/ABR maximum */
      int32_t nPreset;          /* 0 only: no preset */
      uint32_t dwMpegVersion;   /* follows from the sample rate; not used */
      uint32_t dwPsyModel;      /* not used */
      uint32_t dwEmphasis;      /* 0 none, 1 50/15 us, 3 CCITT J.17 */
      int32_t bPrivate;
      int32_t bCRC;
      int32_t bCopyright;
      int32_t bOriginal;
      int32_t bWriteVBRHeader;  /* reserve the first frame for the LAME tag */
      int32_t bEnableVBR;       /* variable rate (VBR, or ABR by nVbrMethod) */
      int32_t nVBRQuality;      /* 0 best .. 9 */
      uint32_t dwVbrAbr_kbps;   /* ABR mean rate, kbit/s */
      int32_t nVbrMethod;       /* VBR_METHOD_ABR selects ABR, anything else VBR */
      int32_t bNoRes;           /* no bit reservoir */
      int32_t bStrictIso;
      uint16_t nQuality;        /* 0: the encoder's default; 1..9: LAME's quality */
      /* Channels of the PCM fed in (1 or 2); 0: taken from nMode (mono 1, else 2).
         A mono source in a stereo mode is encoded as mono; a stereo source in mono
         mode is mixed down. */
      uint32_t dwChannels;
      uint8_t btReserved[331 - 98];
    } LHV1;
    uint8_t raw[327];
  } format;
} BE_CONFIG, *PBE_CONFIG;
#pragma pack(pop)

#ifdef __cplusplus
static_assert(sizeof(BE_CONFIG) == CURRENT_STRUCT_SIZE, "the configuration record is 331 bytes");
#endif

/* Opens a stream. dwSamples receives the number of 16-bit samples (all channels) one
   chunk takes, dwBufferSize the most bytes one call can produce for such a chunk. */
BE_ERR beInitStream(PBE_CONFIG pbeConfig, uint32_t* dwSamples, uint32_t* dwBufferSize, HBE_STREAM* phbeStream);
/* Encodes nSamples interleaved 16-bit samples (at most dwSamples). */
BE_ERR beEncodeChunk(HBE_STREAM hbeStream, uint32_t nSamples, int16_t* pSamples, uint8_t* pOutput,
                     uint32_t* pdwOutput);
/* Encodes what is still buffered and ends the stream's audio. */
BE_ERR beDeinitStream(HBE_STREAM hbeStream, uint8_t* pOutput, uint32_t* pdwOutput);
/* Like beDeinitStream, but leaves the encoder ready for a following gapless stream. */
BE_ERR beFlushNoGap(HBE_STREAM hbeStream, uint8_t* pOutput, uint32_t* pdwOutput);
/* Frees the stream. The LAME tag of a stream that was ended with bWriteVBRHeader set
   is kept for a following beWriteVBRHeader on the same thread. */
BE_ERR beCloseStream(HBE_STREAM hbeStream);
/* Writes the LAME tag of the stream this thread closed last into the first frame of
   the named file (after an ID3v2 tag, if one starts the file). The file must begin
   with that stream's reserved frame; otherwise it is left alone. */
BE_ERR beWriteVBRHeader(const char* lpszFileName);
/* Writes the LAME tag of an ended stream into the named file, then closes the stream. */
BE_ERR beWriteInfoTag(HBE_STREAM hbeStream, const char* lpszFileName);

#ifdef __cplusplus
}
#endif
