#pragma once
// A list of small pictures of one size (tree node images, menu glyphs).
#include <memory>
#include <vector>

#include "platform/rtl/Classes.h"

class TBitmap;
class TCanvas;

enum TDrawingStyle { dsFocus, dsSelected, dsNormal, dsTransparent };

class TImageList : public TComponent {
 public:
  explicit TImageList(TComponent* AOwner);
  ~TImageList() override;
  int Width() const { return width_; }
  void SetWidth(int w);
  int Height() const { return height_; }
  void SetHeight(int h);
  int Count() const { return int(images_.size()); }
  // Adds the picture (cut into several images when it is a multiple of Width wide; a
  // different height is scaled); mask (optional) marks transparent pixels in white.
  // Returns the index of the first image added.
  int Add(const TBitmap* image, const TBitmap* mask = nullptr);
  // Adds with every pixel of maskColor transparent.
  int AddMasked(const TBitmap* image, TColor maskColor);
  void Replace(int index, const TBitmap* image, const TBitmap* mask = nullptr);
  void Delete(int index);
  void Clear();
  // Draws an image with its top-left corner at (x, y); a disabled image is drawn grey.
  void Draw(TCanvas* canvas, int x, int y, int index, bool enabled = true) const;
  // Copies an image (with transparent pixels in the background colour) into bitmap.
  void GetBitmap(int index, TBitmap* bitmap) const;
  TColor BkColor() const { return bkColor_; }
  void SetBkColor(TColor c) { bkColor_ = c; }
  TDrawingStyle DrawingStyle() const { return drawingStyle_; }
  void SetDrawingStyle(TDrawingStyle s) { drawingStyle_ = s; }

  TNotifyEvent OnChange;

  // For the layer: the image as a 32-bit bitmap with alpha (B, G, R, A), or nullptr.
  const TBitmap* ImageWithAlpha(int index) const;

 private:
  void changed();
  int width_ = 16, height_ = 16;
  TColor bkColor_ = clNone;
  TDrawingStyle drawingStyle_ = dsNormal;
  std::vector<std::unique_ptr<TBitmap>> images_;
};
