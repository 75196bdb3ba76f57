#pragma once
// IMA (DVI) and Microsoft ADPCM block coding for WAV files: 4-bit codes, mono
// or stereo, 16-bit interleaved PCM on the other side.
//
// Decoders take the bytes a block really has: a short last block decodes what
// its whole codes give and nothing more. They never read or write outside the
// buffers they are given.

#include <cstdint>

extern const int16_t ImaStepTable[89];
extern const int8_t ImaIndexTable[16];
extern const int16_t MsAdpcmAdaptationTable[16];

// Frames one IMA block of BlockAlign bytes holds (header sample included);
// 0 when the block cannot hold a header and whole code groups.
int32_t ImaSamplesPerBlock(int32_t BlockAlign, int32_t Channels);

// Decodes one IMA block of Bytes bytes for 1 or 2 channels into at most
// MaxFrames interleaved frames. Returns the frames written; -1 when the block
// is shorter than its header or a header's step index is beyond 88.
int32_t ImaDecodeBlock(const uint8_t* Block, int32_t Bytes, int32_t Channels, int16_t* Out,
                       int32_t MaxFrames);

// The encoder's state of one channel; the step index carries over from block
// to block, the predictor restarts at each block's first sample.
struct TImaChannelState {
  int32_t Predictor = 0;
  int32_t Index = 0;
};

// Encodes ImaSamplesPerBlock(BlockSize, Channels) interleaved frames of In
// into one block of BlockSize bytes.
void ImaEncodeBlock(const int16_t* In, int32_t Channels, int32_t BlockSize, TImaChannelState* State,
                    uint8_t* Block);

struct TMsAdpcmCoef {
  int16_t Coef1;
  int16_t Coef2;
};

// Frames one Microsoft ADPCM block of BlockAlign bytes holds; 0 when it cannot
// hold its header.
int32_t MsAdpcmSamplesPerBlock(int32_t BlockAlign, int32_t Channels);

// Decodes one Microsoft ADPCM block of Bytes bytes for 1 or 2 channels into at
// most MaxFrames (the file's samples per block, at least 2) interleaved
// frames. Returns the frames written; -1 when the block is shorter than its
// header or names a coefficient pair the table does not have.
int32_t MsAdpcmDecodeBlock(const uint8_t* Block, int32_t Bytes, int32_t Channels,
                           const TMsAdpcmCoef* Coefs, int32_t NumCoefs, int16_t* Out,
                           int32_t MaxFrames);
