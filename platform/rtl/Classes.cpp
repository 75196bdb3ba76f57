#include "platform/rtl/Classes.h"

#include <algorithm>
#include <iterator>
#include <typeinfo>

#include "platform/rtl/SysUtils.h"

void TPersistent::Assign(const TPersistent& Source) { Source.AssignTo(*this); }

void TPersistent::AssignTo(TPersistent& Dest) const {
  throw EConvertError(std::string("Cannot assign a ") + typeid(*this).name() + " to a " +
                      typeid(Dest).name());
}

TComponent::TComponent(TComponent* AOwner) {
  if (AOwner) AOwner->InsertComponent(this);
}

TComponent::~TComponent() {
  // Reached through Free() normally; a component deleted directly still unlinks itself.
  DoDestroying();
}

void TComponent::Free() {
  BeforeDestruction();
  delete this;
}

void TComponent::BeforeDestruction() { DoDestroying(); }

void TComponent::DoDestroying() {
  if (FDestroyed) return;
  FDestroyed = true;
  FComponentState |= csDestroying;
  // Tell everyone who asked, then free what we own, then leave our owner.
  while (!FFreeNotifies.empty()) {
    TComponent* other = FFreeNotifies.back();
    FFreeNotifies.pop_back();
    auto& theirs = other->FFreeNotifies;
    theirs.erase(std::remove(theirs.begin(), theirs.end(), this), theirs.end());
    other->Notification(this, opRemove);
  }
  DestroyComponents();
  if (FOwner) FOwner->RemoveComponent(this);
}

void TComponent::InsertComponent(TComponent* AComponent) {
  if (!AComponent || AComponent->FOwner == this) return;
  if (AComponent->FOwner) AComponent->FOwner->RemoveComponent(AComponent);
  FComponents.push_back(AComponent);
  ++FComponentsChanges;
  AComponent->FOwner = this;
  NotifyAll(AComponent, opInsert);
}

bool TComponent::Owns(const TComponent* AComponent) const {
  // From the end: components are destroyed last first.
  return std::find(FComponents.rbegin(), FComponents.rend(), AComponent) != FComponents.rend();
}

void TComponent::RemoveComponent(TComponent* AComponent) {
  if (!Owns(AComponent)) return;
  NotifyAll(AComponent, opRemove);
  // The notification may have changed the list; look again.
  if (auto it = std::find(FComponents.rbegin(), FComponents.rend(), AComponent); it != FComponents.rend()) {
    FComponents.erase(std::next(it).base());
    ++FComponentsChanges;
  }
  AComponent->FOwner = nullptr;
}

void TComponent::NotifyAll(TComponent* AComponent, TOperation Operation) {
  Notification(AComponent, Operation);
  // Siblings are told too; copy, because a handler may free components. The copy is
  // searched only once a handler has changed the list: a form owns hundreds.
  const std::vector<TComponent*> siblings = FComponents;
  const uint64_t changes = FComponentsChanges;
  for (TComponent* c : siblings) {
    if (c == AComponent || (FComponentsChanges != changes && !Owns(c))) continue;
    c->Notification(AComponent, Operation);
  }
}

void TComponent::DestroyComponents() {
  while (!FComponents.empty()) {
    TComponent* c = FComponents.back();
    c->Free();  // leaves our list through RemoveComponent
    if (!FComponents.empty() && FComponents.back() == c) {
      FComponents.pop_back();
      ++FComponentsChanges;
    }
  }
}

void TComponent::FreeNotification(TComponent* AComponent) {
  if (!AComponent || AComponent == this) return;
  if (std::find(FFreeNotifies.begin(), FFreeNotifies.end(), AComponent) == FFreeNotifies.end())
    FFreeNotifies.push_back(AComponent);
  if (std::find(AComponent->FFreeNotifies.begin(), AComponent->FFreeNotifies.end(), this) ==
      AComponent->FFreeNotifies.end())
    AComponent->FFreeNotifies.push_back(this);
}

void TComponent::RemoveFreeNotification(TComponent* AComponent) {
  if (!AComponent) return;
  FFreeNotifies.erase(std::remove(FFreeNotifies.begin(), FFreeNotifies.end(), AComponent),
                      FFreeNotifies.end());
  auto& theirs = AComponent->FFreeNotifies;
  theirs.erase(std::remove(theirs.begin(), theirs.end(), this), theirs.end());
}

void TComponent::Loaded() { FComponentState &= ~static_cast<uint32_t>(csLoading); }

void TComponent::Notification(TComponent*, TOperation) {}

void TComponent::SetDesigning(bool Value) {
  if (Value)
    FComponentState |= csDesigning;
  else
    FComponentState &= ~static_cast<uint32_t>(csDesigning);
}
