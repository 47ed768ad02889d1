// The GIF object tree: header and frame rules, extension blocks, versions, frames made
// from other pictures, rendering and drawing, the frame optimiser (checked against
// ImageMagick's frames of the file before and after), the clipboard and the class's
// registration with the picture object.

#include "GifTestSupport.h"
#include "formats/GraphicFormats.h"
#include "formats/GraphicReaders.h"
#include "platform/gui/Clipbrd.h"
#include "platform/i18n/GnuGetText.h"

using namespace giftest;

namespace {

Bytes Saved(TGIFImage& gif) {
  TMemoryStream stream;
  gif.SaveToStream(stream);
  return stream.Bytes();
}

// A small two-colour image with the given extension bytes before its one frame.
Bytes WithExtension(const Bytes& extension) {
  GifWriter w(2, 1);
  w.Put(extension);
  w.Descriptor(0, 0, 2, 1);
  w.Pixels(2, Bytes{0, 1});
  w.Trailer();
  return w.bytes();
}

template <class T>
T* Find(TGIFSubImage& frame) {
  for (int i = 0; i < frame.Extensions().GetCount(); ++i)
    if (auto* e = dynamic_cast<T*>(frame.Extensions().GetExtension(i))) return e;
  return nullptr;
}

std::unique_ptr<TBitmap> Filled(TPixelFormat format, int w, int h, TColor color) {
  auto b = std::make_unique<TBitmap>();
  b->SetPixelFormat(format);
  b->SetSize(w, h);
  b->Canvas().Brush().SetColor(color);
  b->Canvas().FillRect(Rect(0, 0, w, h));
  return b;
}

}  // namespace

TEST(GifImage, HeaderSignaturesAndVersions) {
  const Bytes plain = OneFrameGif(2, 1, 0, 0, 2, 1, Bytes{0, 1});
  Bytes lower = plain;
  lower[0] = 'g', lower[1] = 'i', lower[2] = 'f', lower[3] = '8', lower[4] = '8', lower[5] = 'x';
  EXPECT_EQ(LoadGif(lower)->Images().GetCount(), 1);
  Bytes prefixed{1, 2, 3, 4};
  prefixed.insert(prefixed.end(), plain.begin(), plain.end());
  EXPECT_EQ(LoadGif(prefixed)->Width(), 2);
  Bytes wrong = plain;
  wrong[1] = 'X';
  try {
    LoadGif(wrong);
    ADD_FAILURE();
  } catch (const GIFException& e) {
    EXPECT_EQ(e.Message(), "Invalid GIF signature");
  }
  // A plain image is written as 87a, one with an extension as 89a; no frames, no file.
  std::unique_ptr<TGIFImage> gif = LoadGif(plain);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(Saved(*gif).data()), 6), "GIF87a");
  auto* comment = new TGIFCommentExtension(gif->Images()[0]);
  gif->Images()[0]->Extensions().Add(comment);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(Saved(*gif).data()), 6), "GIF89a");
  TGIFImage empty;
  TMemoryStream stream;
  EXPECT_THROW(empty.SaveToStream(stream), GIFException);
}

TEST(GifImage, FrameBoundsGrowTheScreenWithWarnings) {
  TGIFImage gif;
  gif.Header().SetWidth(50);
  gif.Header().SetHeight(50);
  std::vector<std::string> warnings;
  gif.OnWarning = [&](TObject*, int, const std::string& m) { warnings.push_back(m); };
  auto* frame = new TGIFSubImage(&gif);
  gif.Add(frame);
  frame->SetWidth(20);
  EXPECT_EQ(frame->DataSize(), 0);  // no height yet
  frame->SetHeight(5);
  EXPECT_EQ(frame->DataSize(), 100);
  warnings.clear();
  frame->SetBounds(10, 0, 100, 5);
  EXPECT_EQ(warnings, (std::vector<std::string>{"Image width too small for contained frames",
                                                "Image exceeds Logical Screen size"}));
  EXPECT_EQ(gif.Width(), 110);
  // The image refuses a width its frames do not fit, and keeps its size.
  try {
    gif.SetWidth(100);
    ADD_FAILURE();
  } catch (const GIFException& e) {
    EXPECT_EQ(e.Message(), "Image width too small for contained frames");
  }
  EXPECT_EQ(gif.Width(), 110);
  EXPECT_THROW(frame->Pixels(100, 0), GIFException);
}

