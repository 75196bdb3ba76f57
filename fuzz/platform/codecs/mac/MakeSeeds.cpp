// Writes small APE files for the fuzz targets' seed corpora with the library's own
// encoder and tag writer: every width and channel count, two levels, tagged and not.
// Usage: MakeSeeds <folder>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/codecs/mac/APECompress.h"
#include "platform/codecs/mac/APETags.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <folder>\n", argv[0]);
    return 2;
  }
  const std::string dir = argv[1];
  unsigned seed = 1;
  int made = 0;
  for (int bits : {8, 16, 24})
    for (int channels : {1, 2})
      for (int level : {1000, 5000}) {
        const int blocks = 700 + bits * 3 + channels;
        const int bytes = bits / 8;
        std::vector<uint8_t> pcm;
        for (int b = 0; b < blocks; ++b)
          for (int c = 0; c < channels; ++c) {
            seed = seed * 1103515245u + 12345u;
            const double v = 0.5 * std::sin(b * (0.05 + 0.03 * c)) + 0.1 * ((seed >> 16) % 1000 / 1000.0 - 0.5);
            const int32_t s = static_cast<int32_t>(v * ((1 << (bits - 1)) - 1));
            const uint32_t u = bits == 8 ? static_cast<uint32_t>(s + 128) : static_cast<uint32_t>(s);
            for (int k = 0; k < bytes; ++k) pcm.push_back(static_cast<uint8_t>(u >> (8 * k)));
          }
        MACDll::WAVEFORMATEX fmt{1, static_cast<uint16_t>(channels), 8000, 0, static_cast<uint16_t>(channels * bytes),
                                 static_cast<uint16_t>(bits), 0};
        const std::string name = dir + "/s" + std::to_string(bits) + "-" + std::to_string(channels) + "-" +
                                 std::to_string(level) + ".ape";
        MAC::TAPECompressor c;
        if (c.Start(name.c_str(), &fmt, -1, level, nullptr, 0) != 0 ||
            c.AddData(pcm.data(), static_cast<int32_t>(pcm.size())) != 0 || c.Finish(nullptr, 0) != 0) {
          std::fprintf(stderr, "could not write %s\n", name.c_str());
          return 1;
        }
        ++made;
        if (level == 5000) {
          const char* const fields[7] = {"Artist", "Album", "Title ✓", "Comment", "Genre", "2001", "3"};
          if (MAC::TagFileSimple(name.c_str(), fields, true) != 0) return 1;
        }
      }
  std::printf("%d seed files\n", made);
  return 0;
}
