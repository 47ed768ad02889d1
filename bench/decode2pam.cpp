// Decodes the picture files named on the command line through the picture object,
// as the viewer does, and writes each result as a PPM file (or a PAM file with an
// alpha channel for 32-bit pictures), so that any picture can be compared with an
// independent decoder. Graphics that are not bitmaps themselves (JPEG pictures, icons)
// are decoded through a bitmap. Prints the time per file from opening it to its decoded
// pixels.
//
//   decode2pam [-o FOLDER] FILE...
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "formats/GraphicFormats.h"
#include "platform/graphics/Graphics.h"
#include "platform/graphics/Jpeg.h"
#include "platform/gui/ModalResponder.h"

namespace {

const char* FormatName(TPixelFormat f) {
  static const char* const names[] = {"device", "1-bit", "4-bit", "8-bit", "15-bit", "16-bit", "24-bit", "32-bit", "custom"};
  return names[f];
}

std::string BaseName(const std::string& path) {
  const size_t slash = path.rfind('/');
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  const size_t dot = name.rfind('.');
  return dot == std::string::npos ? name : name.substr(0, dot);
}

// Writes the bitmap's colours (and alpha for 32-bit bitmaps).
bool WritePam(const TBitmap& b, const std::string& out) {
  FILE* f = std::fopen(out.c_str(), "wb");
  if (!f) return false;
  const bool alpha = b.PixelFormat() == pf32bit;
  const int w = b.Width(), h = b.Height();
  if (alpha)
    std::fprintf(f, "P7\nWIDTH %d\nHEIGHT %d\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n", w, h);
  else
    std::fprintf(f, "P6\n%d %d\n255\n", w, h);
  std::vector<unsigned char> row(size_t(w) * (alpha ? 4 : 3));
  for (int y = 0; y < h; ++y) {
    const uint8_t* line = b.ScanLine(y);
    unsigned char* p = row.data();
    for (int x = 0; x < w; ++x) {
      if (b.PixelFormat() == pf24bit || alpha) {
        const uint8_t* s = line + x * (alpha ? 4 : 3);
        *p++ = s[2], *p++ = s[1], *p++ = s[0];
        if (alpha) *p++ = s[3];
      } else {
        const TColor c = b.PixelColor(x, y);
        *p++ = uint8_t(c), *p++ = uint8_t(c >> 8), *p++ = uint8_t(c >> 16);
      }
    }
    std::fwrite(row.data(), 1, row.size(), f);
  }
  return std::fclose(f) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::string folder = ".";
  std::vector<std::string> files;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "-o" && i + 1 < argc)
      folder = argv[++i];
    else
      files.push_back(a);
  }
  if (files.empty()) {
    std::fprintf(stderr, "usage: decode2pam [-o FOLDER] FILE...\n");
    return 2;
  }
  InitializeGraphicFormats();
  // A reader's warning box (a damaged JPEG strip) becomes a line on standard error: a
  // command-line tool has no one to close it.
  std::string current;
  ModalResponder::SetScripted(true);
  std::function<int(ModalRequest&)> warn = [&](ModalRequest& request) {
    std::fprintf(stderr, "%s: %s: %s\n", current.c_str(), request.caption.c_str(), request.text.c_str());
    ModalResponder::Expect(ModalKind::Any, warn);
    return int(mrOk);
  };
  ModalResponder::Expect(ModalKind::Any, warn);
  int failures = 0;
  for (const std::string& file : files) {
    current = file;
    // Everything from the load to the written file is inside the error handling: a
    // picture the tool cannot decode or write is reported and the next one follows.
    try {
      TPicture picture;
      TBitmap decoded;
      const TBitmap* bitmap = nullptr;
      const auto start = std::chrono::steady_clock::now();
      picture.LoadFromFile(file);
      // A JPEG picture decodes into its bitmap only when its pixels are asked for;
      // other graphics (icons) are copied into one.
      if (auto* jpeg = dynamic_cast<TJPEGImage*>(picture.Graphic())) {
        bitmap = &jpeg->Bitmap();
      } else if (!(bitmap = dynamic_cast<TBitmap*>(picture.Graphic()))) {
        decoded.Assign(picture.Graphic());
        bitmap = &decoded;
      }
      const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
      if (bitmap->Empty()) throw Exception("the picture is empty");
      const std::string out = folder + "/" + BaseName(file) + (bitmap->PixelFormat() == pf32bit ? ".pam" : ".ppm");
      if (!WritePam(*bitmap, out)) throw Exception("cannot write " + out);
      std::printf("%s: %dx%d %s, %.1f ms -> %s\n", file.c_str(), bitmap->Width(), bitmap->Height(),
                  FormatName(bitmap->PixelFormat()), ms, out.c_str());
    } catch (const Exception& e) {
      std::fprintf(stderr, "%s: %s\n", file.c_str(), e.Message().c_str());
      ++failures;
    } catch (const std::exception& e) {
      std::fprintf(stderr, "%s: %s\n", file.c_str(), e.what());
      ++failures;
    }
  }
  return failures ? 1 : 0;
}
