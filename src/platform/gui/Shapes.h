#pragma once
// The shape control: a rectangle, square, rounded rectangle, ellipse or circle drawn with
// its own pen and brush (the class library's TShape). It has no window of its own and
// takes no input.
#include <memory>

#include "platform/graphics/Graphics.h"
#include "platform/gui/Controls.h"

enum TShapeType { stRectangle, stSquare, stRoundRect, stRoundSquare, stEllipse, stCircle };

class TShape : public TGraphicControl {
 public:
  explicit TShape(TComponent* AOwner);
  ~TShape() override;
  TShapeType Shape() const { return shape_; }
  void SetShape(TShapeType shape);
  // Changing the pen or the brush repaints the shape.
  TPen& Pen() { return *pen_; }
  TBrush& Brush() { return *brush_; }

 protected:
  // The outline lies inside the bounds: a pen of width w starts w div 2 pixels in.
  void Paint() override;

 private:
  TShapeType shape_ = stRectangle;
  std::unique_ptr<TPen> pen_;
  std::unique_ptr<TBrush> brush_;
};
