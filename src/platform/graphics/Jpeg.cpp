// TJPEGImage on libjpeg. libjpeg reports fatal errors through error_exit, which we
// turn into a longjmp back to the frame that called libjpeg; that frame then raises
// EInvalidGraphic with libjpeg's message. No exception ever passes through libjpeg's
// C frames, and libjpeg never ends the process. Warnings (such as premature end of
// data) do not stop a decode: a truncated picture keeps what could be decoded.
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#include <jpeglib.h>
#include <jerror.h>

#include "platform/graphics/GraphicsInternal.h"
#include "platform/graphics/Jpeg.h"
#include "platform/graphics/PictureBounds.h"
#include "platform/i18n/GnuGetText.h"

using namespace graphics_internal;

namespace {

using TJpegBytes = std::vector<uint8_t, graphics_detail::DefaultInitAllocator<uint8_t>>;

// libjpeg may use at most this much working memory (progressive pictures keep all
// coefficients), and a picture may have at most this many scans.
constexpr long kMaxJpegMemory = 1L << 30;
constexpr int kMaxScans = 1000;
// The largest compressed file we take in.
constexpr int64_t kMaxJpegFileBytes = int64_t(1) << 30;

struct ErrorManager {
  jpeg_error_mgr pub;
  std::jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
  bool stopAtWarning = false;  // a warning ends the decode at once (one that wants clean data)
  long dataEndRow = -1;        // the iMCU row being decoded when the scan's coded data ran out
};

extern "C" void JpegErrorExit(j_common_ptr cinfo) {
  ErrorManager* err = reinterpret_cast<ErrorManager*>(cinfo->err);
  (*cinfo->err->format_message)(cinfo, err->message);
  std::longjmp(err->jump, 1);
}

// Whether the marker the decoder stands at ends the scan's coded data for good: without
// restart intervals any marker does; with them, only one that no restart can pass.
bool MarkerEndsScan(const jpeg_decompress_struct& c) {
  const int m = c.unread_marker;
  return c.restart_interval == 0 || (m >= 0xC0 && (m < 0xD0 || m > 0xD7));
}

// Whether a warning means that the coded data of the scan ran out: what libjpeg gives
// for the rest of the picture is its own fill (as djpeg shows it), not the file's data.
// Huffman data is short once its bits are needed at a marker (the end of the file makes
// one); the arithmetic coder reads zeros at a marker by its own rule, so for it only the
// end of the file, or a code that stops it for the rest of the scan, ends its data.
bool DataRanOut(const jpeg_decompress_struct& c, int code) {
  switch (code) {
    case JWRN_HIT_MARKER:
    case JWRN_MUST_RESYNC: return MarkerEndsScan(c);
    case JWRN_JPEG_EOF: return c.arith_code;
    case JWRN_ARITH_BAD_CODE: return c.restart_interval == 0;
    default: return false;
  }
}

extern "C" void JpegEmitMessage(j_common_ptr cinfo, int level) {
  if (level >= 0) return;  // traces
  ErrorManager* err = reinterpret_cast<ErrorManager*>(cinfo->err);
  ++err->pub.num_warnings;
  if (cinfo->is_decompressor) {
    j_decompress_ptr d = reinterpret_cast<j_decompress_ptr>(cinfo);
    if (err->dataEndRow < 0 && DataRanOut(*d, err->pub.msg_code)) err->dataEndRow = long(d->input_iMCU_row);
  }
  if (err->stopAtWarning) JpegErrorExit(cinfo);
}

extern "C" void JpegProgress(j_common_ptr cinfo) {
  if (cinfo->is_decompressor) {
    j_decompress_ptr d = reinterpret_cast<j_decompress_ptr>(cinfo);
    if (d->input_scan_number > kMaxScans) {
      ErrorManager* err = reinterpret_cast<ErrorManager*>(cinfo->err);
      std::snprintf(err->message, sizeof err->message, "JPEG image has too many scans");
      std::longjmp(err->jump, 1);
    }
  }
}

void InitErrors(ErrorManager& err) {
  jpeg_std_error(&err.pub);
  err.pub.error_exit = JpegErrorExit;
  err.pub.emit_message = JpegEmitMessage;
  err.message[0] = '\0';
}

[[noreturn]] void RaiseJpegError(const char* message) {
  throw EInvalidGraphic(std::string(_("JPEG error")) + ": " + message);
}

int ScaleDenominator(TJPEGScale scale) {
  switch (scale) {
    case jsHalf: return 2;
    case jsQuarter: return 4;
    case jsEighth: return 8;
    default: return 1;
  }
}

// The header of compressed data: full size and components. Raises EInvalidGraphic.
struct HeaderInfo {
  int width = 0, height = 0;
};

// Owns a decompressor for the length of one call; created before setjmp so that a
// longjmp skips no destructor.
struct Decompressor {
  jpeg_decompress_struct cinfo;
  ErrorManager err;
  jpeg_progress_mgr progress;
  bool created = false;
  Decompressor() {
    std::memset(&cinfo, 0, sizeof cinfo);
    std::memset(&progress, 0, sizeof progress);
    InitErrors(err);
  }
  ~Decompressor() {
    if (created) jpeg_destroy_decompress(&cinfo);
  }
};

struct Compressor {
  jpeg_compress_struct cinfo;
  ErrorManager err;
  unsigned char* out = nullptr;
  unsigned long outSize = 0;
  bool created = false;
  Compressor() {
    std::memset(&cinfo, 0, sizeof cinfo);
    InitErrors(err);
  }
  ~Compressor() {
    if (created) jpeg_destroy_compress(&cinfo);
    std::free(out);
  }
};

// Starts a decompressor on data and reads the header (no C++ object is created
// between setjmp and the libjpeg calls). Returns false with err.message on failure.
bool StartDecompress(Decompressor& d, const TJpegBytes& data) {
  if (setjmp(d.err.jump)) return false;
  d.cinfo.err = &d.err.pub;
  jpeg_create_decompress(&d.cinfo);
  d.created = true;
  d.cinfo.mem->max_memory_to_use = kMaxJpegMemory;
  d.progress.progress_monitor = JpegProgress;
  d.cinfo.progress = &d.progress;
  jpeg_mem_src(&d.cinfo, data.data(), static_cast<unsigned long>(data.size()));
  jpeg_read_header(&d.cinfo, TRUE);
  return true;
}

// The most 8x8 blocks that one byte of coded data can hold. With Huffman coding every
// block of a sequential picture takes a DC code and an end-of-block code, each at
// least one bit long; in a progressive picture the first DC scan gives every block a
// code of at least one bit. An arithmetic coder spends at least one decision on a
// block, and no decision costs less than -log2(1 - 1/65536) bits (its smallest
// probability estimate is 1 in an interval below 0x10000), under 1/45000 of a bit.
TDataExpansion CodedBlocksPerByte(const jpeg_decompress_struct& c) {
  if (c.arith_code) return {8 * 65536, 1};
  return c.progressive_mode ? TDataExpansion{8, 1} : TDataExpansion{4, 1};
}

HeaderInfo ReadHeaderOf(const TJpegBytes& data) {
  if (data.empty()) RaiseJpegError("Empty input file");
  Decompressor d;
  if (!StartDecompress(d, data)) RaiseJpegError(d.err.message);
  HeaderInfo info;
  info.width = int(d.cinfo.image_width);
  info.height = int(d.cinfo.image_height);
  if (info.width <= 0 || info.height <= 0 || info.width > MaxJpegSide || info.height > MaxJpegSide)
    RaiseJpegError("Image too large");
  // A picture of several scans (progressive ones) has libjpeg keep the coefficients of
  // the whole picture from its start: the coded data behind the first scan header must
  // be able to hold a share of the blocks of every component (a file cut short shows the
  // scans it holds, libjpeg fills the rest, as djpeg does). A picture of one scan is
  // decoded row by row and costs the rows its data gives (see decode).
  if (!jpeg_has_multiple_scans(&d.cinfo)) return info;
  uint64_t blocks = 0;
  for (int i = 0; i < d.cinfo.num_components; ++i)
    blocks += uint64_t(d.cinfo.comp_info[i].width_in_blocks) * d.cinfo.comp_info[i].height_in_blocks;
  CheckPictureData("JPEG", info.width, info.height, blocks, d.cinfo.src->bytes_in_buffer,
                   CutShort(CodedBlocksPerByte(d.cinfo)));
  return info;
}

// The output settings chosen before jpeg_start_decompress.
struct DecodeSettings {
  int denominator = 1;
  bool fast = false;
  bool grayscale = false;
  bool quantize = false;
};

// Sets the output parameters and starts the decompressor; fills the output size.
bool BeginOutput(Decompressor& d, const DecodeSettings& s, bool& cmyk) {
  if (setjmp(d.err.jump)) return false;
  j_decompress_ptr c = &d.cinfo;
  c->scale_num = 1;
  c->scale_denom = unsigned(s.denominator);
  c->dct_method = s.fast ? JDCT_IFAST : JDCT_ISLOW;
  c->do_fancy_upsampling = s.fast ? FALSE : TRUE;
  cmyk = c->jpeg_color_space == JCS_CMYK || c->jpeg_color_space == JCS_YCCK;
  if (cmyk) {
    // libjpeg has no CMYK to grey conversion; grey output is made from the colours.
    c->out_color_space = JCS_CMYK;
  } else if (s.grayscale) {
    c->out_color_space = JCS_GRAYSCALE;
  } else {
    c->out_color_space = JCS_EXT_BGR;
    if (s.quantize) {
      c->quantize_colors = TRUE;
      c->desired_number_of_colors = 256;
      c->two_pass_quantize = TRUE;
      c->dither_mode = JDITHER_FS;
    }
  }
  jpeg_calc_output_dimensions(c);
  return true;
}

bool StartOutput(Decompressor& d) {
  if (setjmp(d.err.jump)) return false;
  jpeg_start_decompress(&d.cinfo);
  return true;
}

// Notes where arithmetic-coded data met a marker other than the end of the picture
// within its scan: the zeros the coder reads from there on are no data of the file.
// Whether a decode that wants clean data goes on.
bool NoteMarkerMet(Decompressor& d) {
  const jpeg_decompress_struct& c = d.cinfo;
  if (d.err.dataEndRow < 0 && c.arith_code && c.unread_marker != 0 && c.unread_marker != 0xD9 &&
      MarkerEndsScan(c))
    d.err.dataEndRow = long(c.input_iMCU_row);
  return !d.err.stopAtWarning || d.err.dataEndRow < 0;
}

// Reads up to count rows into rows[]; returns the number read or -1 on error.
int ReadRows(Decompressor& d, JSAMPARRAY rows, int count) {
  if (setjmp(d.err.jump)) return -1;
  const int got = int(jpeg_read_scanlines(&d.cinfo, rows, JDIMENSION(count)));
  return NoteMarkerMet(d) ? got : -1;
}

// Passes over count rows: their coded data is read, not decoded.
bool SkipRows(Decompressor& d, int count) {
  if (setjmp(d.err.jump)) return false;
  jpeg_skip_scanlines(&d.cinfo, JDIMENSION(count));
  return NoteMarkerMet(d);
}

// Reads the rows from the decompressor's next one up to end straight into the bitmap;
// the row reached (less than end when libjpeg delivers no more), -1 on an error.
int ReadRowsInto(Decompressor& d, TBitmap& bitmap, int end) {
  const int batch = std::max(1, int(d.cinfo.rec_outbuf_height));
  std::vector<JSAMPROW> rows(static_cast<size_t>(batch));
  while (int(d.cinfo.output_scanline) < end) {
    const int y = int(d.cinfo.output_scanline);
    const int count = std::min(batch, end - y);
    for (int i = 0; i < count; ++i) rows[size_t(i)] = bitmap.ScanLine(y + i);
    const int got = ReadRows(d, rows.data(), count);
    if (got < 0) return -1;
    if (got == 0) break;
  }
  return int(d.cinfo.output_scanline);
}

// The first output row a second thread decodes, or 0 when one thread decodes the whole
// picture. Worth it for a large sequential picture: the second thread must read the coded
// data above its rows (about r of the work a row costs; r grows as the scale shrinks, as
// less is left to decode), so the first thread takes the share 1 / (2 - r) of the rows
// that makes both finish together. Parts begin at a row group of the decoder. Not for
// progressive pictures (all their data is read before the first row) nor for the
// two-pass colour quantizer.
int SplitRow(const jpeg_decompress_struct& c, const DecodeSettings& s) {
  const int64_t pixels = int64_t(c.output_width) * c.output_height;
  if (c.progressive_mode || c.buffered_image || s.quantize || pixels < (int64_t(2) << 20) ||
      std::thread::hardware_concurrency() < 2)
    return 0;
  const double r = s.denominator == 1 ? 0.55 : s.denominator == 2 ? 0.65 : s.denominator == 4 ? 0.73 : 0.9;
  const int group = std::max(1, c.max_v_samp_factor * c.min_DCT_scaled_size);
  const int split = int(double(c.output_height) / (2 - r)) / group * group;
  return split > 0 && split < int(c.output_height) ? split : 0;
}

bool FinishDecompress(Decompressor& d) {
  if (setjmp(d.err.jump)) return false;
  jpeg_finish_decompress(&d.cinfo);
  return true;
}

// CMYK samples to B, G, R. Four-component JPEG files hold their CMYK inverted (255 =
// no ink), as Adobe writes it; libjpeg's own tools and ImageMagick read every such file
// so, with or without Adobe's marker.
void CmykRowToBgr(const uint8_t* cmyk, int width, uint8_t* bgr) {
  for (int x = 0; x < width; ++x) {
    const int c = cmyk[4 * x], m = cmyk[4 * x + 1], y = cmyk[4 * x + 2], k = cmyk[4 * x + 3];
    bgr[3 * x] = uint8_t((y * k + 127) / 255);
    bgr[3 * x + 1] = uint8_t((m * k + 127) / 255);
    bgr[3 * x + 2] = uint8_t((c * k + 127) / 255);
  }
}

// Writes a compressed picture of the 24-bit B,G,R rows given by rowAt.
bool RunCompress(Compressor& k, int width, int height, int quality, bool progressive, bool grayscale,
                 const std::vector<JSAMPROW>& rows) {
  if (setjmp(k.err.jump)) return false;
  k.cinfo.err = &k.err.pub;
  jpeg_create_compress(&k.cinfo);
  k.created = true;
  jpeg_mem_dest(&k.cinfo, &k.out, &k.outSize);
  k.cinfo.image_width = JDIMENSION(width);
  k.cinfo.image_height = JDIMENSION(height);
  k.cinfo.input_components = 3;
  k.cinfo.in_color_space = JCS_EXT_BGR;
  jpeg_set_defaults(&k.cinfo);
  if (grayscale) jpeg_set_colorspace(&k.cinfo, JCS_GRAYSCALE);
  jpeg_set_quality(&k.cinfo, quality, TRUE);
  if (progressive) jpeg_simple_progression(&k.cinfo);
  jpeg_start_compress(&k.cinfo, TRUE);
  while (k.cinfo.next_scanline < k.cinfo.image_height) {
    JSAMPROW row = rows[k.cinfo.next_scanline];
    jpeg_write_scanlines(&k.cinfo, &row, 1);
  }
  jpeg_finish_compress(&k.cinfo);
  return true;
}

}  // namespace

