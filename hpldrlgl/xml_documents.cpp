#include "xml_documents.h"

#include <cstring>
#include <pugixml.hpp>
#include <string_view>

#include "result.h"
#include "text_values.h"

namespace slabrip::hpldrlgl {
namespace {

// Far beyond any real document; a longer text is refused unread.
constexpr std::size_t kMaxDocumentBytes = 1u << 20;

constexpr std::int64_t kMaxPasses = 32;

void Load(pugi::xml_document& doc, const char* xml) {
  if (xml == nullptr) Fail(HPDRLGL_INVALID_PARAMETERS);
  const std::size_t size = ::strnlen(xml, kMaxDocumentBytes + 1);
  if (size > kMaxDocumentBytes) Fail(HPDRLGL_INVALID_PARAMETERS);
  // Bytes are taken as they are: the driver writes its system code page.
  if (!doc.load_buffer(xml, size, pugi::parse_default, pugi::encoding_utf8)) Fail(HPDRLGL_INVALID_PARAMETERS);
}

pugi::xml_node Child(const pugi::xml_node& parent, const char* name) {
  const pugi::xml_node node = parent.child(name);
  if (!node) Fail(HPDRLGL_INVALID_PARAMETERS);
  return node;
}

std::string_view Text(const pugi::xml_node& parent, const char* name) {
  return Child(parent, name).child_value();
}

void Require(bool ok, std::int32_t code) {
  if (!ok) Fail(code);
}

std::uint64_t Hex(const pugi::xml_node& node, const char* attribute) {
  const auto value = ParseHex(node.attribute(attribute).value());
  Require(value && *value <= UINTPTR_MAX, HPDRLGL_INVALID_PARAMETERS);
  return *value;
}

bool OneOf(std::string_view text, std::string_view no, std::string_view yes, std::int32_t code) {
  Require(text == no || text == yes, code);
  return text == yes;
}

void ParsePrintMode(const pugi::xml_node& mode, TJobTicket& ticket) {
  Require(std::string_view(mode.attribute("type").value()) == "Halftone", HPDRLGL_PRINT_MODE_NOT_SUPPORTED);
  ticket.MediaTypeId = Text(mode, "MediaTypeId");
  const auto passes = ParseUnsigned(Text(mode, "PassesNumber"), kMaxPasses);
  Require(passes && *passes >= 1, HPDRLGL_PRINT_MODE_NOT_SUPPORTED);
  ticket.Passes = static_cast<std::int32_t>(*passes);
  ticket.Unidirectional = OneOf(Text(mode, "Direction"), "Bidir", "Unidir", HPDRLGL_PRINT_MODE_NOT_SUPPORTED);
  ticket.HighInkLevel = OneOf(Text(mode, "InkLevel"), "Low", "High", HPDRLGL_PRINT_MODE_NOT_SUPPORTED);
  Require(Text(mode, "Bpp") == "2", HPDRLGL_RASTER_FORMAT_NOT_SUPPORTED);
  const std::string_view horizontal = Text(mode, "PrinterResolution");
  const auto resolution = ParseUnsigned(horizontal, INT32_MAX);
  Require(resolution && ticket.Model.HasResolution(*resolution) && Text(mode, "VertResolution") == horizontal,
          HPDRLGL_PRINT_MODE_NOT_SUPPORTED);
  ticket.Resolution = static_cast<std::int32_t>(*resolution);
}

void ParseMediaManagement(const pugi::xml_node& media, TJobTicket& ticket) {
  for (std::size_t i = 0; i < kMediaFields.size(); ++i) {
    const std::string_view value = Text(media, kMediaFields[i].Element);
    Require(IsDecimalNumber(value), HPDRLGL_INVALID_PARAMETERS);
    ticket.Media[i] = value;
  }
  // The stand-in drives no OMAS, so the ticket may not ask for it.
  Require(Text(media, "NavigableByOmas") == "false", HPDRLGL_INVALID_PARAMETERS);
  ticket.Cutter = OneOf(Text(media, "Cutter"), "false", "true", HPDRLGL_INVALID_PARAMETERS);
  ticket.MediaName = Text(media, "MediaName");
}

}  // namespace

TJobTicket ParseJobTicket(const char* xml, const TModelTable& models) {
  pugi::xml_document doc;
  Load(doc, xml);
  const pugi::xml_node root = Child(doc, "JobInfo");
  TJobTicket ticket;
  ticket.PrinterModel = Text(root, "PrinterModel");
  const TModel* model = models.Find(ticket.PrinterModel);
  Require(model != nullptr, HPDRLGL_MODEL_NOT_SUPPORTED);
  ticket.Model = *model;
  ticket.JobTitle = Text(root, "JobTitle");

  const pugi::xml_node callback = Child(root, "PrinterDataProcCallback");
  const std::uint64_t address = Hex(callback, "address");
  Require(address != 0, HPDRLGL_INVALID_PARAMETERS);
  // The driver hands over its function's address as a number: turn it back.
  ticket.Callback = reinterpret_cast<HPDRLGL_PrinterDataProc>(static_cast<std::uintptr_t>(address));
  ticket.UserData = static_cast<std::uintptr_t>(Hex(callback, "userData"));

  Require(Text(root, "MediaSource") == "AutoSelect", HPDRLGL_MEDIA_SOURCE_NOT_SUPPORTED);
  const pugi::xml_node margins = Child(root, "MarginType");
  Require(std::string_view(margins.child_value()) == "Normal" &&
              std::string_view(margins.attribute("method").value()) == "Excluded",
          HPDRLGL_MARGIN_TYPE_NOT_SUPPORTED);
  ParsePrintMode(Child(root, "PrintMode"), ticket);
  ParseMediaManagement(Child(root, "MediaManagement"), ticket);
  return ticket;
}

TPageInfo ParsePageInfo(const char* xml) {
  pugi::xml_document doc;
  Load(doc, xml);
  const pugi::xml_node root = Child(doc, "PageInfo");
  const auto width = ParseUnsigned(Text(root, "Width"), INT32_MAX);
  const auto height = ParseUnsigned(Text(root, "Height"), INT32_MAX);
  Require(width && height && *width > 0 && *height > 0, HPDRLGL_INVALID_PARAMETERS);
  return {static_cast<std::int32_t>(*width), static_cast<std::int32_t>(*height)};
}

int ParseRasterFormat(const char* xml, std::int32_t resolution) {
  static constexpr std::array<std::string_view, 6> kLayouts = {"KK", "CC", "MM", "YY", "cc", "mm"};
  pugi::xml_document doc;
  Load(doc, xml);
  const pugi::xml_node root = Child(doc, "RasterFormat");
  // Rows are packed bytes without padding: byte alignment only.
  Require(std::string_view(root.attribute("alignment").value()) == "1", HPDRLGL_RASTER_FORMAT_NOT_SUPPORTED);
  std::array<bool, kMaxPlanes> orderSeen{};
  std::array<bool, kLayouts.size()> layoutSeen{};
  int planes = 0;
  for (const pugi::xml_node& plane : root.children("Plane")) {
    Require(planes < kMaxPlanes, HPDRLGL_RASTER_FORMAT_NOT_SUPPORTED);
    ++planes;
    const auto order = ParseUnsigned(plane.attribute("order").value(), kMaxPlanes - 1);
    Require(order && !orderSeen[static_cast<std::size_t>(*order)], HPDRLGL_RASTER_FORMAT_NOT_SUPPORTED);
    orderSeen[static_cast<std::size_t>(*order)] = true;
    for (const char* axis : {"hres", "vres"}) {
      const auto dpi = ParseUnsigned(plane.attribute(axis).value(), INT32_MAX);
      Require(dpi && *dpi == resolution, HPDRLGL_RASTER_FORMAT_NOT_SUPPORTED);
    }
    const std::string_view layout = plane.attribute("layout").value();
    std::size_t ink = 0;
    while (ink < kLayouts.size() && kLayouts[ink] != layout) ++ink;
    Require(ink < kLayouts.size() && !layoutSeen[ink], HPDRLGL_RASTER_FORMAT_NOT_SUPPORTED);
    layoutSeen[ink] = true;
  }
  // Distinct orders below the plane count: exactly 0 .. planes - 1.
  Require(planes > 0, HPDRLGL_RASTER_FORMAT_NOT_SUPPORTED);
  for (int i = 0; i < planes; ++i)
    Require(orderSeen[static_cast<std::size_t>(i)], HPDRLGL_RASTER_FORMAT_NOT_SUPPORTED);
  return planes;
}

}  // namespace slabrip::hpldrlgl
