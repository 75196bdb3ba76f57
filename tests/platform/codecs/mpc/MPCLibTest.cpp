// libmpdec.so and libmppenc.so called directly, loaded by file name from the test
// program's folder as the engine loads them.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include <dlfcn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/codecs/mpdec/MPDec.h"
#include "platform/codecs/mppenc/MPPEnc.h"
#include "tests/support/Files.h"
#include "tests/support/Tools.h"

namespace {

std::string ProgramDir() {
  char buf[4096];
  const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return ".";
  buf[n] = 0;
  const std::string p(buf);
  return p.substr(0, p.rfind('/'));
}

bool Shell(const std::string& Command, std::string* Out = nullptr) { return testsupport::RunOk(Command, Out); }

void* Open(const char* Name) {
  void* h = dlopen((ProgramDir() + "/" + Name).c_str(), RTLD_NOW | RTLD_LOCAL);
  EXPECT_NE(h, nullptr) << dlerror();
  return h;
}

template <class F>
F Sym(void* H, const char* Name) {
  F f = reinterpret_cast<F>(dlsym(H, Name));
  EXPECT_NE(f, nullptr) << Name;
  return f;
}

std::set<std::string> DefinedSymbols(const std::string& Lib) {
  std::string out;
  EXPECT_TRUE(Shell("nm -D --defined-only --extern-only " + ProgramDir() + "/" + Lib, &out)) << out;
  std::set<std::string> names;
  size_t pos = 0;
  while (pos < out.size()) {
    const size_t end = out.find('\n', pos);
    const std::string line = out.substr(pos, end - pos);
    const size_t sp = line.rfind(' ');
    if (sp != std::string::npos) names.insert(line.substr(sp + 1));
    if (end == std::string::npos) break;
    pos = end + 1;
  }
  return names;
}

struct Dec {
  void* H = Open("libmpdec.so");
  decltype(&mpc_streaminfo_init) Init = Sym<decltype(&mpc_streaminfo_init)>(H, "mpc_streaminfo_init");
  decltype(&mpc_streaminfo_read) Read = Sym<decltype(&mpc_streaminfo_read)>(H, "mpc_streaminfo_read");
  decltype(&mpc_streaminfo_get_length) Length = Sym<decltype(&mpc_streaminfo_get_length)>(H, "mpc_streaminfo_get_length");
  decltype(&mpc_decoder_setup) Setup = Sym<decltype(&mpc_decoder_setup)>(H, "mpc_decoder_setup");
  decltype(&mpc_decoder_initialize) Initialize = Sym<decltype(&mpc_decoder_initialize)>(H, "mpc_decoder_initialize");
  decltype(&mpc_decoder_scale_output) Scale = Sym<decltype(&mpc_decoder_scale_output)>(H, "mpc_decoder_scale_output");
  decltype(&mpc_decoder_decode) Decode = Sym<decltype(&mpc_decoder_decode)>(H, "mpc_decoder_decode");
  decltype(&mpc_decoder_decode_frame) DecodeFrame =
      Sym<decltype(&mpc_decoder_decode_frame)>(H, "mpc_decoder_decode_frame");
  decltype(&mpc_decoder_seek_sample) SeekSample = Sym<decltype(&mpc_decoder_seek_sample)>(H, "mpc_decoder_seek_sample");
  decltype(&mpc_decoder_seek_seconds) SeekSeconds =
      Sym<decltype(&mpc_decoder_seek_seconds)>(H, "mpc_decoder_seek_seconds");
};

// A reader over bytes in memory.
struct MemReader {
  std::vector<uint8_t> Data;
  int32_t Pos = 0;
  mpc_reader R{};
  MemReader() {
    R.read = [](void* d, void* p, mpc_int32_t n) -> mpc_int32_t {
      auto* m = static_cast<MemReader*>(d);
      const int32_t k = std::min<int32_t>(n, int32_t(m->Data.size()) - m->Pos);
      std::memcpy(p, m->Data.data() + m->Pos, size_t(k));
      m->Pos += k;
      return k;
    };
    R.seek = [](void* d, mpc_int32_t o) -> mpc_bool_t {
      auto* m = static_cast<MemReader*>(d);
      if (o < 0 || o > int32_t(m->Data.size())) return 0;
      m->Pos = o;
      return 1;
    };
    R.tell = [](void* d) -> mpc_int32_t { return static_cast<MemReader*>(d)->Pos; };
    R.get_size = [](void* d) -> mpc_int32_t { return int32_t(static_cast<MemReader*>(d)->Data.size()); };
    R.canseek = [](void*) -> mpc_bool_t { return 1; };
    R.data = this;
  }
};

using testsupport::ReadFile;
using TempDir = testsupport::TTempDir;

// 1.5 s of a stereo chord at 44.1 kHz, encoded by mpcenc.
std::vector<uint8_t> MakeMpc(const TempDir& Dir) {
  const std::string wav = Dir.Path("s.wav"), mpc = Dir.Path("s.mpc");
  std::string log;
  EXPECT_TRUE(Shell("sox -n -r 44100 -c 2 -b 16 -t wavpcm " + wav + " synth 1.5 sine 440 sine 550 vol 0.5", &log)) << log;
  EXPECT_TRUE(Shell("mpcenc --silent " + wav + " " + mpc, &log)) << log;
  return ReadFile(mpc);
}

// Decodes everything from the record's position; returns the floats.
std::vector<float> DecodeRest(Dec& D, mpc_decoder& Record) {
  std::vector<float> all, buf(MPC_DECODER_BUFFER_LENGTH);
  for (;;) {
    const mpc_uint32_t n = D.Decode(&Record, buf.data(), nullptr, nullptr);
    EXPECT_NE(n, MPC_DECODE_ERROR);
    if (n == 0 || n == MPC_DECODE_ERROR) break;
    all.insert(all.end(), buf.begin(), buf.begin() + n * 2);
  }
  return all;
}

}  // namespace

