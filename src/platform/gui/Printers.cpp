// The printer on Qt's print support (CUPS), with PDF files where no printer is set up.
#include "platform/gui/Printers.h"

#include <QFileInfo>
#include <QPageLayout>
#include <QPainter>
#include <QPrinterInfo>

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/QtApplication.h"
#include "platform/graphics/CanvasQt.h"
#include "platform/graphics/Graphics.h"
#include "platform/gui/GuiInternal.h"
#include "platform/gui/PrintersInternal.h"
#include "platform/i18n/GnuGetText.h"
#include "platform/rtl/FileFaults.h"

QPrinter& SharedQPrinter() {
  EnsureQtApplication();
  static QPrinter* printer = [] {
    auto* p = new QPrinter(QPrinter::HighResolution);
    if (!TPrinter::PrintersSetUp()) p->setOutputFormat(QPrinter::PdfFormat);
    return p;
  }();
  return *printer;
}

struct TPrinter::Impl {
  std::string outputFile;         // the PDF file asked for ("" : the printer)
  std::string tempFile;           // where the PDF is written while the document is made
  std::string title;
  std::unique_ptr<QPainter> painter;
  std::unique_ptr<TCanvas> canvas;
  std::unique_ptr<TCanvasPainterBinding> binding;

  void dropTemp() {
    if (!tempFile.empty()) fileio::Unlink(tempFile);
    tempFile.clear();
  }
  void endPainting() {
    binding.reset();
    if (painter && painter->isActive()) painter->end();
    painter.reset();
  }
};

TPrinter::TPrinter() : impl_(std::make_unique<Impl>()) {}
TPrinter::~TPrinter() { Abort(); }

bool TPrinter::PrintersSetUp() {
  EnsureQtApplication();
  return !QPrinterInfo::availablePrinterNames().isEmpty();
}

std::string TPrinter::PrinterName() const {
  if (!impl_->outputFile.empty()) return std::string();
  QPrinter& p = SharedQPrinter();
  return p.outputFormat() == QPrinter::NativeFormat ? gui::StdText(p.printerName()) : std::string();
}

std::string TPrinter::OutputFileName() const { return impl_->outputFile; }
void TPrinter::SetOutputFileName(const std::string& fileName) {
  if (Printing()) throw EPrinter(_("Printing in progress"));
  impl_->outputFile = fileName;
  QPrinter& p = SharedQPrinter();
  if (!fileName.empty()) {
    p.setOutputFormat(QPrinter::PdfFormat);
  } else if (PrintersSetUp() && p.outputFormat() != QPrinter::NativeFormat) {
    p.setOutputFileName(QString());
    p.setOutputFormat(QPrinter::NativeFormat);
  }
}

TPrinterOrientation TPrinter::Orientation() const {
  return SharedQPrinter().pageLayout().orientation() == QPageLayout::Landscape ? poLandscape : poPortrait;
}
void TPrinter::SetOrientation(TPrinterOrientation orientation) {
  SharedQPrinter().setPageOrientation(orientation == poLandscape ? QPageLayout::Landscape : QPageLayout::Portrait);
}

int TPrinter::GetDeviceCaps(int index) const {
  QPrinter& p = SharedQPrinter();
  const int dpi = p.resolution();
  const QPageLayout layout = p.pageLayout();
  const QRect full = layout.fullRectPixels(dpi);
  const QRect paint = layout.paintRectPixels(dpi);
  switch (index) {
    case HORZRES: return paint.width();
    case VERTRES: return paint.height();
    case LOGPIXELSX:
    case LOGPIXELSY: return dpi;
    case PHYSICALWIDTH: return full.width();
    case PHYSICALHEIGHT: return full.height();
    case PHYSICALOFFSETX: return paint.left();
    case PHYSICALOFFSETY: return paint.top();
    default: return 0;
  }
}

std::string TPrinter::Title() const { return impl_->title; }
void TPrinter::SetTitle(const std::string& title) { impl_->title = title; }

void TPrinter::BeginDoc() {
  if (Printing()) throw EPrinter(_("Printing in progress"));
  QPrinter& p = SharedQPrinter();
  if (impl_->outputFile.empty() && p.outputFormat() == QPrinter::PdfFormat)
    throw EPrinter(_("There is no default printer currently selected"));
  if (!impl_->outputFile.empty()) {
    // The PDF is written beside its place and put there only when complete.
    const std::string folder = ExtractFilePath(ExpandFileName(impl_->outputFile));
    std::string temp = folder + "." + ExtractFileName(impl_->outputFile) + ".XXXXXX";
    const int fd = fileio::MakeTemp(temp, 0);
    if (fd < 0) throw EPrinter(Format(_("Cannot create file \"%s\". %s"), {impl_->outputFile, SysErrorMessage(errno)}));
    // Made private; the document takes the mode any file written there gets.
    ::fchmod(fd, mode_t(NewFileMode(ExpandFileName(impl_->outputFile))));
    ::close(fd);
    impl_->tempFile = temp;
    p.setOutputFormat(QPrinter::PdfFormat);
    p.setOutputFileName(QString::fromStdString(temp));
  }
  p.setDocName(QString::fromStdString(impl_->title));
  impl_->painter = std::make_unique<QPainter>();
  if (!impl_->painter->begin(&p)) {
    impl_->painter.reset();
    impl_->dropTemp();
    throw EPrinter(_("Printer selected is not valid"));
  }
  if (!impl_->canvas) impl_->canvas = std::make_unique<TCanvas>();
  impl_->binding = std::make_unique<TCanvasPainterBinding>(*impl_->canvas, *impl_->painter,
                                                           QRect(0, 0, PageWidth(), PageHeight()));
}

void TPrinter::NewPage() {
  if (!Printing()) throw EPrinter(_("Printing not in progress"));
  SharedQPrinter().newPage();
}

void TPrinter::EndDoc() {
  if (!Printing()) throw EPrinter(_("Printing not in progress"));
  impl_->binding.reset();
  const bool finished = impl_->painter->end();
  impl_->painter.reset();
  if (impl_->tempFile.empty()) {
    if (!finished) throw EPrinter(_("Printer selected is not valid"));
    return;
  }
  SharedQPrinter().setOutputFileName(QString());
  const std::string temp = impl_->tempFile;
  if (!finished || QFileInfo(QString::fromStdString(temp)).size() == 0) {
    impl_->dropTemp();
    throw EPrinter(Format(_("Cannot write file \"%s\". %s"), {impl_->outputFile, SysErrorMessage(EIO)}));
  }
  if (fileio::Rename(temp, impl_->outputFile) != 0) {
    const int error = errno;
    impl_->dropTemp();
    throw EPrinter(Format(_("Cannot write file \"%s\". %s"), {impl_->outputFile, SysErrorMessage(error)}));
  }
  impl_->tempFile.clear();
}

void TPrinter::Abort() {
  if (!Printing()) return;
  QPrinter& p = SharedQPrinter();
  impl_->binding.reset();
  p.abort();
  impl_->endPainting();
  if (!impl_->tempFile.empty()) p.setOutputFileName(QString());
  impl_->dropTemp();
}

bool TPrinter::Printing() const { return impl_->painter != nullptr; }

TCanvas* TPrinter::Canvas() {
  if (!impl_->canvas) impl_->canvas = std::make_unique<TCanvas>();
  return impl_->canvas.get();
}

TPrinter* Printer() {
  static TPrinter printer;
  return &printer;
}
