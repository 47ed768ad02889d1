#pragma once
// The printer (the class library's Printer object) on the desktop's printing: Qt's print
// support, which prints through CUPS. Where no printer is set up, or when the program
// names an output file, a document is written as a PDF file instead.
//
// Lengths are in the device's pixels, as the Windows device capabilities give them; the
// canvas of a document has its origin at the top-left corner of the printable area.
#include <memory>
#include <string>

#include "platform/rtl/SysUtils.h"

class TCanvas;

// Failures raise EPrinter (SysUtils).


// Indexes of GetDeviceCaps.
constexpr int HORZRES = 8, VERTRES = 10, LOGPIXELSX = 88, LOGPIXELSY = 90, PHYSICALWIDTH = 110,
              PHYSICALHEIGHT = 111, PHYSICALOFFSETX = 112, PHYSICALOFFSETY = 113;

enum TPrinterOrientation { poPortrait, poLandscape };

class TPrinter {
 public:
  TPrinter();
  ~TPrinter();
  TPrinter(const TPrinter&) = delete;
  TPrinter& operator=(const TPrinter&) = delete;

  // At least one printer of the desktop is set up.
  static bool PrintersSetUp();
  // The printer documents go to; "" while they go to a PDF file.
  std::string PrinterName() const;
  // The PDF file the next documents are written to instead of a printer ("": the printer,
  // or, with no printer set up, nowhere until a file is named).
  std::string OutputFileName() const;
  void SetOutputFileName(const std::string& fileName);

  TPrinterOrientation Orientation() const;
  void SetOrientation(TPrinterOrientation orientation);
  // The page, its printable area and the resolution (the indexes above); 0 for others.
  // PHYSICALWIDTH and PHYSICALHEIGHT are the whole sheet, PHYSICALOFFSETX and
  // PHYSICALOFFSETY the unprintable margin at its left and top, HORZRES and VERTRES the
  // printable area, LOGPIXELSX and LOGPIXELSY the pixels per inch.
  int GetDeviceCaps(int index) const;
  int PageWidth() const { return GetDeviceCaps(HORZRES); }
  int PageHeight() const { return GetDeviceCaps(VERTRES); }

  // The document's name in the print queue.
  std::string Title() const;
  void SetTitle(const std::string& title);

  // Starts a document; Canvas then draws on its first page. Raises EPrinter when the
  // printer cannot be opened, or when no printer is set up and no output file is named.
  // A PDF file is written to a temporary file beside it first.
  void BeginDoc();
  void NewPage();
  // Ends the document and hands it to the printer, or puts the PDF file in place
  // (replacing a file of that name only now, when it is complete). Raises EPrinter when
  // the document could not be finished; a PDF file of that name then stays as it was.
  void EndDoc();
  // Drops the document being made.
  void Abort();
  bool Printing() const;
  // The canvas of the page being made (valid between BeginDoc and EndDoc).
  TCanvas* Canvas();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// The program's one printer object (made on first use).
TPrinter* Printer();