TEST(MPCLibTest, DecoderExportsExactlyItsEntryPoints) {
  const std::set<std::string> expected = {
      "mpc_streaminfo_init",     "mpc_streaminfo_read",        "mpc_streaminfo_get_length",
      "mpc_streaminfo_get_length_samples", "mpc_decoder_setup",  "mpc_decoder_initialize",
      "mpc_decoder_set_seeking", "mpc_decoder_set_streaminfo", "mpc_decoder_scale_output",
      "mpc_decoder_decode",      "mpc_decoder_decode_frame",   "mpc_decoder_seek_sample",
      "mpc_decoder_seek_seconds"};
  EXPECT_EQ(DefinedSymbols("libmpdec.so"), expected);
  const std::set<std::string> encoder = {"init_static",   "init_enc_state", "set_callbacks",     "add_tag",
                                         "start_encoder", "process_block",  "free_encoder_state"};
  EXPECT_EQ(DefinedSymbols("libmppenc.so"), encoder);
}

TEST(MPCLibTest, DecoderRecordSeeksScalesAndRefusesMisuse) {
  TempDir dir;
  MemReader m;
  m.Data = MakeMpc(dir);
  ASSERT_FALSE(m.Data.empty());
  Dec d;
  mpc_streaminfo si;
  d.Init(&si);
  EXPECT_EQ(d.Read(nullptr, &m.R), MPC_ERROR_CODE_ARGUMENT);
  m.Pos = 100;  // the header is read from the start wherever the reader stands
  ASSERT_EQ(d.Read(&si, &m.R), MPC_ERROR_CODE_OK);
  EXPECT_EQ(si.sample_freq, 44100u);
  EXPECT_EQ(si.channels, 2u);
  EXPECT_EQ(si.stream_version, 8u);
  EXPECT_EQ(si.pcm_samples, 66150);
  EXPECT_DOUBLE_EQ(d.Length(&si), 1.5);

  mpc_decoder rec{};
  std::vector<float> buf(MPC_DECODER_BUFFER_LENGTH);
  EXPECT_EQ(d.Decode(&rec, buf.data(), nullptr, nullptr), MPC_DECODE_ERROR);  // never set up
  d.Setup(&rec, &m.R);
  EXPECT_EQ(d.Decode(&rec, buf.data(), nullptr, nullptr), MPC_DECODE_ERROR);  // not initialised
  mpc_streaminfo other = si;
  other.sample_freq = 48000;
  EXPECT_EQ(d.Initialize(&rec, &other), 0);  // information of another stream
  ASSERT_EQ(d.Initialize(&rec, &si), 1);

  const std::vector<float> whole = DecodeRest(d, rec);
  ASSERT_EQ(whole.size(), 66150u * 2);
  EXPECT_EQ(d.Decode(&rec, buf.data(), nullptr, nullptr), 0u);  // stays at the end

  // Back to a time inside a frame: the same samples as from the start.
  ASSERT_EQ(d.SeekSeconds(&rec, 1.0), 1);
  const std::vector<float> tail = DecodeRest(d, rec);
  ASSERT_EQ(tail.size(), (66150u - 44100u) * 2);
  EXPECT_TRUE(std::equal(tail.begin(), tail.end(), whole.begin() + 88200));
  EXPECT_EQ(d.SeekSample(&rec, 66151), 0);
  EXPECT_EQ(d.SeekSample(&rec, -1), 0);
  ASSERT_EQ(d.SeekSample(&rec, 66150), 1);
  EXPECT_EQ(d.Decode(&rec, buf.data(), nullptr, nullptr), 0u);

  ASSERT_EQ(d.SeekSample(&rec, 0), 1);
  d.Scale(&rec, 0.5);
  mpc_uint32_t frames = 0, bits = 0;
  const mpc_uint32_t n = d.Decode(&rec, buf.data(), &frames, &bits);
  ASSERT_GT(n, 0u);
  EXPECT_EQ(frames, 1u);
  EXPECT_GT(bits, 0u);
  for (mpc_uint32_t i = 0; i < n * 2; ++i) ASSERT_FLOAT_EQ(buf[i], whole[i] * 0.5f) << i;

  // Frames come only through the reader.
  mpc_uint32_t raw[4] = {};
  EXPECT_EQ(d.DecodeFrame(&rec, raw, sizeof raw, buf.data()), MPC_DECODE_ERROR);
  EXPECT_GT(d.DecodeFrame(&rec, nullptr, 0, buf.data()), 0u);

  d.Setup(&rec, nullptr);  // releases the decoding state
  EXPECT_EQ(rec.state, nullptr);
  EXPECT_EQ(d.Decode(&rec, buf.data(), nullptr, nullptr), MPC_DECODE_ERROR);
}

