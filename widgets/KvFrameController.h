#pragma once
// The frame controller: one set of colour and frame settings pushed to every control
// registered with it, so the controls of a form share one look and change it together.
//
// A control registers itself when its FrameController is set and unregisters when that
// is cleared or the control goes (the controller never owns its controls). It either
// implements IKvFrameControllerNotify and reads what it uses itself, or implements
// IKvFramedControl and is handed the settings one by one, filtered by its notification
// set. A control with neither gets nothing.

#include <cstdint>
#include <string>
#include <vector>

#include "platform/gui/Controls.h"
#include "widgets/KvCommon.h"

class TKvRegIniFile;

// Called on every change the control's own notification set lets through (and on
// registration); the control reads the controller's values and repaints.
class IKvFrameControllerNotify {
public:
  virtual ~IKvFrameControllerNotify() = default;
  virtual void FrameControllerChanged() = 0;
};

// A control with frame settings of the controller's names.
class IKvFramedControl {
public:
  virtual ~IKvFramedControl() = default;
  // Bit n admits setting n (TKvFrameControllerProperty).
  virtual TKvFrameControllerNotifications FrameControllerNotifications() const { return fcnAll; }
  // Sets the control's setting of that name to Value: a colour, a Boolean (0 or 1), the
  // ordinal of a frame style or framing preference, or a side set. A control without
  // such a setting ignores it.
  virtual void SetFrameSetting(TKvFrameControllerPropertyConnection Index, uint32_t Value) = 0;
};

class TKvFrameController : public TComponent {
public:
  explicit TKvFrameController(TComponent* AOwner);
  ~TKvFrameController() override;

  void Assign(const TPersistent& Source) override;
  void Loaded() override;

  // Registering twice keeps one entry; a new control gets every setting at once.
  void RegisterFramedControl(TControl* Control);
  void UnregisterFramedControl(TControl* Control);
  int32_t FramedControlCount() const { return static_cast<int32_t>(FControls.size()); }

  // Nested: no control is updated until the last EndUpdate, which updates all of them
  // with every setting.
  void BeginUpdate() { ++FUpdateCount; }
  void EndUpdate();

  virtual void UpdateControl(TControl* Control, TKvFrameControllerProperty Index);
  virtual void UpdateControls(TKvFrameControllerProperty Index);
  // The value of setting Index, as IKvFramedControl::SetFrameSetting takes it.
  uint32_t SettingValue(TKvFrameControllerPropertyConnection Index) const;

  TColor Color() const { return FColor; }
  // Also moves FocusColor when it equalled the old colour, and ends ParentColor.
  virtual void SetColor(TColor Value);
  bool ParentColor() const { return FParentColor; }
  virtual void SetParentColor(bool Value);
  TColor FlatButtonColor() const { return FFlatButtonColor; }
  virtual void SetFlatButtonColor(TColor Value);
  bool FlatButtons() const { return FFlatButtons; }
  virtual void SetFlatButtons(bool Value);
  TColor DisabledColor() const { return FDisabledColor; }
  virtual void SetDisabledColor(TColor Value);
  TColor ReadOnlyColor() const { return FReadOnlyColor; }
  virtual void SetReadOnlyColor(TColor Value);
  bool ReadOnlyColorOnFocus() const { return FReadOnlyColorOnFocus; }
  virtual void SetReadOnlyColorOnFocus(bool Value);
  TColor FocusColor() const { return FFocusColor; }
  virtual void SetFocusColor(TColor Value);
  TColor FrameColor() const { return FFrameColor; }
  virtual void SetFrameColor(TColor Value);
  TColor FrameHotColor() const { return FFrameHotColor; }
  virtual void SetFrameHotColor(TColor Value);
  bool FrameHotTrack() const { return FFrameHotTrack; }
  // Switching it on also shows the frame and, unless loading, on all four sides.
  virtual void SetFrameHotTrack(bool Value);
  TFrameStyle FrameHotStyle() const { return FFrameHotStyle; }
  virtual void SetFrameHotStyle(TFrameStyle Value);
  TSides FrameSides() const { return FFrameSides; }
  virtual void SetFrameSides(TSides Value);
  TFrameStyle FrameStyle() const { return FFrameStyle; }
  virtual void SetFrameStyle(TFrameStyle Value);
  bool FrameVisible() const { return FFrameVisible; }
  virtual void SetFrameVisible(bool Value);
  TFramingPreference FramingPreference() const { return FFramingPreference; }
  virtual void SetFramingPreference(TFramingPreference Value);
  TKvRegIniFile* RegIniFile() const { return FRegIniFile; }
  virtual void SetRegIniFile(TKvRegIniFile* Value);

protected:
  void Notification(TComponent* AComponent, TOperation Operation) override;

private:
  template <class T>
  void Change(T& Field, T Value, TKvFrameControllerProperty Index);

