#include "engine/rip_engine.h"

#include <fmt/format.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <filesystem>

#include "base/errors.h"
#include "render/band_rows.h"
#include "support/slab_files.h"
#include "tools/cmf_builder.h"

namespace slabrip {
namespace {

using test::TTempDir;

TEST(SpotInkValues, ParsePercentagesAfterTheMarker) {
  EXPECT_EQ(ParseSpotInkValues("Blue|{100, 50}"), (TInkVector{{32767, 16384}}));  // 16383.5 to even
  EXPECT_EQ(ParseSpotInkValues("Blue|{150}"), (TInkVector{{32767}}));
  EXPECT_EQ(ParseSpotInkValues("Red|{0,100,85,10}"), (TInkVector{{0, 32767, 27852, 3277}}));
  EXPECT_EQ(ParseSpotInkValues("Blue|{1,2,3,4,5,6,7,8,9}"), std::nullopt);
  EXPECT_EQ(ParseSpotInkValues("Blue|{10"), std::nullopt);
  EXPECT_EQ(ParseSpotInkValues("Blue|{1x}"), std::nullopt);
  EXPECT_EQ(ParseSpotInkValues("Blue"), std::nullopt);
  EXPECT_EQ(ParseSpotInkValues(""), std::nullopt);
  // A separator with no number before it is skipped: "..5" does not parse, so the text stays.
  EXPECT_EQ(ParseSpotInkValues("Odd|{,50}"), (TInkVector{{16384}}));
}

// A slab at 10 pixels per millimetre: 100 x 60 mm of media, one job placed at
// (10, 5) whose document has a red square, two spot squares and crop marks.
class EngineTest : public ::testing::Test {
protected:
  void WriteSlab(const std::string& info, const std::string& alignMarks = "", const std::string& preset = "") {
    std::filesystem::copy_file(SLABRIP_CMYK_PROFILE, Dir.File("Printer.icc"),
                               std::filesystem::copy_options::overwrite_existing);
    TcmfBuilder doc;
    doc.AddColour(TUniColorSpec::Make(kModelRGB, {1, 0, 1}), "Spot|{0,100,0,0}");
    doc.AddColour(TUniColorSpec::Make(kModelRGB, {0, 1, 1}), "Half|{100,0,0,0}");
    const TRectF page{0, 0, 80, 40};
    const int root = doc.AddGroup(-1, WithBounds(Style(kNoFill, kNoFill, page), page));
    TCurveBuilder red, spot, half;
    red.Rectangle(2, 2, 30, 30);
    spot.Rectangle(40, 5, 50, 15);
    half.Rectangle(60, 5, 70, 15);
    doc.AddGeometry(root, Style(0x10FF0000, kNoFill, page), red.Build().get());
    doc.AddGeometry(root, Style(0, kNoFill, page), spot.Build().get());
    TcmfAttributes translucent = Style(1, kNoFill, page);
    translucent.SetTransparency(128);
    doc.AddGeometry(root, translucent, half.Build().get());
    const auto bytes = doc.Build();
    Dir.Write("art.cmf", std::string(bytes.begin(), bytes.end()));
    Dir.Write("a.RipJob", "[Job]\r\nSrcFile=C:\\Jobs\\art.cmf\r\nJobName=Art\r\nUseCropMarks=1\r\n"
                          "[FullBounds]\r\nMaxX=80\r\nMaxY=40\r\n[SpotFlags]\r\nSpotCount=1\r\nSpot1=3\r\n");
    TRipJobPos place;
    place.SetJobIndex(0);
    place.SetPlacedBounds({10, 5, 90, 45});
    place.SetTransform({10, 5, 1, 0, 0, 1});
    const std::string slab = test::SlabFileText(
        {"C:\\Queue\\a.RipJob"}, {place},
        info + "MediaWidth=100\r\nMediaHeight=60\r\nRenderDPI=254\r\nRenderWidth=1000\r\nRenderHeight=600\r\n"
               "RipWidth=2000\r\nRipHeight=1200\r\n",
        alignMarks + "[SnapShot_MediaPreset]\r\nIccProfile=Printer.icc\r\n" + preset);
    SlabPath = Dir.Write("s.RipSlab", slab);
  }
  void Prepare() {
    Engine->IccFolder = Dir.Path();
    ASSERT_NO_THROW(Engine->PrepareForSlab(SlabPath));
  }
  // The ink vector of slab point (x, y) millimetres.
  TInkVector InksAt(double x, double y) {
    const auto row = static_cast<int>(y * 10);
    Engine->PrepareRow(row);
    return Engine->InkRow()->Input()[static_cast<std::size_t>(x * 10)];
  }
  std::uint16_t SpotAt(double x, double y) {
    const auto row = static_cast<int>(y * 10);
    Engine->PrepareRow(row);
    return Engine->SpotMap().Row(row - Engine->BandTop())[static_cast<std::size_t>(x * 10)];
  }

