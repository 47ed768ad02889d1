// The extension blocks before a frame: graphic control (transparency, delay,
// disposal), plain text, comment and application extensions with the loop extension,
// and the registries that find an extension's class from its label and identifier.
#include <algorithm>
#include <cstring>
#include <mutex>

#include "formats/GIFImage.h"

namespace {

// The class lookup of classes that do not name a more specific one.
TGIFExtensionClass AnswerSelf(TGIFExtensionClass self, TStream&) { return self; }

template <class T>
TGIFExtension* Make(TGIFSubImage* subImage) {
  return new T(subImage);
}

struct Registries {
  std::mutex mutex;
  std::vector<std::pair<uint8_t, TGIFExtensionClass>> byLabel;
  std::vector<std::pair<std::array<uint8_t, 11>, TGIFExtensionClass>> byIdentifier;
  Registries();
};

Registries& TheRegistries() {
  static Registries registries;
  return registries;
}

std::array<uint8_t, 11> IdentifierOf(const char* text) {
  std::array<uint8_t, 11> id{};
  std::memcpy(id.data(), text, 11);
  return id;
}

Registries::Registries() {
  byLabel = {{0x01, TGIFTextExtension::ClassRef()},
             {0xF9, TGIFGraphicControlExtension::ClassRef()},
             {0xFE, TGIFCommentExtension::ClassRef()},
             {0xFF, TGIFApplicationExtension::ClassRef()}};
  byIdentifier = {{IdentifierOf("NETSCAPE2.0"), TGIFAppExtNSLoop::ClassRef()},
                  {IdentifierOf("ANIMEXTS1.0"), TGIFAppExtNSLoop::ClassRef()}};
}

TGIFExtensionClass ClassForIdentifier(const uint8_t* identifier) {
  Registries& r = TheRegistries();
  std::lock_guard<std::mutex> lock(r.mutex);
  for (auto it = r.byIdentifier.rbegin(); it != r.byIdentifier.rend(); ++it)
    if (std::equal(it->first.begin(), it->first.end(), identifier)) return it->second;
  return nullptr;
}

// The application extension's lookup: the block size and identifier name the class.
TGIFExtensionClass FindApplicationExtension(TGIFExtensionClass self, TStream& stream) {
  const int64_t start = stream.Position();
  uint8_t size;
  if (!GifCodec::ReadByte(stream, size)) return self;
  uint8_t identifier[11];
  if (size == 10) {
    if (stream.Read(identifier, 10) != 10) return nullptr;
    return TGIFUnknownAppExtension::ClassRef();
  }
  if (size == 11 && stream.Read(identifier, 11) == 11) {
    TGIFExtensionClass found = ClassForIdentifier(identifier);
    return found ? found : TGIFUnknownAppExtension::ClassRef();
  }
  stream.SetPosition(start);
  return self;
}

}  // namespace

namespace GifCodec {

void RegisterExtension(uint8_t label, TGIFExtensionClass extensionClass) {
  Registries& r = TheRegistries();
  std::lock_guard<std::mutex> lock(r.mutex);
  r.byLabel.emplace_back(label, extensionClass);
}

void RegisterAppExtension(const uint8_t* identifier, TGIFExtensionClass extensionClass) {
  std::array<uint8_t, 11> id{};
  std::copy(identifier, identifier + 11, id.begin());
  Registries& r = TheRegistries();
  std::lock_guard<std::mutex> lock(r.mutex);
  r.byIdentifier.emplace_back(id, extensionClass);
}

TGIFExtensionClass FindExtension(TStream& stream) {
  const int64_t start = stream.Position();
  uint8_t label;
  if (!ReadByte(stream, label)) return nullptr;
  TGIFExtensionClass cls = nullptr;
  {
    Registries& r = TheRegistries();
    std::lock_guard<std::mutex> lock(r.mutex);
    for (auto it = r.byLabel.rbegin(); it != r.byLabel.rend(); ++it)
      if (it->first == label) {
        cls = it->second;
        break;
      }
  }
  // Each class may name a more specific one; the search ends at a class that names itself.
  for (int guard = 0; cls && guard < 16; ++guard) {
    TGIFExtensionClass next = cls->FindExtension(cls, stream);
    if (next == cls) break;
    cls = next;
  }
  stream.SetPosition(start);
  return cls;
}

}  // namespace GifCodec

// ---------------------------------------------------------------------------
// TGIFExtension
// ---------------------------------------------------------------------------

TGIFExtension::TGIFExtension(TGIFSubImage* subImage)
    : TGIFItem(subImage ? subImage->Image() : nullptr), subImage_(subImage) {}

TGIFExtension::~TGIFExtension() {
  if (subImage_) subImage_->Extensions().Remove(this);
}

void TGIFExtension::SaveToStream(TStream& stream) {
  GifCodec::WriteByte(stream, '!');
  GifCodec::WriteByte(stream, ExtensionType());
  SaveBody(stream);
}

