// Controls: lifetime with their hosts, the enabled flag, parent-property propagation,
// alignment and anchors, the loading state, messages, mouse input, actions, painting.
#include "tests/support/Gui.h"

#include <gtest/gtest.h>

#include <QPointer>
#include <QWidget>
#include <functional>
#include <string>
#include <vector>

#include "platform/gui/ActnList.h"
#include "platform/gui/Controls.h"
#include "platform/gui/Forms.h"

using namespace testsupport;

namespace {

std::vector<std::string> Journal;

// A windowed control that records what happens to it.
class TProbe : public TCustomControl {
public:
  TProbe(TComponent* AOwner, const std::string& AName, TWinControl* AParent = nullptr, TRect Inset = {})
      : TCustomControl(AOwner), FInset(Inset) {
    SetName(AName);
    if (AParent) SetParent(AParent);
  }
  ~TProbe() override { Journal.push_back("delete " + Name()); }
  void BeforeDestruction() override {
    Journal.push_back("free " + Name() + (Parent() && Parent()->Host() ? " on live parent" : ""));
    TCustomControl::BeforeDestruction();
  }
  void Loaded() override {
    Journal.push_back("loaded " + Name());
    TCustomControl::Loaded();
  }
  int32_t EnabledChanges = 0;
  std::vector<uint32_t> Messages;
  TColor Fill = clNone;

protected:
  void AdjustClientRect(TRect& R) override {
    R.Left += FInset.Left;
    R.Top += FInset.Top;
    R.Right -= FInset.Right;
    R.Bottom -= FInset.Bottom;
  }
  void CMEnabledChanged() override {
    ++EnabledChanges;
    TCustomControl::CMEnabledChanged();
  }
  void WndProc(TMessage& M) override {
    if (M.Msg >= CM_BASE + 1000) {
      Messages.push_back(M.Msg);
      if (M.Msg == CM_BASE + 1001 && Name() == "Answers") M.Result = 1;
      return;
    }
    TCustomControl::WndProc(M);
  }
  void WMEraseBkgnd(TCanvas* C) override {
    if (Fill != clNone) TCustomControl::WMEraseBkgnd(C);
  }
  void CMControlChange(TControl* Child, bool Inserting) override {
    if (!Inserting && Destroying()) Journal.push_back("destroying " + Name() + " loses " + Child->Name());
  }

private:
  TRect FInset;
};

// A graphic control that paints a red square and records its mouse events.
class TSpot : public TGraphicControl {
public:
  TSpot(TComponent* AOwner, const std::string& AName, TWinControl* AParent, TRect Bounds) : TGraphicControl(AOwner) {
    SetName(AName);
    SetParent(AParent);
    SetBoundsRect(Bounds);
    OnClick = [this](TComponent*) { Events.push_back("click"); };
    OnDblClick = [this](TComponent*) { Events.push_back("dblclick"); };
    OnMouseEnter = [this](TComponent*) { Events.push_back("enter"); };
    OnMouseLeave = [this](TComponent*) { Events.push_back("leave"); };
    OnMouseDown = [this](TComponent*, TMouseButton, TShiftState S, int32_t X, int32_t Y) {
      Events.push_back(std::string((S & ssDouble) ? "double" : "down") + " " + std::to_string(X) + "," + std::to_string(Y) +
                       (MouseCapture() ? " captured" : ""));
    };
    OnMouseMove = [this](TComponent*, TShiftState S, int32_t X, int32_t Y) {
      if (S & ssLeft) Events.push_back("drag " + std::to_string(X) + "," + std::to_string(Y));
    };
    OnMouseUp = [this](TComponent*, TMouseButton, TShiftState, int32_t X, int32_t Y) {
      Events.push_back("up " + std::to_string(X) + "," + std::to_string(Y));
    };
  }
  std::vector<std::string> Events;
  // What the canvas took of the last paint.
  TRect Painted;

protected:
  void Paint() override {
    Painted = Canvas()->ClipRect();
    Canvas()->Brush()->SetColor(clRed);
    Canvas()->FillRect(Rect(2, 2, 6, 6));
  }
};

int Count(const std::string& Entry) { return static_cast<int>(std::count(Journal.begin(), Journal.end(), Entry)); }

}  // namespace

