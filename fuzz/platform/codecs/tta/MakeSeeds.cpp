// Writes TTA seed files from WAV files for the fuzz targets: MakeSeeds IN.wav OUT.tta
#include "platform/codecs/tta/TTALib.h"

#include <cstdio>

int main(int argc, char** argv) {
  if (argc != 3) return 2;
  int32_t R = TTALib_Wav2TTA(argv[1], argv[2], false, nullptr, nullptr);
  if (R != 0) std::fprintf(stderr, "%s: %s\n", argv[1], TTALib_GetErrStr(R));
  return R == 0 ? 0 : 1;
}
