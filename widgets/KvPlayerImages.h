#pragma once
// The preview player's button images (24 x 24), drawn by code so that no picture comes
// from elsewhere.

#include <cstdint>

#include "platform/gui/ImgList.h"

enum TPlayerImage : uint8_t { piPlay, piPause, piStop, piPrevious, piNext };

// Makes List 24 x 24 (a list of another size is emptied) and adds the five images at
// its end in TPlayerImage order.
void AddPlayerImages(TCustomImageList* List);