TEST(ControlLifetime, AParentFreesItsChildrenBeforeItsHostGoes) {
  Journal.clear();
  auto* Form = new TForm(nullptr);
  auto* Panel = new TProbe(Form, "Panel", Form);
  auto* Owned = new TProbe(Form, "Owned", Panel);      // owned by the form, parented by the panel
  auto* Orphan = new TProbe(nullptr, "Orphan", Panel);  // owned by nobody
  new TProbe(Owned, "Grandchild", Owned);
  QPointer<QWidget> PanelHost = Panel->Host(), OwnedHost = Owned->Host();
  const int32_t Before = Form->ComponentCount();
  Panel->Free();
  // Each child goes whole (its own children first) before the next, last made first,
  // while the parent already counts as destroying.
  EXPECT_EQ(Journal, (std::vector<std::string>{"free Panel on live parent", "free Orphan on live parent",
                                               "destroying Panel loses Orphan", "delete Orphan",
                                               "free Owned on live parent", "free Grandchild on live parent",
                                               "destroying Owned loses Grandchild", "delete Grandchild",
                                               "destroying Panel loses Owned", "delete Owned", "delete Panel"}));
  EXPECT_TRUE(PanelHost.isNull());
  EXPECT_TRUE(OwnedHost.isNull());
  EXPECT_EQ(Form->ComponentCount(), Before - 2);
  EXPECT_EQ(Form->ControlCount(), 0);
  (void)Orphan;
  // A child freed on its own leaves its parent; the form then frees the rest once each.
  Journal.clear();
  auto* A = new TProbe(Form, "A", Form);
  new TProbe(Form, "B", A);
  A->Controls(0)->Free();
  EXPECT_EQ(A->ControlCount(), 0);
  EXPECT_TRUE(A->Host()->findChildren<QWidget*>().isEmpty());
  Form->Free();
  EXPECT_EQ(Count("delete A"), 1);
  EXPECT_EQ(Count("delete B"), 1);
}

TEST(ControlVisible, ShowingNeedsEveryParentShown) {
  TForm Form(nullptr);
  auto* Parent = new TProbe(&Form, "Parent", &Form);
  auto* Child = new TSpot(&Form, "Child", Parent, Bounds(0, 0, 5, 5));
  EXPECT_FALSE(Child->Showing());
  ShowActive(&Form);
  EXPECT_TRUE(Child->Showing());
  Parent->Hide();
  EXPECT_TRUE(Child->Visible());
  EXPECT_FALSE(Child->Showing());
  Parent->Show();
  Child->Hide();
  EXPECT_FALSE(Child->Showing());
}

TEST(ControlEnabled, IsEachControlsOwnFlagWithItsOwnNotification) {
  TForm Form(nullptr);
  auto* Parent = new TProbe(&Form, "Parent", &Form);
  auto* Child = new TProbe(&Form, "Child", Parent);
  Parent->SetEnabled(false);
  EXPECT_EQ(Parent->EnabledChanges, 1);
  EXPECT_EQ(Child->EnabledChanges, 0);
  EXPECT_TRUE(Child->Enabled());
  EXPECT_FALSE(Child->Host()->isEnabled());  // but its input is blocked
  Child->SetEnabled(false);
  Parent->SetEnabled(true);
  EXPECT_EQ(Child->EnabledChanges, 1);
  EXPECT_FALSE(Child->Host()->isEnabled());  // its own flag still holds
  Child->SetEnabled(true);
  EXPECT_TRUE(Child->Host()->isEnabled());
  Child->SetEnabled(true);
  EXPECT_EQ(Child->EnabledChanges, 2);
}

