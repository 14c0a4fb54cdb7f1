// One HP raster job of one page: the three XML documents, the start and end
// calls, and the printer rows handed to the raster library.
#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <string>
#include <vector>

#include "base/ref_obj.h"
#include "hpraster/hp_job_settings.h"
#include "hpraster/hp_library.h"
#include "jobs/rip_slab.h"

namespace slabrip {

class TInkRowEx;

/// Receives the printer data the library produces; throws when it cannot
/// keep it (the library call in progress then fails).
using TPrinterDataSink = std::function<void(const std::uint8_t* data, std::size_t count)>;

/// The raster library's text for a result code; empty for codes it does not know.
std::string HPErrorText(std::int32_t code);

class THPRasterJob {
 public:
  /// Every declared plane goes into every row: K C M Y, light C, light M.
  static constexpr int kPlaneCount = 6;

  /// `library` must outlive the job.
  THPRasterJob(const THPDJEntries& library, THPJobSettings settings, TPrinterDataSink sink);
  ~THPRasterJob();
  THPRasterJob(const THPRasterJob&) = delete;
  THPRasterJob& operator=(const THPRasterJob&) = delete;

  /// The slab the documents describe; null for none.
  void SetSlab(TRef<TRipSlab> slab) { Slab_ = std::move(slab); }
  const THPJobSettings& Settings() const { return Settings_; }

  /// Empty when the slab or the settings lack what the document needs, with
  /// the reason in `*why` when it is given; throws "Assertion failure" when
  /// the library rejects the printer model.
  std::string BuildJobInfoXML(std::string* why = nullptr);
  std::string BuildPageInfoXML(std::string* why = nullptr);
  std::string BuildRasterFormatXML(std::string* why = nullptr) const;

  /// Builds the three documents and starts job, page and raster. Throws
  /// TError saying why, with no library call made, when a document cannot
  /// be built, and with the library's text when a start call fails.
  void StartHPJob();
  /// Puts the ink channels into plane order (K C M Y, then light C and M).
  static void ConfigurePlanes(TInkRowEx& row);
  /// Hands one printer row of the packed channels to the library (after
  /// ExpandDitherPack). Throws TError when the library refuses it, with the
  /// delivery's own error when the printer data could not be kept.
  void SendRow(const TInkRowEx& row);
  /// The same for a row already in plane order: kPlaneCount planes of the
  /// row's bytes each, the unused ones zero.
  void SendPlanes(const std::uint8_t* planes);
  /// Ends raster, page and job when a job was started, also after a failure.
  /// A failed end call throws: the delivery's error when the last data could
  /// not be kept, "Assertion failure" for a call out of order, else a TError
  /// with the library's text.
  void EndHPJob();

  /// The text of the "View XML" page: sizes and the three documents.
  std::string ViewXmlText();

  /// Why the printer data could not be kept, when the sink threw.
  std::exception_ptr DeliveryError() const { return DeliveryError_; }
  /// The address and user value written into the job ticket.
  static std::int32_t PrinterDataCallback(const void* data, std::uint32_t count, std::uintptr_t user);

 private:
  HPDRLGL_PrinterInfo QueryPrinter(int line) const;
  std::int64_t Resolution() const;

  const THPDJEntries& Lib_;
  THPJobSettings Settings_;
  TPrinterDataSink Sink_;
  TRef<TRipSlab> Slab_;
  HPDRLGL_JobHandle JobHandle_ = nullptr;
  std::vector<std::uint8_t> RowBuffer_;
  std::exception_ptr DeliveryError_;
};

}  // namespace slabrip
