// Error-diffusion ditherers. Every scheme walks the rows serpentine and works on each
// colour channel apart, with integer arithmetic; terms that fall outside the row land in
// margins that are never read back.
#include <algorithm>

#include "formats/GIFImage_Color.h"

namespace {

inline int Clamp255(int v) { return v < 0 ? 0 : (v > 255 ? 255 : v); }

}  // namespace

// ---------------------------------------------------------------------------
// Nearest colour
// ---------------------------------------------------------------------------

int TDitherEngine::Dither(int red, int green, int blue, int& outRed, int& outGreen, int& outBlue) {
  const int index = Lookup.Lookup(red, green, blue, outRed, outGreen, outBlue);
  NextColumn();
  return index;
}

void TDitherEngine::NextLine() {
  Direction = -Direction;
  Column = Direction > 0 ? 0 : Width - 1;
}

// ---------------------------------------------------------------------------
// Floyd and Steinberg: 7/16 ahead, 3/16, 5/16 and 1/16 below behind, under and ahead.
// One row per channel serves both lines: the entries ahead still hold what the line
// above sent, the entries behind receive what this line sends down.
// ---------------------------------------------------------------------------

TFloydSteinbergDitherer::TFloydSteinbergDitherer(int width, TColorLookup& lookup) : TDitherEngine(width, lookup) {
  for (auto& row : errors_) row.assign(size_t(width) + 2, 0);
  pos_ = 0;
}

int TFloydSteinbergDitherer::Dither(int red, int green, int blue, int& outRed, int& outGreen, int& outBlue) {
  const int in[3] = {red, green, blue};
  int adjusted[3];
  for (int c = 0; c < 3; ++c) adjusted[c] = Clamp255(in[c] + (current_[c] + errors_[c][size_t(pos_ + Direction)] + 8) / 16);
  const int index = Lookup.Lookup(adjusted[0], adjusted[1], adjusted[2], outRed, outGreen, outBlue);
  const int out[3] = {outRed, outGreen, outBlue};
  for (int c = 0; c < 3; ++c) {
    const int e = adjusted[c] - out[c];
    errors_[c][size_t(pos_)] = belowPrev_[c] + 3 * e;
    belowPrev_[c] = below_[c] + 5 * e;
    below_[c] = e;
    current_[c] = 7 * e;
  }
  pos_ += Direction;
  NextColumn();
  return index;
}

void TFloydSteinbergDitherer::NextLine() {
  for (int c = 0; c < 3; ++c) {
    errors_[c][size_t(pos_)] = belowPrev_[c];
    current_[c] = below_[c] = belowPrev_[c] = 0;
  }
  TDitherEngine::NextLine();
  pos_ = Direction > 0 ? 0 : Width + 1;
}

// ---------------------------------------------------------------------------
// Stucki, Sierra, Jarvis-Judice-Ninke: five columns wide, three rows deep.
// ---------------------------------------------------------------------------

T5by3Ditherer::T5by3Ditherer(int width, TColorLookup& lookup, int divisor)
    : TDitherEngine(width, lookup), Divisor(divisor) {
  for (auto& row : rows_)
    for (auto& channel : row) channel.assign(size_t(width) + 4, 0);
}

int T5by3Ditherer::Dither(int red, int green, int blue, int& outRed, int& outGreen, int& outBlue) {
  const int in[3] = {red, green, blue};
  const size_t at = size_t(Column) + 2;
  int adjusted[3];
  for (int c = 0; c < 3; ++c) adjusted[c] = Clamp255(in[c] + (rows_[0][c][at] + Divisor / 2) / Divisor);
  const int index = Lookup.Lookup(adjusted[0], adjusted[1], adjusted[2], outRed, outGreen, outBlue);
  const int out[3] = {outRed, outGreen, outBlue};
  for (int c = 0; c < 3; ++c) {
    const int e = adjusted[c] - out[c];
    if (e != 0) Propagate(rows_[0][c].data() + at, rows_[1][c].data() + at, e, rows_[2][c].data() + at);
  }
  NextColumn();
  return index;
}

void T5by3Ditherer::NextLine() {
  for (int c = 0; c < 3; ++c) {
    std::fill(rows_[0][c].begin(), rows_[0][c].end(), 0);
    std::swap(rows_[0][c], rows_[1][c]);
    std::swap(rows_[1][c], rows_[2][c]);
  }
  TDitherEngine::NextLine();
  Direction2 = 2 * Direction;
}

void TStuckiDitherer::Propagate(int32_t* row0, int32_t* row1, int error, int32_t* row2) {
  const int d = Direction, d2 = Direction2;
  row0[d] += 8 * error;
  row0[d2] += 4 * error;
  row1[-d2] += 2 * error;
  row1[-d] += 4 * error;
  row1[0] += 8 * error;
  row1[d] += 4 * error;
  row1[d2] += 2 * error;
  row2[-d2] += error;
  row2[-d] += 2 * error;
  row2[0] += 4 * error;
  row2[d] += 2 * error;
  row2[d2] += error;
}

void TSierraDitherer::Propagate(int32_t* row0, int32_t* row1, int error, int32_t* row2) {
  const int d = Direction, d2 = Direction2;
  row0[d] += 5 * error;
  row0[d2] += 3 * error;
  row1[-d2] += 2 * error;
  row1[-d] += 4 * error;
  row1[0] += 5 * error;
  row1[d] += 4 * error;
  row1[d2] += 2 * error;
  row2[-d] += 2 * error;
  row2[0] += 3 * error;
  row2[d] += 2 * error;
}