// ---------------------------------------------------------------------------

TJPEGImage::TJPEGImage() = default;
TJPEGImage::~TJPEGImage() = default;

void TJPEGImage::freeBitmap() { bitmap_.reset(); }

void TJPEGImage::bitmapChanged(TObject*) {
  bitmapIsSource_ = true;
  Changed(this);
}

void TJPEGImage::setFullSize(int width, int height) {
  fullWidth_ = width;
  fullHeight_ = height;
  int n = ScaleDenominator(scale_);
  scaledWidth_ = (fullWidth_ + n - 1) / n;
  scaledHeight_ = (fullHeight_ + n - 1) / n;
  headerRead_ = width > 0 && height > 0;
}

void TJPEGImage::Assign(TPersistent* source) {
  if (source == this) return;
  if (!source) {
    data_.clear();
    freeBitmap();
    bitmapIsSource_ = false;
    headerRead_ = false;
    fullWidth_ = fullHeight_ = scaledWidth_ = scaledHeight_ = 0;
    Changed(this);
    return;
  }
  if (auto* j = dynamic_cast<TJPEGImage*>(source)) {
    data_ = j->data_;
    fullWidth_ = j->fullWidth_;
    fullHeight_ = j->fullHeight_;
    scaledWidth_ = j->scaledWidth_;
    scaledHeight_ = j->scaledHeight_;
    headerRead_ = j->headerRead_;
    scale_ = j->scale_;
    performance_ = j->performance_;
    grayscale_ = j->grayscale_;
    pixelFormat_ = j->pixelFormat_;
    quality_ = j->quality_;
    progressiveEncoding_ = j->progressiveEncoding_;
    bitmapIsSource_ = j->bitmapIsSource_;
    freeBitmap();
    if (j->bitmap_) {
      bitmap_ = std::make_unique<TBitmap>();
      bitmap_->Assign(j->bitmap_.get());
      bitmap_->OnChange = [this](TObject* s) { bitmapChanged(s); };
    }
    Changed(this);
    return;
  }
  if (auto* graphic = dynamic_cast<TGraphic*>(source)) {
    auto fresh = std::make_unique<TBitmap>();
    fresh->Assign(graphic);
    fresh->OnChange = [this](TObject* s) { bitmapChanged(s); };
    bitmap_ = std::move(fresh);
    bitmapIsSource_ = true;
    data_.clear();
    headerRead_ = false;
    fullWidth_ = scaledWidth_ = bitmap_->Width();
    fullHeight_ = scaledHeight_ = bitmap_->Height();
    Changed(this);
    return;
  }
  TGraphic::Assign(source);
}

