// Text as outlines: the glyphs of the font fontconfig matches for a family, through FreeType.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "geometry/geo_curve.h"

namespace slabrip {

/// Outlines of a line of text.
struct TTextOutline {
  std::unique_ptr<TGeoCurve> Curve;  // nullptr when no font could be loaded or the text has no ink
  /// The family that was used, and a note when it is not the one asked for.
  std::string Family;
  std::string Warning;
};

/// The text set in `family`, regular, with an em size of `emSize` units, its
/// layout box's top-left at (x, y): the first line's top (the font's ascent
/// above the baseline) lies on y. Glyphs advance by their own widths.
TTextOutline TextOutline(std::string_view text, const std::string& family, double emSize, double x, double y);

}  // namespace slabrip
