// The three XML documents the driver hands to the HP raster library, built
// piece by piece as the driver builds them (values unescaped, the same CRs),
// so tests of the library see real input. Every value is text, so a test can
// put any fault into any element.
#pragma once

#include <cstdint>
#include <string>

namespace slabrip::test {

struct THPTicket {
  std::string PrinterModel = "HP_Latex_570";
  std::string JobTitle = "Sample";
  std::uintptr_t CallbackAddress = 0;
  std::uintptr_t UserData = 1;
  std::string MediaSource = "AutoSelect";
  std::string MarginMethod = "Excluded";
  std::string MarginType = "Normal";
  std::string PrintModeType = "Halftone";
  std::string MediaTypeId = "HP_RIP_CUSTOM_MEDIA";
  std::string Passes = "10";
  std::string Direction = "Bidir";
  std::string InkLevel = "Low";
  std::string Bpp = "2";
  std::string Resolution = "600";
  std::string VertResolution = "600";
  std::string InputTension = "15";
  std::string NavigableByOmas = "false";
  std::string Cutter = "false";
  std::string AdvanceFactor = "0";
  std::string Vacuum = "30";
  std::string DryTemp = "55";
  std::string CureTemp = "70";
  std::string DryWarmUp = "50";
  std::string CureWarmUp = "40";
  std::string DryCoolDown = "30";
  std::string CureCoolDown = "20";
  std::string DryPowerMin = "200";
  std::string HeatAirFlow = "75";
  std::string MediaName = "HP_RIP_CUSTOM_MEDIA";
};

/// The job ticket; addresses as pointer-wide upper-case hex.
std::string HPJobInfoXml(const THPTicket& ticket);
/// The page description, sizes in 1/9600 inch.
std::string HPPageInfoXml(const std::string& width, const std::string& height);
/// The raster format: the driver's six planes K C M Y c m at `resolution`.
std::string HPRasterFormatXml(const std::string& resolution);

}  // namespace slabrip::test