void TJPEGImage::AssignTo(TPersistent* dest) {
  if (auto* b = dynamic_cast<TBitmap*>(dest)) {
    if (Empty()) {
      b->Assign(nullptr);
      return;
    }
    DIBNeeded();
    b->Assign(bitmap_.get());
    return;
  }
  TGraphic::AssignTo(dest);
}

void TJPEGImage::Draw(TCanvas& canvas, const TRect& rect) {
  if (Empty()) return;
  DIBNeeded();
  bitmap_->Draw(canvas, rect);
}

bool TJPEGImage::Empty() const { return data_.empty() && (!bitmap_ || bitmap_->Empty()); }

int TJPEGImage::Width() const {
  if (bitmap_ && (bitmapIsSource_ || !bitmap_->Empty())) return bitmap_->Width();
  return headerRead_ ? scaledWidth_ : 0;
}

int TJPEGImage::Height() const {
  if (bitmap_ && (bitmapIsSource_ || !bitmap_->Empty())) return bitmap_->Height();
  return headerRead_ ? scaledHeight_ : 0;
}

void TJPEGImage::SetWidth(int) { throw EInvalidGraphicOperation(_("Cannot change the size of a JPEG image")); }
void TJPEGImage::SetHeight(int) { throw EInvalidGraphicOperation(_("Cannot change the size of a JPEG image")); }

