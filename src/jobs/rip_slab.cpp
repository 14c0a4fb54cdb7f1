#include "jobs/rip_slab.h"

#include <fmt/format.h>
#include <algorithm>
#include <array>
#include <limits>
#include <variant>

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

// How [Info] holds a value. A key the file lacks, or whose text the field
// cannot hold, keeps the field's value unless said otherwise.
enum class TStored : std::uint8_t {
  kText,
  kInteger,       // decimal
  kHostWindow,    // decimal; a missing key reads as 0, not as the field's value
  kInt64,         // "$" and 16 hex digits
  kFloat,         // as the float writer gives it: a float32, or a byte count (plain digits below 10^15)
  kReadOnlyFlag,  // read as 0 or not; the status is saved without it
};

using TInfoField = std::variant<std::string TRipSlab::*, std::int32_t TRipSlab::*, std::int64_t TRipSlab::*,
                                float TRipSlab::*, bool TRipSlab::*, TRipStatus TRipSlab::*>;

struct TInfoKey {
  std::string_view Name;
  TInfoField Field;
  TStored Stored;
};

// Each [Info] key, once: LoadFromFile reads them all, SaveStatus writes them
// in this order (a key new to the file goes after the others, in this order).
constexpr std::array<TInfoKey, 24> kInfoKeys = {{
    {"SlabID", &TRipSlab::SlabID, TStored::kInt64},                       // the host's number for the slab
    {"PrevFilename", &TRipSlab::PrevFilename, TStored::kText},            // the host's preview picture
    {"PrnFilename", &TRipSlab::PrnFilename, TStored::kText},              // the print file (RipStatus 1, 3)
    {"Jobname", &TRipSlab::Jobname, TStored::kText},                      // the print's name in the queue
    {"Printer", &TRipSlab::Printer, TStored::kText},                      // the printer description file
    {"PrintMode", &TRipSlab::PrintMode, TStored::kText},                  // the print mode's name
    {"Zorder", &TRipSlab::Zorder, TStored::kInteger},                     // the host's; kept as read
    {"MediaWidth", &TRipSlab::MediaWidth, TStored::kFloat},               // the sheet's width in millimetres
    {"MediaHeight", &TRipSlab::MediaHeight, TStored::kFloat},             // and its length
    {"XDPI", &TRipSlab::XDPI, TStored::kFloat},                           // the printer's resolution across
    {"YDpi", &TRipSlab::YDpi, TStored::kFloat},                           // and along
    {"RenderDPI", &TRipSlab::RenderDPI, TStored::kFloat},                 // the resolution drawn at
    {"PrintMethod", &TRipSlab::PrintMethod, TStored::kInteger},           // the host's; kept as read
    {"AlignMarks", &TRipSlab::AlignMarks, TStored::kInteger},             // which alignment marks are drawn
    {"UseAutoCrop", &TRipSlab::UseAutoCrop, TStored::kReadOnlyFlag},      // the host's
    {"RipWidth", &TRipSlab::RipWidth, TStored::kInteger},                 // the print in printer pixels
    {"RipHeight", &TRipSlab::RipHeight, TStored::kInteger},               // and its rows
    {"RenderWidth", &TRipSlab::RenderWidth, TStored::kInteger},           // the drawing in render pixels
    {"RenderHeight", &TRipSlab::RenderHeight, TStored::kInteger},         // and its rows
    {"RipStatus", &TRipSlab::RipStatus, TStored::kInteger},               // see TRipStatus
    {"CurrPrnSize", &TRipSlab::CurrPrnSize, TStored::kFloat},             // bytes of printer data made
    {"SentPrnSize", &TRipSlab::SentPrnSize, TStored::kFloat},             // bytes of it delivered
    {"RipCurrRow", &TRipSlab::RipCurrRow, TStored::kInt64},               // printer rows done
    {"CustomHostHwnd", &TRipSlab::CustomHostHwnd, TStored::kHostWindow},  // the host to tell; 0: none
}};