TEST(ControlParentProperties, FollowTheParentUntilSetAndAgainWhenAskedTo) {
  // Each property with two values, 0 and 1.
  struct TProperty {
    const char* Name;
    std::function<void(TControl*, int)> Set;
    std::function<int(TControl*)> Get;
    std::function<bool(TControl*)> Linked;
    std::function<void(TControl*)> Relink;
  };
  const TProperty Properties[] = {
      {"colour", [](TControl* C, int N) { C->SetColor(N ? clRed : clBlue); }, [](TControl* C) { return C->Color() == clRed ? 1 : 0; },
       [](TControl* C) { return C->ParentColor(); }, [](TControl* C) { C->SetParentColor(true); }},
      {"font", [](TControl* C, int N) { C->Font()->SetHeight(-10 - N); }, [](TControl* C) { return -C->Font()->Height() - 10; },
       [](TControl* C) { return C->ParentFont(); }, [](TControl* C) { C->SetParentFont(true); }},
      {"show hint", [](TControl* C, int N) { C->SetShowHint(N == 1); }, [](TControl* C) { return C->ShowHint() ? 1 : 0; },
       [](TControl* C) { return C->ParentShowHint(); }, [](TControl* C) { C->SetParentShowHint(true); }},
      {"bidi", [](TControl* C, int N) { C->SetBiDiMode(N ? bdRightToLeft : bdLeftToRight); },
       [](TControl* C) { return C->BiDiMode() == bdRightToLeft ? 1 : 0; }, [](TControl* C) { return C->ParentBiDiMode(); },
       [](TControl* C) { C->SetParentBiDiMode(true); }},
  };
  for (const TProperty& P : Properties) {
    TForm Form(nullptr);
    auto* Top = new TProbe(&Form, "Top");
    P.Set(Top, 1);
    auto* Middle = new TProbe(&Form, "Middle", Top);
    auto* Bottom = new TSpot(&Form, "Bottom", Middle, Rect(0, 0, 5, 5));
    EXPECT_EQ(P.Get(Bottom), 1) << P.Name << ": taken when parented";
    P.Set(Top, 0);
    EXPECT_EQ(P.Get(Bottom), 0) << P.Name << ": follows through the middle";
    EXPECT_TRUE(P.Linked(Middle)) << P.Name;
    P.Set(Middle, 1);
    EXPECT_FALSE(P.Linked(Middle)) << P.Name;
    P.Set(Top, 1);
    P.Set(Top, 0);
    EXPECT_EQ(P.Get(Middle), 1) << P.Name << ": keeps its own";
    EXPECT_EQ(P.Get(Bottom), 1) << P.Name << ": follows its own parent";
    P.Relink(Middle);
    EXPECT_EQ(P.Get(Middle), 0) << P.Name;
    EXPECT_EQ(P.Get(Bottom), 0) << P.Name;
    EXPECT_TRUE(P.Linked(Middle)) << P.Name;
  }
}

TEST(ControlAlign, LaysOutEveryAlignmentInsideTheAdjustedClientRect) {
  TForm Form(nullptr);
  auto* Host = new TProbe(&Form, "Host", &Form, Rect(2, 3, 4, 5));
  Host->SetBounds(0, 0, 200, 100);
  struct TChild {
    const char* Name;
    TAlign Align;
    TRect Start;
    TRect Expected;  // for a 200 x 100 host with insets 2, 3, 4, 5
  };
  const TChild Children[] = {
      {"Top1", alTop, Bounds(0, 50, 10, 10), Bounds(2, 23, 194, 10)},
      {"Top0", alTop, Bounds(0, 0, 10, 20), Bounds(2, 3, 194, 20)},  // higher up, so first
      {"Bottom", alBottom, Bounds(0, 0, 10, 15), Bounds(2, 80, 194, 15)},
      {"Left", alLeft, Bounds(0, 0, 30, 10), Bounds(2, 33, 30, 47)},
      {"Right", alRight, Bounds(0, 0, 40, 10), Bounds(156, 33, 40, 47)},
      {"Client", alClient, Bounds(0, 0, 5, 5), Bounds(32, 33, 124, 47)},
      {"Free", alNone, Bounds(7, 8, 9, 10), Bounds(7, 8, 9, 10)},
  };
  std::vector<TControl*> Made;
  for (const TChild& C : Children) {
    auto* P = new TProbe(&Form, C.Name, Host);
    P->SetBoundsRect(C.Start);
    P->SetAlign(C.Align);
    Made.push_back(P);
  }
  for (size_t I = 0; I < Made.size(); ++I) EXPECT_EQ(Made[I]->BoundsRect(), Children[I].Expected) << Children[I].Name;
  // A hidden aligned control gives up its room; a taller top one pushes the rest down.
  Made[0]->SetVisible(false);
  EXPECT_EQ(Made[3]->BoundsRect(), Bounds(2, 23, 30, 57));
  Made[1]->SetHeight(30);
  EXPECT_EQ(Made[3]->BoundsRect(), Bounds(2, 33, 30, 47));
  Host->SetBounds(0, 0, 300, 150);
  EXPECT_EQ(Made[4]->BoundsRect(), Bounds(256, 33, 40, 97));
  EXPECT_EQ(Made[5]->BoundsRect(), Bounds(32, 33, 224, 97));
  // Turning from top to left turns the control.
  auto* Turn = new TProbe(&Form, "Turn", &Form);
  Turn->SetBounds(0, 0, 50, 10);
  Turn->SetAlign(alTop);
  Turn->SetAlign(alLeft);
  EXPECT_EQ(Turn->Width(), 10);
}

