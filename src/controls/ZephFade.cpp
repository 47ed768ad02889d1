#include "controls/ZephFade.h"

#include <algorithm>
#include <cstring>
#include <random>
#include <thread>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "platform/gui/Forms.h"

namespace {

// A 32-bit word that may overlay the bytes of a pixel row.
typedef uint32_t __attribute__((may_alias)) Word;

void Fill(TBitmap& bitmap, TColor color) {
  TCanvas& c = bitmap.Canvas();
  c.Brush().SetStyle(bsSolid);
  c.Brush().SetColor(color);
  c.FillRect(Rect(0, 0, bitmap.Width(), bitmap.Height()));
}

bool HasPicture(const TPicture& picture) { return picture.Graphic() && !picture.Graphic()->Empty(); }

}  // namespace

// Marks a run: while it lives, re-rendering waits; when it ends (also through an
// exception), a pending rendering is done, unless the control was freed meanwhile.
class TZephFade::RunScope {
 public:
  explicit RunScope(TZephFade& fade) : fade_(fade), alive_(fade.alive_) {
    fade_.running_ = true;
    fade_.endsOnTarget_ = false;
  }
  ~RunScope() {
    if (!*alive_) return;
    TZephFade& f = fade_;
    f.running_ = false;
    try {
      // A run back that ended early still gives the pictures and colours back.
      if (f.swapped_) f.PrepareFadeBitmaps();
      if (f.renderPending_) {
        f.renderPending_ = false;
        f.PrepareFadeBitmaps();
        // The run had brought the target in: it stays shown at the new size.
        if (f.endsOnTarget_ && f.shown_.Width() == f.target_.Width() && f.shown_.Height() == f.target_.Height() &&
            !f.shown_.Empty())
          std::memcpy(f.shown_.ScanLine(0), f.target_.ScanLine(0), size_t(f.shown_.RowStride()) * f.shown_.Height());
        f.Invalidate();
      }
    } catch (...) {
      // Nothing may escape a destructor; the next rendering repairs the images.
    }
  }
  const std::shared_ptr<bool>& alive() const { return alive_; }

 private:
  TZephFade& fade_;
  std::shared_ptr<bool> alive_;
};

TZephFade::TZephFade(TComponent* AOwner)
    : TGraphicControl(AOwner),
      picFrom_(std::make_unique<TPicture>()),
      picTo_(std::make_unique<TPicture>()),
      alive_(std::make_shared<bool>(true)) {
  auto changed = [this](TObject*) {
    if (!swapped_) requestRender();
  };
  picFrom_->OnChange = changed;
  picTo_->OnChange = changed;
  for (TBitmap* b : {&shown_, &target_, &work_}) b->SetPixelFormat(pf24bit);
  SetOpaque(true);
  SetBounds(0, 0, 75, 75);
}

TZephFade::~TZephFade() {
  *alive_ = false;
  picFrom_->OnChange = nullptr;
  picTo_->OnChange = nullptr;
}

void TZephFade::SetPicFrom(TPicture* picture) { picFrom_->Assign(picture); }
void TZephFade::SetPicTo(TPicture* picture) { picTo_->Assign(picture); }

void TZephFade::SetColorFrom(TColor c) {
  if (c == colorFrom_) return;
  colorFrom_ = c;
  requestRender();
}

void TZephFade::SetColorTo(TColor c) {
  if (c == colorTo_) return;
  colorTo_ = c;
  requestRender();
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
  requestRender();
}

void TZephFade::requestRender() {
  if (rendering_) return;
  if (running_) {
    renderPending_ = true;
    return;
  }
  PrepareFadeBitmaps();
}

void TZephFade::Resize() {
  requestRender();
  TGraphicControl::Resize();
}

void TZephFade::Paint() { Canvas()->Draw(0, 0, shown_); }

// ---------------------------------------------------------------------------
// Rendering
// ---------------------------------------------------------------------------

