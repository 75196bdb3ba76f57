// Ownership, removal notification and the order of destruction of components.

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "platform/rtl/Classes.h"
#include "platform/rtl/SysUtils.h"

namespace {

std::vector<std::string> Journal;

class TProbe : public TComponent {
public:
  TProbe(TComponent* AOwner, std::string N) : TComponent(AOwner) { SetName(std::move(N)); }
  ~TProbe() override { Journal.push_back("delete " + Name()); }
  void BeforeDestruction() override {
    // Derived work runs while the whole object and what it owns still exist.
    Journal.push_back("before " + Name() + " owns " + std::to_string(ComponentCount()));
    TComponent::BeforeDestruction();
  }
  TComponent* Watched = nullptr;
  TComponent* FreeWhenTold = nullptr;  // freed by the first removal this one is told of
  void Watch(TComponent* C) {
    Watched = C;
    FreeNotification(C);
  }

protected:
  void Notification(TComponent* AComponent, TOperation Operation) override {
    TComponent::Notification(AComponent, Operation);
    if (Operation == opRemove) {
      Journal.push_back(Name() + " told " + AComponent->Name() + " goes");
      if (AComponent == Watched) Watched = nullptr;
      if (FreeWhenTold) std::exchange(FreeWhenTold, nullptr)->Free();
    }
  }
};

}  // namespace

TEST(ComponentTest, OwnerFreesWhatItOwnsAfterItsOwnPreDestructionWork) {
  Journal.clear();
  auto* root = new TProbe(nullptr, "root");
  auto* a = new TProbe(root, "a");
  new TProbe(a, "a1");
  new TProbe(root, "b");
  EXPECT_EQ(root->ComponentCount(), 2);
  EXPECT_EQ(a->Owner(), root);
  root->Free();
  ASSERT_FALSE(Journal.empty());
  EXPECT_EQ(Journal.front(), "before root owns 2");
  // Every component was deleted exactly once.
  for (const char* n : {"root", "a", "a1", "b"})
    EXPECT_EQ(std::count(Journal.begin(), Journal.end(), std::string("delete ") + n), 1) << n;
  // a's child went before a itself.
  auto pos = [&](const std::string& s) { return std::find(Journal.begin(), Journal.end(), s); };
  EXPECT_LT(pos("delete a1"), pos("delete a"));
}

TEST(ComponentTest, SiblingsAndWatchersAreToldOfRemoval) {
  Journal.clear();
  TComponentPtr<TProbe> root(new TProbe(nullptr, "root"));
  auto* a = new TProbe(root.get(), "a");
  auto* b = new TProbe(root.get(), "b");
  TComponentPtr<TProbe> outsider(new TProbe(nullptr, "outsider"));
  outsider->Watch(a);
  b->Watched = a;
  a->Free();
  EXPECT_EQ(root->ComponentCount(), 1);
  EXPECT_EQ(outsider->Watched, nullptr);
  EXPECT_EQ(b->Watched, nullptr);
  EXPECT_NE(std::find(Journal.begin(), Journal.end(), "root told a goes"), Journal.end());

  // A watcher that goes first is forgotten: freeing the watched one later is safe.
  auto* c = new TProbe(root.get(), "c");
  TComponentPtr<TProbe> w(new TProbe(nullptr, "w"));
  w->Watch(c);
  w.reset();
  c->Free();
  outsider->RemoveFreeNotification(b);

  // A sibling that a handler frees while the others are told is not told after it went.
  auto* d = new TProbe(root.get(), "d");
  auto* e = new TProbe(root.get(), "e");
  auto* f = new TProbe(root.get(), "f");
  d->FreeWhenTold = e;
  Journal.clear();
  f->Free();
  EXPECT_EQ(root->ComponentCount(), 2);
  EXPECT_EQ(std::count(Journal.begin(), Journal.end(), "delete e"), 1);
  EXPECT_EQ(std::find(Journal.begin(), Journal.end(), "e told f goes"), Journal.end());
}

TEST(ComponentTest, MovingToAnotherOwnerAndDeletingDirectly) {
  TComponentPtr<TComponent> o1(new TComponent(nullptr)), o2(new TComponent(nullptr));
  auto* c = new TComponent(o1.get());
  o2->InsertComponent(c);
  EXPECT_EQ(o1->ComponentCount(), 0);
  EXPECT_EQ(o2->ComponentCount(), 1);
  EXPECT_EQ(c->Owner(), o2.get());
  delete c;  // still leaves its owner's list
  EXPECT_EQ(o2->ComponentCount(), 0);
}

namespace {
struct TValue : TPersistent {
  int V = 0;
  void Assign(const TPersistent& Source) override {
    if (auto* s = dynamic_cast<const TValue*>(&Source)) {
      V = s->V;
      return;
    }
    TPersistent::Assign(Source);
  }
};
struct TOther : TPersistent {};
}  // namespace

TEST(PersistentTest, AssignCopiesKnownClassesAndRefusesOthers) {
  TValue a, b;
  a.V = 7;
  b.Assign(a);
  EXPECT_EQ(b.V, 7);
  TOther o;
  EXPECT_THROW(b.Assign(o), EConvertError);
}
