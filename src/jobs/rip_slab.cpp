#include "jobs/rip_slab.h"

#include <fmt/format.h>
#include <algorithm>
#include <limits>

#include "base/ascii_case.h"
#include "base/file_paths.h"
#include "base/ini_file.h"
#include "base/number_text.h"

namespace slabrip {

namespace {

constexpr std::string_view kInfo = "Info";

// Integer fields narrower than the text they come from keep their value
// when the stored number does not fit, instead of wrapping round.
template <class T>
T ReadInRange(const TqlInifile& ini, std::string_view section, std::string_view key, T current) {
  const std::int64_t value = ini.ReadInt64(section, key, current);
  return value < std::numeric_limits<T>::min() || value > std::numeric_limits<T>::max()
             ? current
             : static_cast<T>(value);
}

}  // namespace

bool TRipSlab::LoadFromFile(const std::string& path) {
  Problems_.clear();
  if (!FileExists(path)) {
    Problems_.push_back(path.empty() ? "no slab file given" : fmt::format("{}: file not found", path));
    return false;
  }
  Jobs.ReleaseAll();
  Placements.clear();
  FileName = path;
  std::unique_ptr<TqlInifile> file;
  try {
    file = std::make_unique<TqlInifile>(path);
  } catch (const std::exception& e) {
    Problems_.emplace_back(e.what());
    return false;
  }
  ReadInfo(*file);
  MediaPresetSnapshot = file->EmbeddedLines("SnapShot_MediaPreset");
  PrinterDataSnapshot = file->EmbeddedLines("SnapShot_PrinterData");
  ReadJobs(*file);
  ReadPlacements(*file);

  if (Placements.empty()) Problems_.push_back(fmt::format("{}: no placements in [RPA]", path));
  if (LoadedJobCount() == 0) Problems_.push_back(fmt::format("{}: no job could be loaded", path));
  if (Placements.empty() || LoadedJobCount() == 0) return false;
  UpdateProgress();
  return true;
}

void TRipSlab::ReadInfo(const TqlInifile& ini) {
  SlabID = ini.ReadInt64(kInfo, "SlabID", SlabID);
  PrevFilename = ini.ReadString(kInfo, "PrevFilename", PrevFilename);
  PrnFilename = ini.ReadString(kInfo, "PrnFilename", PrnFilename);
  Jobname = ini.ReadString(kInfo, "Jobname", Jobname);
  Printer = ini.ReadString(kInfo, "Printer", Printer);
  PrintMode = ini.ReadString(kInfo, "PrintMode", PrintMode);
  Zorder = ini.ReadInteger(kInfo, "Zorder", Zorder);
  MediaWidth = ini.ReadFloat32(kInfo, "MediaWidth", MediaWidth);
  MediaHeight = ini.ReadFloat32(kInfo, "MediaHeight", MediaHeight);
  XDPI = ini.ReadFloat32(kInfo, "XDPI", XDPI);
  YDpi = ini.ReadFloat32(kInfo, "YDpi", YDpi);
  RenderDPI = ini.ReadFloat32(kInfo, "RenderDPI", RenderDPI);
  PrintMethod = ini.ReadInteger(kInfo, "PrintMethod", PrintMethod);
  AlignMarks = ini.ReadInteger(kInfo, "AlignMarks", AlignMarks);
  UseAutoCrop = ini.ReadBool(kInfo, "UseAutoCrop", UseAutoCrop);
  RipStatus = static_cast<TRipStatus>(
      ReadInRange<std::uint8_t>(ini, kInfo, "RipStatus", static_cast<std::uint8_t>(RipStatus)));
  RipWidth = ini.ReadInteger(kInfo, "RipWidth", RipWidth);
  RipHeight = ini.ReadInteger(kInfo, "RipHeight", RipHeight);
  RenderWidth = ini.ReadInteger(kInfo, "RenderWidth", RenderWidth);
  RenderHeight = ini.ReadInteger(kInfo, "RenderHeight", RenderHeight);
  CurrPrnSize = ini.ReadInt64(kInfo, "CurrPrnSize", CurrPrnSize);
  SentPrnSize = ini.ReadInt64(kInfo, "SentPrnSize", SentPrnSize);
  RipCurrRow = ReadInRange<std::int32_t>(ini, kInfo, "RipCurrRow", RipCurrRow);
  CustomHostHwnd = ini.ReadInteger(kInfo, "CustomHostHwnd", 0);

  AlignMarkCmd = ini.ReadString("AlignMarks", "AlignMarkCmd", AlignMarkCmd);
  AlignPosRot90 = ini.ReadInteger("AlignMarks", "AlignPosRot90", AlignPosRot90);
  AlignPosMinX = ini.ReadFloat32("AlignMarks", "AlignPosMinX", AlignPosMinX);
  AlignPosMinY = ini.ReadFloat32("AlignMarks", "AlignPosMinY", AlignPosMinY);
  AlignPosMaxX = ini.ReadFloat32("AlignMarks", "AlignPosMaxX", AlignPosMaxX);
  AlignPosMaxY = ini.ReadFloat32("AlignMarks", "AlignPosMaxY", AlignPosMaxY);
}

void TRipSlab::ReadJobs(const TqlInifile& ini) {
  std::int32_t count = ini.ReadInteger("Jobs", "JobCount", 0);
  if (count > kMaxJobCount) {
    Problems_.push_back(
        fmt::format("{}: JobCount {} is over {}; no job read", FileName, count, kMaxJobCount));
    count = 0;
  }
  const std::string folder = FolderPart(FileName);
  for (std::int32_t i = 0; i < count; ++i) {
    const std::string key = fmt::format("Job{:03}", i);
    const std::string reference = ini.ReadString("Jobs", key, "");
    const std::string jobFile = ResolveBeside(reference, folder);
    // A job that does not load keeps its slot: the placements name jobs by position.
    if (jobFile.empty()) {
      Problems_.push_back(fmt::format("{}: job file not found: {}", key, reference));
      Jobs.Add(nullptr);
      continue;
    }
    auto job = MakeRef<TRipfileData>();
    if (job->LoadFromFile(jobFile)) {
      Jobs.Add(std::move(job));
    } else {
      Problems_.push_back(fmt::format("{}: {}", key, job->Problem()));
      Jobs.Add(nullptr);
    }
  }
}

void TRipSlab::ReadPlacements(const TqlInifile& ini) {
  std::int32_t count = ini.ReadInteger("RPA", "Count", 0);
  if (count > kMaxPlacementCount) {
    Problems_.push_back(
        fmt::format("{}: placement Count {} is over {}; none read", FileName, count, kMaxPlacementCount));
    count = 0;
  }
  Placements.assign(static_cast<std::size_t>(std::max(count, 0)), TRipJobPos{});
  for (std::size_t i = 0; i < Placements.size(); ++i) {
    const std::string key = fmt::format("Pos{:03}", i);
    const std::string text = ini.ReadString("RPA", key, "");
    if (text.size() != TRipJobPos::kHexDigits)
      Problems_.push_back(fmt::format("{}: {} hex digits instead of {}; placement left zero", key,
                                      text.size(), TRipJobPos::kHexDigits));
    Placements[i] = TRipJobPos::FromHex(text);
  }
}

std::string TRipSlab::PrinterDataValue(std::string_view key) const {
  if (!PrinterDataSnapshot) return {};
  for (const std::string& line : *PrinterDataSnapshot) {
    const std::size_t equals = line.find('=');
    if (equals == std::string::npos) continue;
    if (EqualIgnoringCase(TrimBlanks(std::string_view(line).substr(0, equals)), key))
      return std::string(TrimBlanks(std::string_view(line).substr(equals + 1)));
  }
  return {};
}

void TRipSlab::CompleteJobs() {
  for (const auto& job : Jobs) {
    if (!job) continue;
    job->LoadDocument();
    job->LoadCutGeometry();
    job->BuildCorrectionLut();
  }
}

std::size_t TRipSlab::LoadedJobCount() const {
  return static_cast<std::size_t>(std::count_if(Jobs.begin(), Jobs.end(), [](const auto& job) { return job != nullptr; }));
}

void TRipSlab::UpdateProgress() {
  RipProgress = RipHeight <= 0
                    ? 0.0f
                    : std::clamp(static_cast<float>(RipCurrRow) / static_cast<float>(RipHeight), 0.0f, 1.0f);
  const float sent =
      CurrPrnSize <= 0
          ? 0.0f
          : std::clamp(static_cast<float>(SentPrnSize) / static_cast<float>(CurrPrnSize), 0.0f, 1.0f);
  SendProgress = sent * RipProgress;
}

void TRipSlab::SaveStatus() const {
  if (!FileExists(FileName)) return;
  TqlInifile ini(FileName);
  ini.WriteInt64(kInfo, "SlabID", SlabID);
  ini.WriteString(kInfo, "PrevFilename", PrevFilename);
  ini.WriteString(kInfo, "PrnFilename", PrnFilename);
  ini.WriteString(kInfo, "Jobname", Jobname);
  ini.WriteString(kInfo, "Printer", Printer);
  ini.WriteString(kInfo, "PrintMode", PrintMode);
  ini.WriteInteger(kInfo, "Zorder", Zorder);
  ini.WriteFloat(kInfo, "MediaWidth", MediaWidth);
  ini.WriteFloat(kInfo, "MediaHeight", MediaHeight);
  ini.WriteFloat(kInfo, "XDPI", XDPI);
  ini.WriteFloat(kInfo, "YDpi", YDpi);
  ini.WriteFloat(kInfo, "RenderDPI", RenderDPI);
  ini.WriteInteger(kInfo, "PrintMethod", PrintMethod);
  ini.WriteInteger(kInfo, "AlignMarks", AlignMarks);
  ini.WriteInteger(kInfo, "RipWidth", RipWidth);
  ini.WriteInteger(kInfo, "RipHeight", RipHeight);
  ini.WriteInteger(kInfo, "RenderWidth", RenderWidth);
  ini.WriteInteger(kInfo, "RenderHeight", RenderHeight);
  ini.WriteInteger(kInfo, "RipStatus", StatusCode(RipStatus));
  // Byte counts go through the float writer, which gives plain integers below 10^15.
  ini.WriteFloat(kInfo, "CurrPrnSize", static_cast<double>(CurrPrnSize));
  ini.WriteFloat(kInfo, "SentPrnSize", static_cast<double>(SentPrnSize));
  ini.WriteInt64(kInfo, "RipCurrRow", RipCurrRow);
  ini.WriteInteger(kInfo, "CustomHostHwnd", CustomHostHwnd);
  ini.UpdateFile();
}

}  // namespace slabrip
