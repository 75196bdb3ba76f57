// Drop targets driven by drags from another program: files arriving, what is left out,
// the effect and the answer to the source, the order of the events, auto-scroll on the
// test clock, and registration.
#include "tests/support/Gui.h"

#include <gtest/gtest.h>

#include <QAbstractScrollArea>
#include <QClipboard>
#include <QGuiApplication>
#include <QScrollBar>
#include <string>
#include <vector>

#include "dragdrop/DragDropFile.h"
#include "platform/gui/Clipboard.h"
#include "platform/gui/ControlHost.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/rtl/FileUtils.h"
#include "tests/dragdrop/Drags.h"
#include "tests/support/Files.h"

using namespace dragtest;
using testsupport::TTempDir;

namespace {

constexpr uint32_t NotRaised = 0xFFFFFFFF;

std::vector<std::string> Names(const TStringList& List) {
  std::vector<std::string> Result;
  for (int I = 0; I < List.Count(); ++I) Result.push_back(List.Strings(I));
  return Result;
}

// A control that scrolls, as a list view does: a scroll-area host.
class TScroller : public TWinControl {
public:
  explicit TScroller(TComponent* AOwner) : TWinControl(AOwner, new TControlHost<QAbstractScrollArea>(this)) {}
  QScrollBar* VBar() const { return static_cast<QAbstractScrollArea*>(Host())->verticalScrollBar(); }
};

// A form with a control taking dropped files as the program's list does, three files to
// drop, and a journal of the target's events.
class FileDrop : public ::testing::Test {
protected:
  FileDrop() {
    Form.SetBounds(0, 0, 300, 220);
    List = new TWinControl(&Form);
    List->SetParent(&Form);
    List->SetBounds(10, 10, 200, 150);
    Target = new TDropFileTarget(&Form);
    Target->SetDragtypes(dtCopy);
    Target->SetGetDataOnEnter(true);
    Target->SetTarget(List);
    for (const char* Name : {"a.wav", "b b.mp3", "c.flac"}) {
      Files.push_back(Dir / Name);
      testsupport::WriteFile(Files.back(), std::string("sound of ") + Name);
    }
    Target->OnGetDropEffect = [this](TComponent*, TShiftState, TPoint, uint32_t&) { Journal.push_back("effect"); };
    Target->OnEnter = [this](TComponent*, TShiftState, TPoint, uint32_t& Effect) {
      Journal.push_back("enter");
      EnterFiles = Names(Target->Files());
      if (RefuseOnEnter) Effect = DROPEFFECT_NONE;
    };
    Target->OnDragOver = [this](TComponent*, TShiftState, TPoint, uint32_t& Effect) {
      Journal.push_back("over");
      OverEffect = Effect;
    };
    Target->OnDrop = [this](TComponent*, TShiftState, TPoint, uint32_t& Effect) {
      Journal.push_back("drop");
      DropEffect = Effect;
      DropFiles = Names(Target->Files());
    };
    Target->OnLeave = [this](TComponent*) { Journal.push_back("leave"); };
  }

  TForeignDrag DragOf(const std::vector<std::string>& Uris,
                      Qt::DropActions Offered = Qt::CopyAction | Qt::MoveAction | Qt::LinkAction) {
    return TForeignDrag(List, UriList(Uris), Offered);
  }
  std::vector<std::string> FileUris() const { return {FileUri(Files[0]), FileUri(Files[1]), FileUri(Files[2])}; }