TEST(ControlAlign, AnchorsKeepTheirDistances) {
  TForm Form(nullptr);
  auto* Host = new TProbe(&Form, "Host", &Form);
  Host->SetBounds(0, 0, 200, 100);
  struct TCase {
    TAnchors Anchors;
    TRect Start, After;  // after the host grows to 300 x 200
  };
  const TCase Cases[] = {
      {akLeft | akTop, Bounds(10, 10, 20, 10), Bounds(10, 10, 20, 10)},
      {akRight | akBottom, Bounds(150, 80, 20, 10), Bounds(250, 180, 20, 10)},
      {akLeft | akRight | akTop, Bounds(10, 10, 100, 20), Bounds(10, 10, 200, 20)},
      {akTop | akBottom | akLeft, Bounds(10, 10, 100, 20), Bounds(10, 10, 100, 120)},
      {0, Bounds(90, 45, 20, 10), Bounds(140, 95, 20, 10)},  // the centre keeps its proportion
  };
  std::vector<TControl*> Made;
  for (const TCase& C : Cases) {
    auto* P = new TProbe(&Form, "", Host);
    P->SetBoundsRect(C.Start);
    P->SetAnchors(C.Anchors);
    Made.push_back(P);
  }
  Host->SetBounds(0, 0, 300, 200);
  for (size_t I = 0; I < Made.size(); ++I) EXPECT_EQ(Made[I]->BoundsRect(), Cases[I].After) << I;
  // Moving an anchored control by hand makes its new place the rule.
  Made[1]->SetLeft(200);
  Host->SetBounds(0, 0, 200, 100);
  EXPECT_EQ(Made[1]->BoundsRect(), Bounds(100, 80, 20, 10));
  // An auto-sized container holds its visible children and keeps its insets.
  auto* Box = new TProbe(&Form, "Box", &Form, Rect(1, 2, 3, 4));
  auto* Inside = new TProbe(&Form, "Inside", Box);
  Inside->SetBounds(10, 10, 30, 20);
  Box->SetAutoSize(true);
  EXPECT_EQ(Box->BoundsRect(), Bounds(0, 0, 43, 34));
  Inside->SetWidth(50);
  EXPECT_EQ(Box->Width(), 63);
}

TEST(ControlLoading, CallsLoadedInCreationOrderAfterEverythingIsBuilt) {
  Journal.clear();
  struct TRecorder : TComponent {
    using TComponent::TComponent;
    void Loaded() override {
      Journal.push_back(std::string("loaded recorder") + (ComponentLoading(this) ? " while loading" : ""));
      TComponent::Loaded();
    }
  };
  auto* Form = new TForm(nullptr);
  Form->SetName("Form");
  BeginLoading(Form);
  BeginLoading(Form);  // nested
  auto* Panel = new TProbe(Form, "Panel", Form);
  Panel->SetBounds(0, 0, 100, 50);
  auto* Inner = new TProbe(Panel, "Inner", Panel);  // owned by the panel
  Inner->SetAlign(alClient);
  new TRecorder(Form);
  auto* Last = new TProbe(Form, "Last", Form);
  EXPECT_TRUE(Last->Loading());
  EXPECT_TRUE(Inner->Loading());
  EXPECT_EQ(Inner->Width(), 0);  // alignment waits
  EndLoading(Form);
  EXPECT_TRUE(Journal.empty());
  EndLoading(Form);
  EXPECT_EQ(Journal, (std::vector<std::string>{"loaded Panel", "loaded Inner", "loaded recorder while loading", "loaded Last"}));
  EXPECT_EQ(Inner->BoundsRect(), Bounds(0, 0, 100, 50));
  EXPECT_FALSE(Inner->Loading());
  EXPECT_FALSE(ComponentLoading(Form));
  auto* Later = new TProbe(Form, "Later", Form);
  EXPECT_FALSE(Later->Loading());
  Form->Free();
}

