#include "render/cmf_render.h"

#include <gtest/gtest.h>
#include <cmath>
#include <limits>

#include "document/cmf_reader.h"
#include "document/data_stream.h"
#include "tools/cmf_builder.h"
#include "raster/jpeg_writer.h"
#include "raster/png_writer.h"

namespace slabrip {
namespace {

TMemoryProbe Roomy() {
  return {[] { return std::int64_t{0}; }, [] { return std::int64_t{1} << 40; }};
}

std::uint32_t Direct(std::uint32_t rgb) { return 0x10000000u | rgb; }

// A group's attributes: its stored bounds decide whether it is drawn.
TcmfAttributes Group(const TRectF& bounds) { return WithBounds(Style(kNoFill, kNoFill, bounds), bounds); }

// A document rendered into a small band: one document unit per pixel unless told otherwise.
class RenderTest : public ::testing::Test {
 protected:
  TRef<TcmfFile> Load(const TcmfBuilder& builder) {
    TMemoryByteStream stream(builder.Build());
    auto document = TcmfWriter::ReadDocument(stream, Cache);
    EXPECT_TRUE(document);
    return document;
  }
  void Render(const TcmfFile& document, const TAffine& view = {}, TRectF visible = {0, 0, 40, 40}) {
    Band.Fill(0xFFFFFFFF);
    Spots.Fill(0);
    Renderer->Render(document, visible, TMatrixObj(view), false, SpotChannels);
  }
  TColor32 At(int x, int y) const { return Band.Row(y)[x]; }
  std::uint16_t SpotAt(int x, int y) const { return Spots.Row(y)[x]; }
  int CountNot(TColor32 colour) const {
    int n = 0;
    for (std::size_t i = 0; i < Band.PixelCount(); ++i) n += Band.Pixels()[i] != colour ? 1 : 0;
    return n;
  }

