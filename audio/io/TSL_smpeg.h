#pragma once
// MP3 input: the Windows Media reader decodes MP3 as well.

#include "audio/io/TSL_WinMedia.h"

class TMP3In : public TWMIn {
public:
  using TWMIn::TWMIn;

protected:
  const char* DecoderName() const override { return "MP3"; }
  // Without an encoder's header frame an MP3 file tells its length only by its bit
  // rate, which a variable one makes wrong.
  bool CountsAtOpen() const override { return true; }
};
