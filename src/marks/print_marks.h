// Printer's marks: crop marks, job labels and alignment marks, printed in black or knocked out white.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/affine.h"
#include "base/ref_obj.h"
#include "geometry/geo_curve.h"

namespace slabrip {

class TcmfRender;

/// One filled outline in black (C, M, Y, K = 0, 0, 0, 1) or white (all 0).
class TPrintMark : public TRefObj {
public:
  TPrintMark(std::unique_ptr<TGeoCurve> outline, const std::array<float, 4>& cmyk);

  std::uint32_t ScreenColour = 0xFF000000;
  std::unique_ptr<TGeoCurve> Outline;
  std::array<float, 4> Cmyk{};
};

inline constexpr std::array<float, 4> kMarkBlack{0, 0, 0, 1};
inline constexpr std::array<float, 4> kMarkWhite{0, 0, 0, 0};

/// A set of marks in drawing order, laid out in millimetres of some frame.
class TPrintMarks : public TRefObj {
public:
  /// The family text marks are set in, and its em size in millimetres.
  static constexpr const char* kTextFamily = "Arial";
  static constexpr double kTextEmSize = 8;
  /// Longer texts and mark commands are cut to this many characters.
  static constexpr std::size_t kMaxTextLength = 1000;

  /// Adds the outline when there is one.
  void AddMark(std::unique_ptr<TGeoCurve> outline, const std::array<float, 4>& cmyk);
  /// 15 mm lines at each corner, 5 mm outside the trim, black on white backings.
  void AddCropMarks(const TRectF& frame);
  /// A black line of text 10 mm in from the left, above the frame or below it.
  void AddText(const TRectF& frame, std::string_view text, bool above);
  /// The first built-in alignment set: crossed bars and a disc at each corner.
  void AddRegistrationTargets(const TRectF& frame);
  /// The second built-in set: a black square on a white one at each corner.
  void AddRegistrationSquares(const TRectF& frame);
  /// Marks drawn by a postfix command over the frame.
  void AddCommandMarks(const TRectF& frame, std::string_view command);

  int Count() const { return static_cast<int>(Marks_.Count()); }
  /// What the marks leave out of what they were asked for: a text without a
  /// font to set it in, a text or command cut to kMaxTextLength.
  const std::vector<std::string>& Problems() const { return Problems_; }

  /// Fills every mark through `transform` into the renderer's target with its
  /// spot rasteriser: channel `black` for black marks, `white` for white ones.
  /// The whole target bitmap is their clip: marks sit outside the artwork.
  void DrawMarks(TcmfRender* renderer, const TAffine& transform, int black, int white) const;

private:
  void AddRect(double x, double y, double w, double h, const std::array<float, 4>& cmyk);
  /// The text cut to kMaxTextLength characters, with a problem noted when it was cut.
  std::string_view Capped(std::string_view text, std::string_view what);

  TReleaseList<TPrintMark> Marks_;
  std::vector<std::string> Problems_;
};

}  // namespace slabrip
