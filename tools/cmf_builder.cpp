#include "tools/cmf_builder.h"
#include "base/byte_order.h"

#include <cmath>
#include <cstring>

#include "document/cmf_reader.h"
#include "document/data_stream.h"
#include "document/pixel_codecs.h"

namespace slabrip {

namespace {

template <class T>
void Put(std::vector<std::uint8_t>& out, T value) {
  const auto* p = reinterpret_cast<const std::uint8_t*>(&value);
  out.insert(out.end(), p, p + sizeof value);
}

void PutBytes(std::vector<std::uint8_t>& out, const std::vector<std::uint8_t>& bytes) {
  out.insert(out.end(), bytes.begin(), bytes.end());
}

void PutString(std::vector<std::uint8_t>& out, const std::string& s) {
  Put(out, static_cast<std::int32_t>(s.size()));
  out.insert(out.end(), s.begin(), s.end());
}

void PutAt(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t value) { StoreLe(&out[at], value); }

}  // namespace

std::vector<std::uint8_t> CurveRecord(const TGeoCurve* curve) {
  std::vector<std::uint8_t> out;
  TGeoCurveHeader header = curve ? curve->Header() : TGeoCurveHeader{};
  header.PointCount = curve ? curve->PointCount() : 0;
  const auto head = header.ToBytes();
  out.insert(out.end(), head.begin(), head.end());
  if (curve) PutBytes(out, PointsToBytes(curve->Points()));
  return out;
}

TcmfAttributes Style(std::uint32_t fill, std::uint32_t outline, const TRectF& box) {
  TcmfAttributes a;
  a.SetFillCode(fill);
  a.SetOutlineCode(outline);
  a.SetFillFrame({TPointF{0, 0}, TPointF{1, 0}, TPointF{0, 1}});
  a.SetGradientExtent(box);
  a.SetTextureExtent(box);
  a.SetFillMatrix({});
  return a;
}

// --- tables ---------------------------------------------------------------------

TcmfAttributes WithBounds(TcmfAttributes attributes, const TRectF& bounds) {
  attributes.SetBounds(bounds);
  return attributes;
}

int TcmfBuilder::AddColour(const TUniColorSpec& spec, const std::string& name, std::int32_t tag) {
  Put(Colours_, tag);
  Put(Colours_, std::int32_t{0});
  Put(Colours_, std::int32_t{0});
  Put(Colours_, spec);
  PutString(Colours_, name);
  return ColourCount_++;
}

int TcmfBuilder::AddGradient(const TGradRange& range, std::int32_t tag) {
  auto gradient = MakeRef<TStoredGradient>();
  gradient->Tag = tag;
  gradient->Range->Assign(range);
  TMemoryByteStream bytes;
  TDataStream stream(bytes);
  WriteStoredGradient(stream, *gradient);
  PutBytes(Gradients_, bytes.Bytes());
  return GradientCount_++;
}

std::vector<std::uint8_t> TextureBody(const std::string& name, const std::string& sourceFile,
                                      const TTextureImage& main, const TTextureImage* auxA,
                                      const TTextureImage* auxB) {
  std::vector<std::uint8_t> body;
  PutString(body, name);
  PutString(body, sourceFile);
  const std::size_t header = body.size();
  body.resize(header + TFileTexture32::kHeaderSize, 0);
  PutAt(body, header + 52, TFileTexture32::kMagic);
  // Each image's bytes follow the header; its descriptor points at them from the body's start.
  const auto place = [&](const TTextureImage* image, std::size_t descriptorAt) {
    if (image == nullptr) return;
    std::vector<std::uint8_t> data;
    int width = image->Width, height = image->Height;
    if (image->Encoding == kTextureImageFile) {
      data = image->FileBytes;
    } else {
      width = image->Bitmap->Width();
      height = image->Bitmap->Height();
      const std::span<const TColor32> pixels(image->Bitmap->Pixels(), image->Bitmap->PixelCount());
      if (image->Encoding == kTextureGreyPacked) {
        std::vector<std::uint8_t> grey;
        for (const TColor32 p : pixels) grey.push_back(static_cast<std::uint8_t>(p & 0xFF));
        data = EncodePackedBytes(grey);
      } else {
        data = EncodePackedPixels(pixels);
      }
    }
    const std::size_t at = descriptorAt + header;
    PutAt(body, at, image->Encoding);
    PutAt(body, at + 4, static_cast<std::uint32_t>(body.size()));
    PutAt(body, at + 8, static_cast<std::uint32_t>(data.size()));
    PutAt(body, at + 12, static_cast<std::uint32_t>(width));
    PutAt(body, at + 16, static_cast<std::uint32_t>(height));
    PutBytes(body, data);
  };
  place(auxA, 72);
  place(auxB, 92);
  place(&main, 112);
  return body;
}

int TcmfBuilder::AddTexture(const std::string& name, const std::string& sourceFile, const TTextureImage& main,
                            const TTextureImage* auxA, const TTextureImage* auxB) {
  const std::vector<std::uint8_t> body = TextureBody(name, sourceFile, main, auxA, auxB);
  Put(Textures_, static_cast<std::uint32_t>(body.size()));
  PutBytes(Textures_, body);
  return TextureCount_++;
}

void TcmfBuilder::SetInfo(const std::string& name, const std::array<std::uint32_t, 4>& values,
                          std::uint32_t extra) {
  Info_.assign(TcmfWriter::kInfoBlockMax, 0);
  for (std::size_t i = 0; i < 4; ++i) PutAt(Info_, 8 + 4 * i, values[i]);
  const std::size_t length = std::min<std::size_t>(name.size(), 255);
  Info_[24] = static_cast<std::uint8_t>(length);
  std::memcpy(&Info_[25], name.data(), length);
  PutAt(Info_, 280, extra);
}

// --- nodes ----------------------------------------------------------------------

int TcmfBuilder::AddRawNode(std::int32_t tag, std::int32_t parent, std::int32_t kind,
                            const TcmfAttributes& attributes, const std::vector<std::uint8_t>& payload) {
  Put(Nodes_, tag);
  Put(Nodes_, parent);
  Put(Nodes_, kind);
  Nodes_.insert(Nodes_.end(), attributes.Bytes.begin(), attributes.Bytes.end());
  PutBytes(Nodes_, payload);
  return NodeCount_++;
}

int TcmfBuilder::AddNode(std::int32_t parent, std::int32_t kind, const TcmfAttributes& attributes,
                         const std::vector<std::uint8_t>& payload) {
  return AddRawNode(NodeCount_ + 1, parent, kind, attributes, payload);
}

int TcmfBuilder::AddPlain(int parent, const TcmfAttributes& attributes) {
  return AddNode(parent, kNodePlain, attributes, {});
}

int TcmfBuilder::AddGroup(int parent, const TcmfAttributes& attributes, std::int32_t value) {
  std::vector<std::uint8_t> payload;
  Put(payload, value);
  return AddNode(parent, kNodeGroup, attributes, payload);
}

int TcmfBuilder::AddGeometry(int parent, const TcmfAttributes& attributes, const TGeoCurve* fill,
                             const TGeoCurve* outline) {
  std::vector<std::uint8_t> payload;
  if (fill) {
    Put(payload, std::int32_t{1});
    PutBytes(payload, CurveRecord(fill));
  }
  if (outline) {
    Put(payload, std::int32_t{2});
    PutBytes(payload, CurveRecord(outline));
  }
  Put(payload, std::int32_t{0});
  return AddNode(parent, kNodeGeometry, attributes, payload);
}

int TcmfBuilder::AddImage(int parent, const TcmfAttributes& attributes,
                          const std::array<TPointF, 3>& placement, const TGeoCurve& outline,
                          const TBitmap32& bitmap, TImageStorage storage,
                          const std::vector<std::uint8_t>& embeddedFile) {
  std::vector<std::uint8_t> payload;
  for (const TPointF& p : placement) {
    Put(payload, p.X);
    Put(payload, p.Y);
  }
  Put(payload, std::int32_t{3});
  PutBytes(payload, CurveRecord(&outline));
  const std::span<const TColor32> pixels(bitmap.Pixels(), bitmap.PixelCount());
  if (storage == TImageStorage::kPacked) {
    const auto data = EncodePackedPixels(pixels);
    Put(payload, std::int32_t{4});
    Put(payload, bitmap.Width());
    Put(payload, bitmap.Height());
    Put(payload, static_cast<std::int32_t>(data.size()));
    PutBytes(payload, data);
  } else {
    Put(payload, std::int32_t{5});
    PutBytes(payload, EncodeCompressedBitmap(bitmap));
    Put(payload, std::int32_t{embeddedFile.empty() ? 0 : 6});
    Put(payload, static_cast<std::int32_t>(embeddedFile.size()));
    if (embeddedFile.empty()) return AddNode(parent, kNodeImage, attributes, payload);
    PutBytes(payload, embeddedFile);
  }
  Put(payload, std::int32_t{0});  // the two integers that close the payload
  Put(payload, std::int32_t{0});
  return AddNode(parent, kNodeImage, attributes, payload);
}

std::vector<std::uint8_t> TcmfBuilder::Build() const {
  std::vector<std::uint8_t> file;
  const auto section = [&](const std::vector<std::uint8_t>& bytes) {
    const auto at = static_cast<std::int64_t>(file.size());
    PutBytes(file, bytes);
    return at;
  };
  const std::int64_t gradients = section(Gradients_);
  const std::int64_t textures = section(Textures_);
  const std::int64_t colours = section(Colours_);
  const std::int64_t info = section(Info_);
  const std::int64_t nodes = section(Nodes_);
  Put(file, TcmfWriter::kMagic);
  Put(file, std::int32_t{0});
  for (const int count :
       {GradientCount_, TextureCount_, ColourCount_, NodeCount_, static_cast<int>(Info_.size())})
    Put(file, static_cast<std::int32_t>(count));
  Put(file, std::int32_t{0});
  for (const std::int64_t at : {gradients, textures, colours, nodes, info}) Put(file, at);
  file.resize(file.size() + 80, 0);
  return file;
}

}  // namespace slabrip
