#include "proof/soft_proof.h"

#include <algorithm>

namespace slabrip {

TColor32 TSoftProof::Colour(const TInkVector& inks) {
  if (inks == Last_) return LastColour_;
  const auto share = [](std::int16_t dark, std::int16_t light) {
    return static_cast<float>(std::min(1.0, (dark + light / 3.0) / 32767.0));
  };
  const TRgbF rgb = Converter_.ToRGB(
      TUniColorSpec::Make(kModelCMYK, {share(inks.Lane[0], inks.Lane[4]), share(inks.Lane[1], inks.Lane[5]),
                                       share(inks.Lane[2], 0), share(inks.Lane[3], 0)}));
  Last_ = inks;
  LastColour_ = 0xFF000000u | PackRGB(rgb);
  return LastColour_;
}

TPreviewShrinker::TPreviewShrinker(int width, int height)
    : Factor((std::max(width, height) + kLongSide - 1) / kLongSide),
      Picture_((width + Factor - 1) / Factor, (height + Factor - 1) / Factor),
      Sums_(static_cast<std::size_t>(Picture_.Width()) * 3),
      Width_(width),
      Height_(height) {}

void TPreviewShrinker::AddRow(int y, const TColor32* row) {
  for (int x = 0; x < Width_; ++x) {
    std::uint32_t* sum = &Sums_[static_cast<std::size_t>(x / Factor) * 3];
    sum[0] += row[x] >> 16 & 0xFF;
    sum[1] += row[x] >> 8 & 0xFF;
    sum[2] += row[x] & 0xFF;
  }
  if ((y + 1) % Factor != 0 && y + 1 != Height_) return;
  const int rows = y % Factor + 1;
  TColor32* out = Picture_.Row(y / Factor);
  for (int px = 0; px < Picture_.Width(); ++px) {
    const auto count = static_cast<std::uint32_t>(rows * std::min(Factor, Width_ - px * Factor));
    const std::uint32_t* sum = &Sums_[static_cast<std::size_t>(px) * 3];
    out[px] = 0xFF000000u | (sum[0] / count) << 16 | (sum[1] / count) << 8 | sum[2] / count;
  }
  std::fill(Sums_.begin(), Sums_.end(), 0);
}

}  // namespace slabrip