TPalette TJPEGImage::Palette() const {
  if (bitmap_ && bitmap_->PixelFormat() == pf8bit) return bitmap_->Palette();
  return TPalette();
}

void TJPEGImage::LoadFromStream(TStream& stream) {
  int64_t size = stream.Size() - stream.Position();
  if (size <= 0) RaiseJpegError("Empty input file");
  if (size > kMaxJpegFileBytes) RaiseJpegError("Image too large");
  TJpegBytes bytes;
  {
    graphics_detail::TReusedBufferScope reuse;  // every byte is read into it
    bytes.resize(static_cast<size_t>(size));
  }
  stream.ReadBuffer(bytes.data(), size);
  HeaderInfo info = ReadHeaderOf(bytes);  // raises before anything changes
  data_ = std::move(bytes);
  freeBitmap();
  bitmapIsSource_ = false;
  setFullSize(info.width, info.height);
  Changed(this);
}

void TJPEGImage::SaveToStream(TStream& stream) {
  JPEGNeeded();
  if (!data_.empty()) stream.WriteBuffer(data_.data(), int64_t(data_.size()));
}

void TJPEGImage::JPEGNeeded() {
  if (bitmapIsSource_ || data_.empty()) Compress();
}

void TJPEGImage::Compress() {
  if (!bitmap_ || bitmap_->Empty() || (!bitmapIsSource_ && !data_.empty())) return;
  const TBitmap& b = *bitmap_;
  const int w = b.Width(), h = b.Height();
  // 24-bit B,G,R rows: the bitmap's own rows when it is pf24bit, else a converted copy.
  std::vector<uint8_t> converted;
  std::vector<JSAMPROW> rows(static_cast<size_t>(h));
  if (b.PixelFormat() == pf24bit) {
    for (int y = 0; y < h; ++y) rows[size_t(y)] = const_cast<JSAMPROW>(b.ScanLine(y));
  } else {
    converted.resize(size_t(w) * 3 * size_t(h));
    uint32_t lut[256];
    PaletteLut(b.Palette(), lut);
    std::vector<uint32_t> line(static_cast<size_t>(w));
    for (int y = 0; y < h; ++y) {
      RowToBGRA(b.ScanLine(y), b.PixelFormat(), w, lut, line.data());
      uint8_t* dst = converted.data() + size_t(y) * size_t(w) * 3;
      BGRAToRow(line.data(), pf24bit, w, dst);
      rows[size_t(y)] = dst;
    }
  }
  Compressor k;
  if (!RunCompress(k, w, h, quality_, progressiveEncoding_, grayscale_, rows)) RaiseJpegError(k.err.message);
  data_.assign(k.out, k.out + k.outSize);
  bitmapIsSource_ = false;
  setFullSize(w, h);
}