void TZephFade::renderSide(TBitmap& bitmap, TPicture& picture, TColor color, bool stretch) {
  TGraphic* graphic = picture.Graphic();
  if (!HasPicture(picture) || dynamic_cast<TMetafile*>(graphic)) {
    Fill(bitmap, color);
    return;
  }
  const TRect whole = Rect(0, 0, bitmap.Width(), bitmap.Height());
  if (dynamic_cast<TIcon*>(graphic)) {
    Fill(bitmap, color);
    if (!stretch) {
      bitmap.Canvas().Draw(0, 0, *graphic);
      return;
    }
    // The icon on its own background first, then that stretched.
    TBitmap icon;
    icon.SetPixelFormat(pf24bit);
    icon.SetSize(graphic->Width(), graphic->Height());
    Fill(icon, color);
    icon.Canvas().Draw(0, 0, *graphic);
    bitmap.Canvas().StretchDraw(whole, icon);
    return;
  }
  if (stretch)
    bitmap.Canvas().StretchDraw(whole, *graphic);
  else
    bitmap.Canvas().Draw(0, 0, *graphic);
}

void TZephFade::exchangeSides() {
  std::swap(colorFrom_, colorTo_);
  std::swap(picFrom_, picTo_);
}

void TZephFade::PrepareFadeBitmaps() {
  const bool wasRendering = rendering_;
  rendering_ = true;
  try {
    for (TBitmap* b : {&shown_, &target_, &work_}) b->SetPixelFormat(pf24bit);
    if (swapped_) {
      exchangeSides();
      swapped_ = false;
      stretchToFit_ = savedStretch_;
    }
    if (stretchToFit_) {
      const int w = std::max(Width(), 0), h = std::max(Height(), 0);
      shown_.SetSize(w, h);
      target_.SetSize(w, h);
      renderSide(shown_, *picFrom_, colorFrom_, true);
      renderSide(target_, *picTo_, colorTo_, true);
    } else {
      const bool hasFrom = HasPicture(*picFrom_), hasTo = HasPicture(*picTo_);
      if (hasFrom != hasTo) {
        // The control takes the one picture's size; the other side is plain colour.
        TPicture& picture = hasFrom ? *picFrom_ : *picTo_;
        TBitmap& drawn = hasFrom ? shown_ : target_;
        TBitmap& plain = hasFrom ? target_ : shown_;
        SetBounds(Left(), Top(), picture.Width(), picture.Height());
        drawn.SetSize(picture.Width(), picture.Height());
        renderSide(drawn, picture, hasFrom ? colorFrom_ : colorTo_, false);
        plain.SetSize(picture.Width(), picture.Height());
        Fill(plain, hasFrom ? colorTo_ : colorFrom_);
      } else if (!hasFrom) {
        shown_.SetSize(std::max(Width(), 0), std::max(Height(), 0));
        target_.SetSize(std::max(Width(), 0), std::max(Height(), 0));
        Fill(shown_, colorFrom_);
        Fill(target_, colorTo_);
      } else {
        SetBounds(Left(), Top(), picFrom_->Width(), picFrom_->Height());
        shown_.SetSize(picFrom_->Width(), picFrom_->Height());
        renderSide(shown_, *picFrom_, colorFrom_, false);
        target_.SetSize(std::max(Width(), 0), std::max(Height(), 0));
        renderSide(target_, *picTo_, colorTo_, true);
      }
    }
    work_.SetSize(shown_.Width(), shown_.Height());
  } catch (...) {
    rendering_ = wasRendering;
    throw;
  }
  rendering_ = wasRendering;
  Invalidate();
  if (OnReset) OnReset(this);
}

// ---------------------------------------------------------------------------
// The steps
// ---------------------------------------------------------------------------

void TZephFade::BuildPixelOrder() {
  order_.clear();
  try {
    // The pixels both images have (the control's size, unless a resize is waiting).
    const int w = std::min(shown_.Width(), target_.Width());
    const int h = std::min(shown_.Height(), target_.Height());
    const size_t n = size_t(std::max(w, 0)) * size_t(std::max(h, 0));
    if (n == 0) return;
    order_.reserve(n);
    auto column = [&](int x) {
      for (int y = 0; y < h && order_.size() < n; ++y) order_.push_back({y, x});
    };
    auto row = [&](int y) {
      for (int x = 0; x < w && order_.size() < n; ++x) order_.push_back({y, x});
    };
    switch (fromSide_) {
      case 1:
        for (int x = 0; x < w; ++x) column(x);
        break;
      case 2:
        for (int x = w - 1; x >= 0; --x) column(x);
        break;
      case 4:
        for (int y = h - 1; y >= 0; --y) row(y);
        break;
      case 5:
        for (int i = 0; i <= (w - 1) / 2; ++i) {
          column(i);
          column(w - 1 - i);
        }
        break;
      case 6:
        for (int i = 0; i <= (h - 1) / 2; ++i) {
          row(i);
          row(h - 1 - i);
        }
        break;
      default:
        for (int y = 0; y < h; ++y) row(y);
        break;
    }
    if (fromSide_ == 0) {
      std::mt19937_64 random(uint64_t(std::chrono::high_resolution_clock::now().time_since_epoch().count()));
      std::uniform_int_distribution<size_t> pick(0, n - 1);
      for (size_t i = 0; i < n; ++i) std::swap(order_[i], order_[pick(random)]);
    }
  } catch (...) {
    // Without an order (no memory for it) the dissolve shows the target at once.
    order_.clear();
  }
}

