#include "app/UForms.h"

#include "platform/gui/Dialogs.h"
#include "platform/gui/ListView.h"
#include "platform/shell/Shell.h"
#include "widgets/KvBckgnd.h"

namespace {

const char* HelpPage(int32_t Context) { return Context == HelpTagEditor ? "tag-editor.html" : "index.html"; }

}  // namespace

TKvBackground* AddBackground(TCustomForm* Form, const std::string& Name) {
  auto* Background = AddControl<TKvBackground>(Form, Form, Name, Form->ClientRect());
  Background->SetAlign(alClient);
  Background->SetGradientColorStart(16766640);
  Background->SetGradientColorStop(16775924);
  Background->SetGradientDirection(gdDiagonalDown);
  return Background;
}

void AddEntryColumns(TCustomListView* View) {
  const struct {
    const char* Caption;
    int32_t Width;
    TAlignment Alignment;
  } Columns[] = {{"File", 280, taLeftJustify}, {"Duration", 70, taRightJustify}, {"Size MB", 62, taRightJustify}};
  for (const auto& C : Columns) {
    TListColumn* Column = View->Columns()->Add();
    Column->SetCaption(C.Caption);
    Column->SetWidth(C.Width);
    Column->SetAlignment(C.Alignment);
  }
}

bool ShowHelp(TControl* Owner, int32_t Context) {
  const std::string Page = HelpFolder() + HelpPage(Context);
  switch (OpenHelp(HelpPage(Context))) {
    case hoOpened: return true;
    case hoMissing:
      MessageBox(Owner, "The help file \"" + Page + "\" was not found.", "Help", MB_OK | MB_ICONWARNING);
      return false;
    case hoFailed: break;
  }
  MessageBox(Owner, "The help cannot be shown: \"xdg-open\", which opens it in the web browser, could not be started.",
             "Help", MB_OK | MB_ICONWARNING);
  return false;
}

void ShowOpenFailure(const std::string& Target, int ExitStatus) {
  MessageBox(nullptr,
             "\"" + Target + "\" could not be opened: the desktop has no program that opens it, or that program " +
                 "failed (xdg-open ended with exit status " + std::to_string(ExitStatus) + ").",
             "Error", MB_OK | MB_ICONWARNING);
}

void OpenHelpOnF1(TCustomForm* Form, int32_t Context) {
  Form->SetKeyPreview(true);
  Form->OnKeyUp = [Form, Context](TComponent*, uint16_t& Key, TShiftState) {
    if (Key != VK_F1) return;
    Key = 0;
    ShowHelp(Form, Context);
  };
}
