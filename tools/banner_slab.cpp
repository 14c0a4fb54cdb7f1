#include "tools/banner_slab.h"

#include <fmt/format.h>

#include <cmath>
#include <filesystem>

#include "base/errors.h"
#include "base/file_paths.h"
#include "jobs/rip_job_pos.h"
#include "tools/demo_artwork.h"

namespace slabrip {
namespace {

// The mural's frame in millimetres, tiled at half size.
constexpr float kMuralWidth = 800, kMuralHeight = 600, kScale = 0.5f;

struct TArtwork {
  std::vector<std::uint8_t> Document;
  float Width = 0, Height = 0;  // its frame in millimetres
};

TArtwork ArtworkOf(const std::string& kind) {
  if (kind == "mural") return {MuralDocument(), kMuralWidth, kMuralHeight};
  if (kind == "poster") return {PosterDocument(), kBenchPageWidth, kBenchPageHeight};
  if (kind == "photo") return {PhotoDocument(), kBenchPageWidth, kBenchPageHeight};
  if (kind == "shapes") return {ShapesDocument(100'000), kBenchPageWidth, kBenchPageHeight};
  if (kind == "illustration") return {HoursDocument(), 400, 100};
  throw TError("no such banner kind: " + kind);
}

void Write(const std::string& path, std::string_view bytes) { WriteFileAtomically(path, bytes); }

int Pixels(int mm, int dpi) { return static_cast<int>(std::lround(mm / 25.4 * dpi)); }

std::string Placement(int index, const TRectF& bounds, float scaleX, float scaleY) {
  TRipJobPos pos;
  pos.SetJobIndex(0);
  pos.SetPlacedBounds(bounds);
  pos.SetTransform({bounds.MinX, bounds.MinY, scaleX, 0, 0, scaleY});
  return fmt::format("Pos{:03}={}\r\n", index, pos.ToHex());
}

}  // namespace

std::string WriteBannerSlab(const std::string& folder, const TBannerSlab& banner) {
  const std::string dir = folder + "/";
  const TArtwork art = ArtworkOf(banner.Kind);
  Write(dir + "Art.cmf",
        std::string_view(reinterpret_cast<const char*>(art.Document.data()), art.Document.size()));
  Write(dir + "Banner.RipJob", fmt::format("[Job]\r\nSrcFile=C:\\Jobs\\Art.cmf\r\nJobName={}\r\n"
                                           "[FullBounds]\r\nMaxX={}\r\nMaxY={}\r\n",
                                           banner.Kind, art.Width, art.Height));
  std::filesystem::copy_file(banner.Profile, dir + "Printer.icc", std::filesystem::copy_options::overwrite_existing);

  std::string placements;
  int count = 0;
  const auto width = static_cast<float>(banner.WidthMm), length = static_cast<float>(banner.LengthMm);
  if (banner.Kind == "mural") {
    const float tileW = kMuralWidth * kScale, tileH = kMuralHeight * kScale;
    for (float y = 0; y + tileH <= length; y += tileH)
      for (float x = 0; x + tileW <= width; x += tileW)
        placements += Placement(count++, {x, y, x + tileW, y + tileH}, kScale, kScale);
  } else {
    placements += Placement(count++, {0, 0, width, length}, width / art.Width, length / art.Height);
  }
  const std::string slab = fmt::format(
      "[Info]\r\nPrinter=C:\\ProgramData\\OrvenexCorp\\Quillar\\RIP\\Drivers\\{10}.qlDrv\r\n"
      "MediaWidth={0}\r\nMediaHeight={1}\r\nXDPI={2}\r\nYDpi={2}\r\nRenderDPI={3}\r\n"
      "RipWidth={4}\r\nRipHeight={5}\r\nRenderWidth={6}\r\nRenderHeight={7}\r\n"
      "[SnapShot_MediaPreset]\r\nIccProfile=Printer.icc\r\nIccIntent=1\r\nUseInkCurves=1\r\nInkLimit=280\r\n"
      "InkSplitFlags=3\r\nInkSplitC0=0,0/30,60/60,35/100,0\r\nInkSplitC1=0,0/35,4/70,55/100,100\r\n"
      "InkSplitM0=0,0/30,58/60,33/100,0\r\nInkSplitM1=0,0/35,5/70,57/100,100\r\n"
      "[Jobs]\r\nJobCount=1\r\nJob000=C:\\Queue\\Banner.RipJob\r\n[RPA]\r\nCount={8}\r\n{9}",
      banner.WidthMm, banner.LengthMm, banner.PrinterDpi, banner.RenderDpi,
      Pixels(banner.WidthMm, banner.PrinterDpi), Pixels(banner.LengthMm, banner.PrinterDpi),
      Pixels(banner.WidthMm, banner.RenderDpi), Pixels(banner.LengthMm, banner.RenderDpi), count, placements,
      banner.Printer);
  const std::string path = dir + "Banner.RipSlab";
  Write(path, slab);
  return path;
}

}  // namespace slabrip
