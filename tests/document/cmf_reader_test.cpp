#include "document/cmf_reader.h"

#include <gtest/gtest.h>
#include <cstring>

#include "base/errors.h"
#include "document/data_stream.h"
#include "document/pixel_codecs.h"
#include "tools/cmf_builder.h"
#include "tools/demo_artwork.h"

namespace slabrip {
namespace {

// A cache with plenty of room, private to each test.
TMemoryProbe Roomy() {
  return {[] { return std::int64_t{0}; }, [] { return std::int64_t{1} << 40; }};
}

struct TLoaded {
  TRef<TcmfFile> Document;
  std::string Problem;
};

TLoaded Read(const std::vector<std::uint8_t>& bytes, TBM32CacheManager& cache) {
  TMemoryByteStream stream(bytes);
  TLoaded loaded;
  try {
    loaded.Document = TcmfWriter::ReadDocument(stream, cache);
  } catch (const EAssertionFailure&) {
    throw;  // a read past the end, which some cases expect
  } catch (const TError& e) {
    loaded.Problem = e.what();
  }
  return loaded;
}

class CmfReaderTest : public ::testing::Test {
 protected:
  TLoaded Read(const std::vector<std::uint8_t>& bytes) { return slabrip::Read(bytes, Cache); }
  TBM32CacheManager Cache{Roomy()};
};


std::unique_ptr<TGeoCurve> Square(float size) {
  TCurveBuilder c;
  c.Rectangle(0, 0, size, size);
  return c.Build();
}

TEST_F(CmfReaderTest, TheSamplerReadsBackEveryRecordKind) {
  const TLoaded loaded = Read(SamplerDocument());
  ASSERT_TRUE(loaded.Document) << loaded.Problem;
  const TcmfFile& doc = *loaded.Document;
  EXPECT_EQ(doc.Name, "Sampler");
  EXPECT_EQ(doc.InfoValues, (std::array<std::uint32_t, 4>{1, 2, 3, 4}));
  EXPECT_EQ(doc.InfoExtra, 5u);
  ASSERT_EQ(doc.Colours.size(), 2u);
  EXPECT_EQ(doc.Colours[0].Name, "Spot red|{0,100,85,0}");
  EXPECT_EQ(doc.Colours[1].Spec.Model, kModelRGB);
  EXPECT_EQ(doc.Colours[1].Spec.C[2], 0.8f);
  ASSERT_EQ(doc.Gradients.size(), 4u);
  EXPECT_EQ(doc.Gradients[3]->Range->Kind, kGradientConical);
  EXPECT_EQ(doc.Gradients[3]->Tag, kGradientConical);
  EXPECT_EQ(doc.Gradients[0]->Range->LastColour(), 0x80FFFFFFu);
  ASSERT_EQ(doc.Textures.size(), 2u);
  EXPECT_EQ(doc.Textures[1]->Texture->Name, "colour");
  EXPECT_TRUE(doc.Textures[1]->Texture->AuxiliaryA);
  EXPECT_EQ(doc.Textures[1]->Texture->Main->Pixels()[0], 0xFFF0E0D0u);

  ASSERT_TRUE(doc.Root);
  EXPECT_EQ(doc.Root->Kind(), kNodeGroup);
  EXPECT_EQ(dynamic_cast<const TcmfGroup&>(*doc.Root).Value, 7);
  EXPECT_EQ(doc.NodeCounts(), (std::array<int, 4>{1, 1, 1, 3}));
  const auto& geo = dynamic_cast<const TcmfGeo&>(*doc.Root->Child(1));
  ASSERT_TRUE(geo.FillCurve && geo.OutlineCurve);
  EXPECT_EQ(geo.FillCurve->ContourCount(), 2);
  EXPECT_EQ(geo.FillCurve->Matrix().Dx, 1.0f);
  EXPECT_EQ(geo.Attributes.FillCode(), 0u);
  EXPECT_EQ(geo.Attributes.OutlineCode(), 0x10112233u);

  const TBitmap32 picture = PhotoLikeBitmap(9, 3, 1);
  for (int i = 2; i <= 4; ++i) {
    auto& image = dynamic_cast<TcmfImage&>(*doc.Root->Child(i));
    const TBitmap32* bitmap = image.Bitmap->GetBitmap();
    ASSERT_NE(bitmap, nullptr);
    EXPECT_EQ(std::memcmp(bitmap->Pixels(), picture.Pixels(), picture.PixelCount() * 4), 0) << i;
    image.Bitmap->ReleaseBitmap();
    EXPECT_EQ(image.Bounds(), (TRectF{0, 0, 9, 3}));
  }
  EXPECT_TRUE(dynamic_cast<const TcmfImage&>(*doc.Root->Child(2)).EmbeddedFile.empty());
  const auto& embedded = dynamic_cast<const TcmfImage&>(*doc.Root->Child(4)).EmbeddedFile;
  ASSERT_GT(embedded.size(), 8u);
  EXPECT_EQ(std::string(embedded.begin() + 1, embedded.begin() + 4), "PNG");
  // The three pictures are one cache entry.
  EXPECT_EQ(Cache.EntryCount(), 1u);
}

TEST_F(CmfReaderTest, FilesWithoutTheTrailerMarkAreNoDocuments) {
  EXPECT_FALSE(Read({1, 2, 3}).Document);
  std::vector<std::uint8_t> bytes = SamplerDocument();
  bytes[bytes.size() - 152] ^= 1;
  const TLoaded broken = Read(bytes);
  EXPECT_FALSE(broken.Document);
  EXPECT_EQ(broken.Problem, "not a cmf document (no trailer mark)");
}

TEST_F(CmfReaderTest, OneGroupAndNothingElse) {
  TcmfBuilder b;
  b.AddGroup(-1, Style(kNoFill));
  const TLoaded loaded = Read(b.Build());
  ASSERT_TRUE(loaded.Document);
  EXPECT_EQ(loaded.Document->Root->Kind(), kNodeGroup);
  EXPECT_EQ(loaded.Document->Root->ChildCount(), 0);
  EXPECT_EQ(loaded.Document->Root->Child(0), nullptr);
  EXPECT_TRUE(loaded.Document->Gradients.empty());
}

TEST_F(CmfReaderTest, ParentsByIndexInAnyOrderAndNegativeMeansTheFirstNode) {
  TcmfBuilder b;
  b.AddGroup(-1, Style(kNoFill));                                  // 0
  b.AddRawNode(11, 2, kNodePlain, Style(kNoFill), {});             // 1: child of a later node
  b.AddRawNode(12, -5, kNodeGroup, Style(kNoFill), {0, 0, 0, 0});  // 2: child of the first
  const TLoaded loaded = Read(b.Build());
  ASSERT_TRUE(loaded.Document) << loaded.Problem;
  const TcmfGeneric& root = *loaded.Document->Root;
  ASSERT_EQ(root.ChildCount(), 1);
  EXPECT_EQ(root.Child(0)->Tag(), 12);
  ASSERT_EQ(root.Child(0)->ChildCount(), 1);
  EXPECT_EQ(root.Child(0)->Child(0)->Tag(), 11);
}

TEST_F(CmfReaderTest, CyclesAndParentsPastTheEndRefuseTheDocument) {
  TcmfBuilder cycle;
  cycle.AddGroup(-1, Style(kNoFill));
  cycle.AddRawNode(1, 2, kNodePlain, Style(kNoFill), {});
  cycle.AddRawNode(2, 1, kNodePlain, Style(kNoFill), {});
  const TLoaded a = Read(cycle.Build());
  EXPECT_FALSE(a.Document);
  EXPECT_NE(a.Problem.find("its own ancestor"), std::string::npos) << a.Problem;

  TcmfBuilder self;
  self.AddGroup(-1, Style(kNoFill));
  self.AddRawNode(1, 1, kNodePlain, Style(kNoFill), {});
  EXPECT_FALSE(Read(self.Build()).Document);

  TcmfBuilder past;
  past.AddGroup(-1, Style(kNoFill));
  past.AddRawNode(1, 9, kNodePlain, Style(kNoFill), {});
  const TLoaded c = Read(past.Build());
  EXPECT_FALSE(c.Document);
  EXPECT_NE(c.Problem.find("parent 9"), std::string::npos) << c.Problem;
}

TEST_F(CmfReaderTest, TreesNestedTooDeeplyAreRefused) {
  TcmfBuilder deep;
  deep.AddGroup(-1, Style(kNoFill));
  for (int i = 1; i <= TcmfWriter::kMaxDepth + 1; ++i)
    deep.AddRawNode(i, i - 1, kNodePlain, Style(kNoFill), {});
  EXPECT_FALSE(Read(deep.Build()).Document);
}

TEST_F(CmfReaderTest, ALaterCurveOfTheSameTagReplacesTheEarlier) {
  std::vector<std::uint8_t> payload;
  const auto put = [&](std::int32_t v) {
    const auto* p = reinterpret_cast<const std::uint8_t*>(&v);
    payload.insert(payload.end(), p, p + 4);
  };
  const auto first = Square(1), second = Square(2);
  for (const TGeoCurve* curve : {first.get(), second.get()}) {
    put(1);
    const auto record = CurveRecord(curve);
    payload.insert(payload.end(), record.begin(), record.end());
  }
  put(0);
  TcmfBuilder b;
  b.AddRawNode(1, -1, kNodeGeometry, Style(kNoFill), payload);
  const TLoaded loaded = Read(b.Build());
  ASSERT_TRUE(loaded.Document);
  const auto& geo = dynamic_cast<const TcmfGeo&>(*loaded.Document->Root);
  EXPECT_EQ(geo.FillCurve->Point(2).X, 2.0f);
  EXPECT_FALSE(geo.OutlineCurve);
  // All-zero stored bounds: taken from the curves.
  EXPECT_EQ(geo.Bounds(), (TRectF{0, 0, 2, 2}));
}

// An image payload by hand: placement, a square outline, then the bitmap's tag and bytes.
std::vector<std::uint8_t> ImagePayload(std::int32_t tag, const std::vector<std::int32_t>& fields,
                                       const std::vector<std::uint8_t>& data, const std::vector<std::int32_t>& after) {
  std::vector<std::uint8_t> payload(24, 0);
  const auto put = [&](std::int32_t v) {
    const auto* p = reinterpret_cast<const std::uint8_t*>(&v);
    payload.insert(payload.end(), p, p + 4);
  };
  put(3);
  const auto outline = CurveRecord(Square(4).get());
  payload.insert(payload.end(), outline.begin(), outline.end());
  put(tag);
  for (const std::int32_t field : fields) put(field);
  payload.insert(payload.end(), data.begin(), data.end());
  for (const std::int32_t field : after) put(field);
  return payload;
}

TEST_F(CmfReaderTest, ABrokenImageEndsTheNodeTableAndKeepsTheNodesBefore) {
  const TBitmap32 picture = PhotoLikeBitmap(4, 4, 2);
  auto record = EncodeCompressedBitmap(picture);
  std::int32_t m = 0;
  std::memcpy(&m, &record[8], 4);
  std::memcpy(&record[12], &m, 4);  // the check value must be ~m
  const auto payload = ImagePayload(5, {}, record, {0, 0});
  TcmfBuilder b;
  b.AddGroup(-1, Style(kNoFill));
  b.AddPlain(0, Style(kNoFill));
  b.AddRawNode(3, 0, kNodeImage, Style(kNoFill), payload);
  b.AddPlain(0, Style(kNoFill));
  const TLoaded loaded = Read(b.Build());
  ASSERT_TRUE(loaded.Document);
  EXPECT_EQ(loaded.Document->Root->ChildCount(), 1);
}

TEST_F(CmfReaderTest, AnUnknownKindEndsTheNodeTable) {
  TcmfBuilder b;
  b.AddGroup(-1, Style(kNoFill));
  b.AddRawNode(1, 0, 9, Style(kNoFill), {});
  b.AddPlain(0, Style(kNoFill));
  const TLoaded loaded = Read(b.Build());
  ASSERT_TRUE(loaded.Document);
  EXPECT_EQ(loaded.Document->Root->ChildCount(), 0);
}

TEST_F(CmfReaderTest, NoNodesIsNoDocumentAndAnUnreadableFirstNodeIsAnEmptyOne) {
  EXPECT_FALSE(Read(TcmfBuilder().Build()).Document);
  TcmfBuilder b;
  b.AddRawNode(1, -1, 7, Style(kNoFill), {});
  const TLoaded loaded = Read(b.Build());
  ASSERT_TRUE(loaded.Document);
  EXPECT_FALSE(loaded.Document->Root);
}

TEST_F(CmfReaderTest, ARecordRunningOffTheEndRaisesTheStreamAssertion) {
  // The gradient table moved to just before the trailer: its record reads on
  // through the trailer and off the end of the file.
  std::vector<std::uint8_t> bytes = SamplerDocument();
  const std::int64_t at = static_cast<std::int64_t>(bytes.size()) - 152 - 8;
  std::memcpy(&bytes[bytes.size() - 152 + 32], &at, 8);
  try {
    Read(bytes);
    FAIL() << "reading past the end must raise";
  } catch (const EAssertionFailure& e) {
    EXPECT_NE(std::string(e.what()).find("StreamLoader"), std::string::npos) << e.what();
  }
}

TEST_F(CmfReaderTest, CountsThatCannotFitTheFileFailTheRecordWithoutAllocating) {
  TGeoCurveHeader header;
  header.PointCount = 0x7FFFFFFF;
  const auto head = header.ToBytes();
  std::vector<std::uint8_t> payload = {1, 0, 0, 0};
  payload.insert(payload.end(), head.begin(), head.end());
  TcmfBuilder b;
  b.AddGroup(-1, Style(kNoFill));
  b.AddRawNode(1, 0, kNodeGeometry, Style(kNoFill), payload);
  const TLoaded loaded = Read(b.Build());
  ASSERT_TRUE(loaded.Document);
  EXPECT_EQ(loaded.Document->Root->ChildCount(), 0);
}

TEST_F(CmfReaderTest, FailedRecordsKeepTheirSlotsAndEveryOneIsReported) {
  const auto flat = [](int w, int h, TColor32 colour) {
    TBitmap32 bitmap(w, h);
    bitmap.Fill(colour);
    return bitmap;
  };
  const TBitmap32 red = flat(2, 2, 0xFFFF0000), blue = flat(2, 2, 0xFF0000FF), wide = flat(40000, 2, 0xFF336699);
  TcmfBuilder b;
  b.AddTexture("red", "", TTextureImage::Packed(kTextureColourPacked, red));
  b.AddTexture("broken", "", TTextureImage::File({1, 2, 3, 4}, 2, 2));
  b.AddTexture("blue", "", TTextureImage::Packed(kTextureColourPacked, blue));
  b.AddTexture("wide", "", TTextureImage::Packed(kTextureColourPacked, wide));
  b.AddGroup(-1, Style(kNoFill));
  // 1: 100 x 100 pixels in 8 bytes; 2: its child; 3: a small record declaring more than its runs unpack to.
  b.AddRawNode(1, 0, kNodeImage, Style(kNoFill), ImagePayload(4, {100, 100, 8}, std::vector<std::uint8_t>(8), {0, 0}));
  b.AddRawNode(2, 1, kNodePlain, Style(kNoFill), {});
  std::vector<std::uint8_t> runs(1000);
  for (std::size_t i = 0; i < runs.size(); ++i) runs[i] = static_cast<std::uint8_t>(i % 251);
  b.AddRawNode(3, 0, kNodeImage, Style(kNoFill),
               ImagePayload(5, {500, 520, 1000, ~1000, 65000}, runs, {0, 0, 0, 0}));
  const std::vector<std::uint8_t> gif = {'G', 'I', 'F', '8', '9', 'a', 2, 0, 2, 0};  // cut off after the size
  b.AddImage(0, Style(kNoFill), {{{0, 0}, {2, 0}, {0, 2}}}, *Square(2), red, TImageStorage::kCompressed, gif);
  const TLoaded loaded = Read(b.Build());
  ASSERT_TRUE(loaded.Document) << loaded.Problem;
  TcmfFile& doc = *loaded.Document;

  ASSERT_EQ(doc.Textures.size(), 4u);
  EXPECT_FALSE(doc.Textures[1]->Texture);
  EXPECT_EQ(doc.Textures[2]->Texture->Main->Pixels()[0], 0xFF0000FFu);
  const TBitmap32& scaled = *doc.Textures[3]->Texture->Main;
  EXPECT_EQ(scaled.Width(), 32767);
  EXPECT_EQ(scaled.Height(), 2);
  EXPECT_EQ(scaled.Row(1)[20000], 0xFF336699u);
  ASSERT_EQ(doc.Root->ChildCount(), 3);
  const auto& kept = dynamic_cast<const TcmfImage&>(*doc.Root->Child(0));
  EXPECT_FALSE(kept.Bitmap);
  ASSERT_EQ(kept.ChildCount(), 1);
  EXPECT_EQ(kept.Child(0)->Tag(), 2);
  EXPECT_EQ(doc.Problems,
            (std::vector<std::string>{
                "texture 1: the main image does not decode (not a JPEG, PNG, TIFF, BMP or GIF file); fills with it "
                "print nothing",
                "texture 3: its 40000 x 2 pixels are more than can be drawn (32767 a side); it prints from a copy "
                "scaled to 32767 x 2",
                "image node 1: its bitmap's 100 x 100 pixels cannot be in 8 bytes; it prints nothing",
                "image node 3: its bitmap does not decode (500 x 520 pixels cannot be in the 1000 bytes its data "
                "unpacks to); it prints nothing"}));

  // Embedded files decode on demand, once: the broken one is reported, the stored bitmap prints instead.
  std::string why;
  EXPECT_EQ(dynamic_cast<const TcmfImage&>(*doc.Root->Child(2)).EmbeddedBitmap(&why), nullptr);
  EXPECT_EQ(why, "truncated GIF data");
  EXPECT_EQ(doc.CheckEmbeddedImages(), 1);
  EXPECT_EQ(doc.CheckEmbeddedImages(), 1);
  ASSERT_EQ(doc.Problems.size(), 5u);
  EXPECT_EQ(doc.Problems[4],
            "image node 4: the embedded file does not decode (truncated GIF data); its stored bitmap prints instead");
  const TLoaded sampler = Read(SamplerDocument());
  EXPECT_TRUE(sampler.Document->Problems.empty());
  EXPECT_EQ(sampler.Document->CheckEmbeddedImages(), 0);
  EXPECT_NE(dynamic_cast<const TcmfImage&>(*sampler.Document->Root->Child(4)).EmbeddedBitmap(), nullptr);
}

TEST_F(CmfReaderTest, AGradientWithoutStopsEndsTheGradientTable) {
  auto good = MakeRef<TGradRange>();
  good->Stops = {{0xFF000000, 0}};
  auto empty = MakeRef<TGradRange>();
  TcmfBuilder b;
  b.AddGradient(*good);
  b.AddGradient(*empty);
  b.AddGradient(*good);
  b.AddGroup(-1, Style(kNoFill));
  const TLoaded loaded = Read(b.Build());
  ASSERT_TRUE(loaded.Document);
  EXPECT_EQ(loaded.Document->Gradients.size(), 1u);
  EXPECT_EQ(loaded.Document->Problems,
            std::vector<std::string>{"gradient 1: stop count 0 is outside 1..9999; it and the 1 gradient after it "
                                     "are dropped"});
}

}  // namespace
}  // namespace slabrip