void TJPEGImage::DIBNeeded() {
  if (bitmap_ || data_.empty()) return;
  // A large picture is decoded by two threads; where that meets anything but clean data,
  // it is decoded again in one go, as damaged data always was.
  std::unique_ptr<TBitmap> bitmap = decode(true);
  if (!bitmap) bitmap = decode(false);
  bitmap->OnChange = [this](TObject* sender) { bitmapChanged(sender); };
  bitmap_ = std::move(bitmap);
  bitmapIsSource_ = false;
}

// The rows of a decode as they come. A picture of one scan gets its whole bitmap only
// once its coded data has given a kCutFileShare-th of its rows; the rows before go into a
// buffer that grows with them. Data that ends before that share is taken for a damaged
// header rather than a cut file, as the other readers take a header that promises more
// than that share of what their file holds: the picture is then the rows its data gave.
// What a picture costs so follows the data of its file, whatever its header says.
class TJPEGImage::TDecodedRows {
 public:
  TDecodedRows(TPixelFormat format, int width, int height, bool followData)
      : format_(format), width_(width), height_(height), stride_(size_t(RowBytes(width, BitsOf(format)))),
        followData_(followData) {}

  // The whole picture's bitmap, made by whichever decoding thread asks first.
  TBitmap& Whole() {
    std::lock_guard<std::mutex> hold(lock_);
    if (!whole_) {
      auto made = std::make_unique<TBitmap>();
      made->allocateUninitialised(format_, width_, height_);
      whole_ = std::move(made);
    }
    return *whole_;
  }

