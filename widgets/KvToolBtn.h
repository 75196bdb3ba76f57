#pragma once
// The tool button: a windowless button for toolbars and free placement.
//
// It shows an image of its image list (or of its toolbar's) for the normal, hot,
// pressed and disabled states, optionally with its caption beside it, in the classic
// look (a raised frame, or with Flat a frame only while hot or pressed), the hot-track
// look (vsWinXP, which paints classic frames here: visual styles are never in use) or
// the gradient selection look. Buttons of one GroupIndex among the parent's controls
// latch: one at a time is Down, and with AllowAllUp it can be released. The tsDropDown
// style adds a 14-pixel arrow section that pops up DropDownMenu; a button without
// OnClick or action pops it up from a press anywhere. A press that comes while the
// menu is being closed, or within 100 ms after, only closes it (the click that closes
// a menu must not open it again).
//
// On a TKvToolbar the button takes the toolbar's button size, caption visibility,
// image layout and look, each until it is set on the button itself (which clears the
// matching UseToolbar flag; setting the flag again follows the toolbar again).
//
// The button clicks when a press and the release are both on it; an action supplies
// Down (its Checked) and ImageIndex besides the usual.

#include <cstdint>
#include <memory>
#include <optional>

#include "platform/gui/ActnList.h"
#include "platform/gui/Controls.h"
#include "platform/gui/ImgList.h"
#include "widgets/KvCommon.h"

class TPopupMenu;
class TKvToolbar;

enum TKvToolStyle : uint8_t { tsButton, tsDropDown };

class TKvToolButton : public TGraphicControl {
public:
  explicit TKvToolButton(TComponent* AOwner);
  ~TKvToolButton() override;
  void Loaded() override;

  bool AllowAllUp() const { return FAllowAllUp; }
  virtual void SetAllowAllUp(bool Value);
  // Placement of image and caption together.
  TAlignment Alignment() const { return FAlignment; }
  virtual void SetAlignment(TAlignment Value);
  // Latched; always false without a group.
  bool Down() const { return FDown; }
  virtual void SetDown(bool Value);
  TPopupMenu* DropDownMenu() const { return FDropDownMenu; }
  virtual void SetDropDownMenu(TPopupMenu* Value);
  bool Flat() const { return FFlat; }
  virtual void SetFlat(bool Value);
  // Always 0 for tsDropDown.
  int32_t GroupIndex() const { return FGroupIndex; }
  virtual void SetGroupIndex(int32_t Value);
  // Images for the states; -1 for none (the normal image then stands in).
  int32_t ImageIndex() const { return FImageIndex; }
  virtual void SetImageIndex(int32_t Value);
  int32_t DownIndex() const { return FDownIndex; }
  virtual void SetDownIndex(int32_t Value);
  int32_t DisabledIndex() const { return FDisabledIndex; }
  virtual void SetDisabledIndex(int32_t Value);
  int32_t HotIndex() const { return FHotIndex; }
  virtual void SetHotIndex(int32_t Value);
  // Not owned; the button grows to hold one of its images.
  TCustomImageList* Images() const { return FImages; }
  virtual void SetImages(TCustomImageList* Value);
  TButtonLayout Layout() const { return FLayout; }
  virtual void SetLayout(TButtonLayout Value);
  bool ShowCaption() const { return FShowCaption; }
  virtual void SetShowCaption(bool Value);
  // Switching widens the button by the arrow section (or narrows it back).
  TKvToolStyle ToolStyle() const { return FToolStyle; }
  virtual void SetToolStyle(TKvToolStyle Value);
  // Without it the button fills its background with Color.
  bool Transparent() const { return FTransparent; }
  virtual void SetTransparent(bool Value);
  TKvVisualStyle VisualStyle() const { return FVisualStyle; }
  virtual void SetVisualStyle(TKvVisualStyle Value);
  // Where the gradient look's colours come from; gcsCustom takes the three below.
  TKvGradientColorStyle GradientColorStyle() const { return FGradientColorStyle; }
  virtual void SetGradientColorStyle(TKvGradientColorStyle Value);
  TColor SelectionColorStart() const { return FSelectionColorStart; }
  virtual void SetSelectionColorStart(TColor Value);
  TColor SelectionColorStop() const { return FSelectionColorStop; }
  virtual void SetSelectionColorStop(TColor Value);
  TColor SelectionFrameColor() const { return FSelectionFrameColor; }
  virtual void SetSelectionFrameColor(TColor Value);
  bool UseToolbarButtonLayout() const { return FUseToolbarButtonLayout; }
  virtual void SetUseToolbarButtonLayout(bool Value);
  bool UseToolbarButtonSize() const { return FUseToolbarButtonSize; }
  virtual void SetUseToolbarButtonSize(bool Value);
  bool UseToolbarShowCaption() const { return FUseToolbarShowCaption; }
  virtual void SetUseToolbarShowCaption(bool Value);
  bool UseToolbarVisualStyle() const { return FUseToolbarVisualStyle; }
  virtual void SetUseToolbarVisualStyle(bool Value);

  // Setting the size yourself (not while loading) ends following the toolbar's size.
  void SetBounds(int32_t ALeft, int32_t ATop, int32_t AWidth, int32_t AHeight) override;
  void SetParent(TWinControl* AParent) override;
  // Public: the toolbar's overflow popup clicks the original of a copy.
  void Click() override;