void TZephFade::FreePixelOrder() { std::vector<TPixelPos>().swap(order_); }

void TZephFade::CopyPixels(size_t first, size_t count) {
  if (first >= order_.size()) return;
  count = std::min(count, order_.size() - first);
  const uint32_t w = uint32_t(std::min(shown_.Width(), target_.Width()));
  const uint32_t h = uint32_t(std::min(shown_.Height(), target_.Height()));
  if (w == 0 || h == 0) return;
  uint8_t* to = shown_.ScanLine(0);
  const uint8_t* from = target_.ScanLine(0);
  const intptr_t toStride = shown_.RowStride(), fromStride = target_.RowStride();
  const TPixelPos* entry = order_.data() + first;
  for (size_t i = 0; i < count; ++i, ++entry) {
    const uint32_t y = uint32_t(entry->Row), x = uint32_t(entry->Col);
    if (y >= h || x >= w) continue;
    uint8_t* d = to + intptr_t(y) * toStride + 3 * x;
    const uint8_t* s = from + intptr_t(y) * fromStride + 3 * x;
    d[0] = s[0];
    d[1] = s[1];
    d[2] = s[2];
  }
}

void TZephFade::StartBlend() {
  work_.SetPixelFormat(pf24bit);
  work_.SetSize(shown_.Width(), shown_.Height());
  if (!shown_.Empty())
    std::memcpy(work_.ScanLine(0), shown_.ScanLine(0), size_t(shown_.RowStride()) * shown_.Height());
}

namespace {

// Mixes bytes bytes (a multiple of 4) of p and q into out: every byte becomes
// (p x (32 - w) + q x w) shr 5, truncated, with no carry between bytes.
void MixBlock(uint8_t* out, const uint8_t* p, const uint8_t* q, size_t bytes, uint32_t w) {
  const uint32_t a = 32 - w, b = w;
  size_t i = 0;
#ifdef __SSE2__
  // Eight channels per multiplication: the bytes widened to 16 bits.
  const __m128i wa = _mm_set1_epi16(short(a)), wb = _mm_set1_epi16(short(b)), zero = _mm_setzero_si128();
  for (; i + 16 <= bytes; i += 16) {
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
    const __m128i z = _mm_loadu_si128(reinterpret_cast<const __m128i*>(q + i));
    const __m128i lo = _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(x, zero), wa),
                                                    _mm_mullo_epi16(_mm_unpacklo_epi8(z, zero), wb)), 5);
    const __m128i hi = _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(x, zero), wa),
                                                    _mm_mullo_epi16(_mm_unpackhi_epi8(z, zero), wb)), 5);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_packus_epi16(lo, hi));
  }
#endif
  // Two channels per multiplication in 32-bit words (the 0x00FF00FF / 0xFF00FF00 masks).
  for (; i + 4 <= bytes; i += 4) {
    const uint32_t x = *reinterpret_cast<const Word*>(p + i), z = *reinterpret_cast<const Word*>(q + i);
    const uint32_t high = (((x & 0xFF00FF00u) >> 5) * a + ((z & 0xFF00FF00u) >> 5) * b) & 0xFF00FF00u;
    const uint32_t low = (((x & 0x00FF00FFu) * a + (z & 0x00FF00FFu) * b) >> 5) & 0x00FF00FFu;
    *reinterpret_cast<Word*>(out + i) = high | low;
  }
}

}  // namespace

