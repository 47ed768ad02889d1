// Making an image smaller without changing what its animation shows: colour tables
// sorted by use, unused transparency and needless extensions dropped, unchanged pixels
// made transparent, transparent borders cut off and empty frames removed.
#include <algorithm>

#include "formats/GIFImage.h"
#include "platform/rtl/Math.h"

namespace {

bool Intersect(const TRect& a, const TRect& b, TRect& r) {
  r = TRect(std::max(a.Left, b.Left), std::max(a.Top, b.Top), std::min(a.Right, b.Right), std::min(a.Bottom, b.Bottom));
  return !r.IsEmpty();
}

}  // namespace

void TGIFImage::OptimizeFrames(TGIFOptimizeOptions options, TColorReduction reduction, int /*reductionBits*/,
                               TDitherMode /*dither*/) {
  if (Empty()) return;
  StopAll();
  painters_.LockList();
  struct Unlock {
    TThreadList& list;
    ~Unlock() { list.UnlockList(); }
  } unlock{painters_};

  const std::string message = GifCodec::Text(gsGIFOptimizing);
  Progress(this, psStarting, 0, false, TRect(), message);
  int step = 0;
  const int total = images_->GetCount() * 6;
  auto report = [&] {
    Progress(this, psRunning, uint8_t(std::clamp(MulDiv(step, 100, std::max(total, 1)), 0, 100)), false, TRect(),
             message);
  };
  try {
    // Colour tables sorted by use.
    if (options & optColorTables) {
      if (header_->ColorMap().Count() > 0 && header_->ColorMap().Optimize()) report();
      for (int i = 0; i < images_->GetCount(); ++i) {
        TGIFSubImage* frame = images_->GetImage(i);
        if (frame->ColorMap().Count() > 0 && frame->ColorMap().Optimize()) report();
      }
    }

    // Transparency that no pixel uses.
    if (options & optCleanup) {
      for (int i = 0; i < images_->GetCount(); ++i, ++step) {
        TGIFSubImage* frame = images_->GetImage(i);
        TGIFGraphicControlExtension* gce = frame->GraphicControlExtension();
        if (!frame->Transparent() || !gce || frame->Empty()) continue;
        const uint8_t t = gce->TransparentColorIndex();
        const uint8_t* p = frame->Data();
        if (std::find(p, p + frame->DataSize(), t) == p + frame->DataSize()) {
          gce->SetTransparent(false);
          frame->FreeMask();
          report();
        }
      }
      // A frame whose area the next, opaque frame covers wholly need not be restored:
      // keeping it shows the same.
      for (int i = 0; i + 1 < images_->GetCount(); ++i, ++step) {
        TGIFSubImage* frame = images_->GetImage(i);
        TGIFSubImage* next = images_->GetImage(i + 1);
        TGIFGraphicControlExtension* gce = frame->GraphicControlExtension();
        if (!gce || (gce->Disposal() != dmBackground && gce->Disposal() != dmPrevious) || next->Transparent()) continue;
        TRect r;
        if (Intersect(frame->BoundsRect(), next->BoundsRect(), r)) {
          if (r == frame->BoundsRect()) gce->SetDisposal(dmNone);
          report();
        }
      }
    } else {
      step += 2 * images_->GetCount();
    }

    // Pixels equal to the frame they are drawn over become transparent.
    if (options & optDiffFrames) {
      for (int j = images_->GetCount() - 1; j >= 1; --j, ++step) {
        int k = j - 1;
        while (k > 0) {
          TGIFGraphicControlExtension* gce = images_->GetImage(k)->GraphicControlExtension();
          if (!gce || gce->Disposal() != dmPrevious) break;
          --k;
        }
        images_->GetImage(j)->MarkUnchangedTransparent(images_->GetImage(k));
        report();
      }
    } else {
      step += images_->GetCount();
    }

    // Transparent borders cut off; frames that become empty go, their delay to the one before.
    if (options & optCropFrames) {
      for (int i = images_->GetCount() - 1; i >= 0; --i, ++step) {
        TGIFSubImage* frame = images_->GetImage(i);
        if (frame->Empty() || !frame->Transparent()) continue;
        TGIFGraphicControlExtension* gce = frame->GraphicControlExtension();
        // Cutting a frame that is restored to the background would restore less of it.
        if (gce && gce->Disposal() == dmBackground) continue;
        const int delay = gce ? gce->Delay() : 0;
        frame->Crop();
        if (frame->Empty()) {
          if (i > 0) {
            TGIFSubImage* before = images_->GetImage(i - 1);
            if (before->Transparent() && before->GraphicControlExtension())
              before->GraphicControlExtension()->SetDelay(uint16_t(std::min(before->GraphicControlExtension()->Delay() + delay, 0xFFFF)));
          }
          images_->Delete(i);
        }
        report();
      }
    } else {
      step += images_->GetCount();
    }

    // Extensions that carry nothing the display needs, and frames left with nothing.
    step += images_->GetCount();
    if (options & optCleanup) {
      for (int i = images_->GetCount() - 1; i >= 0; --i, ++step) {
        TGIFSubImage* frame = images_->GetImage(i);
        TGIFExtensionList& extensions = frame->Extensions();
        for (int e = extensions.GetCount() - 1; e >= 0; --e) {
          TGIFExtension* extension = extensions.GetExtension(e);
          const bool needless = dynamic_cast<TGIFCommentExtension*>(extension) ||
                                dynamic_cast<TGIFTextExtension*>(extension) ||
                                dynamic_cast<TGIFUnknownAppExtension*>(extension) ||
                                (dynamic_cast<TGIFAppExtNSLoop*>(extension) && (i != 0 || images_->GetCount() == 1));
          if (needless) extensions.Delete(e);
        }
        if (TGIFGraphicControlExtension* gce = frame->GraphicControlExtension()) {
          const bool one = images_->GetCount() == 1;
          if ((gce->Delay() == 0 || one) && !frame->Transparent() && !gce->UserInput() &&
              (gce->Disposal() == dmNone || gce->Disposal() == dmNoDisposal || one))
            extensions.Delete(extensions.IndexOf(gce));
        }
        if (frame->Empty() && extensions.GetCount() == 0) images_->Delete(i);
        report();
      }
    } else if ((options & optReduceColors) && reduction == rmPalette) {
      GifCodec::Error(gsGIFInvalidReduction);
    }
  } catch (...) {
    Progress(this, psEnding, 0, true, TRect(), message);
    throw;
  }
  Progress(this, psEnding, 100, true, TRect(), message);
  FreeCachedBitmap();
  Changed(this);
}
