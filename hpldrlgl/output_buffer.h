// Collects printer data and hands it to the driver's callback in full chunks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

#include "hpraster/hpldrlgl_abi.h"

namespace slabrip::hpldrlgl {

class TOutputBuffer {
 public:
  /// The most bytes one callback call receives.
  static constexpr std::size_t kChunkBytes = 65536;

  TOutputBuffer(HPDRLGL_PrinterDataProc callback, std::uintptr_t userData);

  /// Appends bytes, handing on every chunk that fills up. Throws
  /// TFailure(HPDRLGL_CALLBACK_FAILED) when the callback refuses data.
  void Append(const void* data, std::size_t count);
  void Append(std::string_view text) { Append(text.data(), text.size()); }
  /// Hands on whatever is collected.
  void Flush();
  /// Forgets collected data that can no longer be delivered.
  void Discard() { Used_ = 0; }

 private:
  HPDRLGL_PrinterDataProc Callback_;
  std::uintptr_t UserData_;
  std::unique_ptr<std::uint8_t[]> Buffer_;
  std::size_t Used_ = 0;
};

}  // namespace slabrip::hpldrlgl
