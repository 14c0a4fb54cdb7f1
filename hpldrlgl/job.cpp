#include "job.h"

#include <cstdlib>
#include <string_view>

#include "packbits.h"
#include "printer_language.h"
#include "result.h"

namespace slabrip::hpldrlgl {
namespace {

// Lets tests see how a driver copes with a row the printer library refuses.
std::int32_t FailingRowFromEnvironment() {
  const char* value = std::getenv("SLABRIP_HPLDRLGL_FAIL_ROW");
  if (value == nullptr || *value == '\0') return -1;
  std::int32_t row = 0;
  for (const char c : std::string_view(value)) {
    if (c < '0' || c > '9' || row > 100'000'000) return -1;
    row = row * 10 + (c - '0');
  }
  return row;
}

}  // namespace

TJob::TJob(TJobTicket ticket) : Ticket_(std::move(ticket)), Output_(Ticket_.Callback, Ticket_.UserData) {
  Output_.Append(JobHeader(Ticket_));
}

void TJob::Expect(bool ok) const {
  if (!ok) Fail(HPDRLGL_UNEXPECTED_CALL);
}

void TJob::PageStart(const char* pageInfoXml) {
  // One page per job: the page size is part of the job's PJL header.
  Expect(State_ == TState::JobOpen);
  Output_.Append(PageHeader(ParsePageInfo(pageInfoXml)));
  State_ = TState::PageOpen;
}

void TJob::RasterStart(const char* rasterFormatXml, std::int32_t reserved1, std::int32_t reserved2,
                       std::int32_t reserved3, std::int32_t sourceWidth, std::int32_t sourceHeight,
                       std::int32_t destWidth, std::int32_t destHeight) {
  Expect(State_ == TState::PageOpen);
  const bool sizesOk = sourceWidth == destWidth && sourceHeight == destHeight && sourceWidth >= 1 &&
                       sourceWidth <= Ticket_.Model.MaxWidthPixels(Ticket_.Resolution) && sourceHeight >= 1;
  if (reserved1 != 0 || reserved2 != 0 || reserved3 != 0 || !sizesOk) Fail(HPDRLGL_INVALID_PARAMETERS);
  const int planes = ParseRasterFormat(rasterFormatXml, Ticket_.Resolution);
  PlaneBytes_ = (static_cast<std::size_t>(sourceWidth) + 3) / 4;
  Packed_.resize(PackBitsBound(PlaneBytes_));
  Planes_ = planes;
  Height_ = sourceHeight;
  RowsSent_ = 0;
  FailingRow_ = FailingRowFromEnvironment();
  Output_.Append(RasterHeader(Ticket_.Resolution, planes, sourceWidth, sourceHeight));
  State_ = TState::RasterOpen;
}

void TJob::RasterRow(const std::uint8_t* row) {
  Expect(State_ == TState::RasterOpen && RowsSent_ < Height_);
  if (row == nullptr) Fail(HPDRLGL_INVALID_PARAMETERS);
  if (RowsSent_ == FailingRow_) Fail(HPDRLGL_GENERAL_ERROR);
  char command[kMaxTransferCommand];
  for (int plane = 0; plane < Planes_; ++plane) {
    const std::uint8_t* bytes = row + static_cast<std::size_t>(plane) * PlaneBytes_;
    // An empty plane needs no data at all: the reader fills in zeros.
    const std::size_t used = TrimTrailingZeros(bytes, PlaneBytes_);
    const std::size_t packed = PackBitsEncode(bytes, used, Packed_.data());
    Output_.Append(command, TransferCommand(packed, plane == Planes_ - 1, command));
    Output_.Append(Packed_.data(), packed);
  }
  ++RowsSent_;
}

void TJob::RasterEnd() {
  if (State_ == TState::Failed) return;
  Expect(State_ == TState::RasterOpen);
  Output_.Append(kRasterEnd);
  State_ = TState::RasterDone;
}

void TJob::PageEnd() {
  if (State_ == TState::Failed) return;
  Expect(State_ == TState::PageOpen || State_ == TState::RasterDone);
  State_ = TState::PageDone;
}

bool TJob::CanEnd() const {
  return State_ == TState::JobOpen || State_ == TState::PageDone || State_ == TState::Failed;
}

void TJob::End() {
  if (State_ == TState::Failed) return;
  Expect(CanEnd());
  Output_.Append(JobTrailer(Ticket_.JobTitle));
  Output_.Flush();
}

void TJob::Abort() {
  if (State_ == TState::Failed) return;
  if (State_ == TState::RasterOpen) Output_.Append(kRasterEnd);
  Output_.Append(JobTrailer(Ticket_.JobTitle));
  Output_.Flush();
}

void TJob::Flush() {
  Expect(State_ != TState::Failed);
  Output_.Flush();
}

void TJob::MarkFailed() {
  State_ = TState::Failed;
  Output_.Discard();
  // The row scratch is not needed again.
  std::vector<std::uint8_t>().swap(Packed_);
}

}  // namespace slabrip::hpldrlgl
