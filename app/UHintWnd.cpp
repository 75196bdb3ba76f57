#include "app/UHintWnd.h"

#include "platform/gui/Graphics.h"

namespace {

// The corner ellipse's size of the window's outline and of its frame.
constexpr int32_t CornerSize = 5;

// A Width x Height rectangle whose corners are rounded off as a 5 x 5 ellipse rounds
// them: two pixels off the first and last rows, one off the rows next to them.
TRegion RoundRectRegion(int32_t Width, int32_t Height) {
  TRegion R(Rect(0, 2, Width, std::max(2, Height - 2)));
  for (int32_t Inset : {1, 2}) {
    const int32_t Row = 2 - Inset;
    R = TRegion::Combine(R, TRegion(Rect(Inset, Row, Width - Inset, Row + 1)), RGN_OR);
    R = TRegion::Combine(R, TRegion(Rect(Inset, Height - 1 - Row, Width - Inset, Height - Row)), RGN_OR);
  }
  return R;
}

}  // namespace

THintWnd::THintWnd(TComponent* AOwner) : THintWindow(AOwner) {}

THintWnd::~THintWnd() = default;

void THintWnd::BeforeDestruction() {
  // While the window is still there.
  FreeRegion();
  THintWindow::BeforeDestruction();
}

void THintWnd::CreateParams(TCreateParams& Params) {
  THintWindow::CreateParams(Params);
  Params.Style &= ~WS_BORDER;
}

void THintWnd::FreeRegion() {
  if (!FRegion) return;
  SetWindowRegion(nullptr);
  FRegion.reset();
}

void THintWnd::ActivateHint(TRect Rect, const std::string& AHint) {
  TRect R = Rect;
  UpdateBoundsRect(R);
  Canvas()->SetFont(Font());
  R.Right += Canvas()->TextWidth(" ");
  R.Bottom += Canvas()->TextWidth("  ");
  SetBoundsRect(R);
  FreeRegion();
  // Taken before the inherited call makes the window taller: the outline ends where the
  // frame does.
  FRegion = std::make_unique<TRegion>(RoundRectRegion(Width(), Height()));
  SetWindowRegion(FRegion.get());
  THintWindow::ActivateHint(R, AHint);
}

void THintWnd::Paint() {
  TCanvas* C = Canvas();
  TRect R = ClientRect();
  R.Left += 1;
  R.Top += 3;
  C->SetFont(Font());
  C->Font()->SetColor(clNavy);
  C->Pen()->SetColor(clBlack);
  C->Brush()->SetStyle(bsClear);
  C->DrawText(Caption(), R, DT_CENTER | DT_VCENTER | DT_WORDBREAK | DT_NOPREFIX);
  C->Pen()->SetColor(clMaroon);
  C->RoundRect(0, 0, Width() - 1, Height() - 5, CornerSize, CornerSize);
}
