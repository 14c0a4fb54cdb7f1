#include "output_buffer.h"

#include <cstring>

#include "result.h"

namespace slabrip::hpldrlgl {

TOutputBuffer::TOutputBuffer(HPDRLGL_PrinterDataProc callback, std::uintptr_t userData)
    : Callback_(callback), UserData_(userData), Buffer_(std::make_unique<std::uint8_t[]>(kChunkBytes)) {}

void TOutputBuffer::Append(const void* data, std::size_t count) {
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  while (count > 0) {
    const std::size_t room = kChunkBytes - Used_;
    const std::size_t n = count < room ? count : room;
    std::memcpy(Buffer_.get() + Used_, bytes, n);
    Used_ += n;
    bytes += n;
    count -= n;
    if (Used_ == kChunkBytes) Flush();
  }
}

void TOutputBuffer::Flush() {
  if (Used_ == 0) return;
  const std::size_t count = Used_;
  // Emptied first: a refused chunk is not offered again.
  Used_ = 0;
  if (Callback_(Buffer_.get(), static_cast<std::uint32_t>(count), UserData_) != 0)
    Fail(HPDRLGL_CALLBACK_FAILED);
}

}  // namespace slabrip::hpldrlgl
