#pragma once
// Actions: one command (caption, enabled state, hint, checked state, image, visibility
// and what it does) shared by the controls linked to it.
//
// A control links to an action with SetAction; the link copies the action's values to
// the control and keeps them in step: when the action's value changes, a control whose
// value still equals the action's old value follows (a value the control set itself is
// kept). Clicking a linked control without an OnClick of its own executes the action.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/rtl/Classes.h"

class TBasicActionLink;
class TControl;

class TBasicAction : public TComponent {
  friend class TBasicActionLink;

public:
  explicit TBasicAction(TComponent* AOwner) : TComponent(AOwner) {}
  void BeforeDestruction() override;
  // Runs OnExecute; false when it is not assigned.
  virtual bool Execute();
  // The control whose click is executing the action, during OnExecute.
  TComponent* ActionComponent() const { return FActionComponent; }
  void SetActionComponent(TComponent* Value) { FActionComponent = Value; }

  TNotifyEvent OnExecute;

protected:
  // Calls Apply on every link.
  template <class F>
  void ForEachLink(F Apply) {
    std::vector<TBasicActionLink*> Links = FLinks;
    for (TBasicActionLink* L : Links) Apply(*L);
  }

private:
  std::vector<TBasicActionLink*> FLinks;
  TComponent* FActionComponent = nullptr;
};

class TAction : public TBasicAction {
public:
  explicit TAction(TComponent* AOwner) : TBasicAction(AOwner) {}

  const std::string& Caption() const { return FCaption; }
  void SetCaption(const std::string& Value);
  bool Checked() const { return FChecked; }
  void SetChecked(bool Value);
  bool Enabled() const { return FEnabled; }
  void SetEnabled(bool Value);
  const std::string& Hint() const { return FHint; }
  void SetHint(const std::string& Value);
  int32_t ImageIndex() const { return FImageIndex; }
  void SetImageIndex(int32_t Value);
  bool Visible() const { return FVisible; }
  void SetVisible(bool Value);

private:
  template <class T, class F>
  void Propagate(T& Field, const T& Value, F Pass);

  std::string FCaption;
  bool FChecked = false;
  bool FEnabled = true;
  std::string FHint;
  int32_t FImageIndex = -1;
  bool FVisible = true;
};

// The connection between an action and one client.
class TBasicActionLink {
public:
  TBasicActionLink() = default;
  virtual ~TBasicActionLink();
  TBasicActionLink(const TBasicActionLink&) = delete;
  TBasicActionLink& operator=(const TBasicActionLink&) = delete;

  TBasicAction* Action() const { return FAction; }
  void SetAction(TBasicAction* Value);
  // Executes the action with Target as its ActionComponent.
  virtual bool Execute(TComponent* Target);

  // Raised after the action is set.
  TNotifyEvent OnChange;

private:
  TBasicAction* FAction = nullptr;
};

// A link that passes the values of a TAction on. Each "Is...Linked" answers whether the
// client still follows that value; each "Set..." gives the client the new value.
class TActionLink : public TBasicActionLink {
public:
  virtual bool IsCaptionLinked() const { return Action() != nullptr; }
  virtual bool IsCheckedLinked() const { return Action() != nullptr; }
  virtual bool IsEnabledLinked() const { return Action() != nullptr; }
  virtual bool IsHintLinked() const { return Action() != nullptr; }
  virtual bool IsImageIndexLinked() const { return Action() != nullptr; }
  virtual bool IsVisibleLinked() const { return Action() != nullptr; }
  virtual void SetCaption(const std::string& Value) { (void)Value; }
  virtual void SetChecked(bool Value) { (void)Value; }
  virtual void SetEnabled(bool Value) { (void)Value; }
  virtual void SetHint(const std::string& Value) { (void)Value; }
  virtual void SetImageIndex(int32_t Value) { (void)Value; }
  virtual void SetVisible(bool Value) { (void)Value; }

protected:
  const TAction* TheAction() const;
};

// The link of a control: caption, enabled state, hint and visibility. Controls with a
// checked state or an image derive their own link from it.
class TControlActionLink : public TActionLink {
public:
  explicit TControlActionLink(TControl* AClient) : FClient(AClient) {}
  TControl* Client() const { return FClient; }

  bool IsCaptionLinked() const override;
  bool IsEnabledLinked() const override;
  bool IsHintLinked() const override;
  bool IsVisibleLinked() const override;
  void SetCaption(const std::string& Value) override;
  void SetEnabled(bool Value) override;
  void SetHint(const std::string& Value) override;
  void SetVisible(bool Value) override;

private:
  TControl* FClient;
};
