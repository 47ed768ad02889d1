// JPEG-compressed TIFF strips through libjpeg.
//
// libjpeg reports errors through its error manager's error_exit, which must not
// return. Ours jumps back (longjmp) to the guarded call below, which then returns
// false; the decoder raises EGraphicCompression from its own frame, so no C++
// exception ever passes through libjpeg's C frames. Warnings are collected while
// libjpeg runs and handed to OnWarning afterwards.
#include <csetjmp>
#include <cstdio>
#include <cstring>
// jpeglib.h needs size_t and FILE declared first.
#include <jpeglib.h>

#include "formats/GraphicCompression.h"
#include "formats/GraphicFormats.h"
#include "formats/GraphicStrings.h"

namespace {

struct ErrorManager {
  jpeg_error_mgr pub;
  std::jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
};

}  // namespace

struct TTIFFJPEGDecoder::State {
  jpeg_decompress_struct cinfo{};
  ErrorManager err{};
  jpeg_source_mgr source{};
  const JOCTET* data = nullptr;
  size_t size = 0;
  bool created = false;
  bool endWarning = false;                // the strip ran out of data
  char warning[JMSG_LENGTH_MAX] = {};     // the first libjpeg warning of a call
  bool hasWarning = false;
};

namespace {

using State = TTIFFJPEGDecoder::State;

State& StateOf(j_common_ptr cinfo) { return *static_cast<State*>(cinfo->client_data); }

void ErrorExit(j_common_ptr cinfo) {
  auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
  (*cinfo->err->format_message)(cinfo, err->message);
  std::longjmp(err->jump, 1);
}

void EmitMessage(j_common_ptr cinfo, int level) {
  if (level >= 0) return;  // trace messages
  State& st = StateOf(cinfo);
  if (!st.hasWarning) {
    (*cinfo->err->format_message)(cinfo, st.warning);
    st.hasWarning = true;
  }
  cinfo->err->num_warnings++;
}

void OutputMessage(j_common_ptr) {}

// The memory source: the whole block is the buffer; running out supplies an
// end-of-image marker so that libjpeg finishes what it has.
const JOCTET kEndOfImage[2] = {0xFF, JPEG_EOI};

void InitSource(j_decompress_ptr cinfo) {
  State& st = StateOf(reinterpret_cast<j_common_ptr>(cinfo));
  cinfo->src->next_input_byte = st.data;
  cinfo->src->bytes_in_buffer = st.size;
}

boolean FillInputBuffer(j_decompress_ptr cinfo) {
  StateOf(reinterpret_cast<j_common_ptr>(cinfo)).endWarning = true;
  cinfo->src->next_input_byte = kEndOfImage;
  cinfo->src->bytes_in_buffer = 2;
  return TRUE;
}

void SkipInputData(j_decompress_ptr cinfo, long count) {
  if (count <= 0) return;
  if (size_t(count) > cinfo->src->bytes_in_buffer) {
    FillInputBuffer(cinfo);
    return;
  }
  cinfo->src->next_input_byte += count;
  cinfo->src->bytes_in_buffer -= size_t(count);
}

void TermSource(j_decompress_ptr) {}

// The guarded libjpeg calls: each answers false after a libjpeg error, whose text
// is then in st.err.message. Nothing with a destructor lives in these frames.
bool Create(State& st) {
  if (setjmp(st.err.jump)) return false;
  jpeg_create_decompress(&st.cinfo);
  return true;
}

bool Abort(State& st) {
  if (setjmp(st.err.jump)) return false;
  jpeg_abort_decompress(&st.cinfo);
  return true;
}

bool ReadHeader(State& st, bool requireImage, int& result) {
  if (setjmp(st.err.jump)) return false;
  result = jpeg_read_header(&st.cinfo, requireImage ? TRUE : FALSE);
  return true;
}

bool Start(State& st) {
  if (setjmp(st.err.jump)) return false;
  jpeg_start_decompress(&st.cinfo);
  return true;
}

bool ReadRow(State& st, JSAMPROW row, JDIMENSION& count) {
  if (setjmp(st.err.jump)) return false;
  count = jpeg_read_scanlines(&st.cinfo, &row, 1);
  return true;
}

bool Finish(State& st) {
  if (setjmp(st.err.jump)) return false;
  jpeg_finish_decompress(&st.cinfo);
  return true;
}

}  // namespace

TTIFFJPEGDecoder::TTIFFJPEGDecoder(TImageProperties* properties) : properties_(properties) {}

TTIFFJPEGDecoder::~TTIFFJPEGDecoder() {
  if (state_ && state_->created) jpeg_destroy_decompress(&state_->cinfo);
  delete state_;
}

void TTIFFJPEGDecoder::DecodeInit() {
  DecodeEnd();
  state_ = new State;
  State& st = *state_;
  st.cinfo.err = jpeg_std_error(&st.err.pub);
  st.err.pub.error_exit = ErrorExit;
  st.err.pub.emit_message = EmitMessage;
  st.err.pub.output_message = OutputMessage;
  st.cinfo.client_data = &st;
  auto fail = [this] {
    const std::string message = state_->err.message;
    DecodeEnd();
    throw EGraphicCompression(message);
  };
  if (!Create(st)) fail();
  st.created = true;

  horizontalSampling_ = verticalSampling_ = 1;
  if (properties_->YCbCrSubSampling.size() >= 2) {
    horizontalSampling_ = properties_->YCbCrSubSampling[0];
    verticalSampling_ = properties_->YCbCrSubSampling[1];
  }

  st.source.init_source = InitSource;
  st.source.fill_input_buffer = FillInputBuffer;
  st.source.skip_input_data = SkipInputData;
  st.source.resync_to_restart = jpeg_resync_to_restart;
  st.source.term_source = TermSource;
  st.cinfo.src = &st.source;

  if (!properties_->JPEGTables.empty()) {
    st.data = properties_->JPEGTables.data();
    st.size = properties_->JPEGTables.size();
    int result = 0;
    if (!ReadHeader(st, false, result)) fail();
    if (result != JPEG_HEADER_TABLES_ONLY) {
      DecodeEnd();
      throw EGraphicCompression(GraphicText(gsJPEGBogusTableField));
    }
  }
}