namespace {

struct Enc {
  void* H = Open("libmppenc.so");
  decltype(&init_enc_state) InitState = Sym<decltype(&init_enc_state)>(H, "init_enc_state");
  decltype(&set_callbacks) SetCallbacks = Sym<decltype(&set_callbacks)>(H, "set_callbacks");
  decltype(&add_tag) AddTag = Sym<decltype(&add_tag)>(H, "add_tag");
  decltype(&start_encoder) Start = Sym<decltype(&start_encoder)>(H, "start_encoder");
  decltype(&process_block) Process = Sym<decltype(&process_block)>(H, "process_block");
  decltype(&free_encoder_state) Free = Sym<decltype(&free_encoder_state)>(H, "free_encoder_state");
};

// The caller side of an encoding: PCM from memory, the stream into memory.
struct Session {
  std::vector<uint8_t> Pcm, Out;
  size_t ReadPos = 0;
  size_t ExtraFrames = 0;     // delivered beyond the PCM, to overrun an announced length
  size_t WriteLimit = SIZE_MAX;
  std::string Message;
  uint64_t Progress = 0, Finished = 0;
  bool Encoded = false;

  static size_t Read(void* U, void* B, size_t Size, size_t Count) {
    auto* s = static_cast<Session*>(U);
    size_t n = std::min(Count, (s->Pcm.size() - s->ReadPos) / Size);
    std::memcpy(B, s->Pcm.data() + s->ReadPos, n * Size);
    s->ReadPos += n * Size;
    if (n == 0 && s->ExtraFrames > 0) {
      n = std::min(Count, s->ExtraFrames);
      std::memset(B, 0, n * Size);
      s->ExtraFrames -= n;
    }
    return n;
  }
  static size_t Write(void* U, const void* B, size_t Size, size_t Count) {
    auto* s = static_cast<Session*>(U);
    const size_t n = std::min(Size * Count, s->WriteLimit - std::min(s->WriteLimit, s->Out.size()));
    s->Out.insert(s->Out.end(), static_cast<const uint8_t*>(B), static_cast<const uint8_t*>(B) + n);
    return n / Size;
  }
  void Bind(Enc& E, mppenc_state* St) {
    E.SetCallbacks(
        St, [](void* U, const char* T) { static_cast<Session*>(U)->Message = T; }, Read, nullptr,
        [](void* U, uint64_t F) { static_cast<Session*>(U)->Progress = F; },
        [](void* U) { static_cast<Session*>(U)->Encoded = true; }, nullptr, nullptr, Write,
        [](void* U, uint64_t B) { static_cast<Session*>(U)->Finished = B; }, this);
  }
  // Runs the state to its end: 1 done, -1 failed.
  int Run(Enc& E, mppenc_state* St) {
    if (E.Start(St) != 0) return -1;
    for (int i = 0; i < 100000; ++i) {
      const int r = E.Process(St);
      if (r != 0) return r;
    }
    return 0;
  }
};

}  // namespace

