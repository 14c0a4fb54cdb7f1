#include "tools/demo_artwork.h"

#include <algorithm>
#include <cmath>
#include <random>

#include "tools/cmf_builder.h"
#include "raster/jpeg_writer.h"
#include "raster/png_writer.h"

namespace slabrip {

namespace {

constexpr double kQuarter = 0.70710678118654752;  // the weight of a quarter circle

std::uint32_t Direct(std::uint32_t rgb) { return 0x10000000u | rgb; }
std::uint32_t Named(int index) { return static_cast<std::uint32_t>(index); }
std::uint32_t Gradient(int index) { return 0x40000000u | static_cast<std::uint32_t>(index); }
std::uint32_t Texture(int index) { return 0x60000000u | static_cast<std::uint32_t>(index); }

// A rectangle with corners rounded by quarter arcs of radius r.
void RoundedRect(TCurveBuilder& c, float l, float t, float r, float b, float radius) {
  c.MoveTo(l + radius, t)
      .LineTo(r - radius, t)
      .ConicTo(r, t, r, t + radius, kQuarter)
      .LineTo(r, b - radius)
      .ConicTo(r, b, r - radius, b, kQuarter)
      .LineTo(l + radius, b)
      .ConicTo(l, b, l, b - radius, kQuarter)
      .LineTo(l, t + radius)
      .ConicTo(l, t, l + radius, t, kQuarter)
      .Close();
}

// The same, running the other way round: a hole in a winding fill.
void RoundedRectReversed(TCurveBuilder& c, float l, float t, float r, float b, float radius) {
  c.MoveTo(l + radius, t)
      .ConicTo(l, t, l, t + radius, kQuarter)
      .LineTo(l, b - radius)
      .ConicTo(l, b, l + radius, b, kQuarter)
      .LineTo(r - radius, b)
      .ConicTo(r, b, r, b - radius, kQuarter)
      .LineTo(r, t + radius)
      .ConicTo(r, t, r - radius, t, kQuarter)
      .Close();
}

// A letter C: three quarters of a ring between radii ro and ri, open to the right.
void LetterC(TCurveBuilder& c, float cx, float cy, float ro, float ri) {
  c.MoveTo(cx + ro * 0.7071f, cy - ro * 0.7071f)
      .ConicTo(cx, cy - ro * 1.4142f, cx - ro * 0.7071f, cy - ro * 0.7071f, kQuarter)
      .ConicTo(cx - ro * 1.4142f, cy, cx - ro * 0.7071f, cy + ro * 0.7071f, kQuarter)
      .ConicTo(cx, cy + ro * 1.4142f, cx + ro * 0.7071f, cy + ro * 0.7071f, kQuarter)
      .LineTo(cx + ri * 0.7071f, cy + ri * 0.7071f)
      .ConicTo(cx, cy + ri * 1.4142f, cx - ri * 0.7071f, cy + ri * 0.7071f, kQuarter)
      .ConicTo(cx - ri * 1.4142f, cy, cx - ri * 0.7071f, cy - ri * 0.7071f, kQuarter)
      .ConicTo(cx, cy - ri * 1.4142f, cx + ri * 0.7071f, cy - ri * 0.7071f, kQuarter)
      .Close();
}

// A letter O: a ring.
void LetterO(TCurveBuilder& c, float cx, float cy, float ro, float ri) {
  c.Ellipse(cx, cy, ro, ro);
  // The inner circle reversed, so the winding fill leaves it open.
  c.MoveTo(cx + ri, cy)
      .ConicTo(cx + ri, cy - ri, cx, cy - ri, kQuarter)
      .ConicTo(cx - ri, cy - ri, cx - ri, cy, kQuarter)
      .ConicTo(cx - ri, cy + ri, cx, cy + ri, kQuarter)
      .ConicTo(cx + ri, cy + ri, cx + ri, cy, kQuarter)
      .Close();
}

// A five-pointed star.
void Star(TCurveBuilder& c, float cx, float cy, float outer, float inner) {
  for (int i = 0; i < 10; ++i) {
    const double a = -M_PI / 2 + i * M_PI / 5;
    const float r = i % 2 == 0 ? outer : inner;
    const auto x = static_cast<float>(cx + r * std::cos(a)), y = static_cast<float>(cy + r * std::sin(a));
    if (i == 0)
      c.MoveTo(x, y);
    else
      c.LineTo(x, y);
  }
  c.Close();
}

TBitmap32 Pattern(int width, int height, TColor32 a, TColor32 b, int brick) {
  TBitmap32 bitmap(width, height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const int row = y / brick, shifted = x + (row % 2) * brick;
      const bool mortar = y % brick == 0 || shifted % (2 * brick) == 0;
      bitmap.Row(y)[x] = mortar ? b : a;
    }
  return bitmap;
}

TBitmap32 Grain(int width, int height, std::uint32_t seed) {
  TBitmap32 bitmap(width, height);
  std::mt19937 random(seed);
  for (std::size_t i = 0; i < bitmap.PixelCount(); ++i) {
    const auto g = static_cast<TColor32>(200 + random() % 40);
    bitmap.Pixels()[i] = 0xFF000000u | g * 0x010101u;
  }
  return bitmap;
}

TRef<TGradRange> Range(std::uint8_t kind, std::vector<TGradColor> stops, const std::string& name,
                       bool gamma = false, bool fullTurn = false, float angle = 0) {
  auto range = MakeRef<TGradRange>();
  range->Kind = kind;
  range->Stops = std::move(stops);
  range->Name = name;
  range->GammaCorrection = gamma;
  range->FullTurn = fullTurn;
  range->Angle = angle;
  return range;
}

TcmfAttributes Filled(std::uint32_t fill, const TRectF& box, std::uint32_t outline = kNoFill) {
  return Style(fill, outline, box);
}

// Groups are culled by their stored bounds, so they carry them.
TcmfAttributes GroupOver(const TRectF& box) { return WithBounds(Style(kNoFill, kNoFill, box), box); }

}  // namespace

TBitmap32 PhotoLikeBitmap(int width, int height, std::uint32_t seed) {
  TBitmap32 bitmap(width, height);
  std::mt19937 random(seed);
  std::normal_distribution<double> noise(0, 4);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const double u = x / double(width), v = y / double(height);
      const double hill = 0.62 + 0.08 * std::sin(7 * u + 1.3) + 0.05 * std::sin(17 * u);
      const double sun = std::hypot(u - 0.72, v - 0.25);
      double r, g, b;
      if (v > hill) {  // meadow, darker further down
        r = 60 + 40 * (1 - v);
        g = 120 + 60 * std::sin(30 * u + 5 * v) * 0.3 + 40 * (1 - v);
        b = 40;
      } else {  // sky towards the horizon, a sun with a soft halo
        r = 110 + 120 * v;
        g = 160 + 70 * v;
        b = 235 - 20 * v;
        const double halo = std::exp(-sun * sun * 60);
        r += (255 - r) * halo;
        g += (230 - g) * halo;
        b += (150 - b) * halo;
      }
      const auto c = [&](double value) {
        return static_cast<TColor32>(std::clamp(value + noise(random), 0.0, 255.0));
      };
      bitmap.Row(y)[x] = 0xFF000000u | c(r) << 16 | c(g) << 8 | c(b);
    }
  return bitmap;
}