  // Makes the rows from decoded up to end writable, decoded being the rows read so far
  // and dataEnd the row where the coded data ended (-1 while it has not); returns the
  // row to read up to, which is decoded when the picture ends there.
  int Prepare(int decoded, int end, int dataEnd) {
    if (base_) return end;
    if (!followData_ || int64_t(dataEnd < 0 ? decoded : dataEnd) * int64_t(kCutFileShare) >= height_) {
      base_ = Whole().ScanLine(0);
      if (decoded > 0) std::memcpy(base_, head_.get(), size_t(decoded) * stride_);
      head_.reset();
      return end;
    }
    if (dataEnd >= 0) end = std::min(end, dataEnd);
    if (end > headRows_) {
      // Twice the room, at first as much as 8 MiB holds, never more than the rows read
      // before the whole bitmap is made.
      const int64_t share = (height_ + int64_t(kCutFileShare) - 1) / int64_t(kCutFileShare) + (end - decoded);
      const int64_t twice = std::max<int64_t>(2 * int64_t(headRows_), (int64_t(8) << 20) / int64_t(stride_));
      const int64_t rows = std::min<int64_t>(height_, std::max<int64_t>(end, std::min(twice, share)));
      std::unique_ptr<uint8_t[]> grown(new uint8_t[size_t(rows) * stride_]);
      if (decoded > 0) std::memcpy(grown.get(), head_.get(), size_t(decoded) * stride_);
      head_ = std::move(grown);
      headRows_ = int(rows);
    }
    // The bytes after each row's pixels are zero, as in a bitmap.
    const size_t used = (size_t(width_) * size_t(BitsOf(format_)) + 7) / 8;
    for (int y = decoded; y < end && used < stride_; ++y) std::memset(Row(y) + used, 0, stride_ - used);
    return end;
  }

  uint8_t* Row(int y) { return (base_ ? base_ : head_.get()) + size_t(y) * stride_; }
  bool InWhole() const { return base_ != nullptr; }

  // The picture: the whole bitmap, or the first rows read.
  std::unique_ptr<TBitmap> Take(int rows) {
    if (base_) return std::move(whole_);
    auto cut = std::make_unique<TBitmap>();
    cut->allocateUninitialised(format_, width_, rows);
    if (rows > 0) std::memcpy(cut->ScanLine(0), head_.get(), size_t(rows) * stride_);
    return cut;
  }

