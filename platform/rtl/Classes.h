#pragma once
// The component model: owned components, removal notification, persistence.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class TComponent;
using TNotifyEvent = std::function<void(TComponent* Sender)>;

enum TOperation : uint8_t { opInsert, opRemove };

// Component state bits.
enum : uint32_t { csLoading = 1, csDesigning = 2, csDestroying = 4 };

class TPersistent {
public:
  virtual ~TPersistent() = default;
  // Copies Source into this object; raises EConvertError when the classes do not match.
  virtual void Assign(const TPersistent& Source);

protected:
  // Called by Assign when this object does not know Source: lets Dest copy from this.
  virtual void AssignTo(TPersistent& Dest) const;
};

// A component is owned by another component (or by nobody) and frees what it owns.
//
// Destroy components with Free() (or let their owner do it): it first calls the
// virtual BeforeDestruction(), where derived classes do what must happen while they
// are still whole (stop workers, close files), and which ends by sending the removal
// notifications and freeing the owned components. Deleting a component directly
// runs only the base part of that work.
class TComponent : public TPersistent {
public:
  explicit TComponent(TComponent* AOwner);
  ~TComponent() override;
  TComponent(const TComponent&) = delete;
  TComponent& operator=(const TComponent&) = delete;

  void Free();
  // Derived overrides do their own work first, then call the inherited one.
  virtual void BeforeDestruction();

  TComponent* Owner() const { return FOwner; }
  const std::string& Name() const { return FName; }
  void SetName(const std::string& Value) { FName = Value; }
  uint32_t ComponentState() const { return FComponentState; }
  bool Designing() const { return (FComponentState & csDesigning) != 0; }
  bool Destroying() const { return (FComponentState & csDestroying) != 0; }

  int ComponentCount() const { return static_cast<int>(FComponents.size()); }
  TComponent* Components(int Index) const { return FComponents.at(static_cast<size_t>(Index)); }
  void InsertComponent(TComponent* AComponent);
  void RemoveComponent(TComponent* AComponent);
  void DestroyComponents();

  // Asks to be told (Notification with opRemove) when AComponent goes away, also when
  // it is not owned by this component's owner.
  void FreeNotification(TComponent* AComponent);
  void RemoveFreeNotification(TComponent* AComponent);

  virtual void Loaded();

protected:
  virtual void Notification(TComponent* AComponent, TOperation Operation);
  void SetDesigning(bool Value);

private:
  void DoDestroying();
  void NotifyAll(TComponent* AComponent, TOperation Operation);
  bool Owns(const TComponent* AComponent) const;

  TComponent* FOwner = nullptr;
  std::string FName;
  uint32_t FComponentState = 0;
  bool FDestroyed = false;
  std::vector<TComponent*> FComponents;
  uint64_t FComponentsChanges = 0;  // every insertion or removal counts
  std::vector<TComponent*> FFreeNotifies;
};

// unique_ptr deleter for components that are not owned by another component.
struct TComponentDeleter {
  void operator()(TComponent* C) const {
    if (C) C->Free();
  }
};
template <class T>
using TComponentPtr = std::unique_ptr<T, TComponentDeleter>;
