#include "platform/gui/ActnList.h"

#include <algorithm>

#include "platform/gui/Controls.h"

void TBasicAction::BeforeDestruction() {
  // Links (and through FreeNotification their clients) forget the action.
  ForEachLink([](TBasicActionLink& L) { L.SetAction(nullptr); });
  TComponent::BeforeDestruction();
}

bool TBasicAction::Execute() {
  if (!OnExecute) return false;
  OnExecute(this);
  return true;
}

TBasicActionLink::~TBasicActionLink() { SetAction(nullptr); }

void TBasicActionLink::SetAction(TBasicAction* Value) {
  if (Value == FAction) return;
  if (FAction) std::erase(FAction->FLinks, this);
  FAction = Value;
  if (FAction) FAction->FLinks.push_back(this);
  if (OnChange) OnChange(nullptr);
}

bool TBasicActionLink::Execute(TComponent* Target) {
  if (!FAction) return false;
  TBasicAction* A = FAction;
  A->SetActionComponent(Target);
  struct TReset {
    TBasicAction* A;
    ~TReset() { A->SetActionComponent(nullptr); }
  } Reset{A};
  return A->Execute();
}

const TAction* TActionLink::TheAction() const { return dynamic_cast<const TAction*>(Action()); }

// The action's setters pass the new value to the links (which follow it where they
// are linked to the old one) before storing it.
template <class T, class F>
void TAction::Propagate(T& Field, const T& Value, F Pass) {
  if (Value == Field) return;
  ForEachLink([&](TBasicActionLink& L) {
    if (auto* A = dynamic_cast<TActionLink*>(&L)) Pass(*A);
  });
  Field = Value;
}

void TAction::SetCaption(const std::string& Value) {
  Propagate(FCaption, Value, [&](TActionLink& L) { L.SetCaption(Value); });
}
void TAction::SetChecked(bool Value) {
  Propagate(FChecked, Value, [&](TActionLink& L) { L.SetChecked(Value); });
}
void TAction::SetEnabled(bool Value) {
  Propagate(FEnabled, Value, [&](TActionLink& L) { L.SetEnabled(Value); });
}
void TAction::SetHint(const std::string& Value) {
  Propagate(FHint, Value, [&](TActionLink& L) { L.SetHint(Value); });
}
void TAction::SetImageIndex(int32_t Value) {
  Propagate(FImageIndex, Value, [&](TActionLink& L) { L.SetImageIndex(Value); });
}
void TAction::SetVisible(bool Value) {
  Propagate(FVisible, Value, [&](TActionLink& L) { L.SetVisible(Value); });
}

bool TControlActionLink::IsCaptionLinked() const {
  const TAction* A = TheAction();
  return A && FClient->Caption() == A->Caption();
}
bool TControlActionLink::IsEnabledLinked() const {
  const TAction* A = TheAction();
  return A && FClient->Enabled() == A->Enabled();
}
bool TControlActionLink::IsHintLinked() const {
  const TAction* A = TheAction();
  return A && FClient->Hint() == A->Hint();
}
bool TControlActionLink::IsVisibleLinked() const {
  const TAction* A = TheAction();
  return A && FClient->Visible() == A->Visible();
}
void TControlActionLink::SetCaption(const std::string& Value) {
  if (IsCaptionLinked()) FClient->SetCaption(Value);
}
void TControlActionLink::SetEnabled(bool Value) {
  if (IsEnabledLinked()) FClient->SetEnabled(Value);
}
void TControlActionLink::SetHint(const std::string& Value) {
  if (IsHintLinked()) FClient->SetHint(Value);
}
void TControlActionLink::SetVisible(bool Value) {
  if (IsVisibleLinked()) FClient->SetVisible(Value);
}
