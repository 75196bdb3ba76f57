// Drives libMACDll.so from the command line for the speed comparison:
//   MACBench enc LEVEL BITS CHANNELS RATE IN.raw OUT.ape   encode raw PCM
//   MACBench dec IN.ape OUT.raw                             decode to raw PCM
// The library is loaded by file name from this program's folder, as the engine does;
// data goes over in 64 KiB pieces, as the output component hands it over.
#include "platform/codecs/mac/MACDll.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

template <class F>
F Bind(void* Lib, const char* Name) {
  auto f = reinterpret_cast<F>(dlsym(Lib, Name));
  if (!f) {
    std::fprintf(stderr, "%s not found\n", Name);
    std::exit(2);
  }
  return f;
}

int main(int argc, char** argv) {
  const bool enc = argc == 8 && std::strcmp(argv[1], "enc") == 0;
  const bool dec = argc == 4 && std::strcmp(argv[1], "dec") == 0;
  if (!enc && !dec) {
    std::fprintf(stderr, "usage: %s enc LEVEL BITS CHANNELS RATE IN.raw OUT.ape | dec IN.ape OUT.raw\n", argv[0]);
    return 2;
  }
  char exe[4096];
  const ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
  if (n <= 0) return 2;
  exe[n] = 0;
  std::string dir(exe);
  dir.resize(dir.rfind('/') + 1);
  void* lib = dlopen((dir + "libMACDll.so").c_str(), RTLD_NOW);
  if (!lib) {
    std::fprintf(stderr, "%s\n", dlerror());
    return 2;
  }
  if (enc) {
    FILE* in = std::fopen(argv[6], "rb");
    if (!in) return 1;
    auto create = Bind<decltype(&c_APECompress_Create)>(lib, "c_APECompress_Create");
    auto fill = Bind<decltype(&FillWaveFormatEx)>(lib, "FillWaveFormatEx");
    auto start = Bind<decltype(&c_APECompress_Start)>(lib, "c_APECompress_Start");
    auto add = Bind<decltype(&c_APECompress_AddData)>(lib, "c_APECompress_AddData");
    auto finish = Bind<decltype(&c_APECompress_Finish)>(lib, "c_APECompress_Finish");
    auto destroy = Bind<decltype(&c_APECompress_Destroy)>(lib, "c_APECompress_Destroy");
    int32_t r = 0;
    APE_COMPRESS_HANDLE h = create(&r);
    MACDll::WAVEFORMATEX fmt{};
    if (r == 0) r = fill(&fmt, std::atoi(argv[5]), std::atoi(argv[3]), std::atoi(argv[4]));
    if (r == 0) r = start(h, argv[7], &fmt, -1, std::atoi(argv[2]), nullptr, 0);
    std::vector<uint8_t> buf(65536);
    size_t got;
    while (r == 0 && (got = std::fread(buf.data(), 1, buf.size(), in)) > 0) r = add(h, buf.data(), static_cast<int32_t>(got));
    if (r == 0) r = finish(h, nullptr, 0, 0);
    destroy(h);
    std::fclose(in);
    if (r != 0) std::fprintf(stderr, "error %d\n", r);
    return r == 0 ? 0 : 1;
  }
  auto createW = Bind<decltype(&c_APEDecompress_CreateW)>(lib, "c_APEDecompress_CreateW");
  auto getData = Bind<decltype(&c_APEDecompress_GetData)>(lib, "c_APEDecompress_GetData");
  auto getInfo = Bind<decltype(&c_APEDecompress_GetInfo)>(lib, "c_APEDecompress_GetInfo");
  auto destroy = Bind<decltype(&c_APEDecompress_Destroy)>(lib, "c_APEDecompress_Destroy");
  std::u16string name;
  for (const char* p = argv[2]; *p; ++p) name += static_cast<char16_t>(static_cast<unsigned char>(*p));
  int32_t r = 0;
  APE_DECOMPRESS_HANDLE h = createW(name.c_str(), &r);
  if (!h) {
    std::fprintf(stderr, "error %d\n", r);
    return 1;
  }
  FILE* out = std::fopen(argv[3], "wb");
  if (!out) return 1;
  const int32_t align = static_cast<int32_t>(getInfo(h, MACDll::APE_INFO_BLOCK_ALIGN, 0, 0));
  const int32_t blocks = 65536 / align;
  std::vector<char> buf(static_cast<size_t>(blocks) * static_cast<size_t>(align));
  for (;;) {
    int32_t got = 0;
    r = getData(h, buf.data(), blocks, &got);
    std::fwrite(buf.data(), static_cast<size_t>(align), static_cast<size_t>(got), out);
    if (r != 0 || got < blocks) break;
  }
  std::fclose(out);
  destroy(h);
  if (r != 0) std::fprintf(stderr, "error %d\n", r);
  return r == 0 ? 0 : 1;
}