  TTempDir Dir;
  std::string SlabPath;
  TRef<TRipEngine> Engine = MakeRef<TRipEngine>();
};

TEST_F(EngineTest, FlatFillsTakeTheirInksFromTheColourTablesAndChannelTables) {
  WriteSlab("");
  Prepare();
  // The same conversion by hand: table lookup of pure red, then the channel tables.
  TColourLookup lookup;
  lookup.MakeCurrent(*Engine->InkManager()->FirstTable());
  lookup.InvalidateCache(0xFFFF0000);
  lookup.LookupFourInk(0xFFFF0000);
  const TColor32 bytes = lookup.LastResult();
  const auto& tables = Engine->InkManager()->ChannelTables();
  TInkVector expected;
  for (std::size_t c = 0; c < 4; ++c)
    for (std::size_t lane = 0; lane < 8; ++lane)
      expected.Lane[lane] = static_cast<std::int16_t>(expected.Lane[lane] | tables[c][bytes >> (8 * c) & 255].Lane[lane]);
  EXPECT_EQ(InksAt(25, 20), expected);  // document (15, 15)
  EXPECT_GT(expected.Lane[1], 20000);   // red prints magenta and yellow
  EXPECT_EQ(InksAt(5, 55), TInkVector{});  // paper
}

TEST_F(EngineTest, SpotFillsAddTheirPaletteEntryWeightedByOpacity) {
  WriteSlab("");
  Prepare();
  EXPECT_EQ(InksAt(55, 15), (TInkVector{{0, 32767}}));  // document (45, 10): colour 0, opaque
  EXPECT_NE(SpotAt(55, 15), 0);
  // Transparency 128 leaves weight 127: ((32767 * 127 * 128) >> 16) * 2.
  EXPECT_EQ(InksAt(75, 15), (TInkVector{{16254}}));
  // The palette starts with no ink and mark black.
  const auto& palette = Engine->InkManager()->SpotPalette();
  ASSERT_GE(palette.size(), 4u);
  EXPECT_EQ(palette[0], TInkVector{});
  EXPECT_EQ(palette[1], (TInkVector{{0, 0, 0, 32766}}));
}

TEST_F(EngineTest, CropMarksPrintBlackOutsideTheJob) {
  WriteSlab("");
  Prepare();
  // The top-left horizontal line: job frame x -20..-5 at y 0 +- 0.25, placed at (10, 5).
  EXPECT_EQ(InksAt(-10 + 10 + 0.5, 5.0), (TInkVector{{0, 0, 0, 32766}}));
  EXPECT_EQ(SpotAt(0.5, 5.0), 1);
  EXPECT_EQ(InksAt(-3 + 10 + 0.5, 5.0), TInkVector{});  // the 5 mm gap before the trim
}

TEST_F(EngineTest, CommandMarksKnockOutWhiteAndGoUnderTheJobs) {
  // Below the art: a black bar with a white 2 mm square knocked out of it;
  // then a black square where the red fill will cover it.
  WriteSlab("", "[AlignMarks]\r\nAlignMarkCmd=<20 X 48 Y FB 20 10 RE FW 2 2 RE 15 X 10 Y FB 4 4 RE>\r\n"
                "AlignPosMinX=15\r\nAlignPosMinY=10\r\nAlignPosMaxX=40\r\nAlignPosMaxY=35\r\n");
  Prepare();
  EXPECT_EQ(InksAt(30, 52), (TInkVector{{0, 0, 0, 32766}}));
  EXPECT_EQ(SpotAt(30, 52), 1);
  EXPECT_EQ(InksAt(21, 49), TInkVector{});  // knocked out
  EXPECT_EQ(SpotAt(21, 49), 0);
  const TInkVector underArt = InksAt(16, 12);
  EXPECT_GT(underArt.Lane[1], 20000);  // the job's red drew over the mark
  EXPECT_EQ(underArt.Lane[3], 0);
}

TEST_F(EngineTest, AlignmentMarksNeedAPositiveSetOrACommand) {
  // The default frame is the media inset by 20 mm: its bottom-left corner is (20, 40), clear of the art.
  for (const char* marks : {"AlignMarks=0\r\n", "AlignMarks=-1\r\n"}) {
    WriteSlab(marks);
    Engine = MakeRef<TRipEngine>();
    Prepare();
    EXPECT_EQ(InksAt(20, 40), TInkVector{}) << marks;
  }
  WriteSlab("AlignMarks=1\r\n");
  Engine = MakeRef<TRipEngine>();
  Prepare();
  EXPECT_EQ(InksAt(20, 40).Lane[3], 32766);  // the centre of a target
  WriteSlab("AlignMarks=2\r\n");
  Engine = MakeRef<TRipEngine>();
  Prepare();
  EXPECT_EQ(InksAt(20.5, 40.5).Lane[3], 32766);  // inside the black 2 mm square
  EXPECT_EQ(InksAt(23, 43), TInkVector{});        // its white backing
}

TEST_F(EngineTest, TurnedCommandMarksLayOutInAnExchangedFrame) {
  // Frame 40 wide, 20 high: laid out 20 wide and 40 high, then turned a quarter clockwise.
  WriteSlab("", "[AlignMarks]\r\nAlignMarkCmd=L T 3 CIR\r\nAlignPosRot90=1\r\nAlignPosMinX=50\r\n"
                "AlignPosMinY=30\r\nAlignPosMaxX=90\r\nAlignPosMaxY=50\r\n");
  Prepare();
  EXPECT_EQ(InksAt(89, 31).Lane[3], 32766);  // the layout's top-left lands at the frame's top-right
  EXPECT_EQ(InksAt(51, 31), TInkVector{});
}

TEST_F(EngineTest, BandsAreDrawnOnceEachAndRowsConvertWithinThem) {
  WriteSlab("");
  Prepare();
  EXPECT_EQ(Engine->BandHeight(), 4000);  // 4,000,000 / 1000, more than the slab
  Engine->PrepareRow(5);
  Engine->PrepareRow(5);
  Engine->PrepareRow(599);
  EXPECT_EQ(Engine->BandsDrawn(), 1);
}

TEST_F(EngineTest, SixInksOnlyWithBothSplitBits) {
  const char* split = "InkSplitC0=0,0/100,50\r\nInkSplitC1=0,0/100,100\r\nInkSplitM0=0,0/100,50\r\n"
                      "InkSplitM1=0,0/100,100\r\n";
  WriteSlab("", "", std::string("InkSplitFlags=1\r\n") + split);
  Prepare();
  EXPECT_EQ(Engine->InkRow()->ChannelCount(), 4);
  WriteSlab("", "", std::string("InkSplitFlags=3\r\n") + split);
  Engine = MakeRef<TRipEngine>();
  Prepare();
  EXPECT_EQ(Engine->InkRow()->ChannelCount(), 6);
  EXPECT_GT(InksAt(25, 20).Lane[5], 0);  // light magenta from the split
}

TEST_F(EngineTest, PreparationStopsAtTheFirstStepThatFailsAndSaysWhy) {
  using ::testing::HasSubstr;
  using ::testing::ThrowsMessage;
  WriteSlab("");
  Engine->IccFolder = Dir.Path();
  EXPECT_THAT([&] { Engine->PrepareForSlab(Dir.File("missing.RipSlab")); },
              ThrowsMessage<ESlabNotLoaded>("no such file"));
  EXPECT_FALSE(Engine->Slab());
  Engine->IccFolder = Dir.File("nowhere");
  EXPECT_THAT([&] { Engine->PrepareForSlab(SlabPath); },
              ThrowsMessage<ENoColourTables>(HasSubstr("ICC profile not found: Printer.icc")));
  EXPECT_TRUE(Engine->Slab());
  EXPECT_FALSE(Engine->InkRow());  // no buffers without tables
  EXPECT_THROW(Engine->PrepareBuffers(), TError);
  Engine->IccFolder = "";
  EXPECT_THAT([&] { Engine->PrepareForSlab(SlabPath); }, ThrowsMessage<TError>("No ICC Path Set"));
  EXPECT_TRUE(Engine->Slab());
  Engine->IccFolder = Dir.Path();
  EXPECT_THROW(Engine->PrepareForSlab(SlabPath, -1), TError);  // no band of -1 rows
  ASSERT_NO_THROW(Engine->PrepareForSlab(SlabPath, 7));
  EXPECT_EQ(Engine->BandHeight(), 7);
  EXPECT_GE(Engine->InkManager()->SpotPalette().size(), 3u);  // none, black for marks, the job's spots

  auto fresh = MakeRef<TRipEngine>();
  fresh->IccFolder = Dir.Path();
  EXPECT_THAT([&] { fresh->PrepareInkManager(); }, ThrowsMessage<TError>("No RipFile loaded"));
}

TEST(BandRows, AboutFourMillionPixelsAndAtLeastSixteenRows) {
  EXPECT_EQ(BandRowsFor(1), 4'000'000);
  EXPECT_EQ(BandRowsFor(1000), 4000);
  EXPECT_EQ(BandRowsFor(3333), 1200);
  EXPECT_EQ(BandRowsFor(250'000), 16);
  EXPECT_EQ(BandRowsFor(1'000'000), 16);
}

TEST_F(EngineTest, BandHeightKeepsBandsNearFourMillionPixels) {
  for (const auto& [width, height] : {std::pair{300'000, 16}, {10'000, 400}, {4000, 1000}}) {
    WriteSlab(fmt::format("RenderWidth={}\r\n", width));
    Engine = MakeRef<TRipEngine>();
    Prepare();
    EXPECT_EQ(Engine->BandHeight(), height) << width;
    EXPECT_EQ(Engine->Band().Width(), width);
  }
  WriteSlab("RenderWidth=10000\r\nRenderHeight=2000\r\n");
  Engine = MakeRef<TRipEngine>();
  Prepare();
  Engine->PrepareRow(0);
  Engine->PrepareRow(5);
  EXPECT_EQ(Engine->BandsDrawn(), 1);
  Engine->PrepareRow(Engine->BandHeight());
  EXPECT_EQ(Engine->BandsDrawn(), 2);
  EXPECT_EQ(Engine->BandTop(), 400);
  WriteSlab("RenderWidth=0\r\n");
  Engine = MakeRef<TRipEngine>();
  Engine->IccFolder = Dir.Path();
  Engine->LoadSlab(SlabPath);
  Engine->PrepareInkManager();
  EXPECT_THROW(Engine->PrepareBuffers(), TError);
}

TEST_F(EngineTest, WideNarrowAndHugeArtworkAllPrint) {
  // At 10 pixels a millimetre 3780 mm is 37,800 pixels, wider than cairo's
  // images; 4 mm wide gives bands taller than them. Over the red page's top
  // half an image of 40,000 x 2 pixels, blue then green, larger than cairo's images too.
  std::filesystem::copy_file(SLABRIP_CMYK_PROFILE, Dir.File("Printer.icc"));
  TBitmap32 picture(40000, 2);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 40000; ++x) picture.Row(y)[x] = x < 20000 ? 0xFF0000FFu : 0xFF00FF00u;
  const auto dominant = [](TColor32 pixel) {
    const std::array<int, 3> rgb = {int(pixel >> 16 & 255), int(pixel >> 8 & 255), int(pixel & 255)};
    return rgb[0] > 200 && rgb[1] < 60 && rgb[2] < 60   ? 'r'
           : rgb[1] > 200 && rgb[0] < 60 && rgb[2] < 60 ? 'g'
           : rgb[2] > 200 && rgb[0] < 60 && rgb[1] < 60 ? 'b'
                                                        : '?';
  };
  for (const auto& [width, height] : {std::pair{3780, 4}, std::pair{4, 400}}) {
    const auto w = static_cast<float>(width), h = static_cast<float>(height);
    TcmfBuilder doc;
    const TRectF page{0, 0, w, h};
    const int root = doc.AddGroup(-1, WithBounds(Style(kNoFill, kNoFill, page), page));
    TCurveBuilder all, top;
    all.Rectangle(0, 0, w, h);
    top.Rectangle(0, 0, w, h / 2);
    doc.AddGeometry(root, Style(0x10FF0000, kNoFill, page), all.Build().get());
    doc.AddImage(root, Style(kNoFill), {TPointF{0, 0}, TPointF{w, 0}, TPointF{0, h / 2}}, *top.Build(), picture,
                 TImageStorage::kCompressed);
    const auto bytes = doc.Build();
    Dir.Write("art.cmf", std::string(bytes.begin(), bytes.end()));
    Dir.Write("a.RipJob", fmt::format("[Job]\r\nSrcFile=art.cmf\r\n[FullBounds]\r\nMaxX={}\r\nMaxY={}\r\n", w, h));
    TRipJobPos place;
    place.SetJobIndex(0);
    place.SetPlacedBounds(page);
    place.SetTransform({0, 0, 1, 0, 0, 1});
    SlabPath = Dir.Write(
        "s.RipSlab", test::SlabFileText({Dir.File("a.RipJob")}, {place},
                                        fmt::format("MediaWidth={}\r\nMediaHeight={}\r\nRenderDPI=254\r\nRenderWidth={}"
                                                    "\r\nRenderHeight={}\r\nRipWidth={}\r\n",
                                                    w, h, width * 10, height * 10, width * 10),
                                        "[SnapShot_MediaPreset]\r\nIccProfile=Printer.icc\r\n"));
    Engine = MakeRef<TRipEngine>();
    Prepare();
    EXPECT_LE(Engine->BandHeight(), 32767);
    const auto pixel = [&](int x, int y) {
      Engine->PrepareRow(y);
      return dominant(Engine->Band().Row(y - Engine->BandTop())[x]);
    };
    const int across = width * 10, down = height * 10;
    EXPECT_EQ(std::string({pixel(across / 10, down / 4), pixel(across - across / 10, down / 4),
                           pixel(across / 10, down * 3 / 4), pixel(across - across / 10, down * 3 / 4)}),
              "bgrr")
        << width << " x " << height << " mm";
  }
}

}  // namespace
}  // namespace slabrip