TEST(ControlMessages, PerformBroadcastAndTypedNotifications) {
  TForm Form(nullptr);
  auto* Parent = new TProbe(&Form, "Parent", &Form);
  auto* First = new TProbe(&Form, "First", Parent);
  auto* Answering = new TProbe(&Form, "Answers", Parent);
  auto* Third = new TProbe(&Form, "Third", Parent);
  EXPECT_EQ(Parent->Perform(CM_BASE + 1000, 5, 6), 0);
  EXPECT_EQ(Parent->Messages, std::vector<uint32_t>{CM_BASE + 1000});
  TMessage M{CM_BASE + 1001, 0, 0, 0};
  Parent->Broadcast(M);
  EXPECT_EQ(M.Result, 1);
  EXPECT_EQ(First->Messages.size(), 1u);
  EXPECT_EQ(Answering->Messages.size(), 1u);
  EXPECT_TRUE(Third->Messages.empty());  // the broadcast stopped at the answer
  Parent->NotifyControls(CM_BASE + 1002);
  EXPECT_EQ(Third->Messages, std::vector<uint32_t>{CM_BASE + 1002});
  int Entered = 0;
  First->OnMouseEnter = [&](TComponent*) { ++Entered; };
  First->Perform(CM_MOUSEENTER);
  EXPECT_EQ(Entered, 1);
  // Tab order and coordinates.
  EXPECT_EQ(Third->TabOrder(), 2);
  Third->SetTabOrder(0);
  std::vector<TWinControl*> Order;
  Parent->GetTabOrderList(Order);
  EXPECT_EQ(Order, (std::vector<TWinControl*>{Third, First, Answering}));
  Form.SetBounds(100, 50, 200, 100);
  Parent->SetBounds(10, 20, 50, 50);
  Third->SetBounds(3, 4, 10, 10);
  ShowActive(&Form);
  EXPECT_EQ(Third->ClientToScreen({1, 2}), Point(114, 76));
  EXPECT_EQ(Third->ScreenToClient({114, 76}), Point(1, 2));
  EXPECT_EQ(Third->ClientToParent({1, 2}, &Form), Point(14, 26));
  EXPECT_EQ(FindControl(&Form, "Answers"), Answering);
  EXPECT_EQ(Answering->Host()->objectName(), QString("Answers"));
  EXPECT_EQ(FindControl(&Form, "Nobody"), nullptr);
}

TEST(ControlMouse, ClicksCaptureTheImplicitGrabAndEnterLeave) {
  TForm Form(nullptr);
  Form.SetBounds(0, 0, 200, 100);
  auto* A = new TSpot(&Form, "A", &Form, Bounds(10, 10, 40, 40));
  auto* B = new TSpot(&Form, "B", &Form, Bounds(100, 10, 40, 40));
  ShowActive(&Form);
  MouseMove(A, 5, 5);
  MouseClick(A, 5, 6);
  EXPECT_EQ(A->Events, (std::vector<std::string>{"enter", "down 5,6 captured", "click", "up 5,6"}));
  A->Events.clear();
  // Pressed on A, released over B: A gets the moves and the release, no click.
  MousePress(A, 5, 5);
  MouseMove(B, 5, 5);
  MouseRelease(B, 5, 5);
  EXPECT_EQ(A->Events, (std::vector<std::string>{"down 5,5 captured", "drag 95,5", "up 95,5", "leave"}));
  EXPECT_EQ(B->Events, (std::vector<std::string>{"enter"}));
  EXPECT_EQ(GetCaptureControl(), nullptr);
  B->Events.clear();
  MouseDoubleClick(B, 7, 7);
  EXPECT_EQ(B->Events, (std::vector<std::string>{"down 7,7 captured", "click", "up 7,7", "dblclick", "double 7,7 captured", "up 7,7"}));
}