void TGIFExtension::LoadFromStream(TStream& stream) {
  uint8_t head[2];
  GifCodec::ReadCheck(stream, head, 2);
  if (head[0] != '!') GifCodec::Error(gsGIFInvalidIntroducer);
  if (head[1] != ExtensionType()) GifCodec::Error(gsGIFExtensionMismatch);
  LoadBody(stream);
}

// ---------------------------------------------------------------------------
// Graphic control
// ---------------------------------------------------------------------------

TGIFExtensionClass TGIFGraphicControlExtension::ClassRef() {
  static const TGIFExtensionClassInfo info{"TGIFGraphicControlExtension", 0xF9, &AnswerSelf,
                                          &Make<TGIFGraphicControlExtension>};
  return &info;
}

TGIFGraphicControlExtension::TGIFGraphicControlExtension(TGIFSubImage* subImage) : TGIFExtension(subImage) {
  if (subImage && !subImage->gce_) subImage->gce_ = this;
}

TGIFGraphicControlExtension::~TGIFGraphicControlExtension() {
  if (subImage_ && subImage_->gce_ == this) {
    subImage_->gce_ = nullptr;
    if (Transparent()) subImage_->transparent_ = false;
  }
}

void TGIFGraphicControlExtension::Assign(TPersistent* source) {
  if (auto* gce = dynamic_cast<TGIFGraphicControlExtension*>(source)) {
    blockSize_ = gce->blockSize_;
    packed_ = gce->packed_;
    delay_ = gce->delay_;
    transparentIndex_ = gce->transparentIndex_;
    terminator_ = gce->terminator_;
    if (subImage_ && subImage_->gce_ == this) subImage_->transparent_ = Transparent();
    return;
  }
  TGIFExtension::Assign(source);
}

void TGIFGraphicControlExtension::SetTransparent(bool value) {
  packed_ = value ? uint8_t(packed_ | 0x01) : uint8_t(packed_ & ~0x01);
  if (subImage_ && subImage_->gce_ == this) subImage_->transparent_ = value;
}

void TGIFGraphicControlExtension::SetDisposal(TDisposalMethod value) {
  packed_ = uint8_t((packed_ & ~0x1C) | ((uint8_t(value) & 7) << 2));
}

void TGIFGraphicControlExtension::SetTransparentColorIndex(uint8_t value) {
  if (subImage_) {
    const int count = subImage_->ActiveColorMap().Count();
    if (count > 0 && value >= count) {
      Warning(1, GifCodec::Text(gsGIFInvalidColorIndex));
      value = 0;
    }
  }
  transparentIndex_ = value;
}

void TGIFGraphicControlExtension::SaveBody(TStream& stream) {
  const uint8_t body[6] = {blockSize_, packed_, uint8_t(delay_), uint8_t(delay_ >> 8), transparentIndex_, terminator_};
  stream.WriteBuffer(body, 6);
}

void TGIFGraphicControlExtension::LoadBody(TStream& stream) {
  uint8_t body[6];
  if (stream.Read(body, 6) != 6) {
    Warning(1, GifCodec::Text(gsGIFPrematureEOF));
    return;
  }
  blockSize_ = body[0];
  packed_ = body[1];
  delay_ = uint16_t(body[2] | (body[3] << 8));
  transparentIndex_ = body[4];
  terminator_ = body[5];
  if (Transparent() && subImage_ && subImage_->gce_ == this) subImage_->transparent_ = true;
}

// ---------------------------------------------------------------------------
// Plain text and comment
// ---------------------------------------------------------------------------

TGIFExtensionClass TGIFTextExtension::ClassRef() {
  static const TGIFExtensionClassInfo info{"TGIFTextExtension", 0x01, &AnswerSelf, &Make<TGIFTextExtension>};
  return &info;
}

TGIFTextExtension::TGIFTextExtension(TGIFSubImage* subImage) : TGIFExtension(subImage) {}

void TGIFTextExtension::SaveBody(TStream& stream) {
  const uint8_t body[13] = {blockSize_,     uint8_t(Left),       uint8_t(Left >> 8),  uint8_t(Top),
                            uint8_t(Top >> 8), uint8_t(GridWidth), uint8_t(GridWidth >> 8), uint8_t(GridHeight),
                            uint8_t(GridHeight >> 8), CellWidth, CellHeight, ForegroundColorIndex,
                            BackgroundColorIndex};
  stream.WriteBuffer(body, 13);
  GifCodec::WriteStrings(stream, text_);
}

void TGIFTextExtension::LoadBody(TStream& stream) {
  uint8_t body[13];
  GifCodec::ReadCheck(stream, body, 13);
  blockSize_ = body[0];
  Left = uint16_t(body[1] | (body[2] << 8));
  Top = uint16_t(body[3] | (body[4] << 8));
  GridWidth = uint16_t(body[5] | (body[6] << 8));
  GridHeight = uint16_t(body[7] | (body[8] << 8));
  CellWidth = body[9];
  CellHeight = body[10];
  ForegroundColorIndex = body[11];
  BackgroundColorIndex = body[12];
  GifCodec::ReadStrings(stream, text_);
}

