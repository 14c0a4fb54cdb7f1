// The RIP engine: a slab rendered band by band and turned into ink values row by row.
#pragma once

#include <array>
#include <climits>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/affine.h"
#include "base/errors.h"
#include "base/ref_obj.h"
#include "colour/colour_lookup.h"
#include "colour/expansion_tables.h"
#include "colour/ink_manager.h"
#include "jobs/rip_slab.h"
#include "marks/print_marks.h"
#include "raster/bitmap32.h"
#include "raster/word_map.h"
#include "separation/ink_row.h"

namespace slabrip {

class TcmfRender;

/// Ink values of a spot colour named "Name|{c,m,y,k,...}" (percent), or nothing.
std::optional<TInkVector> ParseSpotInkValues(std::string_view name);

/// The slab could not be read; the message says why.
class ESlabNotLoaded : public TError {
 public:
  using TError::TError;
};

/// The slab loaded, but it has no media preset or its colour tables cannot be
/// built; the message says which. The operator is told, the slab stays shown.
class ENoColourTables : public TError {
 public:
  using TError::TError;
};

/// Loads a slab, prepares its inks and buffers, and hands out render rows as
/// ink vectors in the ink row's input. Rows are asked for in increasing
/// order; each band is drawn once.
class TRipEngine : public TRefObj {
 public:
  TRipEngine();
  ~TRipEngine() override;

  /// What every user of the engine does before the first row: LoadSlab,
  /// PrepareInkManager, PrepareSpotInks and PrepareBuffers(bandRows). Throws
  /// what the first step that fails throws, the slab loaded by then.
  void PrepareForSlab(const std::string& path, std::int32_t bandRows = 0);
  /// Reads the slab and, for every job, its document, cut path and correction
  /// table; throws ESlabNotLoaded when it cannot be read.
  void LoadSlab(const std::string& path);
  /// Builds the ink manager from the slab's media preset. Throws TError for
  /// "No ICC Path Set", "No RipFile loaded" and "File not found: ...", and
  /// ENoColourTables with "No Media Set" without a preset, or with the reason
  /// when the colour tables cannot be built.
  void PrepareInkManager();
  /// Gives every flagged spot colour of every job a palette entry and makes
  /// each job's spot channel table, which the renderer draws the job with.
  void PrepareSpotInks();
  /// Sizes the band (`bandRows` rows, 0: BandRowsFor the width), spot map and ink
  /// row and starts the ink row afresh; throws TError naming the slab when its
  /// RenderWidth cannot be rendered or no colour tables are prepared.
  void PrepareBuffers(std::int32_t bandRows = 0);
  /// Render row y as eight ink values per pixel in the ink row's input.
  void PrepareRow(int y);
  /// Draws the band that holds render row y, unless it is held already.
  void RenderBand(int y);

  const TRef<TRipSlab>& Slab() const { return Slab_; }
  const TRef<TInkManagerEx>& InkManager() const { return InkManager_; }
  const TRef<TInkRowEx>& InkRow() const { return InkRow_; }
  const TBitmap32& Band() const { return Band_; }
  const TWordMap& SpotMap() const { return SpotMap_; }
  std::int32_t BandHeight() const { return BandHeight_; }
  std::int32_t BandTop() const { return BandTop_; }
  /// How many bands were drawn since the buffers were prepared.
  std::int64_t BandsDrawn() const { return BandsDrawn_; }
  /// The slab's alignment marks once the buffers are prepared; null without any.
  const TRef<TPrintMarks>& AlignMarks() const { return AlignMarks_; }

  std::string IccFolder;
  bool TwoBitOutput = true;

 private:
  void DrawPlacedJob(const TRipJobPos& placement, TcmfRender& renderer);
  void ApplyCorrectionLut(TRectF rect, TColorLut33Obj& table);
  /// The slab's alignment marks, made once for every band.
  void PrepareAlignMarks();

  TBitmap32 Band_;
  TRef<TInkManagerEx> InkManager_;
  TRef<TRipSlab> Slab_;
  TWordMap SpotMap_;
  TRef<TInkRowEx> InkRow_;
  std::string SlabFile_;
  std::int32_t BandHeight_ = 0;
  TAffine SlabTransform_;  // millimetres to render pixels of the whole slab; bands are rows of it
  TRef<TPrintMarks> AlignMarks_;
  TAffine AlignTransform_;
  std::int32_t BandTop_ = INT32_MAX;
  std::int64_t BandsDrawn_ = 0;
  /// By job index, the spot channel of every colour of the job's document
  /// (see TSpotChannels); empty until PrepareSpotInks.
  std::vector<std::vector<std::int32_t>> SpotChannels_;
  TColourLookup Lookup_;
  TExpansionTables Expansion_;
  std::vector<TColor32> InkBytes_;  // a row of four-ink results before expansion
};

}  // namespace slabrip