void TZephFade::BlendScanlines(int weight) {
  if (weight <= 0) return;
  const uint32_t w = uint32_t(std::min(weight, 32));
  // The common block of the three bitmaps; the filler bytes at the row ends mix like the others.
  const int rows = std::min({shown_.Height(), work_.Height(), target_.Height()});
  const intptr_t rowBytes = std::min({shown_.RowStride(), work_.RowStride(), target_.RowStride()});
  if (rows <= 0 || rowBytes <= 0 || shown_.Width() != work_.Width() || shown_.Width() != target_.Width()) return;
  if (shown_.Height() == rows && work_.Height() == rows && target_.Height() == rows) {
    // The rows lie one after the other: the pictures are one block each.
    MixBlock(shown_.ScanLine(0), work_.ScanLine(0), target_.ScanLine(0), size_t(rowBytes) * rows, w);
    return;
  }
  for (int y = 0; y < rows; ++y) MixBlock(shown_.ScanLine(y), work_.ScanLine(y), target_.ScanLine(y), size_t(rowBytes), w);
}

// ---------------------------------------------------------------------------
// Runs
// ---------------------------------------------------------------------------

bool TZephFade::paceFrame(Clock::time_point& due, const std::shared_ptr<bool>& alive) {
  Repaint();
  due += std::chrono::milliseconds(std::max(msecPerFrame_, 0));
  if (processMsgs_) {
    // Messages are handled at least once; a slow frame shortens the following waits.
    while (true) {
      Application->ProcessMessages();
      if (!*alive) return false;
      const auto now = Clock::now();
      if (now >= due) break;
      std::this_thread::sleep_for(std::min<Clock::duration>(due - now, std::chrono::milliseconds(1)));
    }
  } else {
    const auto now = Clock::now();
    if (due > now) std::this_thread::sleep_for(due - now);
  }
  return true;
}

bool TZephFade::dissolveFrames(const std::shared_ptr<bool>& alive) {
  const size_t n = order_.size();
  if (n > 0) {
    // The rate is kept within the pixels the control has now, so a small control fades too.
    const size_t rate = std::clamp<size_t>(size_t(std::max(disolvRate_, 1)), 1, n);
    const size_t k = n / rate;
    const size_t frames = n / k;
    Clock::time_point due = Clock::now();
    for (size_t f = 0; f < frames; ++f) {
      CopyPixels(f * k, k);
      if (!paceFrame(due, alive)) return false;
    }
    CopyPixels(frames * k, n - frames * k);
  }
  Repaint();
  FreePixelOrder();
  return true;
}

bool TZephFade::blendFrames(const std::shared_ptr<bool>& alive) {
  StartBlend();
  const int steps = std::max(blendRate_, 1);
  Clock::time_point due = Clock::now();
  for (int i = 0; i <= steps; ++i) {
    BlendScanlines(i * 32 / steps);
    if (!paceFrame(due, alive)) return false;
  }
  return true;
}

bool TZephFade::runBack(bool dissolve, const std::shared_ptr<bool>& alive) {
  std::this_thread::sleep_for(std::chrono::seconds(std::max(swapDelay_, 0)));
  savedStretch_ = stretchToFit_;
  stretchToFit_ = true;
  exchangeSides();
  PrepareFadeBitmaps();
  swapped_ = true;
  if (dissolve) {
    BuildPixelOrder();
    if (!dissolveFrames(alive)) return false;
  } else if (!blendFrames(alive)) {
    return false;
  }
  // Gives the pictures and colours back and shows the start image again.
  PrepareFadeBitmaps();
  endsOnTarget_ = false;
  return true;
}

void TZephFade::RunDissolve() {
  if (running_) return;
  RunScope scope(*this);
  const std::shared_ptr<bool> alive = scope.alive();
  PrepareFadeBitmaps();
  BuildPixelOrder();
  if (OnBegin) {
    OnBegin(this);
    if (!*alive) return;
  }
  if (!dissolveFrames(alive)) return;
  endsOnTarget_ = true;
  if (autoReverse_ && !runBack(!swapOnReverse_, alive)) return;
  if (OnEnd) OnEnd(this);
}

void TZephFade::RunBlend() {
  if (running_) return;
  RunScope scope(*this);
  const std::shared_ptr<bool> alive = scope.alive();
  PrepareFadeBitmaps();
  if (blendRate_ < 1) throw EZephFade("BlendRate must be between 0 and 256");
  if (OnBegin) {
    OnBegin(this);
    if (!*alive) return;
  }
  if (!blendFrames(alive)) return;
  endsOnTarget_ = true;
  if (autoReverse_ && !runBack(swapOnReverse_, alive)) return;
  if (OnEnd) OnEnd(this);
}
