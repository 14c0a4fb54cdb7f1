#include "document/cmf_model.h"
#include "base/byte_order.h"

#include <algorithm>
#include <cstring>

#include <fmt/format.h>

#include "raster/image_decode.h"

namespace slabrip {

TFillKind FillKindOf(std::uint32_t code) {
  if (code == kNoFill) return kFillNone;
  switch (code >> 28) {
    case 0x0: return kFillNamedColour;
    case 0x1: return kFillDirectColour;
    case 0x2: return kFillSpecial;
    case 0x4: return kFillGradient;
    case 0x6: return kFillTexture;
    case 0x7:
    case 0xD: return kFillUnpainted;
    case 0xC: return kFillHatch;
    default: return kFillNone;
  }
}

std::uint32_t TcmfAttributes::Word(std::size_t at) const { return LoadLe<std::uint32_t>(&Bytes[at]); }

float TcmfAttributes::Single(std::size_t at) const { return LoadLe<float>(&Bytes[at]); }

TRectF TcmfAttributes::Rect(std::size_t at) const {
  return {Single(at), Single(at + 4), Single(at + 8), Single(at + 12)};
}

void TcmfAttributes::SetWord(std::size_t at, std::uint32_t v) { StoreLe(&Bytes[at], v); }
void TcmfAttributes::SetSingle(std::size_t at, float v) { StoreLe(&Bytes[at], v); }

void TcmfAttributes::SetRect(std::size_t at, const TRectF& r) {
  SetSingle(at, r.MinX);
  SetSingle(at + 4, r.MinY);
  SetSingle(at + 8, r.MaxX);
  SetSingle(at + 12, r.MaxY);
}

std::array<TPointF, 3> TcmfAttributes::FillFrame() const {
  return {TPointF{Single(16), Single(20)}, TPointF{Single(24), Single(28)}, TPointF{Single(32), Single(36)}};
}

void TcmfAttributes::SetFillFrame(const std::array<TPointF, 3>& frame) {
  for (std::size_t i = 0; i < 3; ++i) {
    SetSingle(16 + 8 * i, frame[i].X);
    SetSingle(20 + 8 * i, frame[i].Y);
  }
}

TAffine TcmfAttributes::FillMatrix() const {
  return {Single(72), Single(76), Single(80), Single(84), Single(88), Single(92)};
}

void TcmfAttributes::SetFillMatrix(const TAffine& m) {
  const float v[6] = {m.Dx, m.Dy, m.M11, m.M12, m.M21, m.M22};
  for (std::size_t i = 0; i < 6; ++i) SetSingle(72 + 4 * i, v[i]);
}

namespace {

TRectF Union(const TRectF& a, const TRectF& b) {
  return {std::min(a.MinX, b.MinX), std::min(a.MinY, b.MinY), std::max(a.MaxX, b.MaxX),
          std::max(a.MaxY, b.MaxY)};
}

}  // namespace

TRectF TcmfGeo::Bounds() const {
  const TRectF stored = Attributes.Bounds();
  if (!(stored == TRectF{})) return stored;
  TRectF box{2147483648.0f, 2147483648.0f, -2147483648.0f, -2147483648.0f};
  if (FillCurve) box = Union(box, FillCurve->DocumentBounds());
  if (OutlineCurve) box = Union(box, OutlineCurve->DocumentBounds());
  return box;
}

TRectF TcmfImage::PlacementBounds() const {
  const TPointF& o = Placement[0];
  const TPointF& a = Placement[1];
  const TPointF& b = Placement[2];
  const TPointF d{a.X + b.X - o.X, a.Y + b.Y - o.Y};  // the fourth corner
  return {std::min({o.X, a.X, b.X, d.X}), std::min({o.Y, a.Y, b.Y, d.Y}), std::max({o.X, a.X, b.X, d.X}),
          std::max({o.Y, a.Y, b.Y, d.Y})};
}

TSharedCachedBM32* TcmfImage::EmbeddedBitmap(std::string* problem) const {
  if (!EmbeddedTried_ && !EmbeddedFile.empty()) {
    EmbeddedTried_ = true;
    auto decoded = DecodeImageFile(EmbeddedFile, kMaxPixels, &EmbeddedProblem_);
    if (decoded)
      EmbeddedDecoded_ = std::make_unique<TSharedCachedBM32>(std::make_unique<TBitmap32>(std::move(*decoded)),
                                                             Bitmap ? Bitmap->Cache() : TBM32CacheManager::Shared());
  }
  if (!EmbeddedDecoded_ && problem)
    *problem = EmbeddedFile.empty() ? std::string("there is no embedded file") : EmbeddedProblem_;
  return EmbeddedDecoded_.get();
}

namespace {

// Visits every node of the tree without recursion: a document's tree can be deep.
template <class TVisit>
void ForEachNode(const TcmfGeneric* root, TVisit visit) {
  std::vector<const TcmfGeneric*> pending;
  if (root) pending.push_back(root);
  while (!pending.empty()) {
    const TcmfGeneric* node = pending.back();
    pending.pop_back();
    visit(*node);
    for (const auto& child : node->Children) pending.push_back(child.Get());
  }
}

}  // namespace

std::array<int, 4> TcmfFile::NodeCounts() const {
  std::array<int, 4> counts{};
  ForEachNode(Root.Get(), [&](const TcmfGeneric& node) { ++counts[static_cast<std::size_t>(node.Kind())]; });
  return counts;
}

TRectF TcmfFile::DrawingBounds() const {
  TRectF box{2147483648.0f, 2147483648.0f, -2147483648.0f, -2147483648.0f};
  ForEachNode(Root.Get(), [&](const TcmfGeneric& node) {
    if (node.Kind() == kNodeGeometry || node.Kind() == kNodeImage) box = Union(box, node.Bounds());
  });
  return box;
}

int TcmfFile::CheckEmbeddedImages() {
  if (EmbeddedChecked_) return EmbeddedFailures_;
  EmbeddedChecked_ = true;
  std::vector<std::pair<std::int32_t, std::string>> failures;
  ForEachNode(Root.Get(), [&](const TcmfGeneric& node) {
    const auto* image = dynamic_cast<const TcmfImage*>(&node);
    std::string why;
    if (!image || image->EmbeddedFile.empty() || image->EmbeddedBitmap(&why)) return;
    failures.emplace_back(node.TableIndex,
                          fmt::format("image node {}: the embedded file does not decode ({}); {}", node.TableIndex,
                                      why, image->Bitmap ? "its stored bitmap prints instead" : "it prints nothing"));
  });
  std::sort(failures.begin(), failures.end());  // in file order
  for (auto& failure : failures) Problems.push_back(std::move(failure.second));
  EmbeddedFailures_ = static_cast<int>(failures.size());
  return EmbeddedFailures_;
}

}  // namespace slabrip
