// The frame controller: what reaches registered controls, filtered by their notification
// sets, held back between BeginUpdate and EndUpdate; the label's and the progress bar's link.
#include "tests/widgets/WidgetTest.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "widgets/KvFrameController.h"
#include "widgets/KvLabel.h"
#include "widgets/KvPrgres.h"

namespace {

using TPushes = std::vector<std::pair<int, uint32_t>>;

// A control with frame settings that records what it is given.
class TFramed : public TControl, public IKvFramedControl {
public:
  explicit TFramed(TKvFrameControllerNotifications Admitted = fcnAll) : TControl(nullptr), FAdmitted(Admitted) {}
  TKvFrameControllerNotifications FrameControllerNotifications() const override { return FAdmitted; }
  void SetFrameSetting(TKvFrameControllerPropertyConnection Index, uint32_t Value) override {
    Pushes.emplace_back(Index, Value);
  }
  std::vector<int> Indices() const {
    std::vector<int> I;
    for (const auto& P : Pushes) I.push_back(P.first);
    return I;
  }
  TPushes Pushes;

private:
  TKvFrameControllerNotifications FAdmitted;
};

class TNotified : public TControl, public IKvFrameControllerNotify {
public:
  TNotified() : TControl(nullptr) {}
  void FrameControllerChanged() override { ++Calls; }
  int Calls = 0;
};

// Every setting in the order a full update pushes them: the parent colour first.
const std::vector<int> FullOrder = {fcpParentColor, fcpColor, fcpDisabledColor, fcpReadOnlyColor,
                                    fcpReadOnlyColorOnFocus, fcpFocusColor, fcpFlatButtonColor, fcpFlatButtons,
                                    fcpFrameColor, fcpFrameHotColor, fcpFrameHotTrack, fcpFrameHotStyle,
                                    fcpFrameSides, fcpFrameStyle, fcpFrameVisible, fcpFramingPreference};

}  // namespace

TEST(KvFrameController, RegistrationPushesEverySettingOnce) {
  TComponentPtr<TKvFrameController> F(new TKvFrameController(nullptr));
  TComponentPtr<TFramed> A(new TFramed);
  TComponentPtr<TNotified> N(new TNotified);
  F->RegisterFramedControl(A.get());
  F->RegisterFramedControl(A.get());
  F->RegisterFramedControl(N.get());
  EXPECT_EQ(F->FramedControlCount(), 2);
  EXPECT_EQ(A->Indices(), FullOrder);
  EXPECT_EQ(A->Pushes[1].second, TColor(clWindow));
  EXPECT_EQ(A->Pushes[11].second, uint32_t(fsFlatBold));
  EXPECT_EQ(A->Pushes[12].second, uint32_t(sdsAll));
  EXPECT_EQ(N->Calls, 1);
  // Any change reaches the notified control, whatever it is.
  F->SetFrameHotColor(clRed);
  EXPECT_EQ(N->Calls, 2);
  EXPECT_EQ(A->Pushes.back(), (std::pair<int, uint32_t>(fcpFrameHotColor, clRed)));
  // With the parent's colour in use, a full update leaves the colour out.
  F->SetParentColor(true);
  TComponentPtr<TFramed> B(new TFramed);
  F->RegisterFramedControl(B.get());
  const std::vector<int> WithParent = B->Indices();
  EXPECT_EQ(std::count(WithParent.begin(), WithParent.end(), int(fcpColor)), 0);
  EXPECT_EQ(WithParent.size(), FullOrder.size() - 1);
  // Unregistered controls hear nothing more.
  F->UnregisterFramedControl(A.get());
  const size_t Before = A->Pushes.size();
  F->SetFrameStyle(fsBump);
  EXPECT_EQ(A->Pushes.size(), Before);
  EXPECT_EQ(N->Calls, 4);
}