 private:
  const TPixelFormat format_;
  const int width_, height_;
  const size_t stride_;
  const bool followData_;
  std::mutex lock_;
  std::unique_ptr<TBitmap> whole_;
  uint8_t* base_ = nullptr;           // the whole bitmap's rows, once the decode writes there
  std::unique_ptr<uint8_t[]> head_;  // the first rows until then
  int headRows_ = 0;
};

std::unique_ptr<TBitmap> TJPEGImage::decode(bool shared) {
  Decompressor d;
  if (!StartDecompress(d, data_)) RaiseJpegError(d.err.message);
  DecodeSettings s;
  s.denominator = ScaleDenominator(scale_);
  s.fast = performance_ == jpBestSpeed;
  s.grayscale = grayscale_;
  s.quantize = pixelFormat_ == jf8Bit;
  bool cmyk = false;
  if (!BeginOutput(d, s, cmyk)) RaiseJpegError(d.err.message);
  const int w = int(d.cinfo.output_width), h = int(d.cinfo.output_height);
  const bool indexed = s.grayscale || (s.quantize && !cmyk);
  CheckPictureSize(w, h, indexed ? 8 : 24);
  if (w <= 0 || h <= 0 || int64_t(w) * h > MaxJpegPixels) RaiseJpegError("Image too large");
  // The rows from split on come from a second decompressor on a helper thread, which
  // reads the coded data above them without decoding it. Both stop at the first warning:
  // a picture decoded in two parts must be clean.
  const int split = shared && !cmyk ? SplitRow(d.cinfo, s) : 0;
  d.err.stopAtWarning = split > 0;
  if (!StartOutput(d)) {
    if (split > 0) return nullptr;
    RaiseJpegError(d.err.message);
  }
  // Where the picture ends when its coded data ended: after the row group being decoded
  // then and one more, whose top rows blend with it.
  const int group = std::max(1, d.cinfo.max_v_samp_factor * d.cinfo.min_DCT_scaled_size);
  auto dataEnd = [&] {
    return d.err.dataEndRow < 0 ? -1 : int(std::min<int64_t>(h, (int64_t(d.err.dataEndRow) + 2) * group));
  };

  TDecodedRows store(indexed ? pf8bit : pf24bit, w, h, !jpeg_has_multiple_scans(&d.cinfo));
  bool helperDone = false;
  long helperWarnings = 0;
  std::jthread helper;
  if (split > 0) {
    helper = std::jthread([&] {
      Decompressor other;
      other.err.stopAtWarning = true;
      bool otherCmyk = false;
      try {
        // Rows are written once the data has reached them: the bitmap is made after the skip.
        helperDone = StartDecompress(other, data_) && BeginOutput(other, s, otherCmyk) && StartOutput(other) &&
                     SkipRows(other, split) && ReadRowsInto(other, store.Whole(), h) == h;
      } catch (const std::exception&) {
        helperDone = false;
      }
      helperWarnings = other.err.pub.num_warnings;
    });
  }
  int end = split > 0 ? split : h;
  std::vector<uint8_t> cmykRows;
  const int batch = std::max(1, int(d.cinfo.rec_outbuf_height));
  std::vector<uint8_t> bgrLine;
  if (cmyk) cmykRows.resize(size_t(w) * 4 * size_t(batch));
  if (cmyk && s.grayscale) bgrLine.resize(size_t(w) * 3);
  std::vector<JSAMPROW> rows(static_cast<size_t>(batch));
  const TRect whole = Rect(0, 0, w, h);
  Progress(this, psStarting, 0, false, whole, std::string());
  int lastPercent = 0;
  int got = 1;
  while (int(d.cinfo.output_scanline) < end) {
    const int y = int(d.cinfo.output_scanline);
    const int upTo = store.Prepare(y, std::min(y + batch, end), dataEnd());
    if (upTo <= y) {
      end = y;  // the data ended: the picture is the rows it gave
      break;
    }
    const int count = upTo - y;
    for (int i = 0; i < count; ++i)
      rows[size_t(i)] = cmykRows.empty() ? store.Row(y + i) : cmykRows.data() + size_t(i) * size_t(w) * 4;
    got = ReadRows(d, rows.data(), count);
    if (got <= 0) break;
    for (int i = 0; i < got && !cmykRows.empty(); ++i) {
      if (bgrLine.empty()) {
        CmykRowToBgr(rows[size_t(i)], w, store.Row(y + i));
        continue;
      }
      CmykRowToBgr(rows[size_t(i)], w, bgrLine.data());
      uint8_t* grey = store.Row(y + i);
      for (int x = 0; x < w; ++x)
        grey[x] = uint8_t((bgrLine[3 * x + 2] * 77 + bgrLine[3 * x + 1] * 150 + bgrLine[3 * x] * 29 + 128) >> 8);
    }
    int percent = int(int64_t(y + got) * 100 / h);
    if (OnProgress && percent != lastPercent) {
      lastPercent = percent;
      Progress(this, psRunning, uint8_t(percent), false, whole, std::string());
    }
  }
  if (split > 0) {
    helper.join();
    if (got < 0 || int(d.cinfo.output_scanline) < end || !helperDone || helperWarnings > 0 ||
        d.err.pub.num_warnings > 0)
      return nullptr;
  } else if (got < 0) {
    RaiseJpegError(d.err.message);
  }
  // Rows libjpeg did not deliver stay black.
  const int decoded = std::min(int(d.cinfo.output_scanline), end);
  for (int y = decoded; y < end && store.InWhole(); ++y)
    std::memset(store.Row(y), 0, size_t(RowBytes(w, indexed ? 8 : 24)));
  const bool cut = !store.InWhole();
  std::unique_ptr<TBitmap> bitmap = store.Take(decoded);
  if (s.grayscale) {
    std::vector<TPaletteEntry> grey(256);
    for (int i = 0; i < 256; ++i) grey[size_t(i)] = PaletteEntry(uint8_t(i), uint8_t(i), uint8_t(i));
    bitmap->palette_ = TPalette(std::move(grey));
  }
  // The colour map belongs to the decompressor: copy it before finishing.
  if (s.quantize && !s.grayscale) {
    if (cmyk) {
      bitmap->SetPixelFormat(pf8bit);
    } else {
      std::vector<TPaletteEntry> entries(static_cast<size_t>(d.cinfo.actual_number_of_colors));
      for (size_t i = 0; i < entries.size(); ++i)
        entries[i] = PaletteEntry(d.cinfo.colormap[2][i], d.cinfo.colormap[1][i], d.cinfo.colormap[0][i]);
      bitmap->palette_ = TPalette(std::move(entries));
    }
  }
  // An error after the last row (trailing garbage) keeps the decoded picture; a picture
  // decoded in two parts, or cut to the rows its data gave, has no end to read.
  if (split == 0 && !cut) FinishDecompress(d);
  Progress(this, psEnding, 100, false, whole, std::string());
  return bitmap;
}