std::vector<std::uint8_t> StickerDocument() {
  TcmfBuilder doc;
  doc.AddColour(TUniColorSpec::Make(kModelRGB, {0.78f, 0.06f, 0.18f}), "Bakery Red|{0,100,85,10}");
  doc.AddColour(TUniColorSpec::Make(kModelCMYK, {0.3f, 0.7f, 0.9f, 0.4f}), "Chocolate");
  doc.AddColour(TUniColorSpec::Make(kModelLab, {78, 5, 70}), "Gold foil|{0,20,80,0}");
  doc.SetInfo("Window sticker", {1, 2026, 12, 8});
  const TRectF page{0, 0, 120, 80};
  const int root = doc.AddGroup(-1, GroupOver(page));

  TCurveBuilder card;
  RoundedRect(card, 2, 2, 118, 78, 8);
  doc.AddGeometry(root, Filled(Direct(0xFFF6E8), page), card.Build().get());

  // The spot-red border: an outline already expanded into a ring.
  TCurveBuilder border;
  RoundedRect(border, 2, 2, 118, 78, 8);
  RoundedRectReversed(border, 5, 5, 115, 75, 6);
  doc.AddGeometry(root, Filled(kNoFill, page, Named(0)), nullptr, border.Build().get());

  doc.AddGeometry(root, Filled(Named(1), {10, 22, 46, 58}),
                  TCurveBuilder().Ellipse(28, 40, 18, 18).Build().get());
  TCurveBuilder star;
  Star(star, 28, 40, 12, 5);
  doc.AddGeometry(root, Filled(Named(2), {16, 28, 40, 52}), star.Build().get());

  const int word = doc.AddGroup(root, GroupOver({52, 26, 112, 54}));
  TCurveBuilder letters;
  LetterC(letters, 60, 40, 10, 6);
  LetterO(letters, 82, 40, 10, 6);
  LetterO(letters, 104, 40, 10, 6);
  doc.AddGeometry(word, Filled(Named(1), {50, 30, 114, 50}), letters.Build().get());
  // A hairline under the word.
  TCurveBuilder rule;
  rule.MoveTo(52, 58).LineTo(112, 58);
  TcmfAttributes hairline = Filled(Named(0), page);
  hairline.SetFlags(kAttrHairline);
  doc.AddGeometry(root, hairline, rule.Build().get());
  return doc.Build();
}

