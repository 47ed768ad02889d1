// Decoding GIF files written by ImageMagick, gifsicle and giflib's gifbuild: every frame,
// played to the full logical screen with transparency and disposal, must equal
// ImageMagick's coalesced frame pixel for pixel.

#include "GifTestSupport.h"

using namespace giftest;

namespace {

std::string Made(const std::string& name, const std::vector<std::string>& convertArgs) {
  const std::string file = testsupport::TempPath(name);
  std::vector<std::string> argv{"convert"};
  argv.insert(argv.end(), convertArgs.begin(), convertArgs.end());
  argv.push_back(file);
  const testsupport::CommandResult r = testsupport::Run(argv);
  if (r.exitCode != 0) throw std::runtime_error("convert failed: " + r.err);
  return file;
}

// A photo-like picture: ImageMagick's plasma with a fixed seed.
std::string Plasma(int width, int height, int seed = 7) {
  return Made("plasma" + std::to_string(width) + "x" + std::to_string(height) + "_" + std::to_string(seed) + ".png",
              {"-seed", std::to_string(seed), "-size", std::to_string(width) + "x" + std::to_string(height),
               "plasma:fractal"});
}

std::string Gifbuild(const std::string& name, const std::string& text) {
  const std::string source = testsupport::TempFile(name + ".txt", text);
  const testsupport::CommandResult r = testsupport::Run({"gifbuild", source});
  if (r.exitCode != 0) throw std::runtime_error("gifbuild failed: " + r.err);
  const std::string file = testsupport::TempFile(name, r.out);
  return file;
}

// An animation of five frames: an opaque full frame, then smaller frames at offsets
// with transparency and local colour tables, disposed to the background, to the previous
// picture and kept.
std::string DisposalAnimation(const std::vector<std::string>& extra = {}) {
  const std::string plasma = Plasma(48, 32);
  std::vector<std::string> args{"-dispose", "none", "-delay", "10", plasma, "-dispose", "background", "-page", "+5+4",
                                "(", "-size", "16x12", "xc:none", "-fill", "blue", "-draw", "circle 8,6 8,1", ")",
                                "-dispose", "previous", "-page", "+20+10", "(", "-size", "16x12", "xc:none", "-fill",
                                "red", "-draw", "rectangle 2,2 12,9", ")", "-dispose", "none", "-page", "+10+15", "(",
                                "-size", "20x10", "xc:yellow", ")", "-page", "+30+2", "(", "-size", "10x10", "xc:none",
                                "-fill", "green", "-draw", "circle 5,5 5,1", ")", "-loop", "0"};
  args.insert(args.end(), extra.begin(), extra.end());
  return Made("disposal.gif", args);
}

}  // namespace

TEST(GifDecode, EveryCodeSizeFromTwoToEight) {
  KIVO2_REQUIRE_TOOL("convert");
  const std::string plasma = Plasma(61, 37);
  for (int colors : {2, 3, 8, 16, 32, 64, 128, 256}) {
    SCOPED_TRACE(colors);
    const std::string file = Made("c" + std::to_string(colors) + ".gif", {plasma, "-colors", std::to_string(colors)});
    ExpectDecodesLikeImageMagick(file);
  }
}

TEST(GifDecode, InterlacedPicturesOfEveryPassLayout) {
  KIVO2_REQUIRE_TOOL("convert");
  // Heights that leave passes empty or short.
  for (int height : {1, 2, 3, 5, 8, 9, 31}) {
    SCOPED_TRACE(height);
    const std::string file = Made("i" + std::to_string(height) + ".gif",
                                  {Plasma(23, height, height), "-colors", "64", "-interlace", "GIF"});
    std::unique_ptr<TGIFImage> gif = LoadGifFile(file);
    ASSERT_EQ(gif->Images().GetCount(), 1);
    EXPECT_TRUE(gif->Images()[0]->Interlaced());
    ExpectSameFrames(PlayedFrames(*gif), CoalescedFrames(file));
  }
}

TEST(GifDecode, TransparencyDisposalLocalTablesAndFramesSmallerThanTheScreen) {
  KIVO2_REQUIRE_TOOL("convert");
  const std::string file = DisposalAnimation();
  std::unique_ptr<TGIFImage> gif = LoadGifFile(file);
  ASSERT_EQ(gif->Images().GetCount(), 5);
  EXPECT_GT(gif->Images()[1]->ColorMap().Count(), 0);
  EXPECT_TRUE(gif->Images()[1]->Transparent());
  EXPECT_EQ(gif->Images()[1]->GraphicControlExtension()->Disposal(), dmBackground);
  EXPECT_EQ(gif->Images()[2]->GraphicControlExtension()->Disposal(), dmPrevious);
  ExpectSameFrames(PlayedFrames(*gif), CoalescedFrames(file));
  // Two 40 x 40 frames on a full-screen screen, in fewer bytes than could fill it, load.
  KIVO2_REQUIRE_TOOL("gifsicle");
  const std::string frames =
      Made("frames.gif", {"-size", "40x40", "xc:none", "-fill", "red", "-draw", "rectangle 0,0 39,19", "(", "-size",
                          "40x40", "xc:none", "-fill", "blue", "-draw", "rectangle 0,20 39,39", "-set", "page",
                          "+100+50", ")", "-set", "page", "1920x1080"});
  const std::string small = testsupport::TempPath("fullscreen.gif");
  ASSERT_EQ(testsupport::Run({"gifsicle", "-O3", "--no-loopcount", frames, "-o", small}).exitCode, 0);
  ASSERT_LT(testsupport::ReadFile(small).size(), 190u);
  std::unique_ptr<TGIFImage> screen = LoadGifFile(small);
  ExpectSameFrames(PlayedFrames(*screen), CoalescedFrames(small));  // 1920 x 1080 frames
}

