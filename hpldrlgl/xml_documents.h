// Reads and checks the three documents the driver sends: the job ticket, the
// page description and the raster format. Values arrive without XML escaping,
// so a bare '&' stays as it is.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "hpraster/hpldrlgl_abi.h"
#include "model_table.h"

namespace slabrip::hpldrlgl {

/// A media-handling element of the ticket and its PJL variable.
struct TMediaField {
  const char* Element;
  const char* PjlName;
};

/// The eleven numeric media values, in the order the PJL header lists them.
inline constexpr std::array<TMediaField, 11> kMediaFields{{
    {"InputTension", "INPUTTENSION"},
    {"AdvanceFactor", "ADVANCEFACTOR"},
    {"Vacuum", "VACUUM"},
    {"DryTemp", "DRYTEMP"},
    {"CureTemp", "CURETEMP"},
    {"DryWarmUpOffsetTemp", "DRYWARMUPOFFSETTEMP"},
    {"CureWarmUpOffsetTemp", "CUREWARMUPOFFSETTEMP"},
    {"DryCoolDownOffsetTemp", "DRYCOOLDOWNOFFSETTEMP"},
    {"CureCoolDownOffsetTemp", "CURECOOLDOWNOFFSETTEMP"},
    {"DryPowerMin", "DRYPOWERMIN"},
    {"HeatAirFlow", "HEATAIRFLOW"},
}};

/// A checked job ticket. Texts are as the ticket gives them.
struct TJobTicket {
  TModel Model;
  std::string PrinterModel;
  std::string JobTitle;
  HPDRLGL_PrinterDataProc Callback = nullptr;
  std::uintptr_t UserData = 0;
  std::string MediaTypeId;
  std::int32_t Passes = 0;
  bool Unidirectional = false;
  bool HighInkLevel = false;
  std::int32_t Resolution = 0;
  std::array<std::string, kMediaFields.size()> Media;  // checked decimal numbers
  bool Cutter = false;
  std::string MediaName;
};

/// Page size in 1/9600 inch.
struct TPageInfo {
  std::int32_t Width = 0;
  std::int32_t Height = 0;
};

inline constexpr int kMaxPlanes = 8;

/// Each parser throws TFailure with the code for the first fault found.
TJobTicket ParseJobTicket(const char* xml, const TModelTable& models);
TPageInfo ParsePageInfo(const char* xml);
/// The number of planes; every plane must be at `resolution` both ways.
int ParseRasterFormat(const char* xml, std::int32_t resolution);

}  // namespace slabrip::hpldrlgl