std::vector<std::uint8_t> HoursDocument() {
  TcmfBuilder doc;
  doc.AddColour(TUniColorSpec::Make(kModelGray, {0.15f}), "Ink grey");
  doc.AddGradient(
      *Range(kGradientLinear, {{0xFFF2C14E, 0}, {0xFFF78154, 0.6f}, {0xFFFFF3E0, 1}}, "Sunset", true));
  doc.AddGradient(*Range(kGradientElliptical, {{0xFFFFF176, 0}, {0xFFFF8F00, 1}}, "Sun"));
  doc.AddGradient(*Range(kGradientRectangular, {{0xFF5D4037, 0}, {0xFFD7CCC8, 1}}, "Frame"));
  doc.AddGradient(
      *Range(kGradientConical, {{0xFF1565C0, 0}, {0xFF80DEEA, 0.5f}, {0xFF1565C0, 1}}, "Badge", false, true));
  const TBitmap32 grain = Grain(64, 64, 3);
  const TBitmap32 bricks = Pattern(48, 32, 0xFFB5523B, 0xFFE8DCCB, 8);
  const TBitmap32 preview = Pattern(12, 8, 0xFFB5523B, 0xFFE8DCCB, 2);
  const auto grey = TTextureImage::Packed(kTextureGreyPacked, grain);
  const auto colour = TTextureImage::Packed(kTextureColourPacked, bricks);
  const auto small = TTextureImage::Packed(kTextureColourPacked, preview);
  doc.AddTexture("Paper grain", "C:\\Quillar\\Textures\\grain.bmp", grey);
  doc.AddTexture("Bricks", "C:\\Quillar\\Textures\\bricks.bmp", colour, &small, &small);
  doc.AddTexture("Bricks photo", "C:\\Quillar\\Textures\\bricks.png",
                 TTextureImage::File(EncodePng(bricks), bricks.Width(), bricks.Height()));
  doc.SetInfo("Opening hours");
  const TRectF page{0, 0, 400, 100};
  const int root = doc.AddGroup(-1, GroupOver(page));

  doc.AddGeometry(root, Filled(Gradient(0), page), TCurveBuilder().Rectangle(0, 0, 400, 100).Build().get());
  doc.AddGeometry(root, Filled(Gradient(1), {28, 18, 92, 82}),
                  TCurveBuilder().Ellipse(60, 50, 32, 32).Build().get());
  doc.AddGeometry(root, Filled(Texture(0), {120, 12, 300, 88}),
                  TCurveBuilder().Rectangle(120, 12, 300, 88).Build().get());
  TcmfAttributes wall = Filled(Texture(1), {300, 60, 400, 100});
  wall.SetFlags(kAttrTextureTiles);
  doc.AddGeometry(root, wall, TCurveBuilder().Rectangle(300, 60, 400, 100).Build().get());
  doc.AddGeometry(root, Filled(Gradient(2), {310, 8, 390, 52}),
                  TCurveBuilder().Rectangle(310, 8, 390, 52).Build().get());
  doc.AddGeometry(root, Filled(Gradient(3), {332, 12, 368, 48}),
                  TCurveBuilder().Ellipse(350, 30, 18, 18).Build().get());
  // Lines of text as bars: the hours.
  const int text = doc.AddGroup(root, GroupOver({135, 22, 285, 78}));
  for (int line = 0; line < 4; ++line) {
    TCurveBuilder bar;
    const float y = 24.0f + 14.0f * static_cast<float>(line);
    bar.Rectangle(135, y, line % 2 == 0 ? 285.0f : 250.0f, y + 7);
    doc.AddGeometry(text, Filled(Named(0), {135, y, 285, y + 7}), bar.Build().get());
  }
  return doc.Build();
}