void TTIFFJPEGDecoder::DecodeEnd() {
  if (!state_) return;
  if (state_->created) jpeg_destroy_decompress(&state_->cinfo);
  delete state_;
  state_ = nullptr;
}

void TTIFFJPEGDecoder::Decode(const void*& source, void*& dest, int32_t packedSize, int32_t unpackedSize) {
  if (!state_) return;
  State& st = *state_;
  const TImageProperties& p = *properties_;
  auto report = [&] {
    if (OnWarning) {
      if (st.hasWarning) OnWarning(st.warning);
      if (st.endWarning) OnWarning(GraphicText(gsJPEGEOI));
    }
    st.hasWarning = st.endWarning = false;
  };
  auto fail = [&](const std::string& message) {
    const std::string text = message;
    Abort(st);
    report();
    throw EGraphicCompression(text);
  };

  if (!Abort(st)) fail(st.err.message);
  st.data = static_cast<const JOCTET*>(source);
  st.size = packedSize > 0 ? size_t(packedSize) : 0;
  int result = 0;
  if (!ReadHeader(st, true, result)) fail(st.err.message);

  // The strip's expected geometry.
  uint64_t width = p.Width;
  uint64_t height = p.Height > p.CurrentRow ? p.Height - p.CurrentRow : 0;
  if (!p.RowsPerStrip.empty() && p.RowsPerStrip[0] < height) height = p.RowsPerStrip[0];
  // A missing planar configuration means interleaved samples.
  const uint32_t planar = p.PlanarConfig == 0 ? 1 : p.PlanarConfig;
  // With separate planes the strips of the second and third plane hold the subsampled chrominance.
  if (planar != 1 && p.SamplesPerPixel > 1 && p.StripCount >= p.SamplesPerPixel &&
      p.CurrentStrip >= p.StripCount / p.SamplesPerPixel) {
    width = (width + horizontalSampling_ - 1) / (horizontalSampling_ ? horizontalSampling_ : 1);
    height = (height + verticalSampling_ - 1) / (verticalSampling_ ? verticalSampling_ : 1);
  }
  jpeg_decompress_struct& ci = st.cinfo;
  if (ci.image_width != width || ci.image_height != height) fail(GraphicText(gsJPEGStripSize));
  if ((planar != 1 && ci.num_components != 1) || (planar == 1 && ci.num_components != p.SamplesPerPixel))
    fail(GraphicText(gsJPEGComponentCount));
  if (ci.data_precision != p.BitsPerSample) fail(GraphicText(gsJPEGDataPrecision));
  bool samplingOk = true;
  if (planar != 1) {
    samplingOk = ci.comp_info[0].h_samp_factor == 1 && ci.comp_info[0].v_samp_factor == 1;
  } else {
    samplingOk = ci.comp_info[0].h_samp_factor == horizontalSampling_ &&
                 ci.comp_info[0].v_samp_factor == verticalSampling_;
    for (int i = 1; i < ci.num_components; ++i)
      samplingOk = samplingOk && ci.comp_info[i].h_samp_factor == 1 && ci.comp_info[i].v_samp_factor == 1;
  }
  if (!samplingOk) fail(GraphicText(gsJPEGSamplingFactors));

  // Colour spaces: the stored space follows the photometric interpretation; three
  // components come out blue first (the bitmap's order), one as grey.
  if (p.ColorScheme == csYCbCr && ci.num_components == 3)
    ci.jpeg_color_space = JCS_YCbCr;
  else if (ci.num_components == 3)
    ci.jpeg_color_space = JCS_RGB;
  else if (ci.num_components == 1)
    ci.jpeg_color_space = JCS_GRAYSCALE;
  if (ci.num_components == 3)
    ci.out_color_space = JCS_EXT_BGR;
  else if (ci.num_components == 1)
    ci.out_color_space = JCS_GRAYSCALE;
  else
    ci.out_color_space = JCS_CMYK;
  ci.buffered_image = FALSE;

  if (!Start(st)) fail(st.err.message);
  const size_t rowSize = p.BytesPerLine;
  const size_t total = unpackedSize > 0 ? size_t(unpackedSize) : 0;
  if (rowSize == 0 || total % rowSize != 0) fail(GraphicText(gsJPEGScanline));
  const size_t outRow = size_t(ci.output_width) * size_t(ci.output_components);
  if (rowBuffer_.size() < outRow) rowBuffer_.resize(outRow);
  const size_t copy = outRow < rowSize ? outRow : rowSize;
  uint8_t* d = static_cast<uint8_t*>(dest);
  size_t done = 0;
  while (done + rowSize <= total && ci.output_scanline < ci.output_height) {
    JDIMENSION got = 0;
    if (!ReadRow(st, rowBuffer_.data(), got)) fail(st.err.message);
    if (got == 0) break;
    std::memcpy(d + done, rowBuffer_.data(), copy);
    done += rowSize;
  }
  if (ci.output_scanline >= ci.output_height) {
    if (!Finish(st)) fail(st.err.message);
  } else if (!Abort(st)) {
    fail(st.err.message);
  }
  report();
}