TEST(GifImage, ExtensionBlocksReadAsTheirClasses) {
  // A delay of 0 stays 0; a 5-byte loop sub-block gives its count; ANIMEXTS is a loop too.
  Bytes animexts{0x21, 0xFF, 11, 'A', 'N', 'I', 'M', 'E', 'X', 'T', 'S', '1', '.', '0', 5, 1, 7, 0, 9, 9, 0};
  Bytes gce{0x21, 0xF9, 4, 0, 0, 0, 0, 0};
  animexts.insert(animexts.end(), gce.begin(), gce.end());
  std::unique_ptr<TGIFImage> gif = LoadGif(WithExtension(animexts));
  TGIFSubImage& frame = *gif->Images()[0];
  ASSERT_NE(Find<TGIFAppExtNSLoop>(frame), nullptr);
  ASSERT_NE(frame.GraphicControlExtension(), nullptr);
  EXPECT_EQ(Find<TGIFAppExtNSLoop>(frame)->Loops, 7);
  EXPECT_EQ(frame.GraphicControlExtension()->Delay(), 0);
  // A 10-byte application block: an unknown one whose identifier takes the first data byte.
  std::unique_ptr<TGIFImage> ten =
      LoadGif(WithExtension({0x21, 0xFF, 10, 'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 'i', 'j', 2, 'x', 'y', 0}));
  auto* unknown = Find<TGIFUnknownAppExtension>(*ten->Images()[0]);
  ASSERT_NE(unknown, nullptr);
  EXPECT_EQ(unknown->Identifier[10], 2);
  ASSERT_EQ(unknown->Blocks().size(), 1u);
  EXPECT_EQ(unknown->Blocks()[0].Data, (Bytes{'x', 'y'}));
  // A 12-byte block: the 12th byte is passed over and the data after it read.
  std::unique_ptr<TGIFImage> twelve = LoadGif(WithExtension(
      {0x21, 0xFF, 12, 'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0', 'Z', 3, 1, 4, 0, 0}));
  ASSERT_EQ(twelve->Images().GetCount(), 1);
  auto* application = Find<TGIFApplicationExtension>(*twelve->Images()[0]);
  ASSERT_NE(application, nullptr);
  EXPECT_EQ(std::string(application->Identifier.begin(), application->Identifier.end()), "NETSCAPE2.0");
  EXPECT_EQ(twelve->Images()[0]->Pixels(1, 0), 1);
  // Plain text and comments keep their text through a write and a read.
  auto* text = new TGIFTextExtension(&frame);
  text->Text().Add(std::string(300, 't'));
  text->GridWidth = 40;
  frame.Extensions().Add(text);
  std::unique_ptr<TGIFImage> again = LoadGif(Saved(*gif));
  auto* read = Find<TGIFTextExtension>(*again->Images()[0]);
  ASSERT_NE(read, nullptr);
  EXPECT_EQ(read->GridWidth, 40);
  EXPECT_EQ(read->Text().Count(), 2);  // the sub-blocks of 255 and 45 bytes
  // An extension list ending in a byte that is neither "!", "," nor ";" warns.
  std::vector<std::string> warnings;
  GifWriter w(1, 1);
  w.Put(gce);
  w.Byte('?');
  w.Trailer();
  LoadGif(w.bytes(), &warnings);
  EXPECT_NE(std::find(warnings.begin(), warnings.end(), "Invalid extension introducer"), warnings.end());
}

TEST(GifImage, FramesMadeFromBitmaps) {
  TGIFImage gif;
  // A 24-bit bitmap with the default settings: the 216 colours of the web palette.
  std::unique_ptr<TBitmap> photo = Filled(pf24bit, 6, 4, RGB(200, 40, 90));
  gif.Add(photo.get());
  EXPECT_EQ(gif.Images()[0]->ColorMap().Count(), 216);
  EXPECT_EQ(gif.Images()[0]->ColorMap().Colors(gif.Images()[0]->Pixels(0, 0)), RGB(153, 0, 51));
  // A 4-bit bitmap of width 3: high and low nibbles.
  TBitmap nibbles;
  nibbles.SetPixelFormat(pf4bit);
  nibbles.SetSize(3, 1);
  nibbles.ScanLine(0)[0] = 0x5A;
  nibbles.ScanLine(0)[1] = 0xC3;
  TGIFSubImage& four = *gif.Images()[gif.Add(&nibbles)];
  EXPECT_EQ(four.Pixels(0, 0), 5);
  EXPECT_EQ(four.Pixels(1, 0), 10);
  EXPECT_EQ(four.Pixels(2, 0), 12);
  // A transparent bitmap whose mask covers nothing: no graphic control, table unchanged.
  std::unique_ptr<TBitmap> opaque = Filled(pf8bit, 4, 4, clRed);
  opaque->SetTransparentColor(clBlue);
  opaque->SetTransparent(true);
  TGIFSubImage& plain = *gif.Images()[gif.Add(opaque.get())];
  EXPECT_EQ(plain.GraphicControlExtension(), nullptr);
  // One whose mask covers a pixel: that pixel becomes the added transparent entry.
  opaque->Canvas().SetPixels(1, 1, clBlue);
  TGIFSubImage& holed = *gif.Images()[gif.Add(opaque.get())];
  ASSERT_NE(holed.GraphicControlExtension(), nullptr);
  EXPECT_TRUE(holed.Transparent());
  EXPECT_EQ(holed.Pixels(1, 1), holed.GraphicControlExtension()->TransparentColorIndex());
  EXPECT_NE(holed.Pixels(0, 0), holed.Pixels(1, 1));
  // A copy of a frame is a frame of its own with its own extensions.
  auto* copy = new TGIFSubImage(&gif);
  copy->Assign(&holed);
  gif.Add(copy);
  ASSERT_NE(copy->GraphicControlExtension(), nullptr);
  EXPECT_NE(copy->GraphicControlExtension(), holed.GraphicControlExtension());
  EXPECT_EQ(copy->Pixels(1, 1), holed.Pixels(1, 1));
}

TEST(GifImage, RenderingMasksScalingAndTiling) {
  GifWriter w(100, 10);
  w.GraphicControl(1, 5, 3);
  w.Descriptor(10, 0, 9, 2);
  Bytes pixels(18, 1);
  pixels[8] = 3;  // the last pixel of the first row
  w.Pixels(2, pixels);
  w.Trailer();
  std::unique_ptr<TGIFImage> gif = LoadGif(w.bytes());
  TGIFSubImage& frame = *gif->Images()[0];
  ASSERT_TRUE(frame.HasMask());
  // Mask rows of a 9-pixel frame: the last pixel sits in bit 0x80 of the second byte.
  EXPECT_EQ(frame.Mask()->ScanLine(0)[1] & 0x80, 0x80);
  EXPECT_EQ(frame.Mask()->ScanLine(1)[1] & 0x80, 0);
  EXPECT_EQ(frame.ScaleRect(Rect(0, 0, 200, 20)), Rect(20, 0, 38, 4));
  // A transparent frame whose pixels never use the index gets no mask.
  Bytes none(18, 1);
  GifWriter v(9, 2);
  v.GraphicControl(1, 5, 3);
  v.Descriptor(0, 0, 9, 2);
  v.Pixels(2, none);
  v.Trailer();
  std::unique_ptr<TGIFImage> opaque = LoadGif(v.bytes());
  EXPECT_FALSE(opaque->Images()[0]->HasMask());
  // Tiling a 10 x 10 picture into 25 x 25 lays 3 x 3 copies from the top-left corner.
  GifWriter t(10, 10);
  t.Descriptor(0, 0, 10, 10);
  Bytes tile(100, 0);
  tile[0] = 2;
  t.Pixels(2, tile);
  t.Trailer();
  std::unique_ptr<TGIFImage> tiled = LoadGif(t.bytes());
  tiled->SetDrawOptions(TGIFDrawOptions(tiled->DrawOptions() | doTile));
  std::unique_ptr<TBitmap> canvas = Filled(pf24bit, 25, 25, clWhite);
  canvas->Canvas().StretchDraw(Rect(0, 0, 25, 25), *tiled);
  const TColor corner = tiled->Header().ColorMap().Colors(2);
  EXPECT_EQ(canvas->PixelColor(0, 0), corner);
  EXPECT_EQ(canvas->PixelColor(10, 20), corner);
  EXPECT_EQ(canvas->PixelColor(20, 10), corner);
  EXPECT_NE(canvas->PixelColor(24, 24), clWhite);
}

TEST(GifImage, TheOptimiserKeepsWhatTheAnimationShows) {
  KIVO2_REQUIRE_TOOL("convert");
  const std::string source = testsupport::TempPath("source.gif");
  ASSERT_EQ(testsupport::Run({"convert", "-seed", "5", "-size", "40x30", "plasma:fractal", "-colors", "32", "-delay",
                              "4", "(", "-clone", "0", "-fill", "red", "-draw", "rectangle 5,5 12,14", ")", "(",
                              "-clone", "1", ")", "(", "-clone", "1", "-fill", "blue", "-draw", "circle 30,20 30,25",
                              ")", "-comment", "drop me", "-loop", "0", source})
                .exitCode,
            0);
  std::unique_ptr<TGIFImage> gif = LoadGifFile(source);
  ASSERT_EQ(gif->Images().GetCount(), 4);
  const size_t before = Saved(*gif).size();
  gif->OptimizeFrames(optCropFrames | optDiffFrames | optCleanup | optColorTables, rmNone, 8, dmNearest);
  const Bytes optimised = Saved(*gif);
  EXPECT_LT(optimised.size(), before);
  // The third frame equalled the second: it became wholly transparent and went, its
  // delay added to the frame before it.
  EXPECT_EQ(gif->Images().GetCount(), 3);
  const std::string file = testsupport::TempFile("optimised.gif", optimised);
  // ImageMagick shows the same pictures (the dropped frame apart).
  std::vector<Frame> theirs = CoalescedFrames(source);
  theirs.erase(theirs.begin() + 2);
  ExpectSameFrames(CoalescedFrames(file), theirs);
  EXPECT_EQ(std::string(optimised.begin(), optimised.end()).find("drop me"), std::string::npos);

  // One frame: the loop extension goes, and an opaque frame's graphic control too.
  GifWriter one(2, 1);
  one.Loop(0);
  one.GraphicControl(1, 0, 3);
  one.Descriptor(0, 0, 2, 1);
  one.Pixels(2, Bytes{0, 1});
  one.Trailer();
  std::unique_ptr<TGIFImage> single = LoadGif(one.bytes());
  single->OptimizeFrames(optCleanup, rmNone, 8, dmNearest);
  // The transparent index occurs in no pixel: the frame became opaque and lost it all.
  EXPECT_FALSE(single->Images()[0]->Transparent());
  EXPECT_EQ(single->Images()[0]->Extensions().GetCount(), 0);
  try {
    single->OptimizeFrames(optReduceColors, rmPalette, 8, dmNearest);
    ADD_FAILURE();
  } catch (const GIFException& e) {
    EXPECT_EQ(e.Message(), "Invalid reduction method");
  }
}

TEST(GifImage, ClipboardFormats) {
  InitializeGIFImage();
  ASSERT_NE(TGIFImage::ClipboardFormat(), 0);
  std::unique_ptr<TGIFImage> gif = LoadGif(OneFrameGif(3, 2, 0, 0, 3, 2, Bytes{0, 1, 2, 3, 2, 1}));
  TClipboardFormat format = 0;
  std::vector<uint8_t> data;
  TPalette palette;
  gif->SaveToClipboardFormat(format, data, palette);
  EXPECT_EQ(format, CF_DIB);
  EXPECT_TRUE(Clipboard()->HasFormat(TGIFImage::ClipboardFormat()));
  TGIFImage fromGif;
  fromGif.LoadFromClipboardFormat(TGIFImage::ClipboardFormat(), {}, TPalette());
  ASSERT_EQ(fromGif.Images().GetCount(), 1);
  EXPECT_EQ(fromGif.Images()[0]->Pixels(0, 1), 3);
  // The bitmap data makes a frame too.
  TGIFImage fromBitmap;
  fromBitmap.LoadFromClipboardFormat(format, data, palette);
  ASSERT_EQ(fromBitmap.Images().GetCount(), 1);
  EXPECT_EQ(fromBitmap.Width(), 3);
  try {
    fromBitmap.LoadFromClipboardFormat(1, {}, TPalette());
    ADD_FAILURE();
  } catch (const EInvalidGraphic& e) {
    EXPECT_EQ(e.Message(), "Unsupported clipboard format");
  }
}

TEST(GifImage, RegisteredBeforeTheFormatListsOwnGifEntry) {
  FinalizeGraphicFormats();
  InitializeGIFImage();
  EXPECT_EQ(TPicture::FindGraphicClass("GIF"), TGIFImage::ClassRef());
  FinalizeGIFImage();
  EXPECT_EQ(TPicture::FindGraphicClass("gif"), nullptr);
  InitializeGraphicFormats();
  // The format list's own GIF class is the later registration and so the one used.
  EXPECT_EQ(TPicture::FindGraphicClass("gif"), TGIFGraphic::ClassRef());
  bool listed = false;
  for (const TFileFormatEntry& e : TPicture::FileFormats())
    listed = listed || (e.GraphicClass == TGIFImage::ClassRef() && e.Description == "GIF Image");
  EXPECT_TRUE(listed);
}

TEST(GifImage, CopiesAndConversions) {
  std::unique_ptr<TGIFImage> gif = LoadGif(WithExtension({0x21, 0xF9, 4, 9, 3, 0, 1, 0}));
  gif->DrawBackgroundColor = clAqua;
  gif->ShowFrame = 0;
  TGIFImage copy;
  copy.Assign(gif.get());
  ASSERT_EQ(copy.Images().GetCount(), 1);
  EXPECT_EQ(copy.DrawBackgroundColor, clAqua);
  EXPECT_EQ(copy.Images()[0]->GraphicControlExtension()->Delay(), 3);
  EXPECT_TRUE(copy.Images()[0]->Transparent());
  TBitmap bitmap;
  bitmap.Assign(&copy);
  EXPECT_EQ(bitmap.Width(), 2);
  EXPECT_EQ(bitmap.PixelColor(0, 0), copy.Header().ColorMap().Colors(0));
  TStringList notAGraphic;
  EXPECT_THROW(copy.Add(&notAGraphic), GIFException);
}

TEST(GifImage, MessagesFollowTheInterfaceLanguage) {
  const std::string locale = testsupport::ProgramDir() + "/locale";
  if (access((locale + "/nl/LC_MESSAGES/default.mo").c_str(), R_OK) != 0) GTEST_SKIP() << "catalogue not built";
  InitTranslation(locale);
  UseLanguage("nl");
  std::string message;
  std::vector<std::string> warnings;
  try {
    LoadGif(Bytes{'G', 'X', 'F', '8', '9', 'a', 1, 0, 1, 0, 0, 0, 0, ';'});
  } catch (const GIFException& e) {
    message = e.Message();
  }
  LoadGif(OneFrameGif(2, 1, 0, 0, 0, 1, Bytes{0, 1}), &warnings);
  UseLanguage("en");
  EXPECT_EQ(message, "Ongeldige GIF-handtekening");
  EXPECT_EQ(warnings, std::vector<std::string>{"Afbeelding is groter dan het logische scherm"});
}
