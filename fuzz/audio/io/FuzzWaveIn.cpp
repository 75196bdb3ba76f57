// Fuzz target for the WAV reader: the RIFF scan on raw bytes, then a whole
// TWaveIn open, read and seek on the same bytes.

#include <cstddef>
#include <cstdint>

extern "C" {
#include <libavutil/log.h>
}

#include "audio/io/TSL_Wave.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  av_log_set_level(AV_LOG_QUIET);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  {
    TMemoryStream s;
    s.Write(Data, static_cast<int64_t>(Size));
    s.Seek(0, soBeginning);
    TWavHeader h;
    if (ScanWavHeader(s, 0, h) && (h.DataStart > 8192 || h.DataStart > static_cast<int64_t>(Size))) __builtin_trap();
  }
  TMemoryStream s;
  s.Write(Data, static_cast<int64_t>(Size));
  s.Seek(0, soBeginning);
  TWaveIn* in = new TWaveIn(nullptr);
  in->SetStream(&s);
  if (in->Valid()) {
    const int64_t size = in->Size();
    const int32_t frame = in->Channels() * (in->BitsPerSample() / 8);
    try {
      for (int pass = 0; pass < 2; ++pass) {
        in->Init();
        if (pass == 1) in->Seek(Size % 997);
        int64_t total = 0;
        for (;;) {
          void* p = nullptr;
          uint32_t n = 1 + static_cast<uint32_t>((Size * 131 + total) % 20000);
          in->ReadData(p, n);
          if (n == 0) break;
          // Every delivered byte is readable and the data never exceeds its size.
          volatile uint8_t sink = static_cast<uint8_t*>(p)[n - 1];
          (void)sink;
          total += n;
          if (pass == 0 && size >= 0 && total > size) __builtin_trap();
          if (frame > 0 && n % frame != 0) __builtin_trap();
        }
        in->Flush();
      }
    } catch (const std::exception&) {
      in->Reset();
    }
  }
  in->Free();
  return 0;
}
