// The state colours and the hot-tracking frame that edits, memos, combo boxes and list
// views share, checked on each of them under real focus and mouse events.
#include "tests/widgets/WidgetTest.h"

#include <gtest/gtest.h>

#include <type_traits>

#include "widgets/KvCmboBx.h"
#include "widgets/KvEdit.h"
#include "widgets/KvListVw.h"

using namespace widgettest;
using testsupport::MouseMove;
using testsupport::PixelAt;
using testsupport::Render;

namespace {

template <class T>
struct TFramedForm : TInputForm {
  TFramedForm() : TInputForm(360, 260) {
    Control = Add<T>(Bounds(10, 10, 200, 120));
    Other = Add<TKvEdit>(Bounds(10, 200, 100, 21));
    Control->SetColor(clWhite);
  }
  // A pixel of the control's background: left of the middle, clear of text and button.
  TColor Background() const { return PixelAt(Render(Control), 8, Control->Height() / 2); }
  T* Control;
  TKvEdit* Other;
};

template <class T>
class KvFramed : public ::testing::Test {};
using TFramedKinds = ::testing::Types<TKvEdit, TKvMemo, TKvComboBox, TKvListView>;
TYPED_TEST_SUITE(KvFramed, TFramedKinds);

// The list view's ReadOnly is about editing captions; it has no read-only colours.
template <class T>
constexpr bool HasReadOnlyColors = !std::is_base_of_v<TCustomListView, T>;

}  // namespace

TYPED_TEST(KvFramed, ColorShowsTheStateAndFollowsTheProgramsColor) {
  TFramedForm<TypeParam> F;
  TypeParam* C = F.Control;
  C->SetFocusColor(clYellow);
  C->SetDisabledColor(clGray);
  C->SetReadOnlyColor(clAqua);
  F.Show();
  const struct {
    bool ReadOnly, OnFocus, Focused, Enabled;
    TColor Expected;
  } Cases[] = {
      {false, false, false, true, clWhite}, {false, false, true, true, clYellow}, {true, false, false, true, clAqua},
      {true, false, true, true, clYellow},  {true, true, true, true, clAqua},     {true, true, false, false, clGray},
      {false, false, false, false, clGray}, {false, false, false, true, clWhite},
  };
  for (const auto& K : Cases) {
    if constexpr (HasReadOnlyColors<TypeParam>)
      C->SetReadOnly(K.ReadOnly);
    else if (K.ReadOnly)
      continue;
    C->SetReadOnlyColorOnFocus(K.OnFocus);
    C->SetEnabled(K.Enabled);
    (K.Focused ? static_cast<TWinControl*>(C) : F.Other)->SetFocus();
    EXPECT_EQ(C->Color(), K.Expected) << K.ReadOnly << K.OnFocus << K.Focused << K.Enabled;
    EXPECT_EQ(F.Background(), RGBOf(K.Expected)) << K.ReadOnly << K.OnFocus << K.Focused << K.Enabled;
  }
  // A colour set by the program is the one shown without a state; a focus colour that
  // was the same goes along, a distinct one stays.
  C->SetColor(clLime);
  EXPECT_EQ(C->FocusColor(), TColor(clYellow));
  C->SetFocusColor(clLime);
  C->SetColor(clCream);
  EXPECT_EQ(C->FocusColor(), TColor(clCream));
  C->SetEnabled(false);
  C->SetEnabled(true);
  EXPECT_EQ(C->Color(), TColor(clCream));
}

TYPED_TEST(KvFramed, HotFrameFollowsTheMouseAndTheFocus) {
  TFramedForm<TypeParam> F;
  TypeParam* C = F.Control;
  C->SetFrameColor(clBlue);
  C->SetFrameHotColor(clRed);
  C->SetFrameStyle(fsFlat);
  C->SetFrameHotStyle(fsFlatBold);
  C->SetFrameSides(sdsLeft);
  C->SetFrameHotTrack(true);
  EXPECT_TRUE(C->FrameVisible());
  EXPECT_EQ(C->FrameSides(), sdsAll);
  F.Show();
  F.Other->SetFocus();
  const int32_t Y = C->Height() / 2, Right = C->Width() - 1;
  // The outer two pixels at the left and the right edge.
  const auto Edges = [&] {
    const QImage I = Render(C);
    return std::vector<TColor>{PixelAt(I, 0, Y), PixelAt(I, 1, Y), PixelAt(I, Right, Y), PixelAt(I, Right - 1, Y)};
  };
  const std::vector<TColor> Quiet{RGBOf(clBlue), RGBOf(clWhite), RGBOf(clBlue), RGBOf(clWhite)};
  const std::vector<TColor> Hot(4, RGBOf(clRed));
  EXPECT_EQ(Edges(), Quiet);
  MouseMove(C, 20, Y);
  EXPECT_EQ(Edges(), Hot);
  MouseMove(F.Other, 5, 5);
  EXPECT_EQ(Edges(), Quiet);
  C->SetFocus();
  EXPECT_EQ(Edges(), Hot);
  F.Other->SetFocus();
  EXPECT_EQ(Edges(), Quiet);
  // Without hot tracking the frame keeps its quiet look; without the frame the class
  // library's border is back.
  C->SetFrameHotTrack(false);
  C->SetFocus();
  EXPECT_EQ(Edges(), Quiet);
  if constexpr (!std::is_base_of_v<TCustomComboBox, TypeParam>) {
    C->SetFrameVisible(false);
    EXPECT_EQ(PixelAt(Render(C), 0, Y), RGBOf(clBtnShadow));
  }
}

TYPED_TEST(KvFramed, FrameControllerSettingsReachTheControlAsItsNotificationsAdmit) {
  TFramedForm<TypeParam> F;
  TKvFrameController Controller(nullptr);
  Controller.SetFrameColor(clMaroon);
  Controller.SetFocusColor(clYellow);
  F.Control->SetFrameControllerNotifications(fcnAll & ~NotificationBit(fcpFocusColor));
  F.Control->SetFrameController(&Controller);
  Controller.SetFrameHotTrack(true);
  Controller.SetFrameStyle(fsLowered);
  EXPECT_EQ(std::tuple(F.Control->FrameColor(), F.Control->FocusColor(), F.Control->FrameHotTrack(),
                       F.Control->FrameStyle()),
            std::tuple(TColor(clMaroon), TColor(clWindow), true, fsLowered));
  F.Control->SetFrameController(nullptr);
  EXPECT_EQ(Controller.FramedControlCount(), 0);
}
