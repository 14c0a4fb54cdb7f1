#include "document/cmf_reader.h"
#include "base/byte_order.h"

#include <fmt/format.h>
#include <cstring>

#include "base/errors.h"
#include "document/data_stream.h"
#include "document/pixel_codecs.h"

namespace slabrip {

namespace {

struct TTrailer {
  std::int32_t Gradients = 0, Textures = 0, Colours = 0, Nodes = 0, InfoSize = 0;
  std::int64_t GradientAt = 0, TextureAt = 0, ColourAt = 0, NodeAt = 0, InfoAt = 0;
};

// How a table record ended: read; failed, but the next record follows it;
// or failed where nobody knows where the next record starts, which ends the table.
enum class TOutcome { kRead, kFailed, kLost };

// The readers below add a problem for every record they drop or cannot
// decode. A typed read past the end raises instead, ending the whole document.
class TReader {
 public:
  TReader(TByteStream& file, TBM32CacheManager& cache) : Stream(file), Cache(cache) {}

  TRef<TcmfFile> Read();

 private:
  bool ReadTrailer(TTrailer& t);
  template <class TReadOne>
  void ReadTable(const char* what, std::int32_t count, std::int64_t at, TReadOne readOne);
  TOutcome ReadGradient(std::int32_t index);
  TOutcome ReadTexture(std::int32_t index);
  TOutcome ReadColour(std::int32_t index);
  void ReadInfo(std::int32_t size, std::int64_t at);
  TOutcome ReadNode(std::int32_t index, std::vector<TRef<TcmfGeneric>>& nodes);
  bool ReadCurve(std::unique_ptr<TGeoCurve>& curve, std::string& problem);
  bool ReadGeometry(TcmfGeo& geo, std::string& problem);
  TOutcome ReadImage(TcmfImage& image, std::string& problem);
  TOutcome ReadPackedBitmap(std::unique_ptr<TBitmap32>& bitmap, std::string& problem);
  TOutcome ReadCompressedBitmap(std::unique_ptr<TBitmap32>& bitmap, std::string& problem);
  void BuildTree(std::vector<TRef<TcmfGeneric>>& nodes);
  void Report(std::string problem) { Document->Problems.push_back(std::move(problem)); }

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

// Records one after another from `at`, up to `count`. A record that failed in
// place keeps its slot (later records keep their indices); a lost one ends
// the table, and the problem says how many records went with it.
template <class TReadOne>
void TReader::ReadTable(const char* what, std::int32_t count, std::int64_t at, TReadOne readOne) {
  if (count <= 0) return;
  if (!Stream.SetPosition(at)) {
    Report(fmt::format("the {} table at offset {} lies outside the file; its {} {}s are dropped", what, at, count,
                       what));
    return;
  }
  for (std::int32_t i = 0; i < count; ++i) {
    if (readOne(i) != TOutcome::kLost) continue;
    const std::int32_t after = count - i - 1;
    Document->Problems.back() +=
        after == 0 ? std::string("; it is dropped")
                   : fmt::format("; it and the {} {}{} after it are dropped", after, what, after == 1 ? "" : "s");
    return;
  }
}

TOutcome TReader::ReadGradient(std::int32_t index) {
  // Stop counts and end marks are all that delimit a record: past a bad one the next cannot be found.
  std::string why;
  auto gradient = ReadStoredGradient(Stream, &why);
  if (!gradient) {
    Report(fmt::format("gradient {}: {}", index, why));
    return TOutcome::kLost;
  }
  Document->Gradients.push_back(std::move(gradient));
  return TOutcome::kRead;
}

// A texture record carries its length, so one that does not read keeps its
// slot, empty (fills with it print nothing), and the next record follows.
TOutcome TReader::ReadTexture(std::int32_t index) {
  std::uint32_t length = 0;
  Stream.ReadCardinal(length);
  if (length > Stream.Remaining()) {
    Report(fmt::format("texture {}: its {} bytes run past the end of the file", index, length));
    return TOutcome::kLost;
  }
  std::vector<std::uint8_t> body(length);
  Stream.ReadBuffer(body.data(), body.size());
  TMemoryByteStream nested(std::move(body));
  TDataStream reader(nested);
  std::vector<std::string> notes;
  auto stored = MakeRef<TStoredTexture32>();
  try {
    stored->Texture = ReadFileTexture(reader, &notes);
  } catch (const EAssertionFailure&) {
    notes.assign(1, "the record ends inside its names");  // the nested stream ran out, not the file
  }
  Document->Textures.push_back(stored);
  for (const std::string& note : notes)
    Report(fmt::format("texture {}: {}{}", index, note, stored->Texture ? "" : "; fills with it print nothing"));
  return stored->Texture ? TOutcome::kRead : TOutcome::kFailed;
}

TOutcome TReader::ReadColour(std::int32_t index) {
  TuniColorObj colour;
  Stream.ReadInteger(colour.Tag);
  Stream.ReadInteger(colour.ItemValue);
  Stream.ReadInteger(colour.ItemExtra);
  if (!Stream.ReadBuffer(&colour.Spec, sizeof colour.Spec)) {
    Report(fmt::format("colour {}: the record runs past the end of the file", index));
    return TOutcome::kLost;
  }
  Stream.ReadWideString(colour.Name);
  Document->Colours.push_back(std::move(colour));
  return TOutcome::kRead;
}

void TReader::ReadInfo(std::int32_t size, std::int64_t at) {
  if (size <= 0) return;
  std::uint8_t block[TcmfWriter::kInfoBlockMax] = {};
  const auto n = std::min<std::size_t>(static_cast<std::size_t>(size), sizeof block);
  if (!Stream.SetPosition(at) || !Stream.ReadBuffer(block, n)) {
    Report(fmt::format("the info block at offset {} runs past the end of the file; the document's name is not read",
                       at));
    return;
  }
  for (std::size_t i = 0; i < 4; ++i) Document->InfoValues[i] = LoadLe<std::uint32_t>(block + 8 + 4 * i);
  Document->Name.assign(reinterpret_cast<const char*>(block + 25), block[24]);
  Document->InfoExtra = LoadLe<std::uint32_t>(block + 280);
}

bool TReader::ReadCurve(std::unique_ptr<TGeoCurve>& curve, std::string& problem) {
  std::array<std::uint8_t, TGeoCurveHeader::kSize> head{};
  if (!Stream.ReadBuffer(head.data(), head.size())) {
    problem = "a curve runs past the end of the file";
    return false;
  }
  const TGeoCurveHeader header = TGeoCurveHeader::FromBytes(head);
  curve.reset();
  if (header.PointCount <= 0) return true;
  const std::int64_t bytes = std::int64_t{12} * header.PointCount;
  std::vector<std::uint8_t> raw;
  if (bytes <= Stream.Remaining()) raw.resize(static_cast<std::size_t>(bytes));
  if (raw.empty() || !Stream.ReadBuffer(raw.data(), raw.size())) {
    problem = fmt::format("a curve of {} points runs past the end of the file", header.PointCount);
    return false;
  }
  curve =
      std::make_unique<TGeoCurve>(header, PointsFromBytes(raw, static_cast<std::size_t>(header.PointCount)));
  return true;
}

bool TReader::ReadGeometry(TcmfGeo& geo, std::string& problem) {
  for (;;) {
    std::int32_t tag = 0;
    Stream.ReadInteger(tag);
    if (tag == 1) {
      if (!ReadCurve(geo.FillCurve, problem)) return false;
    } else if (tag == 2) {
      if (!ReadCurve(geo.OutlineCurve, problem)) return false;
    } else {
      return true;
    }
  }
}

// A byte count that fits the file delimits the bitmap: past a bitmap that
// does not decode, the rest of the node still follows.
TOutcome TReader::ReadPackedBitmap(std::unique_ptr<TBitmap32>& bitmap, std::string& problem) {
  std::int32_t width = 0, height = 0, size = 0;
  Stream.ReadInteger(width);
  Stream.ReadInteger(height);
  Stream.ReadInteger(size);
  if (size <= 0 || size > Stream.Remaining()) {
    problem = fmt::format("its bitmap's byte count {} does not fit the file", size);
    return TOutcome::kLost;
  }
  std::vector<std::uint8_t> data(static_cast<std::size_t>(size));
  Stream.ReadBuffer(data.data(), data.size());
  const std::int64_t pixels = std::int64_t{width} * height;
  if (width <= 0 || height <= 0) {
    problem = fmt::format("its bitmap's size {} x {} is not positive", width, height);
  } else if (pixels > TcmfImage::kMaxPixels) {
    problem = fmt::format("its bitmap's {} x {} pixels are more than the {} allowed", width, height,
                          TcmfImage::kMaxPixels);
  } else if (static_cast<std::uint64_t>(pixels) > PackedPixelCapacity(data.size())) {
    problem = fmt::format("its bitmap's {} x {} pixels cannot be in {} bytes", width, height, size);
  } else {
    bitmap = std::make_unique<TBitmap32>(width, height);
    if (DecodePackedPixels(data, std::span<TColor32>(bitmap->Pixels(), bitmap->PixelCount())))
      return TOutcome::kRead;
    bitmap.reset();
    problem = fmt::format("its bitmap's data ends before {} x {} pixels", width, height);
  }
  return TOutcome::kFailed;
}

// The packed size, once its check value confirms it, delimits the record.
TOutcome TReader::ReadCompressedBitmap(std::unique_ptr<TBitmap32>& bitmap, std::string& problem) {
  std::vector<std::uint8_t> record(20);
  if (!Stream.ReadBuffer(record.data(), record.size())) {
    problem = "its bitmap runs past the end of the file";
    return TOutcome::kLost;
  }
  const auto size = LoadLe<std::int32_t>(&record[8]);
  const auto check = LoadLe<std::int32_t>(&record[12]);
  if (size <= 0 || check != ~size || std::int64_t{size} + 8 > Stream.Remaining()) {
    problem = check == ~size ? fmt::format("its bitmap's {} bytes run past the end of the file", size)
                             : fmt::format("its bitmap's packed size {} fails its check value", size);
    return TOutcome::kLost;
  }
  record.resize(record.size() + static_cast<std::size_t>(size) + 8);
  Stream.ReadBuffer(&record[20], record.size() - 20);
  std::string why;
  auto decoded = DecodeCompressedBitmap(record, static_cast<std::size_t>(TcmfImage::kMaxPixels), nullptr, &why);
  if (!decoded) {
    problem = fmt::format("its bitmap does not decode ({})", why);
    return TOutcome::kFailed;
  }
  bitmap = std::make_unique<TBitmap32>(std::move(*decoded));
  return TOutcome::kRead;
}

TOutcome TReader::ReadImage(TcmfImage& image, std::string& problem) {
  float placement[6];
  if (!Stream.ReadBuffer(placement, sizeof placement)) {
    problem = "the record runs past the end of the file";
    return TOutcome::kLost;
  }
  for (std::size_t i = 0; i < 3; ++i) image.Placement[i] = {placement[2 * i], placement[2 * i + 1]};
  std::int32_t tag = 0;
  Stream.ReadInteger(tag);
  if (tag != 3) return TOutcome::kRead;
  if (!ReadCurve(image.Outline, problem)) return TOutcome::kLost;
  Stream.ReadInteger(tag);
  std::unique_ptr<TBitmap32> bitmap;
  TOutcome outcome = TOutcome::kRead;
  bool ignoredFollow = true;
  if (tag == 4) {
    outcome = ReadPackedBitmap(bitmap, problem);
  } else if (tag == 5) {
    outcome = ReadCompressedBitmap(bitmap, problem);
    if (outcome == TOutcome::kLost) return outcome;
    std::int32_t fileTag = 0, fileSize = 0;
    Stream.ReadInteger(fileTag);
    Stream.ReadInteger(fileSize);
    ignoredFollow = fileTag == 6 && fileSize >= 1 && fileSize <= TcmfWriter::kMaxEmbeddedFile;
    if (ignoredFollow) {
      if (fileSize > Stream.Remaining()) {
        problem = fmt::format("its embedded file of {} bytes runs past the end of the file", fileSize);
        return TOutcome::kLost;
      }
      image.EmbeddedFile.resize(static_cast<std::size_t>(fileSize));
      Stream.ReadBuffer(image.EmbeddedFile.data(), image.EmbeddedFile.size());
    }
  } else {
    return TOutcome::kRead;
  }
  if (outcome == TOutcome::kLost) return outcome;
  if (ignoredFollow) {
    std::int32_t ignored = 0;
    Stream.ReadInteger(ignored);
    Stream.ReadInteger(ignored);
  }
  if (bitmap) image.Bitmap = std::make_unique<TSharedCachedBM32>(std::move(bitmap), Cache);
  return outcome;
}

TOutcome TReader::ReadNode(std::int32_t index, std::vector<TRef<TcmfGeneric>>& nodes) {
  std::int32_t head[3];
  TcmfAttributes attributes;
  if (!Stream.ReadBuffer(head, sizeof head) ||
      !Stream.ReadBuffer(attributes.Bytes.data(), attributes.Bytes.size())) {
    Report(fmt::format("node {}: the record runs past the end of the file", index));
    return TOutcome::kLost;
  }
  TRef<TcmfGeneric> node;
  TOutcome outcome = TOutcome::kRead;
  std::string problem;
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
      if (!ReadGeometry(*geo, problem)) {
        Report(fmt::format("geometry node {}: {}", index, problem));
        return TOutcome::kLost;
      }
      node = geo;
      break;
    }
    case kNodeImage: {
      auto image = MakeRef<TcmfImage>();
      outcome = ReadImage(*image, problem);
      if (outcome != TOutcome::kRead)
        Report(fmt::format("image node {}: {}{}", index, problem,
                           outcome == TOutcome::kLost      ? ""
                           : image->EmbeddedFile.empty() ? "; it prints nothing"
                                                         : "; it prints from its embedded file, if that decodes"));
      if (outcome == TOutcome::kLost) return outcome;
      // An image's bounds are its placement's, not the stored ones.
      attributes.SetBounds(image->PlacementBounds());
      node = image;
      break;
    }
    default:
      Report(fmt::format("node {}: unknown kind {}", index, head[2]));
      return TOutcome::kLost;  // nothing tells where its payload ends
  }
  // A node whose bitmap failed keeps its slot, so that parent indices still name the right nodes.
  node->Attributes = attributes;
  node->SetTag(head[0]);
  node->ParentIndex = head[1];
  node->TableIndex = index;
  nodes.push_back(std::move(node));
  return outcome;
}

// The first node is the root; the others join their parent's children in file
// order. Every node must reach the root through its parents, so a cycle (which
// would never be freed nor finish drawing) fails the document, as does a
// parent past the nodes read or a tree deeper than drawing can walk.
void TReader::BuildTree(std::vector<TRef<TcmfGeneric>>& nodes) {
  const std::size_t n = nodes.size();
  std::vector<std::size_t> parent(n, 0);
  for (std::size_t i = 1; i < n; ++i) {
    const std::int32_t p = nodes[i]->ParentIndex;
    if (p >= static_cast<std::int64_t>(n))
      throw TError(fmt::format("node {} names parent {} of {} nodes", i, p, n));
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
    if (depth[at] == -2) throw TError(fmt::format("node {} is its own ancestor", at));
    for (int d = depth[at] + 1; !walk.empty(); ++d) {
      depth[walk.back()] = d;
      walk.pop_back();
      if (d > TcmfWriter::kMaxDepth)
        throw TError(fmt::format("nodes nest deeper than {} levels", TcmfWriter::kMaxDepth));
    }
  }
  // Linked only now that the tree is known to be one, so no cycle of references can form.
  for (std::size_t i = 1; i < n; ++i) nodes[parent[i]]->Children.push_back(nodes[i]);
  Document->Root = nodes.front();
}

TRef<TcmfFile> TReader::Read() {
  TTrailer trailer;
  if (!ReadTrailer(trailer)) throw TError("not a cmf document (no trailer mark)");
  ReadTable("gradient", trailer.Gradients, trailer.GradientAt, [&](std::int32_t i) { return ReadGradient(i); });
  ReadTable("texture", trailer.Textures, trailer.TextureAt, [&](std::int32_t i) { return ReadTexture(i); });
  ReadTable("colour", trailer.Colours, trailer.ColourAt, [&](std::int32_t i) { return ReadColour(i); });
  ReadInfo(trailer.InfoSize, trailer.InfoAt);
  if (trailer.Nodes <= 0) throw TError("the document has no nodes");
  std::vector<TRef<TcmfGeneric>> nodes;
  ReadTable("node", trailer.Nodes, trailer.NodeAt, [&](std::int32_t i) { return ReadNode(i, nodes); });
  if (!nodes.empty()) BuildTree(nodes);
  return Document;
}

}  // namespace

TRef<TcmfFile> TcmfWriter::ReadDocument(TByteStream& file, TBM32CacheManager& cache) {
  return TReader(file, cache).Read();
}

}  // namespace slabrip
