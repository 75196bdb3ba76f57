#include "MACTestSupport.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

namespace MACTests {

namespace {

std::string ProgramDir() {
  char buf[4096];
  const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return ".";
  buf[n] = 0;
  std::string p(buf);
  return p.substr(0, p.rfind('/'));
}

template <class F>
void BindOne(void* Handle, Api& A, const char* Name, F& Fn) {
  if (!A.Error.empty()) return;
  Fn = reinterpret_cast<F>(dlsym(Handle, Name));
  if (!Fn) A.Error = std::string("entry point ") + Name + " not found";
}

Api Load() {
  Api a;
  const std::string path = ProgramDir() + "/libMACDll.so";
  void* h = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!h) {
    a.Error = std::string("libMACDll.so could not be loaded: ") + dlerror();
    return a;
  }
  BindOne(h, a, "GetVersionNumber", a.GetVersionNumber);
  BindOne(h, a, "GetInterfaceCompatibility", a.GetInterfaceCompatibility);
  BindOne(h, a, "ProgressCallback", a.ProgressCallback);
  BindOne(h, a, "FillWaveFormatEx", a.FillWaveFormatEx);
  BindOne(h, a, "FillWaveHeader", a.FillWaveHeader);
  BindOne(h, a, "CompressFile", a.CompressFile);
  BindOne(h, a, "DecompressFile", a.DecompressFile);
  BindOne(h, a, "ConvertFile", a.ConvertFile);
  BindOne(h, a, "ShowFileInfoDialog", a.ShowFileInfoDialog);
  BindOne(h, a, "VerifyFile", a.VerifyFile);
  BindOne(h, a, "TagFileSimple", a.TagFileSimple);
  BindOne(h, a, "RemoveTag", a.RemoveTag);
  BindOne(h, a, "GetID3Tag", a.GetID3Tag);
  BindOne(h, a, "c_APECompress_Create", a.CompressCreate);
  BindOne(h, a, "c_APECompress_Destroy", a.CompressDestroy);
  BindOne(h, a, "c_APECompress_Start", a.CompressStart);
  BindOne(h, a, "c_APECompress_AddData", a.CompressAddData);
  BindOne(h, a, "c_APECompress_GetBufferBytesAvailable", a.CompressGetBufferBytesAvailable);
  BindOne(h, a, "c_APECompress_LockBuffer", a.CompressLockBuffer);
  BindOne(h, a, "c_APECompress_UnlockBuffer", a.CompressUnlockBuffer);
  BindOne(h, a, "c_APECompress_Finish", a.CompressFinish);
  BindOne(h, a, "c_APECompress_Kill", a.CompressKill);
  BindOne(h, a, "c_APEDecompress_CreateW", a.DecompressCreateW);
  BindOne(h, a, "c_APEDecompress_Destroy", a.DecompressDestroy);
  BindOne(h, a, "c_APEDecompress_GetData", a.DecompressGetData);
  BindOne(h, a, "c_APEDecompress_Seek", a.DecompressSeek);
  BindOne(h, a, "c_APEDecompress_GetInfo", a.DecompressGetInfo);
  return a;
}

}  // namespace

const Api& Lib() {
  static const Api a = Load();
  EXPECT_EQ(a.Error, "");
  if (!a.Error.empty()) std::abort();  // nothing can be tested without it
  return a;
}

bool FileExists(const std::string& Path) { return access(Path.c_str(), F_OK) == 0; }

const char* RawFormat(int Bits) { return Bits == 8 ? "u8" : Bits == 16 ? "s16le" : "s24le"; }

std::string MakeRaw(const TempDir& Dir, const std::string& Name, int Bits, int Channels, int Rate, double Seconds,
                    bool Loud) {
  static const char* Gens[] = {"sine 440", "pinknoise"};
  std::string gen;
  for (int c = 0; c < Channels; ++c) gen += std::string(" ") + (Loud ? "whitenoise" : Gens[c % 2]);
  if (Loud) gen += " gain -0.1";
  const std::string out = Dir.Path(Name);
  const std::string cmd = "sox -D -n -r " + std::to_string(Rate) + " -b " + std::to_string(Bits) + " -c " +
                          std::to_string(Channels) + (Bits == 8 ? " -e unsigned-integer" : " -e signed-integer") +
                          " -t raw " + Quote(out) + " synth " + std::to_string(Seconds) + gen;
  std::string log;
  EXPECT_TRUE(RunOk(cmd, &log)) << cmd << "\n" << log;
  return out;
}

std::string Md5OfFile(const std::string& Path) {
  std::string out;
  if (!RunOk("md5sum < " + Quote(Path), &out)) return "";
  return out.substr(0, 32);
}

