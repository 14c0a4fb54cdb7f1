#include "engine/rip_engine.h"

#include <algorithm>
#include <cmath>
#include <fmt/format.h>

#include "base/errors.h"
#include "base/file_paths.h"
#include "base/ini_file.h"
#include "base/number_text.h"
#include "base/rounding.h"
#include "marks/print_marks.h"
#include "raster/cairo_handles.h"
#include "render/band_rows.h"
#include "render/cmf_render.h"

namespace slabrip {

namespace {

constexpr std::string_view kPresetSection = "SnapShot_MediaPreset";

// Saturating 16-bit addition, as the packed-integer adds of the ink lanes do.
std::int16_t AddSaturated(std::int16_t a, int b) {
  return static_cast<std::int16_t>(std::clamp(a + b, -32768, 32767));
}

}  // namespace

std::optional<TInkVector> ParseSpotInkValues(std::string_view name) {
  const std::size_t open = name.find("|{");
  if (name.empty() || open == std::string_view::npos) return std::nullopt;
  TInkVector values;
  std::string number;
  std::size_t position = 0;
  for (const char c : name.substr(open + 2)) {
    if ((c >= '0' && c <= '9') || c == '.') {
      number += c;
    } else if (c == ' ') {
      continue;
    } else if (c == ',' || c == '}') {
      const auto v = ParseDouble(number);
      if (!v) continue;  // skipped like a blank; the number text stays
      values.Lane[position] = static_cast<std::int16_t>(RoundClamp(*v * 32767 / 100, 0, 32767));
      if (c == '}') return values;
      if (++position > 7) return std::nullopt;
      number.clear();
    } else {
      return std::nullopt;
    }
  }
  return std::nullopt;  // no closing brace after a number
}

TRipEngine::TRipEngine() = default;
TRipEngine::~TRipEngine() = default;

void TRipEngine::PrepareForSlab(const std::string& path, std::int32_t bandRows) {
  LoadSlab(path);
  PrepareInkManager();
  PrepareSpotInks();
  PrepareBuffers(bandRows);
}

void TRipEngine::LoadSlab(const std::string& path) {
  Slab_.Reset();
  SpotChannels_.clear();
  SlabFile_ = path;
  if (!FileExists(path)) throw ESlabNotLoaded("no such file");
  auto slab = MakeRef<TRipSlab>();
  bool loaded = false;
  try {
    loaded = slab->LoadFromFile(path);
  } catch (const std::exception& e) {
    throw ESlabNotLoaded(e.what());
  }
  if (!loaded) {
    std::string reason;
    for (const std::string& problem : slab->Problems()) reason += (reason.empty() ? "" : "\n") + problem;
    throw ESlabNotLoaded(reason);
  }
  slab->CompleteJobs();
  Slab_ = std::move(slab);
}

void TRipEngine::PrepareInkManager() {
  InkManager_.Reset();
  if (IccFolder.empty()) throw TError("No ICC Path Set");
  if (!Slab_) throw TError("No RipFile loaded");
  if (!Slab_->MediaPresetSnapshot) throw ENoColourTables("No Media Set");
  if (!FileExists(Slab_->FileName)) throw TError("File not found: " + Slab_->FileName);
  auto manager = MakeRef<TInkManagerEx>();
  manager->SetIccFolder(IccFolder);
  try {
    const TqlInifile ini(Slab_->FileName);
    auto preset = MakeRef<TMediaPresetObj>();
    preset->LoadFromIni(kPresetSection, &ini);
    manager->SetPreset(std::move(preset));
    manager->Build(Expansion_);
  } catch (const TError& e) {
    throw ENoColourTables(e.what());
  }
  InkManager_ = std::move(manager);
}

void TRipEngine::PrepareSpotInks() {
  SpotChannels_.clear();
  if (!Slab_ || !InkManager_) return;
  InkManager_->ClearSpotPalette();
  InkManager_->AddSpotInk({});                              // 0: no ink, for knocked-out marks
  InkManager_->AddSpotInk(TInkVector{{0, 0, 0, 32766}});   // 1: black, for marks
  SpotChannels_.resize(Slab_->JobCount());
  std::size_t jobIndex = 0;
  for (const auto& job : Slab_->Jobs) {
    std::vector<std::int32_t>& channels = SpotChannels_[jobIndex++];
    if (!job || !job->Document) continue;
    const auto& colours = job->Document->Colours;
    channels.assign(colours.size(), -1);
    for (std::size_t i = 0; i < colours.size(); ++i) {
      if (!job->IsSpotColour(static_cast<std::int64_t>(i))) continue;
      const TInkVector inks = ParseSpotInkValues(colours[i].Name).value_or(
          InkManager_->ConvertNamedColour(colours[i].Spec));
      channels[i] = static_cast<std::int32_t>(InkManager_->AddSpotInk(InkManager_->ApplyInkCurves(inks)));
    }
  }
}

void TRipEngine::PrepareBuffers(std::int32_t bandRows) {
  if (!Slab_) throw TError("No RipFile loaded");
  const std::int32_t width = Slab_->RenderWidth;
  if (width <= 0 || Slab_->RenderHeight <= 0)
    throw TError(fmt::format("{}: a render size of {} x {} pixels cannot be printed", Slab_->FileName, width,
                             Slab_->RenderHeight));
  if (!InkManager_ || !InkManager_->Ready() || !InkManager_->FirstTable())
    throw TError(fmt::format("{}: no colour tables are prepared for its media", Slab_->FileName));
  const float scale = Slab_->RenderDPI / 25.4f;
  SlabTransform_ = {0, 0, scale, 0, 0, scale};
  PrepareAlignMarks();
  if (bandRows < 0)
    throw TError(fmt::format("{}: a band of {} rows cannot be drawn", Slab_->FileName, bandRows));
  const std::int32_t rows = bandRows > 0 ? std::min(bandRows, Slab_->RenderHeight) : BandRowsFor(width);
  // cairo draws no band taller than its images.
  BandHeight_ = std::min(rows, kMaxCairoSide);
  BandTop_ = INT32_MAX;
  BandsDrawn_ = 0;
  Band_.SetSize(width, BandHeight_);
  Band_.Fill(0xFFFFFFFF);
  SpotMap_.SetSize(width, BandHeight_);
  const std::uint8_t mask = InkManager_->Preset()->SplitsLightInks() ? TInkRowEx::kSixInks : TInkRowEx::kFourInks;
  InkRow_ = MakeRef<TInkRowEx>(width, mask, TwoBitOutput, Slab_->RipWidth);
  InkRow_->Prepare();
  InkBytes_.assign(static_cast<std::size_t>(width), 0);
}

void TRipEngine::PrepareRow(int y) {
  RenderBand(y);
  const std::size_t width = static_cast<std::size_t>(Band_.Width());
  const TColor32* pixels = Band_.Row(y - BandTop_);
  const std::uint16_t* spots = SpotMap_.Row(y - BandTop_);
  TInkVector* inks = InkRow_->Input();
  Lookup_.InvalidateCache(pixels[0]);
  if (InkManager_->SecondTable()) {
    Lookup_.EightInkRow(pixels, width, inks);
  } else {
    Lookup_.FourInkRow(pixels, width, InkBytes_.data());
    Expansion_.ExpandRow(InkBytes_.data(), width, inks);
  }
  // Spot inks on top, weighted by how opaque the spot fill was (255 - alpha).
  const auto& palette = InkManager_->SpotPalette();
  for (std::size_t x = 0; x < width; ++x) {
    const unsigned alpha = pixels[x] >> 24;
    if (alpha == 255 || spots[x] >= palette.size()) continue;
    const TInkVector& entry = palette[spots[x]];
    const unsigned w = 255 - alpha;
    for (std::size_t lane = 0; lane < 8; ++lane) {
      const int e = entry.Lane[lane];
      // About e * w / 256, in the integer steps of a 16-bit multiply-high.
      const int add = w == 255 ? e : ((e * static_cast<int>(w * 128)) >> 16) * 2;
      inks[x].Lane[lane] = AddSaturated(inks[x].Lane[lane], add);
    }
  }
}

void TRipEngine::RenderBand(int y) {
  if (BandTop_ != INT32_MAX && y >= BandTop_ && y < BandTop_ + BandHeight_) return;
  BandTop_ = (y / BandHeight_) * BandHeight_;
  Band_.Fill(0xFFFFFFFF);
  SpotMap_.Fill(0);
  ++BandsDrawn_;
  auto renderer = MakeRef<TcmfRender>();
  renderer->TargetBitmap = &Band_;
  renderer->SpotMap = &SpotMap_;
  renderer->EmbeddedFileMode = true;
  renderer->TargetTop = BandTop_;
  try {
    if (AlignMarks_) AlignMarks_->DrawMarks(renderer.Get(), AlignTransform_, 1, 0);
    for (const TRipJobPos& placement : Slab_->Placements) DrawPlacedJob(placement, *renderer);
  } catch (const TError& e) {
    BandTop_ = INT32_MAX;  // half a band is no band
    throw TError(fmt::format("{}: {}", Slab_->FileName, e.what()));
  }
  // A job's correction converts with its own table; the engine's lookups stay on the ink tables.
  if (InkManager_) {
    if (TColorLut33Obj* second = InkManager_->SecondTable()) {
      Lookup_.MakeCurrent(*second);
      Lookup_.CopyCurrentToSecond();
    }
    if (TColorLut33Obj* first = InkManager_->FirstTable()) Lookup_.MakeCurrent(*first);
  }
}

void TRipEngine::DrawPlacedJob(const TRipJobPos& placement, TcmfRender& renderer) {
  const std::int32_t jobIndex = placement.JobIndex();
  const TRef<TRipfileData> job = Slab_->Job(jobIndex);
  if (!job || !job->Document) return;
  const TAffine place = placement.Transform();
  const TRectF& clip = job->ClipBounds;
  const TRectF& placed = job->PlacedClip;
  const std::array<TPointF, 3> from{TPointF{clip.MinX, clip.MinY}, TPointF{clip.MaxX, clip.MinY},
                                    TPointF{clip.MinX, clip.MaxY}};
  const std::array<TPointF, 3> to{place.Map({placed.MinX, placed.MinY}), place.Map({placed.MaxX, placed.MinY}),
                                  place.Map({placed.MinX, placed.MaxY})};
  const TAffine documentToSlab = Compose(TransformBetween(from, to), SlabTransform_);
  const TMatrixObj view(documentToSlab);
  const auto index = static_cast<std::size_t>(jobIndex);  // in range: the job was found
  TSpotChannels spots;                                    // none before PrepareSpotInks
  if (index < SpotChannels_.size()) spots = SpotChannels_[index];
  renderer.Render(*job->Document, clip, view, job->IsClipped, spots);
  if (job->CorrectionLut) {
    const TRectF box = TMatrixObj(SlabTransform_).MapRectToPixels(placement.PlacedBounds());
    const auto top = static_cast<float>(BandTop_);  // whole pixels: exact
    ApplyCorrectionLut({box.MinX, box.MinY - top, box.MaxX, box.MaxY - top}, *job->CorrectionLut);
  }
  if (job->Marks) job->Marks->DrawMarks(&renderer, Compose(place, SlabTransform_), 1, 0);
}

void TRipEngine::ApplyCorrectionLut(TRectF rect, TColorLut33Obj& table) {
  // The rectangle is inclusive of its right and bottom pixels; both ends are
  // clamped before they become integers, whatever the placement held.
  const auto pixel = [](float v) { return static_cast<int>(RoundClamp(v, -1'000'000'000, 1'000'000'000)); };
  const int left = std::max(0, pixel(rect.MinX));
  const int right = std::min(Band_.Width() - 1, pixel(rect.MaxX));
  const int top = std::max(0, pixel(rect.MinY));
  const int bottom = std::min(Band_.Height() - 1, pixel(rect.MaxY));
  if (left > right || top > bottom) return;
  for (int y = top; y <= bottom; ++y)
    table.ConvertPixels(Band_.Row(y) + left, static_cast<std::size_t>(right - left + 1));
}

void TRipEngine::PrepareAlignMarks() {
  AlignMarks_.Reset();
  const TRipSlab& s = *Slab_;
  if (s.AlignMarks <= 0 && s.AlignMarkCmd.empty()) return;
  auto marks = MakeRef<TPrintMarks>();
  AlignTransform_ = SlabTransform_;
  if (!s.AlignMarkCmd.empty()) {
    const TRectF frame{s.AlignPosMinX, s.AlignPosMinY, s.AlignPosMaxX, s.AlignPosMaxY};
    if (s.AlignPosRot90 == 1) {
      // Laid out with width and height exchanged, then turned a quarter clockwise
      // onto the frame: layout X runs down it, layout Y from its right edge leftwards.
      const float w = frame.MaxX - frame.MinX, h = frame.MaxY - frame.MinY;
      const TRectF layout{frame.MinX, frame.MinY, frame.MinX + h, frame.MinY + w};
      const std::array<TPointF, 3> from{TPointF{layout.MinX, layout.MinY}, TPointF{layout.MaxX, layout.MinY},
                                        TPointF{layout.MinX, layout.MaxY}};
      const std::array<TPointF, 3> to{TPointF{frame.MaxX, frame.MinY}, TPointF{frame.MaxX, frame.MaxY},
                                      TPointF{frame.MinX, frame.MinY}};
      AlignTransform_ = Compose(TransformBetween(from, to), SlabTransform_);
      marks->AddCommandMarks(layout, s.AlignMarkCmd);
    } else {
      marks->AddCommandMarks(frame, s.AlignMarkCmd);
    }
  } else {
    const TRectF frame{20, 20, s.MediaWidth - 20, s.MediaHeight - 20};
    if (s.AlignMarks == 2)
      marks->AddRegistrationSquares(frame);
    else
      marks->AddRegistrationTargets(frame);
  }
  AlignMarks_ = std::move(marks);
}

}  // namespace slabrip
