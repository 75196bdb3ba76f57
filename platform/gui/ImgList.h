#pragma once
// Image lists: equally sized images drawn by index, and change links that tell their
// users when the list changes.

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/gui/Graphics.h"

class TCustomImageList;

// Tells a user of an image list (through OnChange, Sender = the list) that it changed.
// A link unregisters itself when it goes.
class TChangeLink {
public:
  TChangeLink() = default;
  ~TChangeLink();
  TChangeLink(const TChangeLink&) = delete;
  TChangeLink& operator=(const TChangeLink&) = delete;

  TCustomImageList* Sender() const { return FSender; }
  TNotifyEvent OnChange;

private:
  friend class TCustomImageList;
  TCustomImageList* FSender = nullptr;
};

// Images of Width x Height pixels with transparency. Changing the size empties the list.
// Drawing an image disabled shows it in greys of our own: every visible pixel becomes
// the grey 128 + L/2, where L = (77 R + 151 G + 28 B) / 256 is its luminance.
class TCustomImageList : public TComponent {
public:
  explicit TCustomImageList(TComponent* AOwner);
  ~TCustomImageList() override;
  void BeforeDestruction() override;

  int32_t Width() const { return FWidth; }
  void SetWidth(int32_t Value) { SetSize(Value, FHeight); }
  int32_t Height() const { return FHeight; }
  void SetHeight(int32_t Value) { SetSize(FWidth, Value); }
  void SetSize(int32_t AWidth, int32_t AHeight);
  int32_t Count() const;

  // Adds Image cut into images of the list's width (one when it is narrower); a pixel is
  // transparent where Mask is not black, or, without a mask, where Image's own alpha says
  // so. Returns the index of the first image added.
  int32_t Add(const TBitmap* Image, const TBitmap* Mask);
  // Likewise with the pixels of MaskColor transparent (clDefault: the bottom-left pixel's colour).
  int32_t AddMasked(const TBitmap* Image, TColor MaskColor);
  void Delete(int32_t Index);
  void Clear();
  // Draws image Index at (X, Y); nothing for an index out of range.
  void Draw(TCanvas* Canvas, int32_t X, int32_t Y, int32_t Index, bool Enabled = true) const;
  // Image Index as a 32-bit bitmap with its transparency.
  void GetBitmap(int32_t Index, TBitmap* Image) const;

  void RegisterChanges(TChangeLink* Link);
  void UnRegisterChanges(TChangeLink* Link);
  TNotifyEvent OnChange;

private:
  struct TImages;
  int32_t AddCells(const QImage& Source);
  void Change();

  int32_t FWidth = 16;
  int32_t FHeight = 16;
  std::unique_ptr<TImages> FImages;
  std::vector<TChangeLink*> FLinks;
};

class TImageList : public TCustomImageList {
public:
  using TCustomImageList::TCustomImageList;
};