std::vector<std::uint8_t> MuralDocument() {
  TcmfBuilder doc;
  doc.SetInfo("Mural");
  const TRectF page{0, 0, 800, 600};
  const int root = doc.AddGroup(-1, GroupOver(page));
  const TBitmap32 landscape = PhotoLikeBitmap(480, 360, 11);
  doc.AddImage(root, Filled(kNoFill, page), {TPointF{0, 0}, TPointF{800, 0}, TPointF{0, 600}},
               *TCurveBuilder().Rectangle(0, 0, 800, 600).Build(), landscape, TImageStorage::kCompressed,
               EncodeJpeg(landscape, 88));

  // Two inset pictures: one packed, one with an embedded PNG, the second turned a little.
  const TBitmap32 inset = PhotoLikeBitmap(120, 90, 12);
  doc.AddImage(root, Filled(kNoFill, {40, 420, 240, 570}),
               {TPointF{40, 420}, TPointF{240, 420}, TPointF{40, 570}},
               *TCurveBuilder().Rectangle(40, 420, 240, 570).Build(), inset, TImageStorage::kPacked);
  const TBitmap32 second = PhotoLikeBitmap(100, 100, 13);
  doc.AddImage(root, Filled(kNoFill, {550, 380, 730, 560}),
               {TPointF{560, 370}, TPointF{740, 390}, TPointF{540, 550}},
               *TCurveBuilder().Ellipse(640, 470, 90, 90).Build(), second, TImageStorage::kCompressed,
               EncodePng(second));
  TCurveBuilder frame;
  RoundedRect(frame, 10, 10, 790, 590, 30);
  RoundedRectReversed(frame, 18, 18, 782, 582, 24);
  doc.AddGeometry(root, Filled(Direct(0xFFFFFF), page), frame.Build().get());
  return doc.Build();
}

std::string MuralCutFile() {
  TCurveBuilder frame;
  RoundedRect(frame, 10, 10, 790, 590, 30);
  const auto a = frame.Build(), b = TCurveBuilder().Ellipse(640, 470, 95, 95).Build();
  const TGeoCurve* curves[] = {a.get(), b.get()};
  return WriteContourCutFile(curves);
}

std::vector<std::uint8_t> SampleTextureBody() {
  const TBitmap32 tile = Pattern(8, 8, 0xFF102030, 0xFFF0E0D0, 2);
  const auto grey = TTextureImage::Packed(kTextureGreyPacked, tile);
  const auto colour = TTextureImage::Packed(kTextureColourPacked, tile);
  return TextureBody("colour", "colour.bmp", colour, &grey, &colour);
}

std::vector<std::uint8_t> SamplerDocument() {
  TcmfBuilder doc;
  doc.AddColour(TUniColorSpec::Make(kModelCMYK, {0, 1, 0.85f, 0}), "Spot red|{0,100,85,0}");
  doc.AddColour(TUniColorSpec::Make(kModelRGB, {0.1f, 0.3f, 0.8f}), "Blue");
  for (const std::uint8_t kind :
       {kGradientLinear, kGradientElliptical, kGradientRectangular, kGradientConical})
    doc.AddGradient(*Range(kind, {{0xFF000000, 0}, {0x80FFFFFF, 1}}, "g"), kind);
  const TBitmap32 tile = Pattern(8, 8, 0xFF102030, 0xFFF0E0D0, 2);
  const auto grey = TTextureImage::Packed(kTextureGreyPacked, tile);
  const auto colour = TTextureImage::Packed(kTextureColourPacked, tile);
  doc.AddTexture("grey", "grey.bmp", grey);
  doc.AddTexture("colour", "colour.bmp", colour, &grey, &colour);
  doc.SetInfo("Sampler", {1, 2, 3, 4}, 5);
  const TRectF box{0, 0, 10, 10};
  const int root = doc.AddGroup(-1, GroupOver(box), 7);
  doc.AddPlain(root, Filled(kNoFill, box));
  TCurveBuilder shape;
  shape.MoveTo(0, 0).LineTo(10, 0).ConicTo(10, 10, 0, 10, 0.3).ConicTo(-5, 5, 0, 0, 3).Close();
  shape.MoveTo(2, 2).LineTo(4, 2).LineTo(3, 4);
  doc.AddGeometry(root, Filled(Named(0), box, Direct(0x112233)), shape.Build({1, 2, 1, 0, 0, 1}).get(),
                  shape.Build().get());
  const TBitmap32 picture = PhotoLikeBitmap(9, 3, 1);
  const auto outline = TCurveBuilder().Rectangle(0, 0, 9, 3).Build();
  const std::array<TPointF, 3> place{TPointF{0, 0}, TPointF{9, 0}, TPointF{0, 3}};
  doc.AddImage(root, Filled(kNoFill, box), place, *outline, picture, TImageStorage::kPacked);
  doc.AddImage(root, Filled(kNoFill, box), place, *outline, picture, TImageStorage::kCompressed);
  doc.AddImage(root, Filled(kNoFill, box), place, *outline, picture, TImageStorage::kCompressed,
               EncodePng(picture));
  return doc.Build();
}

