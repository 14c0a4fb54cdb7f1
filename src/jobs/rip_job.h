// A job: one piece of artwork placed on a slab, read from its job file.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "base/affine.h"
#include "base/ref_obj.h"
#include "colour/colour_filter_settings.h"
#include "colour/colour_lut33.h"
#include "document/cmf_model.h"
#include "geometry/geo_curve.h"
#include "marks/print_marks.h"

namespace slabrip {

/// Which document colours print as spot inks: colours 0..254 by bit, the
/// four masks end to end; 255 and above always when SpotCount is not 0.
struct TSpotMask {
  std::int32_t SpotCount = 0;
  std::array<std::uint64_t, 4> Masks{};
};

/// The job record: every key of the job file, kept as read.
class TRipfileData : public TRefObj {
 public:
  /// Reads the job file. Throws TError saying which when it is missing or
  /// unreadable, when its document is found neither where it points nor
  /// beside the job file, or when the scaled clip rectangle is empty.
  void LoadFromFile(const std::string& path);

  /// A file the job names: as it stands, else its name beside the job file;
  /// empty when neither exists.
  std::string ResolveFile(std::string_view reference) const;

  /// Reads the document SrcFile names, once; false, with DocumentProblem
  /// saying why, when it is missing or does not read as a cmf document.
  bool LoadDocument();
  /// Reads the contour-cut file CutGeo names, once; false when there is none.
  bool LoadCutGeometry();

  /// Builds the job's crop marks, tile label and job text, once.
  void BuildMarks();

  /// Builds CorrectionLut from the colour-correction settings when they are
  /// enabled and no table exists yet.
  void BuildCorrectionLut();

  /// Whether document colour `index` prints as a spot ink.
  bool IsSpotColour(std::int64_t index) const;

  TRef<TcmfFile> Document;
  std::string DocumentProblem;
  TRef<TCompoundGeo> CutGeometry;
  TRef<TPrintMarks> Marks;  // in the job's scaled frame
  std::unique_ptr<TColorLut33Obj> CorrectionLut;  // RGB -> RGB, applied over the placed bounds
  std::string FileName;
  TRectF PlacedClip;  // ClipBounds in the scaled frame, millimetres
  std::int32_t RipQueID = 0;
  std::int32_t FZOrder = 0;
  std::int32_t FJobID = 0;
  std::int32_t Copies = 0;
  std::int32_t QtyDone = 0;
  float ScaleY = 1;
  float ScaleX = 1;
  float JobBleed = 0;
  std::string SrcFile;
  std::string JobName;
  std::string Preview;
  std::string CutGeo;
  std::string FullPrev;
  bool UseCropMarks = false;
  bool UseJobText = false;
  std::string JobText;
  double Date = 0;  // days since 1899-12-30
  bool IsClipped = false;
  bool UseTileNums = false;
  std::int32_t TileColNo = 0;
  std::int32_t TileRowNo = 0;
  TRectF FullBounds;
  TRectF ClipBounds;
  std::int32_t TileNo = 0;
  bool IsTiled = false;
  TColourFilterSettings ColourFilterSettings;
  TSpotMask SpotMask;
  std::string ContrastCrv;
  bool WeedBorder = false;
  bool IsContourCut = false;
  std::int32_t CutJID = 0;
  std::int32_t YCount = 0;
  std::int32_t XCount = 0;
  float GapY = 0;
  float GapX = 0;
  float Padding = 0;
  float WBGap = 0;
  std::string RegMrk;

 private:
};

}  // namespace slabrip