TEST(ControlActions, LinkCaptionEnabledHintAndClick) {
  TForm Form(nullptr);
  auto* Action = new TAction(&Form);
  Action->SetCaption("Go");
  Action->SetHint("Runs it");
  TComponent* Executed = nullptr;
  Action->OnExecute = [&](TComponent* Sender) { Executed = static_cast<TBasicAction*>(Sender)->ActionComponent(); };
  auto* C = new TSpot(&Form, "C", &Form, Bounds(0, 0, 10, 10));
  C->OnClick = nullptr;
  C->SetAction(Action);
  EXPECT_EQ(C->Caption(), "Go");
  EXPECT_EQ(C->Hint(), "Runs it");
  Action->SetCaption("Run");
  Action->SetEnabled(false);
  EXPECT_EQ(C->Caption(), "Run");
  EXPECT_FALSE(C->Enabled());
  C->SetCaption("Own");
  Action->SetCaption("Again");
  EXPECT_EQ(C->Caption(), "Own");  // the control's own value stays
  Action->SetEnabled(true);
  ShowActive(&Form);
  MouseClick(C, 3, 3);
  EXPECT_EQ(Executed, C);
  EXPECT_EQ(Action->ActionComponent(), nullptr);
  Action->Free();
  EXPECT_EQ(C->Action(), nullptr);
  // A control with a checked state links it through its own action link.
  struct TCheck : TSpot {
    using TSpot::TSpot;
    bool Checked = false;
    struct TLink : TControlActionLink {
      using TControlActionLink::TControlActionLink;
      bool IsCheckedLinked() const override {
        return TheAction() && static_cast<TCheck*>(Client())->Checked == TheAction()->Checked();
      }
      void SetChecked(bool Value) override {
        if (IsCheckedLinked()) static_cast<TCheck*>(Client())->Checked = Value;
      }
    };
    std::unique_ptr<TControlActionLink> CreateActionLink() override { return std::make_unique<TLink>(this); }
  };
  auto* Check = new TCheck(&Form, "Check", &Form, Bounds(0, 0, 5, 5));
  auto* Toggle = new TAction(&Form);
  Check->SetAction(Toggle);
  Toggle->SetChecked(true);
  EXPECT_TRUE(Check->Checked);
}

TEST(ControlPainting, GraphicControlsPaintOverTheirParentAndStayBelowWindowedOnes) {
  TForm Form(nullptr);
  auto* Parent = new TProbe(&Form, "Parent", &Form);
  Parent->SetBounds(0, 0, 30, 20);
  Parent->SetColor(clYellow);
  Parent->Fill = clYellow;
  auto* Windowed = new TProbe(&Form, "Windowed", Parent);
  Windowed->SetBounds(20, 0, 10, 10);
  Windowed->SetColor(clBlue);
  Windowed->Fill = clBlue;
  auto* Spot = new TSpot(&Form, "Spot", Parent, Bounds(12, 0, 14, 10));  // made later, still below
  const QImage Image = Render(Parent);
  EXPECT_EQ(ColorBounds(Image, clRed), Bounds(14, 2, 4, 4));
  EXPECT_EQ(PixelAt(Image, 12, 0), clYellow);  // unpainted: the parent shows
  EXPECT_EQ(PixelAt(Image, 22, 3), clBlue);    // the windowed sibling is on top
  EXPECT_EQ(Parent->Controls(0), Spot);
  Spot->BringToFront();
  EXPECT_EQ(Parent->Controls(Parent->ControlCount() - 1), Windowed);
  EXPECT_EQ(Parent->ControlAtPos({22, 3}, false, true), Windowed);
  EXPECT_EQ(Parent->ControlAtPos({13, 3}, false), Spot);
  // A transparent windowed control sees what lies under it; siblings below it that do
  // not reach under it are not painted for it.
  struct TGlass : TProbe {
    using TProbe::TProbe;
    TColor Under = clNone;
    int Paints = 0;
    void Paint() override {
      ++Paints;
      PaintParentImage(Canvas());
      Under = Canvas()->Pixels(1, 2);
    }
  };
  auto* Aside = new TGlass(&Form, "Aside", Parent);
  Aside->SetBounds(0, 12, 5, 5);
  auto* Glass = new TGlass(&Form, "Glass", Parent);
  Glass->SetBounds(13, 0, 10, 10);
  Render(Glass);
  EXPECT_EQ(Glass->Under, clRed);
  EXPECT_EQ(Aside->Paints, 0);
  // Of a sibling under it, only the part it covers is painted for it.
  EXPECT_EQ(Spot->Painted, Rect(1, 0, 11, 10));
}
