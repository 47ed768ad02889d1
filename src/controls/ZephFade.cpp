#include "controls/ZephFade.h"

TZephFade::TZephFade(TComponent* AOwner)
    : TGraphicControl(AOwner), picFrom_(std::make_unique<TPicture>()), picTo_(std::make_unique<TPicture>()) {
  SetOpaque(true);
  SetBounds(0, 0, 75, 75);
  picFrom_->OnChange = [this](TObject*) { reset(); };
  picTo_->OnChange = [this](TObject*) { reset(); };
}

TZephFade::~TZephFade() {
  picFrom_->OnChange = nullptr;
  picTo_->OnChange = nullptr;
}

void TZephFade::SetPicFrom(TPicture* picture) { picFrom_->Assign(picture); }
void TZephFade::SetPicTo(TPicture* picture) { picTo_->Assign(picture); }

void TZephFade::SetColorFrom(TColor c) {
  if (c == colorFrom_) return;
  colorFrom_ = c;
  reset();
}

void TZephFade::SetColorTo(TColor c) {
  if (c == colorTo_) return;
  colorTo_ = c;
  reset();
}

void TZephFade::SetDisolvRate(int v) {
  disolvRate_ = v < 1 ? 1 : v;
  const long long pixels = (long long)Width() * Height();
  if (pixels > 0 && disolvRate_ > pixels) disolvRate_ = int(pixels);
}

void TZephFade::SetBlendRate(int v) { blendRate_ = v < 1 ? 1 : v; }
void TZephFade::SetFromSide(int v) { fromSide_ = (v < 1 || v > 6) ? 0 : v; }

void TZephFade::SetStretchToFit(bool v) {
  if (v == stretchToFit_) return;
  stretchToFit_ = v;
  reset();
}

void TZephFade::reset() {
  showsTarget_ = false;
  if (OnReset) OnReset(this);
  Invalidate();
}

void TZephFade::run() {
  if (OnBegin) OnBegin(this);
  showsTarget_ = true;
  Repaint();
  if (OnEnd) OnEnd(this);
}

void TZephFade::RunDissolve() { run(); }
void TZephFade::RunBlend() { run(); }

void TZephFade::paintPicture(TPicture* picture, TColor fill) {
  TCanvas* canvas = Canvas();
  canvas->Brush().SetColor(fill);
  canvas->FillRect(Rect(0, 0, Width(), Height()));
  TGraphic* graphic = picture->Graphic();
  if (!graphic || graphic->Empty()) return;
  if (stretchToFit_)
    canvas->StretchDraw(Rect(0, 0, Width(), Height()), *graphic);
  else
    canvas->Draw(0, 0, *graphic);
}

void TZephFade::Paint() {
  if (showsTarget_)
    paintPicture(picTo_.get(), colorTo_);
  else
    paintPicture(picFrom_.get(), colorFrom_);
}