void TJaJuNiDitherer::Propagate(int32_t* row0, int32_t* row1, int error, int32_t* row2) {
  const int d = Direction, d2 = Direction2;
  row0[d] += 7 * error;
  row0[d2] += 5 * error;
  row1[-d2] += 3 * error;
  row1[-d] += 5 * error;
  row1[0] += 7 * error;
  row1[d] += 5 * error;
  row1[d2] += 3 * error;
  row2[-d2] += error;
  row2[-d] += 3 * error;
  row2[0] += 5 * error;
  row2[d] += 3 * error;
  row2[d2] += error;
}

// ---------------------------------------------------------------------------
// Stevenson and Arce: seven columns wide, four rows deep, divisor 200.
// ---------------------------------------------------------------------------

TSteveArcheDitherer::TSteveArcheDitherer(int width, TColorLookup& lookup) : TDitherEngine(width, lookup) {
  for (auto& row : rows_)
    for (auto& channel : row) channel.assign(size_t(width) + 6, 0);
}

int TSteveArcheDitherer::Dither(int red, int green, int blue, int& outRed, int& outGreen, int& outBlue) {
  const int in[3] = {red, green, blue};
  const size_t at = size_t(Column) + 3;
  int adjusted[3];
  for (int c = 0; c < 3; ++c) adjusted[c] = Clamp255(in[c] + (rows_[0][c][at] + 100) / 200);
  const int index = Lookup.Lookup(adjusted[0], adjusted[1], adjusted[2], outRed, outGreen, outBlue);
  const int out[3] = {outRed, outGreen, outBlue};
  const int d = Direction, d2 = Direction2, d3 = Direction3;
  for (int c = 0; c < 3; ++c) {
    const int e = adjusted[c] - out[c];
    if (e == 0) continue;
    int32_t* r0 = rows_[0][c].data() + at;
    int32_t* r1 = rows_[1][c].data() + at;
    int32_t* r2 = rows_[2][c].data() + at;
    int32_t* r3 = rows_[3][c].data() + at;
    r0[d2] += 32 * e;
    r1[-d3] += 12 * e;
    r1[-d] += 26 * e;
    r1[d] += 30 * e;
    r1[d3] += 16 * e;
    r2[-d2] += 12 * e;
    r2[0] += 26 * e;
    r2[d2] += 12 * e;
    r3[-d3] += 5 * e;
    r3[-d] += 12 * e;
    r3[d] += 12 * e;
    r3[d3] += 5 * e;
  }
  NextColumn();
  return index;
}

void TSteveArcheDitherer::NextLine() {
  for (int c = 0; c < 3; ++c) {
    std::fill(rows_[0][c].begin(), rows_[0][c].end(), 0);
    std::swap(rows_[0][c], rows_[1][c]);
    std::swap(rows_[1][c], rows_[2][c]);
    std::swap(rows_[2][c], rows_[3][c]);
  }
  TDitherEngine::NextLine();
  Direction2 = 2 * Direction;
  Direction3 = 3 * Direction;
}

// ---------------------------------------------------------------------------
// Burkes: five columns wide, two rows deep, divisor 32.
// ---------------------------------------------------------------------------

TBurkesDitherer::TBurkesDitherer(int width, TColorLookup& lookup) : TDitherEngine(width, lookup) {
  for (auto& row : rows_)
    for (auto& channel : row) channel.assign(size_t(width) + 4, 0);
}

int TBurkesDitherer::Dither(int red, int green, int blue, int& outRed, int& outGreen, int& outBlue) {
  const int in[3] = {red, green, blue};
  const size_t at = size_t(Column) + 2;
  int adjusted[3];
  for (int c = 0; c < 3; ++c) adjusted[c] = Clamp255(in[c] + (rows_[0][c][at] + 16) / 32);
  const int index = Lookup.Lookup(adjusted[0], adjusted[1], adjusted[2], outRed, outGreen, outBlue);
  const int out[3] = {outRed, outGreen, outBlue};
  const int d = Direction, d2 = Direction2;
  for (int c = 0; c < 3; ++c) {
    const int e = adjusted[c] - out[c];
    if (e == 0) continue;
    int32_t* r0 = rows_[0][c].data() + at;
    int32_t* r1 = rows_[1][c].data() + at;
    r0[d] += 8 * e;
    r0[d2] += 4 * e;
    r1[-d2] += 2 * e;
    r1[-d] += 4 * e;
    r1[0] += 8 * e;
    r1[d] += 4 * e;
    r1[d2] += 2 * e;
  }
  NextColumn();
  return index;
}

void TBurkesDitherer::NextLine() {
  for (int c = 0; c < 3; ++c) {
    std::fill(rows_[0][c].begin(), rows_[0][c].end(), 0);
    std::swap(rows_[0][c], rows_[1][c]);
  }
  TDitherEngine::NextLine();
  Direction2 = 2 * Direction;
}

std::unique_ptr<TDitherEngine> CreateDitherer(TDitherMode mode, int width, TColorLookup& lookup) {
  switch (mode) {
    case dmNearest: return std::make_unique<TDitherEngine>(width, lookup);
    case dmFloydSteinberg: return std::make_unique<TFloydSteinbergDitherer>(width, lookup);
    case dmStucki: return std::make_unique<TStuckiDitherer>(width, lookup);
    case dmSierra: return std::make_unique<TSierraDitherer>(width, lookup);
    case dmJaJuNi: return std::make_unique<TJaJuNiDitherer>(width, lookup);
    case dmSteveArche: return std::make_unique<TSteveArcheDitherer>(width, lookup);
    case dmBurkes: return std::make_unique<TBurkesDitherer>(width, lookup);
  }
  return nullptr;
}