std::string FfmpegPcmMd5(const std::string& Ape, int Bits, std::string* Log) {
  std::string out;
  const std::string cmd = "set -o pipefail; ffmpeg -nostdin -v error -xerror -err_detect crccheck -i " + Quote(Ape) +
                          " -f " + RawFormat(Bits) + " - 2>" + Quote(Ape + ".log") + " | md5sum";
  const bool ok = RunOk("bash -c " + Quote(cmd), &out);
  std::string log;
  RunOk("cat " + Quote(Ape + ".log"), &log);
  std::remove((Ape + ".log").c_str());
  if (Log) *Log = log;
  if (!ok || !log.empty()) return "";
  return out.substr(0, 32);
}

std::vector<uint8_t> FfmpegDecode(const TempDir& Dir, const std::string& Ape, int Bits) {
  const std::string out = Dir.Path("ffmpeg-decoded.raw");
  std::string log;
  EXPECT_TRUE(RunOk("ffmpeg -nostdin -v error -y -i " + Quote(Ape) + " -f " + RawFormat(Bits) + " " + Quote(out),
                    &log))
      << log;
  auto data = ReadFile(out);
  std::remove(out.c_str());
  return data;
}

std::string Probe(const std::string& File, const std::string& Entry) {
  std::string out;
  RunOk("ffprobe -v error -show_entries " + Entry + " -of default=nw=1:nk=1 " + Quote(File), &out);
  while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
  return out;
}

int32_t Encode(const std::string& Raw, const std::string& Ape, int Bits, int Channels, int Rate, int Level,
               int32_t MaxAudioBytes, size_t Chunk, bool UseLockBuffer) {
  const Api& L = Lib();
  const std::vector<uint8_t> pcm = ReadFile(Raw);
  int32_t error = -99;
  APE_COMPRESS_HANDLE h = L.CompressCreate(&error);
  if (!h || error != 0) return error;
  MACDll::WAVEFORMATEX fmt{};
  int32_t r = L.FillWaveFormatEx(&fmt, Rate, Bits, Channels);
  if (r == 0) r = L.CompressStart(h, Ape.c_str(), &fmt, MaxAudioBytes, Level, nullptr, 0);
  for (size_t done = 0; r == 0 && done < pcm.size();) {
    size_t n = std::min(Chunk, pcm.size() - done);
    if (UseLockBuffer) {
      int32_t available = 0;
      uint8_t* p = L.CompressLockBuffer(h, &available);
      if (!p || available <= 0) {
        r = -98;
        break;
      }
      n = std::min(n, static_cast<size_t>(available));
      std::copy(pcm.begin() + static_cast<std::ptrdiff_t>(done), pcm.begin() + static_cast<std::ptrdiff_t>(done + n), p);
      r = L.CompressUnlockBuffer(h, static_cast<int32_t>(n), 1);
    } else {
      r = L.CompressAddData(h, const_cast<uint8_t*>(pcm.data() + done), static_cast<int32_t>(n));
    }
    done += n;
  }
  if (r == 0) r = L.CompressFinish(h, nullptr, 0, 0);
  L.CompressDestroy(h);
  return r;
}

Decoded DecodeAll(const std::string& Ape, int64_t FromBlock, int32_t BlocksPerCall) {
  const Api& L = Lib();
  Decoded d;
  APE_DECOMPRESS_HANDLE h = L.DecompressCreateW(Wide(Ape).c_str(), &d.CreateError);
  if (!h) return d;
  const size_t align = static_cast<size_t>(L.DecompressGetInfo(h, MACDll::APE_INFO_BLOCK_ALIGN, 0, 0));
  if (FromBlock != 0) d.DataError = L.DecompressSeek(h, FromBlock);
  std::vector<char> buf(static_cast<size_t>(BlocksPerCall) * align);
  while (d.DataError == 0) {
    int32_t got = -1;
    d.DataError = L.DecompressGetData(h, buf.data(), BlocksPerCall, &got);
    d.Pcm.insert(d.Pcm.end(), buf.begin(), buf.begin() + static_cast<std::ptrdiff_t>(static_cast<size_t>(got) * align));
    if (got < BlocksPerCall) break;
  }
  L.DecompressDestroy(h);
  return d;
}

std::u16string Wide(const std::string& S) {
  std::u16string r;
  for (size_t i = 0; i < S.size();) {
    const auto c = static_cast<unsigned char>(S[i]);
    uint32_t cp;
    int n;
    if (c < 0x80) cp = c, n = 1;
    else if (c < 0xE0) cp = c & 0x1F, n = 2;
    else if (c < 0xF0) cp = c & 0x0F, n = 3;
    else cp = c & 0x07, n = 4;
    for (int k = 1; k < n && i + static_cast<size_t>(k) < S.size(); ++k) cp = (cp << 6) | (S[i + static_cast<size_t>(k)] & 0x3F);
    i += static_cast<size_t>(n);
    if (cp >= 0x10000) {
      cp -= 0x10000;
      r += static_cast<char16_t>(0xD800 + (cp >> 10));
      r += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    } else {
      r += static_cast<char16_t>(cp);
    }
  }
  return r;
}

}  // namespace MACTests
