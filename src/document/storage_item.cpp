#include "document/storage_item.h"

#include "document/data_stream.h"

#include <fmt/format.h>

namespace slabrip {

bool TGradRange::Equals(const TGradRange& other) const {
  return Stops == other.Stops && GammaCorrection == other.GammaCorrection && FullTurn == other.FullTurn &&
         Angle == other.Angle && Second == other.Second && Kind == other.Kind && Name == other.Name;
}

void TGradRange::Assign(const TGradRange& other) {
  Stops = other.Stops;
  GammaCorrection = other.GammaCorrection;
  FullTurn = other.FullTurn;
  Angle = other.Angle;
  Second = other.Second;
  Kind = other.Kind;
  Name = other.Name;
}

std::string TStoredGradient::DisplayName() const {
  return Range->Name.empty() ? "Gradient #" + std::to_string(Tag) : Range->Name;
}

TRef<TStoredGradient> ReadStoredGradient(TDataStream& stream, std::string* problem) {
  const auto refuse = [&](std::string why) -> TRef<TStoredGradient> {
    if (problem) *problem = std::move(why);
    return nullptr;
  };
  auto gradient = MakeRef<TStoredGradient>();
  TGradRange& range = *gradient->Range;
  std::int32_t kind = 0, count = 0, endMark = 0;
  stream.ReadInteger(gradient->Tag);
  stream.ReadInteger(gradient->ItemValue);
  stream.ReadInteger(gradient->ItemExtra);
  stream.ReadBoolean(range.GammaCorrection);
  stream.ReadBoolean(range.FullTurn);
  stream.ReadSingle(range.Angle);
  stream.ReadSingle(range.Second);
  stream.ReadInteger(kind);
  range.Kind = static_cast<std::uint8_t>(kind);
  stream.ReadString(range.Name);
  stream.ReadInteger(count);
  if (count < 1 || count > TGradRange::kMaxStops)
    return refuse(fmt::format("stop count {} is outside 1..{}", count, TGradRange::kMaxStops));
  if (count * std::int64_t{8} > stream.Remaining())
    return refuse(fmt::format("{} stops run past the end of the file", count));
  range.Stops.resize(static_cast<std::size_t>(count));
  for (TGradColor& stop : range.Stops) {
    stream.ReadCardinal(stop.Colour);
    stream.ReadSingle(stop.Position);
  }
  stream.ReadInteger(endMark);
  if (endMark != 1) return refuse(fmt::format("end mark {} is not 1", endMark));
  return gradient;
}

void WriteStoredGradient(TDataStream& stream, const TStoredGradient& gradient) {
  const TGradRange& range = *gradient.Range;
  stream.WriteInteger(gradient.Tag);
  stream.WriteInteger(gradient.ItemValue);
  stream.WriteInteger(gradient.ItemExtra);
  stream.WriteBoolean(range.GammaCorrection);
  stream.WriteBoolean(range.FullTurn);
  stream.WriteSingle(range.Angle);
  stream.WriteSingle(range.Second);
  stream.WriteInteger(range.Kind);
  stream.WriteString(range.Name);
  stream.WriteInteger(range.StopCount());
  for (const TGradColor& stop : range.Stops) {
    stream.WriteCardinal(stop.Colour);
    stream.WriteSingle(stop.Position);
  }
  stream.WriteInteger(1);
}

}  // namespace slabrip