  TBM32CacheManager Cache{Roomy()};
  TBitmap32 Band{40, 40};
  TWordMap Spots{40, 40};
  std::vector<std::int32_t> SpotChannels;  // the documents' spot channel table, by colour index
  TRef<TcmfRender> Renderer = [this] {
    auto r = MakeRef<TcmfRender>();
    r->TargetBitmap = &Band;
    r->SpotMap = &Spots;
    return r;
  }();
};

std::unique_ptr<TGeoCurve> Rect(float l, float t, float r, float b) {
  TCurveBuilder c;
  c.Rectangle(l, t, r, b);
  return c.Build();
}

TEST_F(RenderTest, SolidFillsPaintInsideTheShapeOnly) {
  TcmfBuilder b;
  const int root = b.AddGroup(-1, Group({0, 0, 40, 40}));
  b.AddGeometry(root, Style(Direct(0x3366CC), kNoFill, {10, 10, 20, 20}), Rect(10, 10, 20, 20).get());
  const auto doc = Load(b);
  Render(*doc);
  EXPECT_EQ(At(15, 15), 0xFF3366CCu);
  EXPECT_EQ(At(5, 5), 0xFFFFFFFFu);
  EXPECT_EQ(At(25, 15), 0xFFFFFFFFu);
}

TEST_F(RenderTest, AFullyTransparentDirectFillLeavesThePaper) {
  TcmfBuilder b;
  const int root = b.AddGroup(-1, Group({0, 0, 40, 40}));
  TcmfAttributes a = Style(Direct(0x000000), kNoFill, {0, 0, 40, 40});
  a.SetTransparency(255);
  b.AddGeometry(root, a, Rect(0, 0, 40, 40).get());
  Render(*Load(b));
  EXPECT_EQ(CountNot(0xFFFFFFFF), 0);
}

TEST_F(RenderTest, NodesOutsideTheVisibleRectangleAreSkippedWithTheirChildren) {
  TcmfBuilder b;
  const int root = b.AddGroup(-1, Group({0, 0, 40, 40}));
  // A group whose bounds lie below the band holds a child that would be visible.
  const int below = b.AddGroup(root, Group({0, 100, 40, 140}));
  b.AddGeometry(below, Style(Direct(0xFF0000), kNoFill, {0, 0, 40, 40}), Rect(0, 0, 40, 40).get());
  // A group with all-zero bounds counts as the point (0, 0).
  const int zero = b.AddGroup(root, Group({0, 0, 0, 0}));
  b.AddGeometry(zero, Style(Direct(0x00FF00), kNoFill, {0, 0, 5, 5}), Rect(0, 0, 5, 5).get());
  const auto doc = Load(b);
  Render(*doc);
  EXPECT_EQ(At(20, 20), 0xFFFFFFFFu);
  EXPECT_EQ(At(2, 2), 0xFF00FF00u);
  Render(*doc, {}, {1, 1, 40, 40});  // (0, 0) outside: the zero group is skipped
  EXPECT_EQ(At(2, 2), 0xFFFFFFFFu);
}

TEST_F(RenderTest, SpotFillsWriteWhiteWithTheirTransparencyAndTheirChannel) {
  TcmfBuilder b;
  b.AddColour(TUniColorSpec::Make(kModelRGB, {1, 0, 0}), "Spot|{0,100,100,0}");
  const int root = b.AddGroup(-1, Group({0, 0, 40, 40}));
  b.AddGeometry(root, Style(0, kNoFill, {5, 5, 15, 15}), Rect(5, 5, 15, 15).get());
  TcmfAttributes clear = Style(0, kNoFill, {20, 5, 30, 15});
  clear.SetTransparency(255);
  b.AddGeometry(root, clear, Rect(20, 5, 30, 15).get());
  TcmfAttributes half = Style(0, kNoFill, {5, 20, 15, 30});
  half.SetTransparency(100);
  b.AddGeometry(root, half, Rect(5, 20, 15, 30).get());
  auto doc = Load(b);
  SpotChannels = {5};
  Render(*doc);
  EXPECT_EQ(At(10, 10), 0x00FFFFFFu);
  EXPECT_EQ(SpotAt(10, 10), 5);
  EXPECT_EQ(At(25, 10), 0xFFFFFFFFu);
  EXPECT_EQ(SpotAt(25, 10), 5);
  EXPECT_EQ(At(10, 25), 0x64FFFFFFu);
  EXPECT_EQ(SpotAt(2, 2), 0);
  // Rows 5..14 hold crossings; the shape's pixel box (right edge 15, exclusive) bounds the spans.
  EXPECT_EQ(SpotAt(5, 5), 5);
  EXPECT_EQ(SpotAt(14, 10), 5);
  EXPECT_EQ(SpotAt(15, 10), 0);
  EXPECT_EQ(SpotAt(10, 15), 0);

  // Without a spot channel table the colour paints normally, and so with -1 in it.
  SpotChannels.clear();
  Render(*doc);
  EXPECT_EQ(At(10, 10), 0xFFFF0000u);
  EXPECT_EQ(SpotAt(10, 10), 0);
  SpotChannels = {-1};
  Render(*doc);
  EXPECT_EQ(At(10, 10), 0xFFFF0000u);
  EXPECT_EQ(SpotAt(10, 10), 0);

  // An open contour fills as cairo fills it: closed by a line back to its start.
  TcmfBuilder open;
  open.AddColour(TUniColorSpec::Make(kModelRGB, {1, 0, 0}), "Spot|{0,100,100,0}");
  const int top = open.AddGroup(-1, Group({0, 0, 40, 40}));
  TCurveBuilder corner;
  corner.MoveTo(5, 5).LineTo(35, 5).LineTo(35, 35);
  open.AddGeometry(top, Style(0, kNoFill, {5, 5, 35, 35}), corner.Build().get());
  auto openDoc = Load(open);
  SpotChannels = {5};
  Render(*openDoc);
  EXPECT_EQ(SpotAt(30, 10), 5);
  EXPECT_EQ(SpotAt(10, 30), 0);  // beyond the closing diagonal
}

TEST_F(RenderTest, SpotSpansAreClippedToTheVisibleArea) {
  TcmfBuilder b;
  b.AddColour(TUniColorSpec::Make(kModelGray, {0}), "Black|{0,0,0,100}");
  const int root = b.AddGroup(-1, Group({-100, 0, 200, 40}));
  b.AddGeometry(root, Style(0, kNoFill, {-100, 0, 200, 40}), Rect(-100, 10, 200, 20).get());
  auto doc = Load(b);
  SpotChannels = {3};
  Render(*doc, {}, {8, 0, 30, 40});
  EXPECT_EQ(SpotAt(8, 15), 3);
  EXPECT_EQ(SpotAt(29, 15), 3);
  EXPECT_EQ(SpotAt(7, 15), 0);
  EXPECT_EQ(SpotAt(30, 15), 0);
  Render(*doc);  // the whole band visible: the span covers the row
  EXPECT_EQ(SpotAt(0, 15), 3);
  EXPECT_EQ(SpotAt(39, 15), 3);
}

TEST_F(RenderTest, HairlinesStrokeOnlyWhenThereIsNoOutline) {
  TcmfBuilder b;
  const int root = b.AddGroup(-1, Group({0, 0, 40, 40}));
  TcmfAttributes hair = Style(Direct(0x0000FF), kNoFill, {5, 5, 35, 35});
  hair.SetFlags(kAttrHairline);
  b.AddGeometry(root, hair, Rect(5.5f, 5.5f, 34.5f, 34.5f).get());
  TcmfAttributes both = Style(Direct(0x0000FF), Direct(0x00FF00), {5, 5, 35, 35});
  both.SetFlags(kAttrHairline);
  const auto doc = Load(b);
  Render(*doc);
  EXPECT_EQ(At(5, 20), 0xFF0000FFu);   // on the line
  EXPECT_EQ(At(20, 20), 0xFFFFFFFFu);  // not filled

  TcmfBuilder c;
  const int r2 = c.AddGroup(-1, Group({0, 0, 40, 40}));
  c.AddGeometry(r2, both, Rect(5.5f, 5.5f, 34.5f, 34.5f).get(), Rect(0, 0, 3, 3).get());
  Render(*Load(c));
  EXPECT_EQ(At(5, 20), 0xFFFFFFFFu);  // no hairline beside an outline
  EXPECT_EQ(At(1, 1), 0xFF00FF00u);   // only the outline area
}

TEST_F(RenderTest, SpecialFillsOneAndThreeDrawNothingButHatchAsOutlines) {
  TcmfBuilder b;
  const int root = b.AddGroup(-1, Group({0, 0, 40, 40}));
  b.AddGeometry(root, Style(0x20000001, kNoFill, {0, 0, 40, 40}), Rect(0, 0, 40, 20).get());
  b.AddGeometry(root, Style(0x20000003, kNoFill, {0, 0, 40, 40}), Rect(0, 0, 40, 20).get());
  b.AddGeometry(root, Style(kNoFill, 0x20000003, {0, 20, 40, 40}), nullptr, Rect(0, 20, 40, 40).get());
  Render(*Load(b));
  int painted = 0;
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 40; ++x) painted += At(x, y) != 0xFFFFFFFFu ? 1 : 0;
  EXPECT_EQ(painted, 0);
  int hatched = 0;
  for (int y = 20; y < 40; ++y)
    for (int x = 0; x < 40; ++x) hatched += At(x, y) != 0xFFFFFFFFu ? 1 : 0;
  EXPECT_GT(hatched, 100);  // a 50 percent pattern marks about half the pixels
  EXPECT_LT(hatched, 700);
}

TEST_F(RenderTest, MissingTableEntriesSkipOrBlackenAndBrokenCurvesDrawNothing) {
  TcmfBuilder b;
  const int root = b.AddGroup(-1, Group({0, 0, 40, 40}));
  b.AddGeometry(root, Style(0x40000007, kNoFill, {0, 0, 10, 10}), Rect(0, 0, 10, 10).get());    // gradient 7
  b.AddGeometry(root, Style(0x60000003, kNoFill, {10, 0, 20, 10}), Rect(10, 0, 20, 10).get());  // texture 3
  b.AddGeometry(root, Style(0x00000009, kNoFill, {20, 0, 30, 10}), Rect(20, 0, 30, 10).get());  // colour 9
  const float nan = std::numeric_limits<float>::quiet_NaN(), huge = 1e30f;
  b.AddGeometry(root, Style(Direct(0xFF00FF), kNoFill, {0, 20, 40, 40}), Rect(0, 20, nan, 40).get());
  b.AddGeometry(root, Style(Direct(0x00FFFF), kNoFill, {0, 20, 40, 40}), Rect(-huge, 30, huge, 35).get());
  Render(*Load(b));
  EXPECT_EQ(At(5, 5), 0xFFFFFFFFu);
  EXPECT_EQ(At(15, 5), 0xFFFFFFFFu);
  EXPECT_EQ(At(25, 5), 0xFF000000u);
  EXPECT_NE(At(20, 22), 0xFFFF00FFu);
}

TEST_F(RenderTest, ImagesFillTheirOutlineOnARotatedParallelogram) {
  // Four 10 x 10 quadrants: red, green / blue, black.
  TBitmap32 picture(20, 20);
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 20; ++x)
      picture.Row(y)[x] =
          y < 10 ? (x < 10 ? 0xFFFF0000u : 0xFF00FF00u) : (x < 10 ? 0xFF0000FFu : 0xFF000000u);
  TcmfBuilder b;
  const int root = b.AddGroup(-1, Group({0, 0, 40, 40}));
  // Turned a quarter clockwise: the image's top edge runs down the right side.
  const std::array<TPointF, 3> place{TPointF{35, 5}, TPointF{35, 35}, TPointF{5, 5}};
  b.AddImage(root, Style(kNoFill), place, *Rect(5, 5, 35, 35), picture, TImageStorage::kCompressed);
  Render(*Load(b));
  EXPECT_EQ(At(30, 10), 0xFFFF0000u);  // image top-left quadrant: near the top right
  EXPECT_EQ(At(30, 30), 0xFF00FF00u);  // image top-right: bottom right
  EXPECT_EQ(At(10, 10), 0xFF0000FFu);  // image bottom-left: top left
  EXPECT_EQ(At(10, 30), 0xFF000000u);
  EXPECT_EQ(At(2, 2), 0xFFFFFFFFu);
}

