#pragma once
// A CD image (cue/bin) made at test time: four tracks of sox tones and data, in one
// folder that the test owns.
//
//   track 1  audio                      sectors   0..150  (2.0 s)
//   track 2  audio with pre-emphasis    sectors 150..270  (1.6 s)
//   track 3  data (MODE1/2352)          sectors 270..345  (1.0 s)
//   track 4  audio, copy permitted      sectors 345..435  (1.2 s), then the lead-out

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/support/Files.h"
#include "tests/support/Tools.h"

struct TCDTestDisc {
  std::filesystem::path Dir;
  std::string Cue;
  std::string Bin;
  std::vector<std::vector<uint8_t>> Tracks;  // the bytes of each track, track 1 first
  std::vector<uint32_t> Starts{0, 150, 270, 345};
  uint32_t LeadOut = 435;
};

// A fresh folder under the system's temporary folder (the audio/io CD tests use it);
// empty when it cannot be made.
inline std::filesystem::path MakeTestFolder(const std::string& Prefix) {
  std::string templ = (std::filesystem::temp_directory_path() / (Prefix + "-XXXXXX")).string();
  if (!mkdtemp(templ.data())) return {};
  return templ;
}

// A tone of exactly Sectors sectors of 16-bit little-endian stereo, made by sox.
inline std::vector<uint8_t> SoxTone(const std::filesystem::path& Dir, const std::string& Name, uint32_t Sectors,
                                    const std::string& Synth) {
  const auto file = Dir / (Name + ".raw");
  const std::string cmd = "sox -D -r 44100 -c 2 -n -r 44100 -c 2 -b 16 -e signed -L -t raw " +
                          testsupport::Quote(file.string()) + " synth " + std::to_string(Sectors * 588) + "s " + Synth;
  if (!testsupport::RunOk(cmd)) return {};
  return testsupport::ReadFile(file.string());
}

// Fails the test (fatally) when sox is missing.
inline void MakeTestDisc(const std::filesystem::path& Dir, TCDTestDisc& Disc) {
  Disc.Dir = Dir;
  Disc.Cue = (Dir / "disc.cue").string();
  Disc.Bin = (Dir / "disc.bin").string();
  Disc.Tracks.clear();
  Disc.Tracks.push_back(SoxTone(Dir, "t1", 150, "sine 440 sine 554"));
  Disc.Tracks.push_back(SoxTone(Dir, "t2", 120, "sine 660 sine 880"));
  std::vector<uint8_t> data(75 * 2352);
  uint32_t x = 12345;
  for (auto& b : data) {
    x = x * 1103515245u + 12345u;
    b = static_cast<uint8_t>(x >> 24);
  }
  Disc.Tracks.push_back(data);
  Disc.Tracks.push_back(SoxTone(Dir, "t4", 90, "square 300 sine 1000"));
  ASSERT_EQ(Disc.Tracks[0].size(), 150u * 2352) << "sox is needed";
  ASSERT_EQ(Disc.Tracks[1].size(), 120u * 2352);
  ASSERT_EQ(Disc.Tracks[3].size(), 90u * 2352);
  {
    std::ofstream bin(Disc.Bin, std::ios::binary);
    for (const auto& t : Disc.Tracks) bin.write(reinterpret_cast<const char*>(t.data()), static_cast<std::streamsize>(t.size()));
  }
  std::ofstream(Disc.Cue) << "FILE \"disc.bin\" BINARY\n"
                             "  TRACK 01 AUDIO\n"
                             "    INDEX 01 00:00:00\n"
                             "  TRACK 02 AUDIO\n"
                             "    FLAGS PRE\n"
                             "    INDEX 01 00:02:00\n"
                             "  TRACK 03 MODE1/2352\n"
                             "    INDEX 01 00:03:45\n"
                             "  TRACK 04 AUDIO\n"
                             "    FLAGS DCP\n"
                             "    INDEX 01 00:04:45\n";
}