TEST(GifDecode, FilesRewrittenByGifsicle) {
  KIVO2_REQUIRE_TOOL("convert");
  KIVO2_REQUIRE_TOOL("gifsicle");
  const std::string source = DisposalAnimation();
  // Optimised frames (differences with transparency), interlaced, and re-disposed.
  const std::vector<std::vector<std::string>> variants = {
      {"-O3"}, {"--interlace"}, {"--disposal", "background"}, {"--disposal", "previous", "-O2"}, {"--no-loopcount"}};
  int n = 0;
  for (const auto& options : variants) {
    const std::string file = testsupport::TempPath("gifsicle" + std::to_string(n++) + ".gif");
    std::vector<std::string> argv{"gifsicle"};
    argv.insert(argv.end(), options.begin(), options.end());
    argv.insert(argv.end(), {source, "-o", file});
    ASSERT_EQ(testsupport::Run(argv).exitCode, 0);
    ExpectDecodesLikeImageMagick(file);
  }
}

TEST(GifDecode, GifbuildFramesOutsideTheScreenAndEveryDisposal) {
  KIVO2_REQUIRE_TOOL("convert");
  KIVO2_REQUIRE_TOOL("gifbuild");
  // Frames that reach past the screen's right and bottom edges, disposal 0 to 3, a
  // local table and a transparent index.
  const std::string file = Gifbuild("outside.gif", R"(screen width 6
screen height 5
screen colors 4
screen background 0
pixel aspect byte 0

screen map
	rgb 255 000 000 is a
	rgb 000 255 000 is b
	rgb 000 000 255 is c
	rgb 255 255 255 is d
end

graphics control
	disposal mode 0
	delay 5
	transparent index -1
end

image # 1
image left 0
image top 0
image bits 6 by 5
abcdab
bcdabc
cdabcd
dabcda
abcdab

graphics control
	disposal mode 2
	delay 5
	transparent index 0
end

image # 2
image left 4
image top 3
image bits 4 by 3
adda
ddad
bbbb

graphics control
	disposal mode 3
	delay 5
	transparent index 1
end

image # 3
image left 1
image top 1
image map
	rgb 010 020 030 is e
	rgb 040 050 060 is f
end
image bits 3 by 2
efe
fef

graphics control
	disposal mode 1
	delay 5
	transparent index -1
end

image # 4
image left 5
image top 0
image bits 3 by 6
ddd
ccc
bbb
aaa
ddd
ccc
)");
  std::unique_ptr<TGIFImage> gif = LoadGifFile(file);
  ASSERT_EQ(gif->Images().GetCount(), 4);
  EXPECT_EQ(gif->Width(), 6);
  EXPECT_EQ(gif->Height(), 5);
  ExpectSameFrames(PlayedFrames(*gif), CoalescedFrames(file));
}

TEST(GifDecode, ManyFrames) {
  KIVO2_REQUIRE_TOOL("convert");
  const std::string plasma = Plasma(40, 24);
  const std::string file = Made("many.gif", {plasma, "-duplicate", "59", "-distort", "SRT", "%[fx:t*6]", "-delay", "2",
                                             "-colors", "64", "-loop", "0"});
  std::unique_ptr<TGIFImage> gif = LoadGifFile(file);
  EXPECT_EQ(gif->Images().GetCount(), 60);
  ExpectSameFrames(PlayedFrames(*gif), CoalescedFrames(file));
}

TEST(GifDecode, TheLoopExtensionAndTheDelaysAsTheToolsWroteThem) {
  KIVO2_REQUIRE_TOOL("convert");
  KIVO2_REQUIRE_TOOL("gifsicle");
  const std::string source = DisposalAnimation();
  const std::string file = testsupport::TempPath("loop3.gif");
  ASSERT_EQ(testsupport::Run({"gifsicle", "--loopcount=3", "--delay", "37", source, "-o", file}).exitCode, 0);
  std::unique_ptr<TGIFImage> gif = LoadGifFile(file);
  TGIFAppExtNSLoop* loop = nullptr;
  for (int e = 0; e < gif->Images()[0]->Extensions().GetCount(); ++e)
    if (auto* l = dynamic_cast<TGIFAppExtNSLoop*>(gif->Images()[0]->Extensions().GetExtension(e))) loop = l;
  ASSERT_NE(loop, nullptr);
  EXPECT_EQ(loop->Loops, 3);
  for (int i = 0; i < gif->Images().GetCount(); ++i) EXPECT_EQ(gif->Images()[i]->GraphicControlExtension()->Delay(), 37);
}
