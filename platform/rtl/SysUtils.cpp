#include "platform/rtl/SysUtils.h"

#include <cfenv>
#include <cmath>
#include <cstring>

std::string SysErrorMessage(int ErrorCode) {
  char buf[256];
  // GNU strerror_r returns a pointer that may or may not be buf.
  const char* text = strerror_r(ErrorCode, buf, sizeof buf);
  return text ? std::string(text) : std::string("Unknown error ") + std::to_string(ErrorCode);
}

int64_t Round(double X) {
  // nearbyint rounds in the current mode, which the program never changes from
  // round-to-nearest-even.
  return static_cast<int64_t>(std::nearbyint(X));
}

int64_t Round(long double X) { return static_cast<int64_t>(std::nearbyintl(X)); }

bool FloatExceptionsMasked() {
#if defined(__x86_64__) || defined(__i386__)
  unsigned int mxcsr = 0;
  __asm__ volatile("stmxcsr %0" : "=m"(mxcsr));
  // Bits 7..12 are the SSE exception masks.
  const bool sseMasked = (mxcsr & 0x1F80u) == 0x1F80u;
  unsigned short x87 = 0;
  __asm__ volatile("fnstcw %0" : "=m"(x87));
  const bool x87Masked = (x87 & 0x3Fu) == 0x3Fu;
  return sseMasked && x87Masked && std::fegetround() == FE_TONEAREST;
#else
  return std::fegetround() == FE_TONEAREST;
#endif
}
