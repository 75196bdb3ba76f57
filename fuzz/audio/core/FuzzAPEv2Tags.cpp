// libFuzzer target for the engine's APEv2 footer reader: the bytes are a stream whose
// end may hold a tag. A tag is only reported where a version 2 footer ends the stream,
// every value read is well-formed text, and a second read gives the same values.

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "audio/core/TSL_Tags.h"
#include "platform/rtl/StrUtils.h"

namespace {

void Check(bool Condition) {
  if (!Condition) abort();
}

bool Read(const uint8_t* Data, size_t Size, TAPEv2Tags& Tags) {
  TMemoryStream s;
  s.Write(Data, static_cast<int64_t>(Size));
  return ReadAPEv2Tags(s, Tags);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  TAPEv2Tags t;
  const bool read = Read(Data, Size, t);
  if (read) {
    const uint8_t* footer = Data + Size - 32;
    Check(Size >= 32 && std::memcmp(footer, "APETAGEX", 8) == 0);
    Check((footer[8] | footer[9] << 8 | footer[10] << 16 | static_cast<uint32_t>(footer[11]) << 24) == 2000);
  } else {
    Check(t.Empty());
  }
  for (int32_t i = 0; i < t.Count(); ++i) {
    const TTagValue v = t.Values(t.Keys(i));
    if (const auto* wide = std::get_if<std::u16string>(&v)) Check(UTF8ToUTF16(UTF16ToUTF8(*wide)) == *wide);
    if (const auto* text = std::get_if<std::string>(&v)) Check(IsValidUTF8(*text));
  }
  TAPEv2Tags again;
  Check(Read(Data, Size, again) == read);
  for (int32_t i = 0; i < t.Count(); ++i) Check(TagValuesSame(t.Values(t.Keys(i)), again.Values(t.Keys(i))));
  return 0;
}
