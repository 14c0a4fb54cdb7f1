#include "driver/preview.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <new>
#include <optional>
#include <span>

#include "base/errors.h"
#include "base/file_paths.h"
#include "base/rounding.h"
#include "raster/image_decode.h"
#include "raster/resample.h"

namespace slabrip {

namespace {

constexpr TColor32 kFace = 0xFFF0F0F0;          // button face: the box's background
constexpr TColor32 kButtonShadow = 0xFFA0A0A0;  // outer top-left line of a sunken edge
constexpr TColor32 kDarkShadow = 0xFF696969;    // inner top-left line
constexpr TColor32 kLight = 0xFFE3E3E3;         // bottom-right line
constexpr TColor32 kCover = 0xFFE8E8E8;

constexpr int kShadowDepth = 8;
constexpr double kFrameShadowOpacity = 0.25;
constexpr double kPictureShadowOpacity = 0.45;

// A preview is a small picture; these bound what a damaged or hostile file can cost.
constexpr std::size_t kMaxPreviewFileBytes = std::size_t{64} << 20;
constexpr std::int64_t kMaxPreviewPixels = std::int64_t{1} << 25;
// pixman's 16.16 coordinates reach no further.
constexpr int kMaxPreviewSide = 32767;

// An opaque pixel darkened towards black by `opacity` (0..1).
TColor32 Darken(TColor32 pixel, double opacity) {
  const auto channel = [&](int shift) {
    const double c = static_cast<double>((pixel >> shift) & 0xFFu);
    return static_cast<TColor32>(RoundHalfEven(c * (1 - opacity))) << shift;
  };
  return (pixel & 0xFF000000u) | channel(16) | channel(8) | channel(0);
}

// How strong a soft shadow is `d` pixels away from its edge: strongest at 0, gone at kShadowDepth.
double Falloff(std::int64_t d) {
  return d < 0 || d >= kShadowDepth ? 0 : (kShadowDepth - static_cast<double>(d) - 0.5) / kShadowDepth;
}

// The same shadow growing in from the start of an edge.
double Rise(std::int64_t d) { return d < 0 ? 0 : std::min(1.0, (static_cast<double>(d) + 0.5) / kShadowDepth); }

// `rect` cut to the bitmap; empty when they do not meet.
TRectI Clip(const TBitmap32& box, std::int64_t left, std::int64_t top, std::int64_t right, std::int64_t bottom) {
  const auto cut = [](std::int64_t v, int hi) { return static_cast<int>(std::clamp<std::int64_t>(v, 0, hi)); };
  TRectI r{cut(left, box.Width()), cut(top, box.Height()), cut(right, box.Width()), cut(bottom, box.Height())};
  if (r.MaxX < r.MinX) r.MaxX = r.MinX;
  if (r.MaxY < r.MinY) r.MaxY = r.MinY;
  return r;
}

void FillRect(TBitmap32& box, const TRectI& r, TColor32 colour) {
  const TRectI c = Clip(box, r.MinX, r.MinY, r.MaxX, r.MaxY);
  for (int y = c.MinY; y < c.MaxY; ++y) std::fill(box.Row(y) + c.MinX, box.Row(y) + c.MaxX, colour);
}

// A sunken edge with a soft shadow cast inwards by the top and left sides.
void DrawFrame(TBitmap32& box) {
  box.Fill(kFace);
  const int w = box.Width();
  const int h = box.Height();
  for (int y = 0; y < h; ++y) {
    TColor32* row = box.Row(y);
    const int end = y < kShadowDepth ? w : std::min(w, kShadowDepth);
    for (int x = 0; x < end; ++x) row[x] = Darken(row[x], kFrameShadowOpacity * std::max(Falloff(x), Falloff(y)));
  }
  // Drawn outer to inner, then the light side over the whole length, so the
  // top-right and bottom-left corners come out light as a sunken edge has them.
  FillRect(box, {0, 0, w, 1}, kButtonShadow);
  FillRect(box, {0, 0, 1, h}, kButtonShadow);
  FillRect(box, {1, 1, w - 1, 2}, kDarkShadow);
  FillRect(box, {1, 1, 2, h - 1}, kDarkShadow);
  FillRect(box, {0, h - 1, w, h}, kLight);
  FillRect(box, {w - 1, 0, w, h}, kLight);
}

// A shadow of `r` fading out over kShadowDepth pixels below and to the right of it.
void DrawDropShadow(TBitmap32& box, const TRectI& r) {
  const TRectI area =
      Clip(box, r.MinX, r.MinY, std::int64_t{r.MaxX} + kShadowDepth, std::int64_t{r.MaxY} + kShadowDepth);
  for (int y = area.MinY; y < area.MaxY; ++y) {
    const double cy =
        std::min(Rise(y - std::int64_t{r.MinY}), y < r.MaxY ? 1.0 : Falloff(y - std::int64_t{r.MaxY}));
    TColor32* row = box.Row(y);
    for (int x = area.MinX; x < area.MaxX; ++x) {
      if (x < r.MaxX && y < r.MaxY) continue;  // under the picture
      const double cx =
          std::min(Rise(x - std::int64_t{r.MinX}), x < r.MaxX ? 1.0 : Falloff(x - std::int64_t{r.MaxX}));
      row[x] = Darken(row[x], kPictureShadowOpacity * cx * cy);
    }
  }
}

// The preview beside the slab, decoded only when it is a JPEG of a sensible size.
std::optional<TBitmap32> LoadPicture(const std::string& slabPath) {
  if (slabPath.empty()) return std::nullopt;
  const std::string path = ChangeFileExt(slabPath, ".jpg");
  if (!FileExists(path)) return std::nullopt;
  std::string bytes;
  try {
    bytes = ReadWholeFile(path, kMaxPreviewFileBytes);
  } catch (const TError&) {
    return std::nullopt;
  }
  const std::span<const std::uint8_t> data(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
  if (DetectImageFormat(data) != TImageFormat::kJpeg) return std::nullopt;
  auto picture = DecodeImageFile(data, kMaxPreviewPixels);
  if (picture && (picture->Width() > kMaxPreviewSide || picture->Height() > kMaxPreviewSide)) return std::nullopt;
  return picture;
}

// The picture stretched into `r` of the box with Lanczos3.
void StretchPicture(TBitmap32& box, const TBitmap32& picture, const TRectI& r) {
  StretchInto(box, picture, r);
  // Rounding in the filter can leave the alpha a step short of opaque.
  const TRectI c = Clip(box, r.MinX, r.MinY, r.MaxX, r.MaxY);
  for (int y = c.MinY; y < c.MaxY; ++y)
    for (int x = c.MinX; x < c.MaxX; ++x) box.Row(y)[x] |= 0xFF000000u;
}

}  // namespace

TRectI FitPreviewRect(int boxWidth, int boxHeight, int w, int h) {
  w = std::max(w, 1);
  h = std::max(h, 1);
  const auto fit = [](int room, int size) { return static_cast<float>(static_cast<double>(room) / size); };
  // A box smaller than its margins leaves no room rather than a mirrored picture.
  const float scale = std::max(std::min(fit(boxWidth - 50, w), fit(boxHeight - 40, h)), 0.0f);
  const int dw = RoundToInt32(w * static_cast<double>(scale));
  const int dh = RoundToInt32(h * static_cast<double>(scale));
  const int left = static_cast<int>((std::int64_t{boxWidth} - dw) / 2);
  const int top = static_cast<int>((std::int64_t{boxHeight} - dh) / 2);
  return {left, top, left + dw, top + dh};
}

TRectI DrawPreview(TBitmap32& box, const std::string& slabPath) {
  DrawFrame(box);
  std::optional<TBitmap32> picture = LoadPicture(slabPath);
  if (!picture) return {0, 0, 1, 1};
  const TRectI r = FitPreviewRect(box.Width(), box.Height(), picture->Width(), picture->Height());
  if (r.MaxX > r.MinX && r.MaxY > r.MinY) {
    DrawDropShadow(box, r);
    StretchPicture(box, *picture, r);
  }
  return r;
}

void CoverPreview(TBitmap32& box, const TRectI& rect, double progress) {
  const double p = std::isnan(progress) ? 0.0 : std::clamp(progress, 0.0, 1.0);
  const int top = RoundToInt32(rect.MinY * p + (1 - p) * rect.MaxY);
  FillRect(box, {rect.MinX, top, rect.MaxX, rect.MaxY}, kCover);
}

}  // namespace slabrip
