#include "support/hp_xml.h"

#include <fmt/format.h>

namespace slabrip::test {
namespace {

constexpr const char* kHeader = "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>";

std::string Element(const char* name, const std::string& value) {
  return fmt::format("<{0}>{1}</{0}>", name, value);
}

std::string Hex(std::uintptr_t value) { return fmt::format("{:0{}X}", value, 2 * sizeof value); }

}  // namespace

std::string HPJobInfoXml(const THPTicket& t) {
  std::string xml = kHeader;
  xml += "<JobInfo>" + Element("PrinterModel", t.PrinterModel) + "\r";
  xml += Element("JobTitle", t.JobTitle) + "\r";
  xml += "<PrinterDataProcCallback address=\"" + Hex(t.CallbackAddress) + "\" userData=\"" + Hex(t.UserData) +
         "\" />\r";
  xml += Element("MediaSource", t.MediaSource) + "\r";
  xml += "<MarginType method=\"" + t.MarginMethod + "\">" + t.MarginType + "</MarginType>\r";
  xml += "<PrintMode type=\"" + t.PrintModeType + "\">\r";
  xml += Element("MediaTypeId", t.MediaTypeId) + "\r";
  xml += Element("PassesNumber", t.Passes) + Element("Direction", t.Direction) +
         Element("InkLevel", t.InkLevel) + Element("Bpp", t.Bpp) +
         Element("PrinterResolution", t.Resolution) + Element("VertResolution", t.VertResolution);
  xml += "</PrintMode>\r<MediaManagement>";
  xml += Element("InputTension", t.InputTension) + Element("NavigableByOmas", t.NavigableByOmas) +
         Element("Cutter", t.Cutter) + Element("AdvanceFactor", t.AdvanceFactor) +
         Element("Vacuum", t.Vacuum) + Element("DryTemp", t.DryTemp) + Element("CureTemp", t.CureTemp) +
         Element("DryWarmUpOffsetTemp", t.DryWarmUp) + Element("CureWarmUpOffsetTemp", t.CureWarmUp) +
         Element("DryCoolDownOffsetTemp", t.DryCoolDown) + Element("CureCoolDownOffsetTemp", t.CureCoolDown) +
         Element("DryPowerMin", t.DryPowerMin) + Element("HeatAirFlow", t.HeatAirFlow) +
         Element("MediaName", t.MediaName);
  xml += "</MediaManagement></JobInfo>\r";
  return xml;
}

std::string HPPageInfoXml(const std::string& width, const std::string& height) {
  return std::string(kHeader) + "<PageInfo>" + Element("Width", width) + Element("Height", height) +
         "</PageInfo>";
}

std::string HPRasterFormatXml(const std::string& resolution) {
  static constexpr const char* kLayouts[] = {"KK", "CC", "MM", "YY", "cc", "mm"};
  std::string xml = std::string(kHeader) + "<RasterFormat alignment=\"1\">";
  for (int order = 0; order < 6; ++order)
    xml += fmt::format("<Plane order=\"{}\" hres=\"{}\" vres=\"{}\" layout=\"{}\"/>", order, resolution,
                       resolution, kLayouts[order]);
  return xml + "</RasterFormat>";
}

}  // namespace slabrip::test