TEST(MPCLibTest, EncoderChecksItsArgumentsAndTags) {
  Enc e;
  mppenc_state* st = reinterpret_cast<mppenc_state*>(&e);  // must be cleared on failure
  EXPECT_EQ(e.InitState(&st, 22050, 100, 16, 2, 5.0f), MPPENC_ERR_FORMAT);
  EXPECT_EQ(st, nullptr);
  EXPECT_EQ(e.InitState(&st, 44100, 100, 12, 2, 5.0f), MPPENC_ERR_FORMAT);
  EXPECT_EQ(e.InitState(&st, 44100, 100, 16, 3, 5.0f), MPPENC_ERR_FORMAT);
  EXPECT_EQ(e.InitState(&st, 44100, 100, 16, 2, -0.5f), MPPENC_ERR_QUALITY);
  EXPECT_EQ(e.InitState(&st, 44100, 100, 16, 2, 10.01f), MPPENC_ERR_QUALITY);
  EXPECT_EQ(e.InitState(&st, 44100, int64_t(1) << 31, 16, 2, 5.0f), MPPENC_ERR_TOO_LONG);
  e.Free(nullptr);

  ASSERT_EQ(e.InitState(&st, 44100, 0, 16, 2, 5.0f), MPPENC_OK);
  EXPECT_NE(e.AddTag(st, "A", 1, "x", 1), 0);           // too short
  EXPECT_NE(e.AddTag(st, "tag", 3, "x", 1), 0);         // reserved, in any case
  EXPECT_NE(e.AddTag(st, "Ti\ttle", 6, "x", 1), 0);     // not printable
  EXPECT_NE(e.AddTag(st, "Tïtle", 6, "x", 1), 0);       // not ASCII
  EXPECT_EQ(e.AddTag(st, "Title", 5, "first", 5), 0);
  EXPECT_EQ(e.AddTag(st, "Artist", 6, "A\0B", 3), 0);   // values are bytes, zeros too
  EXPECT_EQ(e.AddTag(st, "TITLE", 5, "second", 6), 0);  // replaces the first

  Session s;
  s.Pcm.assign(4 * 4410, 0);
  for (size_t i = 0; i < s.Pcm.size(); i += 2) s.Pcm[i + 1] = uint8_t((i / 64) & 0x1F);
  s.Bind(e, st);
  ASSERT_EQ(s.Run(e, st), 1) << s.Message;
  EXPECT_NE(e.AddTag(st, "Late", 4, "x", 1), 0);  // after the start
  EXPECT_EQ(e.Process(st), 1);                    // done stays done
  e.Free(st);
  EXPECT_EQ(s.Progress, 4410u);
  EXPECT_TRUE(s.Encoded);
  EXPECT_EQ(s.Finished, s.Out.size());

  // The tag: two items, in the order of their first addition.
  ASSERT_GT(s.Out.size(), 64u);
  const std::string out(s.Out.begin(), s.Out.end());
  const size_t header = out.find("APETAGEX");
  ASSERT_NE(header, std::string::npos);
  const std::string tag = out.substr(header);
  const std::string items =
      std::string("\x06\0\0\0\0\0\0\0Title\0second", 20) + std::string("\x03\0\0\0\0\0\0\0Artist\0A\0B", 18);
  EXPECT_EQ(tag.substr(32, items.size()), items);
  EXPECT_EQ(tag.size(), 32 + items.size() + 32);
  EXPECT_EQ(tag.substr(tag.size() - 32, 8), "APETAGEX");
}

TEST(MPCLibTest, EncoderReportsFailuresThroughItsMessages) {
  Enc e;
  mppenc_state* st = nullptr;

  // Steps out of order.
  ASSERT_EQ(e.InitState(&st, 44100, 1000, 16, 1, 5.0f), MPPENC_OK);
  Session early;
  early.Bind(e, st);
  EXPECT_EQ(e.Process(st), -1);
  EXPECT_EQ(early.Message, "The Musepack encoder was not started.");
  e.Free(st);

  // An input that delivers more than it announced.
  ASSERT_EQ(e.InitState(&st, 44100, 1000, 16, 1, 5.0f), MPPENC_OK);
  Session over;
  over.Pcm.assign(2 * 1000, 0);
  over.ExtraFrames = 10;
  over.Bind(e, st);
  EXPECT_EQ(over.Run(e, st), -1);
  EXPECT_EQ(over.Message, "The input delivered more sample frames than it announced.");
  EXPECT_EQ(e.Process(st), -1);
  e.Free(st);

  // A destination that takes less than it is given.
  ASSERT_EQ(e.InitState(&st, 48000, 4800, 16, 1, 5.0f), MPPENC_OK);
  Session full;
  full.Pcm.assign(2 * 4800, 1);
  full.WriteLimit = 100;
  full.Bind(e, st);
  EXPECT_EQ(full.Run(e, st), -1);
  EXPECT_EQ(full.Message, "Writing the Musepack stream failed.");
  e.Free(st);
}
