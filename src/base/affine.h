// Points, rectangles and affine transforms in float32, as stored files hold them.
#pragma once

namespace slabrip {

struct TPointF {
  float X = 0;
  float Y = 0;
  friend bool operator==(const TPointF&, const TPointF&) = default;
};

/// MinX, MinY, MaxX, MaxY.
struct TRectF {
  float MinX = 0;
  float MinY = 0;
  float MaxX = 0;
  float MaxY = 0;
  /// True unless MaxX > MinX and MaxY > MinY.
  bool IsEmpty() const { return !(MaxX > MinX && MaxY > MinY); }
  friend bool operator==(const TRectF&, const TRectF&) = default;
};

/// x' = x·M11 + y·M21 + Dx, y' = x·M12 + y·M22 + Dy; stored in the order
/// Dx, Dy, M11, M12, M21, M22.
struct TAffine {
  float Dx = 0;
  float Dy = 0;
  float M11 = 1;
  float M12 = 0;
  float M21 = 0;
  float M22 = 1;

  TPointF Map(TPointF p) const { return {p.X * M11 + p.Y * M21 + Dx, p.X * M12 + p.Y * M22 + Dy}; }
  friend bool operator==(const TAffine&, const TAffine&) = default;
};

}  // namespace slabrip