  // The images drawn: Images, else those of the toolbar the button sits on.
  TCustomImageList* EffectiveImages() const;
  // Takes Source's settings, caption, hint, enabled state, visibility and size.
  void AssignButton(const TKvToolButton& Source);

  // Raised before the drop-down menu pops up.
  TNotifyEvent OnDropDown;

  // The painted state.
  enum : uint8_t { stUp, stDisabled, stPressed, stDown, stDroppedDown };
  uint8_t State() const { return FState; }
  bool Hot() const { return FMouseInControl; }

protected:
  // Takes the toolbar's settings that the UseToolbar flags follow.
  virtual void UpdateFromToolbar();
  // The frame (and gradient) for the state; R becomes the inside of the frame.
  virtual void DrawButtonFace(TRect& R);
  virtual void DrawImage(const TRect& ImageRect);
  virtual void DrawDropDownArrow();
  virtual void DrawCaption(const TRect& CaptionRect);
  // Pops the menu up below the button and waits for it to close.
  virtual void DropDown();
  virtual TSize GetImageSize() const;
  virtual void CalcRects(TRect& ImageRect, TRect& CaptionRect);

  void Paint() override;
  void MouseDown(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) override;
  void MouseMove(TShiftState Shift, int32_t X, int32_t Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) override;
  void WndProc(TMessage& Message) override;
  void CMButtonPressed(int32_t GroupIndex, TControl* Sender) override;
  bool CMDialogChar(char32_t Char, TShiftState Shift) override;
  void CMMouseEnter() override;
  void CMMouseLeave() override;
  void CMTextChanged() override;
  void Notification(TComponent* AComponent, TOperation Operation) override;
  std::unique_ptr<TControlActionLink> CreateActionLink() override;
  void ActionChange(TBasicAction* Sender, bool CheckDefaults) override;

private:
  TKvToolbar* Toolbar() const;
  // Frames only while hot or pressed.
  bool HotTrackable() const { return FVisualStyle != vsClassic || FFlat; }
  // Has a part that clicks beside the arrow section.
  bool Splits() const { return OnClick || Action(); }
  void UpdateExclusive();
  // Hot when the pointer is over the button, else not (through the enter and leave
  // handlers, so that the button repaints).
  void CheckHot();
  void RepaintIfHotTrackable();
  void SelectionColors(TColor& Frame, TColor& Start, TColor& Stop) const;
  void ImagesChanged();
  // The toolbar messages: each acts only while its UseToolbar flag is set.
  void ToolbarShowCaptions();
  void ToolbarButtonLayout();
  void ToolbarButtonSize();
  void ToolbarVisualStyle();
  void SendToSelf(uint32_t Message);
  void SetUseToolbarFlag(bool& Flag, bool Value, uint32_t Message);
  template <class T>
  void Change(T& Field, T Value);

  bool FAllowAllUp = false;
  bool FDown = false;
  bool FDragging = false;
  bool FFlat = true;
  int32_t FGroupIndex = 0;
  int32_t FImageIndex = -1;
  int32_t FDownIndex = -1;
  int32_t FDisabledIndex = -1;
  int32_t FHotIndex = -1;
  TCustomImageList* FImages = nullptr;
  std::unique_ptr<TChangeLink> FImageChangeLink;
  TButtonLayout FLayout = blGlyphLeft;
  bool FMouseInControl = false;
  TPopupMenu* FDropDownMenu = nullptr;
  // When the drop-down menu last closed (tick count).
  std::optional<uint32_t> FLastDropDown;
  bool FClickAllowed = true;
  bool FInDropDown = false;
  bool FClosingPressEaten = false;
  TKvToolStyle FToolStyle = tsButton;
  bool FShowCaption = false;
  bool FTransparent = true;
  bool FKeepHot = false;
  TAlignment FAlignment = taCenter;
  TKvVisualStyle FVisualStyle = vsWinXP;
  TKvGradientColorStyle FGradientColorStyle = gcsSystem;
  TColor FSelectionColorStart = clBtnFace;
  TColor FSelectionColorStop = clBtnShadow;
  TColor FSelectionFrameColor = cl3DDkShadow;
  bool FUseToolbarButtonLayout = true;
  bool FUseToolbarButtonSize = true;
  bool FUseToolbarShowCaption = true;
  bool FUseToolbarVisualStyle = true;
  bool FSizingFromToolbar = false;
  uint8_t FState = stUp;
};

// Points Field at the image list Value: Link hears of the new list's changes and User
// of its going (through Notification).
void ReplaceImageList(TComponent* User, TCustomImageList*& Field, TCustomImageList* Value, TChangeLink* Link);

// The action link of tool buttons: the action's Checked drives Down and its image
// index ImageIndex, each while the button still shows the action's value.
class TKvToolButtonActionLink : public TControlActionLink {
public:
  explicit TKvToolButtonActionLink(TKvToolButton* AClient) : TControlActionLink(AClient), FButton(AClient) {}
  bool IsCheckedLinked() const override;
  bool IsImageIndexLinked() const override;
  void SetChecked(bool Value) override;
  void SetImageIndex(int32_t Value) override;

private:
  TKvToolButton* FButton;
};