std::vector<std::uint8_t> PosterDocument() {
  TcmfBuilder doc;
  doc.SetInfo("Poster");
  const TRectF page{0, 0, kBenchPageWidth, kBenchPageHeight};
  const int root = doc.AddGroup(-1, GroupOver(page));
  doc.AddGeometry(root, Filled(Direct(0xF4E9D8), page),
                  TCurveBuilder().Rectangle(0, 0, 1000, 500).Build().get());
  doc.AddGeometry(root, Filled(Direct(0x1D3557), {0, 0, 1000, 120}),
                  TCurveBuilder().Rectangle(0, 0, 1000, 120).Build().get());
  doc.AddGeometry(root, Filled(Direct(0xE63946), {600, 150, 900, 450}),
                  TCurveBuilder().Ellipse(750, 300, 150, 150).Build().get());
  doc.AddGeometry(root, Filled(Direct(0x2A9D8F), {0, 440, 1000, 500}),
                  TCurveBuilder().Rectangle(0, 440, 1000, 500).Build().get());
  // Lines of text as bars.
  for (int line = 0; line < 8; ++line) {
    const float y = 160.0f + 32.0f * static_cast<float>(line);
    const float right = line % 3 == 2 ? 420.0f : 540.0f;
    doc.AddGeometry(root, Filled(Direct(0x264653), {60, y, right, y + 18}),
                    TCurveBuilder().Rectangle(60, y, right, y + 18).Build().get());
  }
  return doc.Build();
}

std::vector<std::uint8_t> PhotoDocument() {
  TcmfBuilder doc;
  doc.SetInfo("Photo");
  const TRectF page{0, 0, kBenchPageWidth, kBenchPageHeight};
  const int root = doc.AddGroup(-1, GroupOver(page));
  const TBitmap32 photo = PhotoLikeBitmap(3000, 1500, 21);
  doc.AddImage(root, Filled(kNoFill, page),
               {TPointF{0, 0}, TPointF{kBenchPageWidth, 0}, TPointF{0, kBenchPageHeight}},
               *TCurveBuilder().Rectangle(0, 0, kBenchPageWidth, kBenchPageHeight).Build(), photo,
               TImageStorage::kCompressed, EncodeJpeg(photo, 90));
  return doc.Build();
}

std::vector<std::uint8_t> ShapesDocument(int count) {
  TcmfBuilder doc;
  doc.SetInfo("Shapes");
  const TRectF page{0, 0, kBenchPageWidth, kBenchPageHeight};
  const int root = doc.AddGroup(-1, GroupOver(page));
  // A grid with the page's proportions holding `count` cells.
  const int columns = std::max(1, static_cast<int>(std::ceil(std::sqrt(2.0 * count))));
  const float cell = kBenchPageWidth / static_cast<float>(columns);
  std::mt19937 random(5);
  for (int i = 0; i < count; ++i) {
    const float x = cell * static_cast<float>(i % columns), y = cell * static_cast<float>(i / columns);
    const TRectF box{x + cell * 0.1f, y + cell * 0.1f, x + cell * 0.9f, y + cell * 0.9f};
    TCurveBuilder shape;
    if (i % 2 == 0)
      shape.Ellipse(x + cell / 2, y + cell / 2, cell * 0.4f, cell * 0.4f);
    else
      shape.Rectangle(box.MinX, box.MinY, box.MaxX, box.MaxY);
    doc.AddGeometry(root, Filled(Direct(random() & 0xFFFFFF), box), shape.Build().get());
  }
  return doc.Build();
}

}  // namespace slabrip
