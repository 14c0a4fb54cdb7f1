// Fuzzes the contour-cut reader and all that is drawn from its curves: segments,
// paths, bounds, and writing the curves back, which must read back the same.
#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "geometry/geo_curve.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace slabrip;
  const auto curves = ReadContourCutFile(std::string_view(reinterpret_cast<const char*>(data), size));
  // Document millimetres onto a 600 dpi band some way into the job.
  const TAffine view{-1200, 300, 23.622047f, 0, 0, 23.622047f};
  std::vector<const TGeoCurve*> read;
  for (const auto& curve : curves) {
    read.push_back(curve.get());
    for (int c = 0; c < curve->ContourCount(); ++c) {
      const TGeoContour& contour = curve->Contour(c);
      (void)curve->Segments(contour);
      (void)curve->Segments(contour, &view);
      (void)curve->FillSegments(contour, &view);
      for (int i = contour.First; i <= contour.Last; ++i) {
        (void)curve->NextPoint(contour, i);
        (void)curve->PreviousPoint(contour, i);
      }
    }
    (void)curve->BuildPath(nullptr);
    (void)curve->BuildPath(&view, TGeoCurve::kDeviceTolerance);
    const TRectF bounds = curve->DocumentBounds();
    (void)ConicBounds(
        {{bounds.MinX, bounds.MinY}, {bounds.MaxX, bounds.MinY}, {bounds.MaxX, bounds.MaxY}, 0.5});
  }
  const auto again = ReadContourCutFile(WriteContourCutFile(read));
  if (again.size() != curves.size()) std::abort();
  for (std::size_t k = 0; k < curves.size(); ++k) {
    if (again[k]->Header().ToBytes() != curves[k]->Header().ToBytes()) std::abort();
    if (PointsToBytes(again[k]->Points()) != PointsToBytes(curves[k]->Points())) std::abort();
  }
  return 0;
}
