#include "hpraster/hp_raster_job.h"

#include <fmt/format.h>

#include <algorithm>
#include <cstring>

#include "base/errors.h"
#include "base/number_text.h"
#include "base/rounding.h"
#include "jobs/rip_slab.h"
#include "separation/ink_row.h"

namespace slabrip {
namespace {

constexpr const char* kUnit = "hp_raster_job.cpp";
constexpr const char* kXmlHeader = "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>";
// One unit of the page size and the margins, per inch.
constexpr double kPageUnitsPerInch = 9600;
// No printer resolves finer than this many dots per inch.
constexpr double kMaxResolution = 100'000;

// Pointer-wide so the library can call back on a 64-bit system, where eight
// digits could not hold the address.
std::string PointerHex(std::uintptr_t value) {
  return fmt::format("{:0{}X}", value, 2 * sizeof(std::uintptr_t));
}

std::int64_t PageLength(std::int32_t pixels, float dpi, std::int32_t marginA, std::int32_t marginB) {
  const double length = static_cast<double>(pixels) / static_cast<double>(dpi) * kPageUnitsPerInch;
  return RoundClamp(length, INT32_MIN, INT32_MAX) + marginA + marginB;
}

// An empty message would leave the operator with nothing to go on.
std::string ResultText(std::int32_t result) {
  std::string text = HPErrorText(result);
  return text.empty() ? fmt::format("The HP raster library failed with code {}", result) : text;
}

// A document refused: empty, with the reason for whoever asked for it.
std::string Refused(std::string* why, std::string reason) {
  if (why != nullptr) *why = std::move(reason);
  return {};
}

std::string NoSlabText() { return "No RipFile loaded"; }

std::string NoModelText(const TRipSlab& slab) {
  return "no HP printer model is known for the slab's printer " + slab.Printer;
}

// What keeps the slab's resolutions from being printed, the printer's before the render's.
std::string ResolutionProblem(const TRipSlab& slab) {
  if (slab.XDPI < 1 || slab.YDpi < 1)
    return fmt::format("the printer resolution {} x {} dpi cannot be printed", slab.XDPI, slab.YDpi);
  return fmt::format("the render resolution {} dpi is below 150", slab.RenderDPI);
}

void AppendElement(std::string& xml, const char* name, const std::string& value) {
  fmt::format_to(std::back_inserter(xml), "<{0}>{1}</{0}>", name, value);
}

}  // namespace

THPRasterJob::THPRasterJob(const THPDJEntries& library, THPJobSettings settings, TPrinterDataSink sink)
    : Lib_(library), Settings_(std::move(settings)), Sink_(std::move(sink)) {}

THPRasterJob::~THPRasterJob() {
  // A job left open (the caller never ended it) is abandoned quietly; its data has nowhere to go.
  Sink_ = nullptr;
  if (JobHandle_ != nullptr && Lib_.JobAbort != nullptr) Lib_.JobAbort(JobHandle_);
}

HPDRLGL_PrinterInfo THPRasterJob::QueryPrinter(int line) const {
  HPDRLGL_PrinterInfo info;
  if (!QueryPrinterInfo(Lib_, Settings_.PrinterModelId, info)) AssertionFailure(kUnit, line);
  return info;
}

std::int64_t THPRasterJob::Resolution() const {
  const double dpi = Slab_->XDPI;
  // Beyond any printer, and beyond what an integer holds: refused rather than sent.
  if (!(dpi <= kMaxResolution))
    throw TError(fmt::format("{}: XDPI {} is not a printer resolution", Slab_->FileName, FormatGeneral(dpi)));
  return static_cast<std::int64_t>(RoundHalfEven(dpi));
}

std::string THPRasterJob::BuildJobInfoXML(std::string* why) {
  if (Slab_ == nullptr) return Refused(why, NoSlabText());
  if (Settings_.PrinterModelId.empty()) return Refused(why, NoModelText(*Slab_));
  if (Slab_->RenderDPI == 0) return Refused(why, ResolutionProblem(*Slab_));
  QueryPrinter(__LINE__);
  const std::string resolution = std::to_string(Resolution());
  std::string xml = kXmlHeader;
  xml += "<JobInfo>";
  AppendElement(xml, "PrinterModel", Settings_.PrinterModelId);
  xml += "\r<JobTitle>Sample</JobTitle>\r";
  xml += "<PrinterDataProcCallback address=\"" +
         PointerHex(reinterpret_cast<std::uintptr_t>(&THPRasterJob::PrinterDataCallback)) + "\" userData=\"" +
         PointerHex(reinterpret_cast<std::uintptr_t>(this)) + "\" />\r";
  xml += "<MediaSource>AutoSelect</MediaSource>\r";
  xml += "<MarginType method=\"Excluded\">Normal</MarginType>\r";
  xml += "<PrintMode type=\"Halftone\">\r";
  AppendElement(xml, "MediaTypeId", Settings_.MediaTypeId.empty() ? "HP_RIP_CUSTOM_MEDIA" : Settings_.MediaTypeId);
  xml += "\r";
  AppendElement(xml, "PassesNumber", Settings_.Passes);
  AppendElement(xml, "Direction", Settings_.Unidirectional ? "Unidir" : "Bidir");
  AppendElement(xml, "InkLevel", Settings_.HighInkLevel ? "High" : "Low");
  xml += "<Bpp>2</Bpp>";
  AppendElement(xml, "PrinterResolution", resolution);
  AppendElement(xml, "VertResolution", resolution);
  xml += "</PrintMode>\r<MediaManagement>";
  for (const TMediaValue& value : kMediaValues) {
    AppendElement(xml, value.TicketElement, FormatGeneral(Settings_.Media.*value.Value));
    // The ticket has the navigation and the cutter between the tension and the rest.
    if (value.Value == &THPMediaValues::InputTension) {
      xml += "<NavigableByOmas>false</NavigableByOmas>";
      AppendElement(xml, "Cutter", Settings_.Cutter ? "true" : "false");
    }
  }
  AppendElement(xml, "MediaName", Settings_.MediaName);
  xml += "</MediaManagement></JobInfo>\r";
  return xml;
}

std::string THPRasterJob::BuildPageInfoXML(std::string* why) {
  if (Slab_ == nullptr) return Refused(why, NoSlabText());
  if (Settings_.PrinterModelId.empty()) return Refused(why, NoModelText(*Slab_));
  const HPDRLGL_PrinterInfo info = QueryPrinter(__LINE__);
  if (Slab_->XDPI < 1 || Slab_->YDpi < 1) return Refused(why, ResolutionProblem(*Slab_));
  const std::int64_t width = PageLength(Slab_->RipWidth, Slab_->XDPI, info.marginLeft, info.marginRight);
  const std::int64_t height = PageLength(Slab_->RipHeight, Slab_->YDpi, info.marginTop, info.marginBottom);
  return fmt::format("{}<PageInfo><Width>{}</Width><Height>{}</Height></PageInfo>", kXmlHeader, width, height);
}

std::string THPRasterJob::BuildRasterFormatXML(std::string* why) const {
  static constexpr const char* kLayouts[kPlaneCount] = {"KK", "CC", "MM", "YY", "cc", "mm"};
  if (Slab_ == nullptr) return Refused(why, NoSlabText());
  if (Slab_->RenderDPI < 150) return Refused(why, ResolutionProblem(*Slab_));
  const std::int64_t resolution = Resolution();
  std::string xml = kXmlHeader;
  xml += "<RasterFormat alignment=\"1\">";
  for (int order = 0; order < kPlaneCount; ++order)
    fmt::format_to(std::back_inserter(xml), "<Plane order=\"{0}\" hres=\"{1}\" vres=\"{1}\" layout=\"{2}\"/>", order,
                   resolution, kLayouts[order]);
  xml += "</RasterFormat>";
  return xml;
}

void THPRasterJob::StartHPJob() {
  std::string why;
  const auto built = [&why](std::string xml) {
    if (xml.empty()) throw TError(why);
    return xml;
  };
  const std::string jobInfo = built(BuildJobInfoXML(&why));
  const std::string pageInfo = built(BuildPageInfoXML(&why));
  const std::string rasterFormat = built(BuildRasterFormatXML(&why));
  if (Lib_.JobStart == nullptr || Lib_.PageStart == nullptr || Lib_.RasterStart == nullptr)
    throw TError("The HP raster library lacks the job entry points");

  const auto check = [this](std::int32_t result) {
    if (result == 0) return;
    if (DeliveryError_) std::rethrow_exception(DeliveryError_);
    throw TError(ResultText(result));
  };
  check(Lib_.JobStart(&JobHandle_, jobInfo.c_str()));
  check(Lib_.PageStart(JobHandle_, pageInfo.c_str()));
  check(Lib_.RasterStart(JobHandle_, rasterFormat.c_str(), 0, 0, 0, Slab_->RipWidth, Slab_->RipHeight,
                         Slab_->RipWidth, Slab_->RipHeight));
}

void THPRasterJob::ConfigurePlanes(TInkRowEx& row) {
  static constexpr int kLanes[kPlaneCount] = {3, 0, 1, 2, 4, 5};
  const int planes = row.HasExtraInks() ? kPlaneCount : 4;
  for (int order = 0; order < planes; ++order)
    if (const TRef<TInkChannelEx> channel = row.ChannelForLane(kLanes[order])) channel->PlaneOrder = order;
  row.SortOutputChannels();
}

void THPRasterJob::SendRow(const TInkRowEx& row) {
  if (JobHandle_ == nullptr) return;
  // Four-ink rows leave the light planes zero: the library reads all declared planes.
  RowBuffer_.resize(kPlaneCount * static_cast<std::size_t>(row.RowBytes()));
  row.CopyPlanes(RowBuffer_.data(), kPlaneCount);
  SendPlanes(RowBuffer_.data());
}

void THPRasterJob::SendPlanes(const std::uint8_t* planes) {
  if (JobHandle_ == nullptr) return;
  const std::int32_t result =
      Lib_.RasterRow != nullptr ? Lib_.RasterRow(JobHandle_, planes) : HPDRLGL_GENERAL_ERROR;
  if (result == 0) return;
  if (DeliveryError_) std::rethrow_exception(DeliveryError_);
  throw TError("the HP raster library refused the row: " + ResultText(result));
}

void THPRasterJob::EndHPJob() {
  if (JobHandle_ == nullptr) return;
  // A failed end keeps the handle, so the destructor can still release the job.
  for (auto end : {Lib_.RasterEnd, Lib_.PageEnd, Lib_.JobEnd}) {
    const std::int32_t result = end != nullptr ? end(JobHandle_) : HPDRLGL_UNEXPECTED_CALL;
    if (result == 0) continue;
    // The last data could not be delivered: that is the reason, not the end call.
    if (DeliveryError_) std::rethrow_exception(DeliveryError_);
    // Only a call out of order is this program's own fault.
    if (result == HPDRLGL_UNEXPECTED_CALL) AssertionFailure(kUnit, __LINE__);
    throw TError("the HP raster library could not end the job: " + ResultText(result));
  }
  // The library freed the handle with the job: never hand it on again.
  JobHandle_ = nullptr;
}

std::string THPRasterJob::ViewXmlText() {
  if (Slab_ == nullptr) return {};
  std::string text = fmt::format("numPixelsInRow\t{}\nnumRows\t{}\n\n", Slab_->RipWidth, Slab_->RipHeight);
  const std::string jobInfo = BuildJobInfoXML();
  if (jobInfo.empty()) return text;
  text += "JobInfoXML\n" + jobInfo + "\n";
  const std::string pageInfo = BuildPageInfoXML();
  if (pageInfo.empty()) return text;
  text += "pageInfoXML\n" + pageInfo + "\n";
  const std::string rasterFormat = BuildRasterFormatXML();
  if (!rasterFormat.empty()) text += "rasterFormatXML\n" + rasterFormat + "\n";
  return text;
}

std::int32_t THPRasterJob::PrinterDataCallback(const void* data, std::uint32_t count, std::uintptr_t user) {
  if (user == 0) return 0;
  auto* job = reinterpret_cast<THPRasterJob*>(user);
  if (!job->Sink_ || count == 0) return 0;
  // Nothing may unwind through the library: keep the reason and fail the call.
  try {
    job->Sink_(static_cast<const std::uint8_t*>(data), count);
    return 0;
  } catch (...) {
    job->DeliveryError_ = std::current_exception();
    return 1;
  }
}

}  // namespace slabrip