  TColor FColor = clWindow;
  TColor FDisabledColor = clBtnFace;
  TColor FReadOnlyColor = clInfoBk;
  bool FReadOnlyColorOnFocus = false;
  TColor FFlatButtonColor = clBtnFace;
  bool FFlatButtons = true;
  TColor FFocusColor = clWindow;
  TColor FFrameColor = clBtnShadow;
  TColor FFrameHotColor = clBtnShadow;
  TFrameStyle FFrameHotStyle = fsFlatBold;
  bool FFrameHotTrack = false;
  TSides FFrameSides = sdsAll;
  TFrameStyle FFrameStyle = fsFlat;
  bool FFrameVisible = false;
  TFramingPreference FFramingPreference = fpXPThemes;
  bool FParentColor = false;
  TKvRegIniFile* FRegIniFile = nullptr;
  std::vector<TControl*> FControls;
  int32_t FUpdateCount = 0;
};

// A framed control's link to its controller: registration, the removal notification
// and the control's notification set. The control passes its Notification on.
class TKvFrameControllerLink {
public:
  explicit TKvFrameControllerLink(TControl* Control) : FControl(Control) {}
  ~TKvFrameControllerLink();
  TKvFrameControllerLink(const TKvFrameControllerLink&) = delete;
  TKvFrameControllerLink& operator=(const TKvFrameControllerLink&) = delete;

  TKvFrameController* Controller() const { return FController; }
  // Leaves the old controller and registers with the new one (which updates the control).
  void SetController(TKvFrameController* Value);
  void Notification(TComponent* AComponent, TOperation Operation);
  TKvFrameControllerNotifications Notifications() const { return FNotifications; }
  void SetNotifications(TKvFrameControllerNotifications Value) { FNotifications = Value; }
  bool Admits(TKvFrameControllerProperty P) const { return (FNotifications & NotificationBit(P)) != 0; }
  // The controller while its frame is visible (the only time labels and bars follow it).
  TKvFrameController* VisibleFrame() const {
    return FController && FController->FrameVisible() ? FController : nullptr;
  }

private:
  TControl* FControl;
  TKvFrameController* FController = nullptr;
  TKvFrameControllerNotifications FNotifications = fcnAll;
};

// A settings location (an INI file or a registry key) a frame controller can refer to.
// Nothing reads or writes through it; a change of location marks it for a refresh.
class TKvRegIniFile : public TComponent {
public:
  using TComponent::TComponent;

  const std::string& Path() const { return FPath; }
  void SetPath(const std::string& Value);
  TKvPathType PathType() const { return FPathType; }
  void SetPathType(TKvPathType Value);
  TKvRegKey RegKey() const { return FRegKey; }
  void SetRegKey(TKvRegKey Value);
  TKvRegAccess RegAccess() const { return FRegAccess; }
  void SetRegAccess(TKvRegAccess Value);
  bool RefreshNeeded() const { return FRefreshNeeded; }

private:
  template <class T>
  void Change(T& Field, const T& Value);

  std::string FPath;
  TKvPathType FPathType = ptIniFile;
  TKvRegKey FRegKey = hkeyCurrentUser;
  TKvRegAccess FRegAccess = 1u << keyAllAccess;
  bool FRefreshNeeded = true;
};
