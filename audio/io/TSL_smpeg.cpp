#include "audio/io/TSL_smpeg.h"

// TMP3In is a TWMIn in every respect; the unit keeps its own name.