TEST(KvFrameController, NotificationSetsAndUnchangedValuesFilterPushes) {
  TComponentPtr<TKvFrameController> F(new TKvFrameController(nullptr));
  TComponentPtr<TFramed> A(new TFramed(fcnAll & ~NotificationBit(fcpFrameColor)));
  F->RegisterFramedControl(A.get());
  A->Pushes.clear();
  F->SetFrameColor(clRed);
  F->SetColor(clWindow);  // unchanged
  EXPECT_TRUE(A->Pushes.empty());
  F->SetFrameStyle(fsBump);
  EXPECT_EQ(A->Pushes, (TPushes{{fcpFrameStyle, fsBump}}));
  // The focus colour follows the colour while they are equal.
  F->SetColor(clRed);
  EXPECT_EQ(F->FocusColor(), TColor(clRed));
  F->SetFocusColor(clYellow);
  F->SetColor(clBlue);
  EXPECT_EQ(F->FocusColor(), TColor(clYellow));
  // Hot tracking shows the frame on all sides, except while loading.
  F->SetFrameSides(sdsLeft);
  F->SetFrameHotTrack(true);
  EXPECT_TRUE(F->FrameVisible());
  EXPECT_EQ(F->FrameSides(), sdsAll);
  TComponentPtr<TComponent> Root(new TComponent(nullptr));
  auto* Loading = new TKvFrameController(Root.get());
  Loading->SetFrameSides(sdsTop);
  BeginLoading(Root.get());
  Loading->SetFrameHotTrack(true);
  EndLoading(Root.get());
  EXPECT_EQ(Loading->FrameSides(), sdsTop);
  EXPECT_TRUE(Loading->FrameVisible());
}

TEST(KvFrameController, UpdatesWaitForTheLastEndUpdateAndAssignUpdatesOnce) {
  TComponentPtr<TKvFrameController> F(new TKvFrameController(nullptr));
  TComponentPtr<TFramed> A(new TFramed), B(new TFramed);
  F->RegisterFramedControl(A.get());
  F->RegisterFramedControl(B.get());
  A->Pushes.clear();
  B->Pushes.clear();
  F->BeginUpdate();
  F->BeginUpdate();
  F->SetFrameColor(clRed);
  F->SetFrameStyle(fsGroove);
  F->EndUpdate();
  EXPECT_TRUE(A->Pushes.empty());
  F->EndUpdate();
  EXPECT_EQ(A->Indices(), FullOrder);
  EXPECT_EQ(B->Indices(), FullOrder);
  EXPECT_EQ(A->Pushes[8].second, TColor(clRed));

  TComponentPtr<TKvFrameController> Source(new TKvFrameController(nullptr));
  Source->SetFrameHotTrack(true);
  Source->SetFrameSides(sdsBottom);
  Source->SetFocusColor(clLime);
  Source->SetColor(clAqua);
  A->Pushes.clear();
  F->Assign(*Source);
  EXPECT_EQ(A->Indices(), FullOrder);
  EXPECT_EQ(F->FrameSides(), sdsBottom);
  EXPECT_EQ(F->FocusColor(), TColor(clLime));
  EXPECT_EQ(F->Color(), TColor(clAqua));
  EXPECT_TRUE(F->FrameHotTrack());
}

TEST(KvFrameController, LabelAndProgressBarFollowAVisibleFrame) {
  TComponentPtr<TKvFrameController> F(new TKvFrameController(nullptr));
  TComponentPtr<TKvLabel> Label(new TKvLabel(nullptr));
  TComponentPtr<TKvProgressBar> Bar(new TKvProgressBar(nullptr));
  Label->SetFrameControllerNotifications(fcnAll & ~NotificationBit(fcpFrameColor));
  F->SetFrameStyle(fsRaised);
  F->SetFrameColor(clRed);
  F->SetColor(clAqua);
  Label->SetFrameController(F.get());
  Bar->SetFrameController(F.get());
  EXPECT_EQ(Label->BorderOuter(), fsNone);  // the frame is not visible yet
  F->SetFrameVisible(true);
  EXPECT_EQ(Label->BorderOuter(), fsRaised);
  EXPECT_EQ(Label->FlatColor(), TColor(clBtnShadow));  // not admitted
  EXPECT_EQ(Label->Color(), TColor(clAqua));
  EXPECT_EQ(Label->BorderHighlight(), BrightenColor(clAqua, 100));
  EXPECT_EQ(Bar->BorderOuter(), fsRaised);
  EXPECT_EQ(Bar->FlatColor(), TColor(clRed));
  EXPECT_EQ(Bar->FlatColorAdjustment(), 0);
  EXPECT_EQ(Bar->BackColor(), TColor(clAqua));
  EXPECT_EQ(F->FramedControlCount(), 2);
  // Freeing either side ends the link.
  Bar.reset();
  EXPECT_EQ(F->FramedControlCount(), 1);
  F.reset();
  EXPECT_EQ(Label->FrameController(), nullptr);
}
