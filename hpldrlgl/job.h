// One print job: the order of the calls and the printer data they produce.
#pragma once

#include <cstdint>
#include <vector>

#include "output_buffer.h"
#include "xml_documents.h"

namespace slabrip::hpldrlgl {

/// Every call throws TFailure with its code; the caller decides which
/// failures leave the job failed (MarkFailed).
class TJob {
 public:
  /// Begins the PJL header.
  explicit TJob(TJobTicket ticket);

  void PageStart(const char* pageInfoXml);
  void RasterStart(const char* rasterFormatXml, std::int32_t reserved1, std::int32_t reserved2,
                   std::int32_t reserved3, std::int32_t sourceWidth, std::int32_t sourceHeight,
                   std::int32_t destWidth, std::int32_t destHeight);
  void RasterRow(const std::uint8_t* row);
  void RasterEnd();
  void PageEnd();
  /// Whether End is expected now; a failed job can always end.
  bool CanEnd() const;
  /// Closes the job and hands on all data; nothing more for a failed job.
  void End();
  /// As End from any point, closing an open raster first.
  void Abort();
  void Flush();

  /// From now on the job takes no rows and produces no data; the end calls
  /// still succeed, so the driver's fixed end sequence cleans up.
  void MarkFailed();

 private:
  enum class TState { JobOpen, PageOpen, RasterOpen, RasterDone, PageDone, Failed };

  void Expect(bool ok) const;

  TJobTicket Ticket_;
  TOutputBuffer Output_;
  TState State_ = TState::JobOpen;
  int Planes_ = 0;
  std::size_t PlaneBytes_ = 0;
  std::int32_t Height_ = 0;
  std::int32_t RowsSent_ = 0;
  std::int32_t FailingRow_ = -1;      // a test's row to refuse, from SLABRIP_HPLDRLGL_FAIL_ROW
  std::vector<std::uint8_t> Packed_;  // one compressed plane, reused for every row
};

}  // namespace slabrip::hpldrlgl