TBitmap& TJPEGImage::Bitmap() {
  DIBNeeded();
  if (!bitmap_) {
    bitmap_ = std::make_unique<TBitmap>();
    bitmap_->OnChange = [this](TObject* sender) { bitmapChanged(sender); };
  }
  return *bitmap_;
}

void TJPEGImage::SetScale(TJPEGScale scale) {
  if (scale == scale_) return;
  scale_ = scale;
  setFullSize(fullWidth_, fullHeight_);
  decodeSettingChanged();
}

// A setting that changes what a decode produces: the decoded bitmap goes so that the
// next use decodes anew. Pixels that exist only as a bitmap (not yet compressed) stay.
void TJPEGImage::decodeSettingChanged() {
  if (!bitmapIsSource_ && !data_.empty()) freeBitmap();
  Changed(this);
}

void TJPEGImage::SetPerformance(TJPEGPerformance performance) {
  if (performance == performance_) return;
  performance_ = performance;
  decodeSettingChanged();
}

void TJPEGImage::SetGrayscale(bool grayscale) {
  if (grayscale == grayscale_) return;
  grayscale_ = grayscale;
  decodeSettingChanged();
}

void TJPEGImage::SetPixelFormat(TJPEGPixelFormat format) {
  if (format == pixelFormat_) return;
  pixelFormat_ = format;
  decodeSettingChanged();
}

void TJPEGImage::SetCompressionQuality(int quality) { quality_ = std::clamp(quality, 1, 100); }

void TJPEGImage::SetProgressiveEncoding(bool progressive) { progressiveEncoding_ = progressive; }
