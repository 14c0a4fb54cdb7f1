#include "jobs/rip_job.h"

#include <fmt/format.h>

#include "base/date_time.h"
#include "base/file_paths.h"
#include "base/float_compare.h"
#include "base/ini_file.h"
#include "base/number_text.h"
#include "base/errors.h"
#include "colour/colour_filter.h"
#include "document/cmf_reader.h"
#include "document/data_stream.h"

namespace slabrip {

namespace {

// The suite writes job files for Windows' profile reader, which drops one pair
// of quotes around a whole value.
std::string ReadText(const TqlInifile& ini, std::string_view section, std::string_view key) {
  std::string value = ini.ReadString(section, key, "");
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
    value = value.substr(1, value.size() - 2);
  return value;
}

constexpr std::size_t kMaxCutFileBytes = std::size_t{512} << 20;

TRectF ReadBounds(const TqlInifile& ini, std::string_view section, const TRectF& def) {
  return {ini.ReadFloat32(section, "MinX", def.MinX), ini.ReadFloat32(section, "MinY", def.MinY),
          ini.ReadFloat32(section, "MaxX", def.MaxX), ini.ReadFloat32(section, "MaxY", def.MaxY)};
}

// A float32 setting that must not silently fall back: absent keeps the
// default, present but unreadable fails the whole record.
bool ReadStrictFloat(const TqlInifile& ini, std::string_view key, float& value) {
  const auto text = ini.ReadValue("RGBCorrection", key);
  if (!text || TrimBlanks(*text).empty()) return true;
  const auto parsed = ParseFloat32(*text);
  if (!parsed) return false;
  value = *parsed;
  return true;
}

TColourFilterSettings ReadColourFilter(const TqlInifile& ini, TColourFilterSettings settings) {
  settings.Enabled = ini.ReadBool("RGBCorrection", "Enabled", settings.Enabled != 0) ? 1 : 0;
  bool ok = ReadStrictFloat(ini, "HueAdjust", settings.HueAdjust) &&
            ReadStrictFloat(ini, "Saturation", settings.Saturation) &&
            ReadStrictFloat(ini, "Brightness", settings.Brightness) &&
            ReadStrictFloat(ini, "Gamma", settings.Gamma) &&
            ReadStrictFloat(ini, "Contrast", settings.Contrast);
  for (std::size_t k = 0; ok && k < settings.HueShift.size(); ++k)
    ok = ReadStrictFloat(ini, fmt::format("HueShift{}", k), settings.HueShift[k]);
  for (std::size_t k = 0; ok && k < settings.HueLevel.size(); ++k)
    ok = ReadStrictFloat(ini, fmt::format("HueLevel{}", k), settings.HueLevel[k]);
  return ok ? settings : TColourFilterSettings{};
}

// Scales written as 0 (or within 2 units in the last place of it) mean 1.
float NonZeroScale(float scale) { return UlpDistance(scale, 0.0f) <= 2 ? 1.0f : scale; }

}  // namespace

void TRipfileData::LoadFromFile(const std::string& path) {
  FileName = path;
  if (!FileExists(path)) throw TError(fmt::format("job file not found: {}", path));
  const TqlInifile ini(path);

  RipQueID = ini.ReadInteger("Job", "RipQueID", 0);
  FZOrder = ini.ReadInteger("Job", "FZOrder", 0);
  FJobID = ini.ReadInteger("Job", "FJobID", 0);
  Copies = ini.ReadInteger("Job", "Copies", 1);
  QtyDone = ini.ReadInteger("Job", "QtyDone", 0);
  const auto date = ini.ReadValue("Job", "Date");
  Date = date ? ParseDateTime(*date).value_or(NowDateTime()) : NowDateTime();
  SrcFile = ReadText(ini, "Job", "SrcFile");
  JobName = ReadText(ini, "Job", "JobName");
  Preview = ReadText(ini, "Job", "Preview");
  CutGeo = ReadText(ini, "Job", "CutGeo");
  FullPrev = ReadText(ini, "Job", "FullPrev");
  JobText = ReadText(ini, "Job", "JobText");
  UseCropMarks = ini.ReadBool("Job", "UseCropMarks", false);
  UseJobText = ini.ReadBool("Job", "UseJobText", false);
  WeedBorder = ini.ReadBool("Job", "WeedBorder", false);

  FullBounds = ReadBounds(ini, "FullBounds", TRectF{});
  ClipBounds = ReadBounds(ini, "ClipBounds", FullBounds);

  ScaleX = ini.ReadFloat32("Size", "ScaleX", 1.0f);
  ScaleY = ini.ReadFloat32("Size", "ScaleY", 1.0f);
  JobBleed = ini.ReadFloat32("Size", "JobBleed", 0.0f);

  IsTiled = ini.ReadBool("Tiles", "IsTiled", false);
  TileNo = ini.ReadInteger("Tiles", "TileNo", 0);
  TileColNo = ini.ReadInteger("Tiles", "TileColNo", 0);
  TileRowNo = ini.ReadInteger("Tiles", "TileRowNo", 0);
  UseTileNums = ini.ReadBool("Tiles", "UseTileNums", false);

  ColourFilterSettings = ReadColourFilter(ini, ColourFilterSettings);
  ContrastCrv = ReadText(ini, "RGBCorrection", "ContrastCrv");

  SpotMask = {};
  SpotMask.SpotCount = ini.ReadInteger("SpotFlags", "SpotCount", 0);
  if (SpotMask.SpotCount != 0)
    for (std::size_t k = 0; k < SpotMask.Masks.size(); ++k)
      SpotMask.Masks[k] =
          static_cast<std::uint64_t>(ini.ReadInt64("SpotFlags", fmt::format("Spot{}", k + 1), 0));

  IsContourCut = ini.ReadBool("ContourCut", "IsContourCut", false);
  XCount = ini.ReadInteger("ContourCut", "XCount", 1);
  YCount = ini.ReadInteger("ContourCut", "YCount", 1);
  Padding = ini.ReadFloat32("ContourCut", "Padding", 0.0f);
  GapX = ini.ReadFloat32("ContourCut", "GapX", 0.0f);
  GapY = ini.ReadFloat32("ContourCut", "GapY", 0.0f);
  WBGap = ini.ReadFloat32("ContourCut", "WBGap", 0.0f);
  RegMrk = ReadText(ini, "ContourCut", "RegMrk");
  CutJID = ini.ReadInteger("ContourCut", "CutJID", 0);

  IsClipped = !(ClipBounds == FullBounds);

  if (ResolveFile(SrcFile).empty())
    throw TError(SrcFile.empty() ? fmt::format("{}: no document (SrcFile) given", path)
                                 : fmt::format("{}: document not found: {}", path, SrcFile));
  ScaleX = NonZeroScale(ScaleX);
  ScaleY = NonZeroScale(ScaleY);
  PlacedClip = {ClipBounds.MinX * ScaleX, ClipBounds.MinY * ScaleY, ClipBounds.MaxX * ScaleX,
                ClipBounds.MaxY * ScaleY};
  if (PlacedClip.IsEmpty()) throw TError(fmt::format("{}: the clip rectangle is empty", path));
  BuildMarks();
}

std::string TRipfileData::ResolveFile(std::string_view reference) const {
  return ResolveBeside(reference, FolderPart(FileName));
}

void TRipfileData::BuildMarks() {
  if (Marks) return;
  Marks = MakeRef<TPrintMarks>();
  if (UseCropMarks) {
    TRectF trim = PlacedClip;
    if (JobBleed != 0) trim = {trim.MinX + JobBleed, trim.MinY + JobBleed, trim.MaxX - JobBleed, trim.MaxY - JobBleed};
    Marks->AddCropMarks(trim);
  }
  if (IsTiled && UseTileNums)
    Marks->AddText(PlacedClip, fmt::format("Tile: {}. [{} x {}]", TileNo, TileColNo, TileRowNo), true);
  if (UseJobText)
    Marks->AddText(PlacedClip, JobText.empty() ? JobName + ", " + FormatDateTime(Date) : JobText, false);
}

bool TRipfileData::LoadDocument() {
  if (Document) return true;
  const std::string path = ResolveFile(SrcFile);
  if (path.empty()) {
    DocumentProblem = fmt::format("document not found: {}", SrcFile);
    return false;
  }
  try {
    TFileByteStream file(path, false);
    Document = TcmfWriter::ReadDocument(file, TBM32CacheManager::Shared());
    Document->FileSize = file.Size();
  } catch (const TError& e) {
    DocumentProblem = fmt::format("{}: {}", path, e.what());
  }
  return Document != nullptr;
}

bool TRipfileData::LoadCutGeometry() {
  if (CutGeometry) return true;
  const std::string path = ResolveFile(CutGeo);
  if (path.empty()) return false;
  std::vector<std::unique_ptr<TGeoCurve>> curves;
  try {
    curves = ReadContourCutFile(ReadWholeFile(path, kMaxCutFileBytes));
  } catch (const TError&) {
    return false;
  }
  if (curves.empty()) return false;
  CutGeometry = MakeRef<TCompoundGeo>();
  for (auto& curve : curves) CutGeometry->Add(std::move(curve));
  return true;
}

void TRipfileData::BuildCorrectionLut() {
  if (CorrectionLut || ColourFilterSettings.Enabled == 0) return;
  // The job file has no key for the contrast-curve flag, so a job read from
  // a file gets its table without the curve.
  std::optional<TContrastTable> contrast;
  if (ColourFilterSettings.UseContrastCurve != 0) contrast = ContrastTableFromText(ContrastCrv);
  CorrectionLut = BuildFilterTable(ColourFilterSettings, contrast ? &*contrast : nullptr);
}

bool TRipfileData::IsSpotColour(std::int64_t index) const {
  if (SpotMask.SpotCount == 0 || index < 0) return false;
  if (index >= 255) return true;
  const auto i = static_cast<std::size_t>(index);
  return (SpotMask.Masks[i / 64] >> (i % 64) & 1u) != 0;
}

}  // namespace slabrip
