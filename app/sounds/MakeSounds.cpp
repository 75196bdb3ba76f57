// Writes the program's two sounds into the folder named on the command line: "ding.wav"
// (after each converted file) and "notify.wav" (after the run). Short, quiet chimes made
// of decaying sine tones, 16-bit mono PCM at 44.1 kHz.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int Rate = 44100;
constexpr double Pi = 3.14159265358979323846;

struct TTone {
  double Start;      // seconds
  double Frequency;  // Hz
  double Decay;      // seconds for the level to fall by e
};

// The tones added up, each with a 5 ms rise and an exponential fall, at Level of full
// scale, and faded to silence over the last 20 ms.
std::vector<int16_t> Chime(double Seconds, double Level, const std::vector<TTone>& Tones) {
  const int frames = static_cast<int>(Seconds * Rate);
  std::vector<int16_t> pcm(static_cast<size_t>(frames));
  for (int i = 0; i < frames; ++i) {
    const double t = static_cast<double>(i) / Rate;
    double v = 0;
    for (const TTone& tone : Tones) {
      const double local = t - tone.Start;
      if (local < 0) continue;
      const double rise = std::min(local / 0.005, 1.0);
      v += rise * std::exp(-local / tone.Decay) * std::sin(2 * Pi * tone.Frequency * local);
    }
    const double fade = std::min((Seconds - t) / 0.02, 1.0);
    v = v / static_cast<double>(Tones.size()) * Level * fade;
    pcm[static_cast<size_t>(i)] = static_cast<int16_t>(std::lround(std::clamp(v, -1.0, 1.0) * 32767.0));
  }
  return pcm;
}

void Put32(std::FILE* F, uint32_t V) {
  const unsigned char b[4] = {static_cast<unsigned char>(V), static_cast<unsigned char>(V >> 8),
                              static_cast<unsigned char>(V >> 16), static_cast<unsigned char>(V >> 24)};
  std::fwrite(b, 1, 4, F);
}

void Put16(std::FILE* F, uint16_t V) {
  const unsigned char b[2] = {static_cast<unsigned char>(V), static_cast<unsigned char>(V >> 8)};
  std::fwrite(b, 1, 2, F);
}

bool WriteWave(const std::string& Path, const std::vector<int16_t>& Pcm) {
  std::FILE* f = std::fopen(Path.c_str(), "wb");
  if (!f) return false;
  const uint32_t bytes = static_cast<uint32_t>(Pcm.size() * 2);
  std::fwrite("RIFF", 1, 4, f);
  Put32(f, 36 + bytes);
  std::fwrite("WAVEfmt ", 1, 8, f);
  Put32(f, 16);
  Put16(f, 1);  // PCM
  Put16(f, 1);  // mono
  Put32(f, Rate);
  Put32(f, Rate * 2);
  Put16(f, 2);
  Put16(f, 16);
  std::fwrite("data", 1, 4, f);
  Put32(f, bytes);
  for (int16_t s : Pcm) Put16(f, static_cast<uint16_t>(s));
  return std::fclose(f) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <folder>\n", argv[0]);
    return 2;
  }
  const std::string dir = std::string(argv[1]) + "/";
  const bool ok = WriteWave(dir + "ding.wav", Chime(0.35, 0.3, {{0.0, 1318.5, 0.09}})) &&
                  WriteWave(dir + "notify.wav", Chime(0.8, 0.3, {{0.0, 880.0, 0.15}, {0.16, 1174.7, 0.2}}));
  if (!ok) std::fprintf(stderr, "%s: cannot write the sounds into %s\n", argv[0], argv[1]);
  return ok ? 0 : 1;
}
