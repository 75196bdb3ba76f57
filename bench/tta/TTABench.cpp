// Drives libTTALib.so from the command line for the speed comparison:
//   TTABench enc IN.wav OUT.tta    encode with Wav2TTA
//   TTABench dec IN.tta OUT.wav    decode with TTA2Wav
// The library is loaded by file name from this program's folder, as the engine does.
#include "platform/codecs/tta/TTALib.h"

#include <cstdio>
#include <cstring>
#include <dlfcn.h>
#include <string>
#include <unistd.h>

int main(int argc, char** argv) {
  if (argc != 4 || (std::strcmp(argv[1], "enc") != 0 && std::strcmp(argv[1], "dec") != 0)) {
    std::fprintf(stderr, "usage: %s enc|dec IN OUT\n", argv[0]);
    return 2;
  }
  char Exe[4096];
  ssize_t N = readlink("/proc/self/exe", Exe, sizeof Exe - 1);
  if (N <= 0) return 2;
  Exe[N] = 0;
  std::string Dir(Exe);
  Dir.resize(Dir.rfind('/') + 1);
  void* Lib = dlopen((Dir + "libTTALib.so").c_str(), RTLD_NOW);
  if (!Lib) {
    std::fprintf(stderr, "%s\n", dlerror());
    return 2;
  }
  auto ErrStr = reinterpret_cast<decltype(&TTALib_GetErrStr)>(dlsym(Lib, TTALib::TTALibSymbol("GetErrStr")));
  int32_t R;
  if (argv[1][0] == 'e') {
    auto Fn = reinterpret_cast<decltype(&TTALib_Wav2TTA)>(dlsym(Lib, TTALib::TTALibSymbol("Wav2TTA")));
    R = Fn(argv[2], argv[3], false, nullptr, nullptr);
  } else {
    auto Fn = reinterpret_cast<decltype(&TTALib_TTA2Wav)>(dlsym(Lib, TTALib::TTALibSymbol("TTA2Wav")));
    R = Fn(argv[2], argv[3], nullptr, nullptr);
  }
  if (R != 0) {
    std::fprintf(stderr, "%s\n", ErrStr(R));
    return 1;
  }
  return 0;
}