TGIFExtensionClass TGIFCommentExtension::ClassRef() {
  static const TGIFExtensionClassInfo info{"TGIFCommentExtension", 0xFE, &AnswerSelf, &Make<TGIFCommentExtension>};
  return &info;
}

void TGIFCommentExtension::SaveBody(TStream& stream) { GifCodec::WriteStrings(stream, comment_); }
void TGIFCommentExtension::LoadBody(TStream& stream) { GifCodec::ReadStrings(stream, comment_); }

// ---------------------------------------------------------------------------
// Application extensions
// ---------------------------------------------------------------------------

TGIFExtensionClass TGIFApplicationExtension::ClassRef() {
  static const TGIFExtensionClassInfo info{"TGIFApplicationExtension", 0xFF, &FindApplicationExtension,
                                          &Make<TGIFApplicationExtension>};
  return &info;
}

void TGIFApplicationExtension::SaveBody(TStream& stream) {
  GifCodec::WriteByte(stream, 11);
  stream.WriteBuffer(Identifier.data(), 11);
  SaveData(stream);
}

void TGIFApplicationExtension::LoadBody(TStream& stream) {
  uint8_t size;
  GifCodec::ReadCheck(stream, &size, 1);
  if (size < 10) GifCodec::Error(gsGIFAppExtensionSize);
  GifCodec::ReadCheck(stream, Identifier.data(), 11);
  // A 10-byte block gives its byte back; a longer one is passed over.
  if (size != 11) stream.Seek(int64_t(size) - 11, soCurrent);
  LoadData(stream);
}

void TGIFApplicationExtension::SaveData(TStream& stream) { GifCodec::WriteByte(stream, 0); }

void TGIFApplicationExtension::LoadData(TStream& stream) {
  uint8_t length;
  while (GifCodec::ReadByte(stream, length) && length != 0) stream.Seek(length, soCurrent);
}

TGIFExtensionClass TGIFUnknownAppExtension::ClassRef() {
  static const TGIFExtensionClassInfo info{"TGIFUnknownAppExtension", 0xFF, &AnswerSelf,
                                          &Make<TGIFUnknownAppExtension>};
  return &info;
}

void TGIFUnknownAppExtension::SaveData(TStream& stream) {
  for (const TGIFBlock& block : blocks_) {
    GifCodec::WriteByte(stream, uint8_t(block.Data.size()));
    if (!block.Data.empty()) stream.WriteBuffer(block.Data.data(), int64_t(block.Data.size()));
  }
  GifCodec::WriteByte(stream, 0);
}

void TGIFUnknownAppExtension::LoadData(TStream& stream) {
  blocks_.clear();
  uint8_t size;
  while (GifCodec::ReadByte(stream, size) && size != 0) {
    TGIFBlock block(size);
    GifCodec::ReadCheck(stream, block.Data.data(), size);
    blocks_.push_back(std::move(block));
  }
}

TGIFExtensionClass TGIFAppExtNSLoop::ClassRef() {
  static const TGIFExtensionClassInfo info{"TGIFAppExtNSLoop", 0xFF, &AnswerSelf, &Make<TGIFAppExtNSLoop>};
  return &info;
}

TGIFAppExtNSLoop::TGIFAppExtNSLoop(TGIFSubImage* subImage) : TGIFApplicationExtension(subImage) {
  Identifier = IdentifierOf("NETSCAPE2.0");
}

void TGIFAppExtNSLoop::SaveData(TStream& stream) {
  const uint8_t loop[4] = {3, 1, uint8_t(Loops), uint8_t(Loops >> 8)};
  stream.WriteBuffer(loop, 4);
  if (BufferSize != 0) {
    const uint8_t buffer[6] = {5,
                               2,
                               uint8_t(BufferSize),
                               uint8_t(BufferSize >> 8),
                               uint8_t(BufferSize >> 16),
                               uint8_t(BufferSize >> 24)};
    stream.WriteBuffer(buffer, 6);
  }
  GifCodec::WriteByte(stream, 0);
}

void TGIFAppExtNSLoop::LoadData(TStream& stream) {
  uint8_t size;
  while (GifCodec::ReadByte(stream, size) && size != 0) {
    uint8_t data[255];
    GifCodec::ReadCheck(stream, data, size);
    const int id = data[0] & 7;
    if (id == 1) {
      if (size < 3) GifCodec::Error(gsGIFInvalidData);
      Loops = uint16_t(data[1] | (data[2] << 8));
    } else if (id == 2) {
      if (size < 5) GifCodec::Error(gsGIFInvalidData);
      BufferSize = uint32_t(data[1]) | (uint32_t(data[2]) << 8) | (uint32_t(data[3]) << 16) | (uint32_t(data[4]) << 24);
    }
  }
}