TEST_F(RenderTest, EmbeddedFilesDrawInsteadOfTheStoredBitmapAndBrokenOnesFallBack) {
  TBitmap32 stored(8, 8), embedded(8, 8);
  stored.Fill(0xFF0000FF);
  embedded.Fill(0xFFFF8000);
  for (const bool jpeg : {false, true}) {
    TcmfBuilder b;
    const int root = b.AddGroup(-1, Group({0, 0, 40, 40}));
    const std::array<TPointF, 3> place{TPointF{0, 0}, TPointF{40, 0}, TPointF{0, 40}};
    b.AddImage(root, Style(kNoFill), place, *Rect(0, 0, 40, 40), stored, TImageStorage::kCompressed,
               jpeg ? EncodeJpeg(embedded, 95) : EncodePng(embedded));
    const auto doc = Load(b);
    Render(*doc);
    const TColor32 p = At(20, 20);
    EXPECT_NEAR(static_cast<int>(p >> 16 & 255), 255, 3) << jpeg;
    EXPECT_NEAR(static_cast<int>(p >> 8 & 255), 128, 3) << jpeg;
    EXPECT_NEAR(static_cast<int>(p & 255), 0, 3) << jpeg;
    Renderer->EmbeddedFileMode = false;
    Render(*doc);
    EXPECT_EQ(At(20, 20), 0xFF0000FFu);
    Renderer->EmbeddedFileMode = true;
  }
  TcmfBuilder broken;
  const int root = broken.AddGroup(-1, Group({0, 0, 40, 40}));
  broken.AddImage(root, Style(kNoFill), {TPointF{0, 0}, TPointF{40, 0}, TPointF{0, 40}}, *Rect(0, 0, 40, 40),
                  stored, TImageStorage::kCompressed, {0xFF, 0xD8, 0xFF, 0x00, 0x01});
  Render(*Load(broken));
  EXPECT_EQ(At(20, 20), 0xFF0000FFu);
}

}  // namespace
}  // namespace slabrip