void ReadField(const TqlInifile& ini, const TInfoKey& key, std::string& field) {
  field = ini.ReadString(kInfo, key.Name, field);
}
void ReadField(const TqlInifile& ini, const TInfoKey& key, float& field) {
  field = ini.ReadFloat32(kInfo, key.Name, field);
}
void ReadField(const TqlInifile& ini, const TInfoKey& key, bool& field) {
  field = ini.ReadBool(kInfo, key.Name, field);
}
void ReadField(const TqlInifile& ini, const TInfoKey& key, TRipStatus& field) {
  field = static_cast<TRipStatus>(ReadInRange(ini, kInfo, key.Name, static_cast<std::uint8_t>(field)));
}
// An int32 field stored as an integer reads as the file's integers do ("$" and
// at most 8 hex digits too); any other integer field reads any 64-bit number.
template <class T>
void ReadField(const TqlInifile& ini, const TInfoKey& key, T& field) {
  if constexpr (std::is_same_v<T, std::int32_t>) {
    if (key.Stored == TStored::kInteger || key.Stored == TStored::kHostWindow) {
      field = ini.ReadInteger(kInfo, key.Name, key.Stored == TStored::kHostWindow ? 0 : field);
      return;
    }
  }
  field = ReadInRange(ini, kInfo, key.Name, field);
}

void WriteField(TqlInifile& ini, const TInfoKey& key, const std::string& field) {
  ini.WriteString(kInfo, key.Name, field);
}
void WriteField(TqlInifile& ini, const TInfoKey& key, float field) { ini.WriteFloat(kInfo, key.Name, field); }
void WriteField(TqlInifile&, const TInfoKey&, bool) {}  // kReadOnlyFlag
void WriteField(TqlInifile& ini, const TInfoKey& key, TRipStatus field) {
  ini.WriteInteger(kInfo, key.Name, StatusCode(field));
}
template <class T>
void WriteField(TqlInifile& ini, const TInfoKey& key, T field) {
  if (key.Stored == TStored::kFloat)
    ini.WriteFloat(kInfo, key.Name, static_cast<double>(field));
  else if (key.Stored == TStored::kInt64)
    ini.WriteInt64(kInfo, key.Name, field);
  else
    ini.WriteInteger(kInfo, key.Name, field);
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
  for (const TInfoKey& key : kInfoKeys)
    std::visit([&](auto field) { ReadField(ini, key, this->*field); }, key.Field);

  AlignMarkCmd = ini.ReadString("AlignMarks", "AlignMarkCmd", AlignMarkCmd);
  AlignPosRot90 = ini.ReadInteger("AlignMarks", "AlignPosRot90", AlignPosRot90);
  AlignPosMinX = ini.ReadFloat32("AlignMarks", "AlignPosMinX", AlignPosMinX);
  AlignPosMinY = ini.ReadFloat32("AlignMarks", "AlignPosMinY", AlignPosMinY);
  AlignPosMaxX = ini.ReadFloat32("AlignMarks", "AlignPosMaxX", AlignPosMaxX);
  AlignPosMaxY = ini.ReadFloat32("AlignMarks", "AlignPosMaxY", AlignPosMaxY);
}

std::int32_t TRipSlab::ReadCount(const TqlInifile& ini, const TCountKey& key) {
  const std::int32_t count = ini.ReadInteger(key.Section, key.Key, 0);
  if (count <= key.Limit) return std::max(count, 0);
  Problems_.push_back(
      fmt::format("{}: {} {} is over {}; {}", FileName, key.Name, count, key.Limit, key.None));
  return 0;
}

void TRipSlab::ReadJobs(const TqlInifile& ini) {
  const std::int32_t count = ReadCount(ini, {"Jobs", "JobCount", "JobCount", kMaxJobCount, "no job read"});
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
    try {
      job->LoadFromFile(jobFile);
      Jobs.Add(std::move(job));
    } catch (const std::exception& e) {
      Problems_.push_back(fmt::format("{}: {}", key, e.what()));
      Jobs.Add(nullptr);
    }
  }
}

void TRipSlab::ReadPlacements(const TqlInifile& ini) {
  const std::int32_t count =
      ReadCount(ini, {"RPA", "Count", "placement Count", kMaxPlacementCount, "none read"});
  Placements.assign(static_cast<std::size_t>(count), TRipJobPos{});
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
  for (const TInfoKey& key : kInfoKeys)
    std::visit([&](auto field) { WriteField(ini, key, this->*field); }, key.Field);
  ini.UpdateFile();
}

}  // namespace slabrip
