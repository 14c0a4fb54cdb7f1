// Fuzzes the stand-in HP raster library with the driver's three documents.
//
// The input is text in four parts split by form feeds: job ticket, page
// description, raster format, and "width height refuse" plus row bytes.
// "@CB@" in the ticket becomes this program's callback address; a ticket
// naming any other address is skipped, as the library would call it. Each
// input runs a whole job and must leave no handle behind.
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <pugixml.hpp>
#include <string>
#include <string_view>
#include <vector>

#include "hpraster/hpldrlgl_abi.h"

namespace {

// Deliveries left before the callback refuses; below zero it never does.
long RefuseAfter = -1;

std::int32_t Receive(const void* data, std::uint32_t count, std::uintptr_t) {
  if (count == 0 || count > 65536 || data == nullptr) std::abort();
  if (RefuseAfter == 0) return 1;
  if (RefuseAfter > 0) --RefuseAfter;
  return 0;
}

std::string Hex(std::uintptr_t value) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text(16, '0');
  for (int i = 15; i >= 0; --i, value >>= 4) text[static_cast<std::size_t>(i)] = kDigits[value & 15];
  return text;
}

// The library reads the address exactly like this; only ours may be called.
bool CallsUsBack(const std::string& ticket) {
  pugi::xml_document doc;
  if (!doc.load_buffer(ticket.c_str(), std::strlen(ticket.c_str()), pugi::parse_default, pugi::encoding_utf8))
    return false;
  const char* address = doc.child("JobInfo").child("PrinterDataProcCallback").attribute("address").value();
  return Hex(reinterpret_cast<std::uintptr_t>(&Receive)) == address;
}

long Number(std::string_view& text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  long value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  text.remove_prefix(static_cast<std::size_t>(end - text.data()));
  return error == std::errc{} ? value : 0;
}

// Names the broken expectation before the fuzzer reports the crash.
#define CHECK(ok)                                                         \
  do {                                                                    \
    if (!(ok)) {                                                          \
      std::fprintf(stderr, "check failed, line %d: %s\n", __LINE__, #ok); \
      std::abort();                                                       \
    }                                                                     \
  } while (false)

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::string> parts(4);
  std::size_t part = 0;
  for (std::size_t i = 0; i < size; ++i) {
    if (data[i] == '\f' && part < 3)
      ++part;
    else
      parts[part].push_back(static_cast<char>(data[i]));
  }
  std::string& ticket = parts[0];
  for (std::size_t at; (at = ticket.find("@CB@")) != std::string::npos;)
    ticket.replace(at, 4, Hex(reinterpret_cast<std::uintptr_t>(&Receive)));
  if (!CallsUsBack(ticket)) return 0;

  std::string_view tail = parts[3];
  // Kept small so each input runs fast; out-of-range values are refused by the library.
  const auto width = static_cast<std::int32_t>(Number(tail) % 5000);
  const auto height = static_cast<std::int32_t>(Number(tail) % 16);
  const long refuse = Number(tail);
  RefuseAfter = refuse > 0 ? refuse - 1 : -1;
  std::vector<std::uint8_t> row(8 * 1250 + 1, 0);
  for (std::size_t i = 0; i < row.size() && !tail.empty(); ++i)
    row[i] = static_cast<std::uint8_t>(tail[i % tail.size()]);

  HPDRLGL_JobHandle job = nullptr;
  if (HPDRLGL_JobStart(&job, ticket.c_str()) != HPDRLGL_OK) {
    CHECK(job == nullptr);
    return 0;
  }
  const bool pageOk = HPDRLGL_PageStart(job, parts[1].c_str()) == HPDRLGL_OK;
  const std::int32_t raster =
      HPDRLGL_RasterStart(job, parts[2].c_str(), 0, 0, 0, width, height, width, height);
  std::int32_t sent = 0;
  for (std::int32_t y = 0; y <= height; ++y) {
    const bool full = sent == height;
    const std::int32_t result = HPDRLGL_RasterRow(job, y == 1 ? nullptr : row.data());
    // A row beyond the height, and every row of a raster that never started, is unexpected.
    if (full || !pageOk || raster != HPDRLGL_OK) CHECK(result == HPDRLGL_UNEXPECTED_CALL);
    if (result == HPDRLGL_OK) ++sent;
  }
  if (refuse % 3 == 2) {
    (void)HPDRLGL_JobFlush(job);
    CHECK(HPDRLGL_JobAbort(job) <= 0);
  } else {
    (void)HPDRLGL_RasterEnd(job);
    (void)HPDRLGL_PageEnd(job);
    if (HPDRLGL_JobEnd(job) == HPDRLGL_UNEXPECTED_CALL) CHECK(HPDRLGL_JobAbort(job) <= 0);
  }
  // Whatever happened, the handle is gone now.
  CHECK(HPDRLGL_JobAbort(job) == HPDRLGL_INVALID_PARAMETERS);
  return 0;
}