  TTempDir Dir;
  std::vector<std::string> Files;
  TForm Form{nullptr};
  TWinControl* List;
  TDropFileTarget* Target;
  std::vector<std::string> Journal, EnterFiles, DropFiles;
  bool RefuseOnEnter = false;
  uint32_t OverEffect = NotRaised, DropEffect = NotRaised;
};

TEST_F(FileDrop, ThreeFilesArriveInTheirOrderAtEnterAndDrop) {
  // The same files in the three spellings of a local file URI.
  TForeignDrag Drag = DragOf({FileUri(Files[0]), "file://localhost" + FileUri(Files[1]).substr(7),
                              "file:" + FileUri(Files[2]).substr(7)});
  EXPECT_TRUE(Drag.Enter().Accepted);
  EXPECT_EQ(EnterFiles, Files);
  EXPECT_TRUE(Drag.Move({50, 50}).Accepted);
  EXPECT_TRUE(Drag.Drop({50, 50}).Accepted);
  EXPECT_EQ(DropFiles, Files);
  EXPECT_EQ(Target->Files().Count(), 0) << "the names go when the drag is over";
}

TEST_F(FileDrop, WhatNamesNoLocalFileIsLeftOutAndADragOfNothingElseIsRefused) {
  ASSERT_TRUE(ForceDirectories(Dir / "folder"));
  const std::vector<std::string> Foreign = {
      "http://example.com/a.wav", FileUri(Dir / "folder"), FileUri(Dir / "missing.wav"),
      "file://server" + FileUri(Files[0]).substr(7), "file:a.wav", FileUri(Files[0]) + "%zz"};
  std::vector<std::string> Mixed = Foreign;
  Mixed.insert(Mixed.begin() + 3, FileUri(Files[1]));
  // A device is a file, if not one to convert: the receiver says so.
  Mixed.push_back("file:///dev/null");
  TForeignDrag Drag = DragOf(Mixed);
  EXPECT_TRUE(Drag.Enter().Accepted);
  EXPECT_EQ(EnterFiles, (std::vector<std::string>{Files[1], "/dev/null"}));
  Drag.Leave();

  Journal.clear();
  TForeignDrag Nothing = DragOf(Foreign);
  EXPECT_FALSE(Nothing.Enter().Accepted);
  EXPECT_FALSE(Nothing.Move({50, 50}).Accepted);
  EXPECT_FALSE(Nothing.Drop({50, 50}).Accepted);
  EXPECT_EQ(Journal, std::vector<std::string>{}) << "a refused drag raises nothing until it leaves";
}

TEST_F(FileDrop, ANameThatIsNotUtf8ArrivesAsItsBytesAndOpens) {
  const std::string Name = Dir / "caf\xE9 \x80\xFF.wav";
  testsupport::WriteFile(Name, std::string("latin-1 named"));
  TForeignDrag Drag = DragOf({FileUri(Name)});
  Drag.Enter();
  EXPECT_TRUE(Drag.Drop({50, 50}).Accepted);
  ASSERT_EQ(DropFiles, std::vector<std::string>{Name});
  EXPECT_EQ(testsupport::ReadFileAsString(DropFiles[0]), "latin-1 named");
}

// The effect the events see follows the keys and Dragtypes; the source is told "copied"
// whatever it is, and a source that cannot copy is refused.
TEST_F(FileDrop, EffectFollowsTheKeysAndTheSourceIsAlwaysToldCopy) {
  const auto All = Qt::CopyAction | Qt::MoveAction | Qt::LinkAction;
  const auto CtrlShift = Qt::ControlModifier | Qt::ShiftModifier;
  struct TCase {
    TDragTypes Types;
    Qt::DropActions Offered;
    Qt::KeyboardModifiers Keys;
    uint32_t Effect;
    bool Accepted;
  } Cases[] = {
      {dtCopy | dtMove | dtLink, All, CtrlShift, DROPEFFECT_LINK, true},
      {dtCopy | dtMove | dtLink, All, Qt::ControlModifier, DROPEFFECT_COPY, true},
      {dtCopy | dtMove | dtLink, All, Qt::ShiftModifier, DROPEFFECT_MOVE, true},
      {dtCopy | dtMove | dtLink, All, Qt::NoModifier, DROPEFFECT_MOVE, true},
      {dtCopy | dtMove | dtLink, Qt::CopyAction | Qt::LinkAction, Qt::NoModifier, DROPEFFECT_COPY, true},
      {dtCopy, All, CtrlShift, DROPEFFECT_COPY, true},
      {dtMove | dtLink, All, Qt::ControlModifier, DROPEFFECT_MOVE, true},
      {dtCopy | dtLink, Qt::MoveAction | Qt::LinkAction, Qt::ControlModifier, DROPEFFECT_LINK, false},
      {dtCopy | dtMove | dtLink, Qt::MoveAction, Qt::NoModifier, DROPEFFECT_MOVE, false},
  };
  for (const TCase& C : Cases) {
    SCOPED_TRACE(testing::Message() << "types " << int(C.Types) << " offered " << int(C.Offered) << " keys "
                                    << int(C.Keys));
    Target->SetDragtypes(C.Types);
    OverEffect = DropEffect = NotRaised;
    TForeignDrag Drag = DragOf(FileUris(), C.Offered);
    Drag.Enter({50, 50}, C.Keys);
    const TAnswer Over = Drag.Move({60, 60}, C.Keys);
    EXPECT_EQ(OverEffect, C.Effect);
    const TAnswer Dropped = Drag.Drop({60, 60}, C.Keys);
    EXPECT_EQ(DropEffect, C.Effect);
    for (const TAnswer& A : {Over, Dropped}) {
      EXPECT_EQ(A.Accepted, C.Accepted);
      EXPECT_EQ(A.Action, C.Accepted ? Qt::CopyAction : Qt::IgnoreAction);
    }
  }
}

TEST_F(FileDrop, EventsComeInOrderAndARefusedDragDoesNotStickToTheNextOne) {
  TForeignDrag Dropped = DragOf(FileUris());
  Dropped.Enter();
  Dropped.Move({50, 50});
  Dropped.Drop({50, 50});
  EXPECT_EQ(Journal, (std::vector<std::string>{"effect", "enter", "effect", "over", "effect", "over", "effect", "drop"}));

  Journal.clear();
  TForeignDrag Left = DragOf(FileUris());
  Left.Enter();
  Left.Leave();
  EXPECT_EQ(Journal, (std::vector<std::string>{"effect", "enter", "effect", "over", "leave"}));

  // Refused by OnEnter, as the program refuses a drag it cannot take: the names were
  // there to decide on, the moves and the drop are refused and raise nothing.
  Journal.clear();
  RefuseOnEnter = true;
  TForeignDrag Refused = DragOf(FileUris());
  EXPECT_FALSE(Refused.Enter().Accepted);
  EXPECT_EQ(EnterFiles, Files);
  EXPECT_FALSE(Refused.Move({50, 50}).Accepted);
  Refused.Leave();
  EXPECT_EQ(Journal, (std::vector<std::string>{"effect", "enter", "leave"}));

  // Dragtypes emptied while dragging leaves no effect on the moves or the drop.
  RefuseOnEnter = false;
  Target->OnEnter = [this](TComponent*, TShiftState, TPoint, uint32_t&) { Target->SetDragtypes(0); };
  TForeignDrag Emptied = DragOf(FileUris());
  Emptied.Enter();
  EXPECT_FALSE(Emptied.Move({50, 50}).Accepted);
  EXPECT_EQ(OverEffect, DROPEFFECT_NONE);
  EXPECT_FALSE(Emptied.Drop({50, 50}).Accepted);
  EXPECT_EQ(DropEffect, DROPEFFECT_NONE);

  Target->SetDragtypes(dtCopy);
  Target->OnEnter = nullptr;
  TForeignDrag Next = DragOf(FileUris());
  EXPECT_TRUE(Next.Enter().Accepted);
  EXPECT_TRUE(Next.Drop({50, 50}).Accepted);
  EXPECT_EQ(DropFiles, Files);
}

TEST_F(FileDrop, AnExceptionInAHandlerGoesToTheApplicationAndLeavesNothingBehind) {
  std::vector<std::string> Handled;
  Application->OnException = [&](TComponent*, const Exception& E) { Handled.push_back(E.Message()); };
  const TDropTargetEvent Throw = [](TComponent*, TShiftState, TPoint, uint32_t&) { throw Exception("boom"); };
  for (TDropTargetEvent* Handler : {&Target->OnEnter, &Target->OnDragOver, &Target->OnDrop}) {
    const TDropTargetEvent Saved = *Handler;
    *Handler = Throw;
    Handled.clear();
    TForeignDrag Failing = DragOf(FileUris());
    Failing.Enter();
    const bool DropTaken = Failing.Drop({50, 50}).Accepted;
    EXPECT_EQ(Handled, std::vector<std::string>{"boom"});
    EXPECT_EQ(DropTaken, Handler == &Target->OnDragOver) << "only the failing event is refused";
    EXPECT_EQ(Target->Files().Count(), 0);
    *Handler = Saved;

    DropFiles.clear();
    TForeignDrag Next = DragOf(FileUris());
    Next.Enter();
    EXPECT_TRUE(Next.Drop({50, 50}).Accepted);
    EXPECT_EQ(DropFiles, Files);
  }
  Application->OnException = nullptr;
}

// The clipboard's files arrive as a drop, pasted or assigned; drag data assigned is read
// as a drop reads it, without one. What names no local file is not taken.
TEST_F(FileDrop, PastedFilesArriveAsADropAndAssignedDragDataIsReadLikeOne) {
  const std::vector<std::string> Remote = {"http://example.com/a.wav", "file://server" + FileUri(Files[0]).substr(7)};
  struct TCase {
    const char* What;
    std::vector<std::string> Uris;
    std::string GnomeFirstLine, Text;
    std::vector<std::string> Taken;
    uint32_t DropEffect, Performed;
  } Cases[] = {
      {"local files", FileUris(), "", "", Files, DROPEFFECT_COPY, DROPEFFECT_COPY},
      // A cut is offered as a move, which the file target takes as a copy.
      {"cut in the file manager", FileUris(), "cut", "", Files, DROPEFFECT_MOVE, DROPEFFECT_COPY},
      {"copied in the file manager", FileUris(), "copy", "", Files, DROPEFFECT_COPY, DROPEFFECT_COPY},
      {"remote files", Remote, "copy", "", {}, NotRaised, DROPEFFECT_NONE},
      {"a path as text", {}, "", Files[0], {}, NotRaised, DROPEFFECT_NONE},
  };
  for (const TCase& C : Cases) {
    SCOPED_TRACE(C.What);
    const auto Data = [&] {
      std::unique_ptr<QMimeData> D = C.Uris.empty() ? std::make_unique<QMimeData>() : UriList(C.Uris);
      if (!C.GnomeFirstLine.empty()) {
        std::string Note = C.GnomeFirstLine;
        for (const std::string& U : C.Uris) Note += "\n" + U;
        D->setData("x-special/gnome-copied-files", QByteArray::fromStdString(Note));
      }
      if (!C.Text.empty()) D->setText(QString::fromStdString(C.Text));
      return D;
    };
    QGuiApplication::clipboard()->setMimeData(Data().release());
    DropEffect = NotRaised;
    DropFiles.clear();
    EXPECT_EQ(Target->PasteFromClipboard(), C.Performed);
    EXPECT_EQ(DropEffect, C.DropEffect);
    EXPECT_EQ(DropFiles, C.Taken);

    DropEffect = NotRaised;
    DropFiles.clear();
    Target->Assign(Clipboard());
    EXPECT_EQ(DropEffect, C.DropEffect);
    EXPECT_EQ(DropFiles, C.Taken);

    DropEffect = NotRaised;
    const std::unique_ptr<QMimeData> Dragged = Data();
    const TMimeDataObject Source(Dragged.get());
    if (C.Taken.empty())
      EXPECT_THROW(Target->Assign(Source), EConvertError);
    else
      Target->Assign(Source);
    EXPECT_EQ(Names(Target->Files()), C.Taken);
    EXPECT_EQ(DropEffect, NotRaised);
  }
  EXPECT_THROW(Target->Assign(Form), EConvertError);
}

TEST_F(FileDrop, AutoScrollStepsTheScrollBarEvery50msOutsideTheScrollZone) {
  auto* Scroller = new TScroller(&Form);
  Scroller->SetParent(&Form);
  Scroller->SetBounds(10, 10, 200, 150);
  testsupport::ShowActive(&Form);
  Target->SetTarget(Scroller);
  std::vector<TScrolDirections> Steps;
  Target->OnScroll = [&](TComponent*, TPoint, TScrolDirections& Scroll, int32_t&) { Steps.push_back(Scroll); };
  const int32_t Bottom = TDropSite::DropWidgetOf(Scroller)->height();

  // Nothing to scroll: no scroll bar, no scrolling.
  TForeignDrag Flat(Scroller, UriList(FileUris()));
  Flat.Enter({50, 50});
  Flat.Move({50, 0});
  EXPECT_EQ(OverEffect & DROPEFFECT_SCROLL, 0u);
  TTimer::Advance(200);
  EXPECT_TRUE(Steps.empty());
  Flat.Leave();

  Scroller->VBar()->setRange(0, 100);
  Scroller->VBar()->setValue(50);
  TForeignDrag Drag(Scroller, UriList(FileUris()));
  Drag.Enter({50, 50});
  Drag.Move({50, 50});
  EXPECT_EQ(OverEffect & DROPEFFECT_SCROLL, 0u) << "inside the zone";
  Drag.Move({50, 1});
  EXPECT_NE(OverEffect & DROPEFFECT_SCROLL, 0u);
  TTimer::Advance(49);
  EXPECT_EQ(Scroller->VBar()->value(), 50);
  TTimer::Advance(1);
  EXPECT_EQ(Scroller->VBar()->value(), 49);
  TTimer::Advance(100);
  EXPECT_EQ(Scroller->VBar()->value(), 47);
  Drag.Move({50, Bottom - 1});
  TTimer::Advance(50);
  EXPECT_EQ(Scroller->VBar()->value(), 48) << "the last point counts, down now";
  Drag.Move({50, 50});
  TTimer::Advance(200);
  EXPECT_EQ(Scroller->VBar()->value(), 48) << "back inside: scrolling ends";
  EXPECT_EQ(Steps, (std::vector<TScrolDirections>{sdUp, sdUp, sdUp, sdDown, 0}));

  Drag.Move({50, 1});
  Drag.Leave();
  TTimer::Advance(200);
  EXPECT_EQ(Scroller->VBar()->value(), 48) << "leaving stops the timer";
}

TEST(DropTargetRegistration, FollowsTargetWritesAndTheLivesOfTheControls) {
  TForm Form(nullptr);
  auto* Outer = new TWinControl(&Form);
  Outer->SetParent(&Form);
  auto* Inner = new TWinControl(&Form);
  Inner->SetParent(Outer);
  auto* Other = new TWinControl(&Form);
  Other->SetParent(&Form);
  auto* Target = new TDropFileTarget(&Form);
  auto AcceptsDrops = [](TWinControl* C) { return TDropSite::DropWidgetOf(C)->acceptDrops(); };

  Target->SetTarget(Outer);
  Target->SetTarget(Other);
  EXPECT_EQ(Target->Targets(), TControlList{Other});
  EXPECT_FALSE(AcceptsDrops(Outer));
  EXPECT_TRUE(AcceptsDrops(Other));

  Target->SetMultiTarget(true);
  Target->Register(Outer);
  Target->Unregister(Other);
  Target->Register(Other);
  Target->Register(Inner);
  Target->Register(Inner);
  EXPECT_EQ(Target->Targets(), (TControlList{Outer, Inner, Other})) << "a control follows its registered ancestor";

  Inner->Free();
  EXPECT_EQ(Target->Targets(), (TControlList{Outer, Other}));
  Target->Free();
  EXPECT_FALSE(AcceptsDrops(Outer));
  EXPECT_FALSE(AcceptsDrops(Other));
}

}  // namespace
