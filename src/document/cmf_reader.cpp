#include "document/cmf_reader.h"
#include "base/byte_order.h"

#include <fmt/format.h>
#include <cstring>

#include "document/data_stream.h"
#include "document/pixel_codecs.h"

namespace slabrip {

namespace {

struct TTrailer {
  std::int32_t Gradients = 0, Textures = 0, Colours = 0, Nodes = 0, InfoSize = 0;
  std::int64_t GradientAt = 0, TextureAt = 0, ColourAt = 0, NodeAt = 0, InfoAt = 0;
};

// Every reader below returns false for a record that failed; a typed read past
// the end raises instead, ending the whole document.
class TReader {
 public:
  TReader(TByteStream& file, TBM32CacheManager& cache) : Stream(file), Cache(cache) {}

  TRef<TcmfFile> Read(std::string& problem);

 private:
  bool ReadTrailer(TTrailer& t);
  template <class TReadOne>
  void ReadTable(std::int32_t count, std::int64_t at, TReadOne readOne);
  bool ReadTexture();
  bool ReadColour();
  void ReadInfo(std::int32_t size, std::int64_t at);
  bool ReadNode(std::vector<TRef<TcmfGeneric>>& nodes);
  bool ReadCurve(std::unique_ptr<TGeoCurve>& curve);
  bool ReadGeometry(TcmfGeo& geo);
  bool ReadImage(TcmfImage& image);
  std::unique_ptr<TBitmap32> ReadPackedBitmap();
  std::unique_ptr<TBitmap32> ReadCompressedBitmap();
  bool BuildTree(std::vector<TRef<TcmfGeneric>>& nodes, std::string& problem);

