// Items of a document's gradient and texture tables, and the gradient ranges themselves.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/ref_obj.h"

namespace slabrip {

class TDataStream;

/// The three integers every table record starts with.
class TStorageItem : public TRefObj {
 public:
  virtual std::string DisplayName() const { return "Item: " + std::to_string(Tag); }

  std::int32_t Tag = 0;
  std::int32_t ItemValue = 0;
  std::int32_t ItemExtra = 0;
};

/// One stop: colour 0xAARRGGBB at position 0 (start) .. 1 (end).
struct TGradColor {
  std::uint32_t Colour = 0;
  float Position = 0;
  friend bool operator==(const TGradColor&, const TGradColor&) = default;
};

/// Gradient kinds; any other value is linear.
enum TGradientKind : std::uint8_t {
  kGradientLinear = 0,
  kGradientElliptical = 1,
  kGradientRectangular = 2,
  kGradientConical = 3
};

/// A gradient's stops and shape.
class TGradRange : public TRefObj {
 public:
  static constexpr std::int32_t kMaxStops = 9999;

  std::uint32_t LastColour() const { return Stops.empty() ? 0 : Stops.back().Colour; }
  int StopCount() const { return static_cast<int>(Stops.size()); }
  bool Equals(const TGradRange& other) const;
  /// Copies every field and stop of `other`.
  void Assign(const TGradRange& other);

  std::vector<TGradColor> Stops;
  bool GammaCorrection = false;
  bool FullTurn = false;  // conical: a full turn, else mirrored half turns
  float Angle = 0;        // radians, about the frame's centre
  float Second = 0;       // kept, not drawn
  std::uint8_t Kind = kGradientLinear;
  std::string Name;
};

/// A gradient of the document's table.
class TStoredGradient : public TStorageItem {
 public:
  std::string DisplayName() const override;
  bool Equals(const TStoredGradient& other) const { return Range->Equals(*other.Range); }

  TRef<TGradRange> Range = MakeRef<TGradRange>();
};

/// Reads a gradient record; nothing when its stop count or end mark is wrong,
/// with the reason in `problem`.
TRef<TStoredGradient> ReadStoredGradient(TDataStream& stream, std::string* problem = nullptr);
void WriteStoredGradient(TDataStream& stream, const TStoredGradient& gradient);

}  // namespace slabrip
