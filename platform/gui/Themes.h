#pragma once
// Visual styles. Linux has no visual-style engine whose elements the themed painting
// branches could draw, so visual styles are never in use and controls paint their
// classic (or their own hot-track and gradient) look.

inline bool ThemesEnabled() { return false; }