  TDataStream Stream;
  TBM32CacheManager& Cache;
  TRef<TcmfFile> Document = MakeRef<TcmfFile>();
};

bool TReader::ReadTrailer(TTrailer& t) {
  if (Stream.Size() < static_cast<std::int64_t>(TcmfWriter::kTrailerSize)) return false;
  std::uint8_t b[TcmfWriter::kTrailerSize];
  if (!Stream.Seek(-static_cast<std::int64_t>(sizeof b), 2) || !Stream.ReadBuffer(b, sizeof b)) return false;
  if (LoadLe<std::uint32_t>(b) != TcmfWriter::kMagic) return false;
  t.Gradients = LoadLe<std::int32_t>(b + 8);
  t.Textures = LoadLe<std::int32_t>(b + 12);
  t.Colours = LoadLe<std::int32_t>(b + 16);
  t.Nodes = LoadLe<std::int32_t>(b + 20);
  t.InfoSize = LoadLe<std::int32_t>(b + 24);
  t.GradientAt = LoadLe<std::int64_t>(b + 32);
  t.TextureAt = LoadLe<std::int64_t>(b + 40);
  t.ColourAt = LoadLe<std::int64_t>(b + 48);
  t.NodeAt = LoadLe<std::int64_t>(b + 56);
  t.InfoAt = LoadLe<std::int64_t>(b + 64);
  return true;
}

// Records one after another from `at`, up to `count`, stopping at the first failure.
template <class TReadOne>
void TReader::ReadTable(std::int32_t count, std::int64_t at, TReadOne readOne) {
  if (count <= 0 || !Stream.SetPosition(at)) return;
  for (std::int32_t i = 0; i < count; ++i)
    if (!readOne()) return;
}

bool TReader::ReadTexture() {
  std::uint32_t length = 0;
  Stream.ReadCardinal(length);
  if (length > Stream.Remaining()) return false;
  std::vector<std::uint8_t> body(length);
  if (!Stream.ReadBuffer(body.data(), body.size())) return false;
  TMemoryByteStream nested(std::move(body));
  TDataStream reader(nested);
  auto texture = ReadFileTexture(reader);
  if (!texture) return false;
  auto stored = MakeRef<TStoredTexture32>();
  stored->Texture = std::move(texture);
  Document->Textures.push_back(std::move(stored));
  return true;
}

bool TReader::ReadColour() {
  TuniColorObj colour;
  Stream.ReadInteger(colour.Tag);
  Stream.ReadInteger(colour.ItemValue);
  Stream.ReadInteger(colour.ItemExtra);
  if (!Stream.ReadBuffer(&colour.Spec, sizeof colour.Spec)) return false;
  Stream.ReadWideString(colour.Name);
  Document->Colours.push_back(std::move(colour));
  return true;
}

void TReader::ReadInfo(std::int32_t size, std::int64_t at) {
  if (size <= 0 || !Stream.SetPosition(at)) return;
  std::uint8_t block[TcmfWriter::kInfoBlockMax] = {};
  const auto n = std::min<std::size_t>(static_cast<std::size_t>(size), sizeof block);
  if (!Stream.ReadBuffer(block, n)) return;
  for (std::size_t i = 0; i < 4; ++i) Document->InfoValues[i] = LoadLe<std::uint32_t>(block + 8 + 4 * i);
  Document->Name.assign(reinterpret_cast<const char*>(block + 25), block[24]);
  Document->InfoExtra = LoadLe<std::uint32_t>(block + 280);
}

bool TReader::ReadCurve(std::unique_ptr<TGeoCurve>& curve) {
  std::array<std::uint8_t, TGeoCurveHeader::kSize> head{};
  if (!Stream.ReadBuffer(head.data(), head.size())) return false;
  const TGeoCurveHeader header = TGeoCurveHeader::FromBytes(head);
  curve.reset();
  if (header.PointCount <= 0) return true;
  const std::int64_t bytes = std::int64_t{12} * header.PointCount;
  if (bytes > Stream.Remaining()) return false;
  std::vector<std::uint8_t> raw(static_cast<std::size_t>(bytes));
  if (!Stream.ReadBuffer(raw.data(), raw.size())) return false;
  curve =
      std::make_unique<TGeoCurve>(header, PointsFromBytes(raw, static_cast<std::size_t>(header.PointCount)));
  return true;
}

bool TReader::ReadGeometry(TcmfGeo& geo) {
  for (;;) {
    std::int32_t tag = 0;
    Stream.ReadInteger(tag);
    if (tag == 1) {
      if (!ReadCurve(geo.FillCurve)) return false;
    } else if (tag == 2) {
      if (!ReadCurve(geo.OutlineCurve)) return false;
    } else {
      return true;
    }
  }
}

std::unique_ptr<TBitmap32> TReader::ReadPackedBitmap() {
  std::int32_t width = 0, height = 0, size = 0;
  Stream.ReadInteger(width);
  Stream.ReadInteger(height);
  Stream.ReadInteger(size);
  if (width <= 0 || height <= 0 || size <= 0 || size > Stream.Remaining()) return nullptr;
  const std::int64_t pixels = std::int64_t{width} * height;
  // Eight pixels take two bytes at the least: more pixels than that cannot be in the data.
  if (pixels > TcmfWriter::kMaxImagePixels || pixels > std::int64_t{4} * size + 8) return nullptr;
  std::vector<std::uint8_t> data(static_cast<std::size_t>(size));
  if (!Stream.ReadBuffer(data.data(), data.size())) return nullptr;
  auto bitmap = std::make_unique<TBitmap32>(width, height);
  if (!DecodePackedPixels(data, std::span<TColor32>(bitmap->Pixels(), bitmap->PixelCount()))) return nullptr;
  return bitmap;
}

std::unique_ptr<TBitmap32> TReader::ReadCompressedBitmap() {
  std::int32_t width = 0, height = 0, size = 0, check = 0, unpacked = 0;
  Stream.ReadInteger(width);
  Stream.ReadInteger(height);
  Stream.ReadInteger(size);
  Stream.ReadInteger(check);
  Stream.ReadInteger(unpacked);
  if (width <= 0 || height <= 0 || size <= 0 || check != ~size || unpacked < 0 || size > Stream.Remaining())
    return nullptr;
  const std::int64_t pixels = std::int64_t{width} * height;
  // Run-length packing grows data 65-fold at most, packed pixels hold four per byte at most.
  if (pixels > TcmfWriter::kMaxImagePixels || unpacked > std::int64_t{65} * size + 8 ||
      pixels > std::int64_t{4} * unpacked + 8)
    return nullptr;
  std::vector<std::uint8_t> data(static_cast<std::size_t>(size));
  std::uint32_t tail[2] = {1, 1};
  if (!Stream.ReadBuffer(data.data(), data.size()) || !Stream.ReadBuffer(tail, sizeof tail)) return nullptr;
  if (tail[0] != 0 || tail[1] != 0) return nullptr;
  const auto packed = UnpackRunLength(data, static_cast<std::size_t>(unpacked) + 8);
  if (!packed) return nullptr;
  auto bitmap = std::make_unique<TBitmap32>(width, height);
  if (!DecodePackedPixels(*packed, std::span<TColor32>(bitmap->Pixels(), bitmap->PixelCount())))
    return nullptr;
  return bitmap;
}

bool TReader::ReadImage(TcmfImage& image) {
  float placement[6];
  if (!Stream.ReadBuffer(placement, sizeof placement)) return false;
  for (std::size_t i = 0; i < 3; ++i) image.Placement[i] = {placement[2 * i], placement[2 * i + 1]};
  std::int32_t tag = 0;
  Stream.ReadInteger(tag);
  if (tag != 3) return true;
  if (!ReadCurve(image.Outline)) return false;
  Stream.ReadInteger(tag);
  std::unique_ptr<TBitmap32> bitmap;
  bool ignoredFollow = true;
  if (tag == 4) {
    bitmap = ReadPackedBitmap();
  } else if (tag == 5) {
    bitmap = ReadCompressedBitmap();
    if (!bitmap) return false;
    std::int32_t fileTag = 0, fileSize = 0;
    Stream.ReadInteger(fileTag);
    Stream.ReadInteger(fileSize);
    ignoredFollow = fileTag == 6 && fileSize >= 1 && fileSize <= TcmfWriter::kMaxEmbeddedFile;
    if (ignoredFollow) {
      if (fileSize > Stream.Remaining()) return false;
      image.EmbeddedFile.resize(static_cast<std::size_t>(fileSize));
      if (!Stream.ReadBuffer(image.EmbeddedFile.data(), image.EmbeddedFile.size())) return false;
    }
  } else {
    return true;
  }
  if (!bitmap) return false;
  if (ignoredFollow) {
    std::int32_t ignored = 0;
    Stream.ReadInteger(ignored);
    Stream.ReadInteger(ignored);
  }
  image.Bitmap = std::make_unique<TSharedCachedBM32>(std::move(bitmap), Cache);
  return true;
}

bool TReader::ReadNode(std::vector<TRef<TcmfGeneric>>& nodes) {
  std::int32_t head[3];
  TcmfAttributes attributes;
  if (!Stream.ReadBuffer(head, sizeof head) ||
      !Stream.ReadBuffer(attributes.Bytes.data(), attributes.Bytes.size()))
    return false;
  TRef<TcmfGeneric> node;
  bool ok = true;
  switch (head[2]) {
    case kNodePlain: node = MakeRef<TcmfGeneric>(); break;
    case kNodeGroup: {
      auto group = MakeRef<TcmfGroup>();
      Stream.ReadInteger(group->Value);
      node = group;
      break;
    }
    case kNodeGeometry: {
      auto geo = MakeRef<TcmfGeo>();
      ok = ReadGeometry(*geo);
      node = geo;
      break;
    }
    case kNodeImage: {
      auto image = MakeRef<TcmfImage>();
      ok = ReadImage(*image);
      // An image's bounds are its placement's, not the stored ones.
      attributes.SetBounds(image->PlacementBounds());
      node = image;
      break;
    }
    default: return false;  // an unknown kind ends the node table
  }
  if (!ok) return false;
  node->Attributes = attributes;
  node->SetTag(head[0]);
  node->ParentIndex = head[1];
  nodes.push_back(std::move(node));
  return true;
}

// The first node is the root; the others join their parent's children in file
// order. Every node must reach the root through its parents, so a cycle (which
// would never be freed nor finish drawing) fails the document, as does a
// parent past the nodes read or a tree deeper than drawing can walk.
bool TReader::BuildTree(std::vector<TRef<TcmfGeneric>>& nodes, std::string& problem) {
  const std::size_t n = nodes.size();
  std::vector<std::size_t> parent(n, 0);
  for (std::size_t i = 1; i < n; ++i) {
    const std::int32_t p = nodes[i]->ParentIndex;
    if (p >= static_cast<std::int64_t>(n)) {
      problem = fmt::format("node {} names parent {} of {} nodes", i, p, n);
      return false;
    }
    parent[i] = p < 0 ? 0 : static_cast<std::size_t>(p);
  }
  std::vector<int> depth(n, -1);  // -2: on the current walk
  depth[0] = 0;
  std::vector<std::size_t> walk;
  for (std::size_t i = 1; i < n; ++i) {
    std::size_t at = i;
    while (depth[at] == -1) {
      depth[at] = -2;
      walk.push_back(at);
      at = parent[at];
    }
    if (depth[at] == -2) {
      problem = fmt::format("node {} is its own ancestor", at);
      return false;
    }
    for (int d = depth[at] + 1; !walk.empty(); ++d) {
      depth[walk.back()] = d;
      walk.pop_back();
      if (d > TcmfWriter::kMaxDepth) {
        problem = fmt::format("nodes nest deeper than {} levels", TcmfWriter::kMaxDepth);
        return false;
      }
    }
  }
  // Linked only now that the tree is known to be one, so no cycle of references can form.
  for (std::size_t i = 1; i < n; ++i) nodes[parent[i]]->Children.push_back(nodes[i]);
  Document->Root = nodes.front();
  return true;
}

TRef<TcmfFile> TReader::Read(std::string& problem) {
  TTrailer trailer;
  if (!ReadTrailer(trailer)) {
    problem = "not a cmf document (no trailer mark)";
    return nullptr;
  }
  ReadTable(trailer.Gradients, trailer.GradientAt, [&] {
    auto gradient = ReadStoredGradient(Stream);
    if (!gradient) return false;
    Document->Gradients.push_back(std::move(gradient));
    return true;
  });
  ReadTable(trailer.Textures, trailer.TextureAt, [&] { return ReadTexture(); });
  ReadTable(trailer.Colours, trailer.ColourAt, [&] { return ReadColour(); });
  ReadInfo(trailer.InfoSize, trailer.InfoAt);
  if (trailer.Nodes <= 0) {
    problem = "the document has no nodes";
    return nullptr;
  }
  std::vector<TRef<TcmfGeneric>> nodes;
  ReadTable(trailer.Nodes, trailer.NodeAt, [&] { return ReadNode(nodes); });
  if (!nodes.empty() && !BuildTree(nodes, problem)) return nullptr;
  return Document;
}

}  // namespace

TRef<TcmfFile> TcmfWriter::ReadDocument(TByteStream& file, TBM32CacheManager& cache, std::string* problem) {
  std::string reason;
  TReader reader(file, cache);
  auto document = reader.Read(reason);
  if (problem) *problem = reason;
  return document;
}

}  // namespace slabrip
