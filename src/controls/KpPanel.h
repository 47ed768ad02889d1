#pragma once
// TKpFramePanel: a panel that looks like a small tool window: a grabber bar of two
// raised lines along its top (or left) edge, an optional icon at the start of the bar and
// a caption-style close box at its end. A press on the bar reports a caption click and,
// when Moveable, lets the user drag the panel within its parent; a click on the close box
// hides the panel and reports it.
#include <memory>

#include "platform/graphics/Graphics.h"
#include "platform/gui/ExtCtrls.h"

enum TKpGrabberPlace { gpTop, gpLeft, gpBottom, gpRight };

class TKpFramePanel : public TPanel {
 public:
  explicit TKpFramePanel(TComponent* AOwner);

  // Edge length of the close box (drawn GrabberSize - 2 square).
  int GrabberSize() const { return grabberSize_; }
  void SetGrabberSize(int v);
  TKpGrabberPlace GrabberPlace() const { return grabberPlace_; }
  void SetGrabberPlace(TKpGrabberPlace v);
  bool Moveable() const { return moveable_; }
  void SetMoveable(bool v) { moveable_ = v; }
  // Drawn GrabberSize square at the start of the bar; setting it copies the icon.
  TIcon* Icon() { return icon_.get(); }
  // Copies the icon; nullptr empties it.
  void SetIcon(TIcon* icon);
  // The sunken look of the class library's panels: the children keep one more pixel away.
  bool Ctl3D() const { return ctl3D_; }
  void SetCtl3D(bool v);

  TNotifyEvent OnClose;
  TNotifyEvent OnCaptionClick;

  // The children lie below (or right of) the 10-pixel grabber band.
  TRect AlignClientRect() const override;
  void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void MouseMove(TShiftState Shift, int X, int Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;

 protected:
  void Paint() override;

 private:
  bool horizontal() const { return grabberPlace_ == gpTop || grabberPlace_ == gpBottom; }
  int grabberSize_ = 12;
  TKpGrabberPlace grabberPlace_ = gpTop;
  bool moveable_ = false;
  std::unique_ptr<TIcon> icon_ = std::make_unique<TIcon>();
  bool ctl3D_ = true;
  bool closeDown_ = false, grabDown_ = false, dragging_ = false;
  TPoint dragStart_;
};
