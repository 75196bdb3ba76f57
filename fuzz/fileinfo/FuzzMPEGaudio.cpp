// Reads MPEG audio stream facts from arbitrary bytes: the file stays as it was, what
// a valid file tells is a frame's format and a length that is not negative, and a
// reader reused across inputs tells the same as a fresh one.
#include "fileinfo/MPEGaudio.h"
#include "fuzz/fileinfo/FuzzFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  TMPEGaudio m;
  const bool read = m.ReadFromFile(fuzzfile::Write(Data, Size));
  fuzzfile::CheckUnchanged(Data, Size);
  fuzzfile::Check(read == m.Valid(), "result says whether the file is valid");
  if (read) {
    fuzzfile::Check(m.SampleRate() >= 8000 && m.SampleRate() <= 48000 && (m.Channels() == 1 || m.Channels() == 2) &&
                        m.Layer() >= 1 && m.Layer() <= 3 && m.Bitrate() > 0,
                    "a frame's format");
    fuzzfile::Check(m.Frames() >= 0 && m.Samples() >= 0 && m.Samples() <= m.Frames() * 1152, "length");
  }
  static TMPEGaudio reused;
  reused.ReadFromFile(fuzzfile::Path());
  fuzzfile::Check(reused.Valid() == m.Valid() && reused.Samples() == m.Samples() && reused.Frames() == m.Frames() &&
                      reused.Counted() == m.Counted(),
                  "a reused reader forgets the last file");
  return 0;
}
