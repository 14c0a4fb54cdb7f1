#include "spool_table.h"

#include <fmt/format.h>

#include <algorithm>
#include <cstdio>

namespace slabrip {

namespace {

constexpr std::size_t kRows = 16;
constexpr std::size_t kMessages = 6;

/// Cut to `width` columns, so one long name does not break the table.
std::string Fit(const std::string& text, std::size_t width) {
  return text.size() <= width ? text : text.substr(0, width - 1) + "~";
}

}  // namespace

TSlabRow& TSpoolTable::Row(const std::string& slab) {
  const auto found =
      std::find_if(Rows_.begin(), Rows_.end(), [&](const TSlabRow& row) { return row.Slab == slab; });
  if (found != Rows_.end()) return *found;
  if (Rows_.size() == kRows) Rows_.pop_front();
  Rows_.push_back({slab, {}, 0, 0, 0, {}});
  return Rows_.back();
}

void TSpoolTable::Message(const std::string& text) {
  if (Messages_.size() == kMessages) Messages_.pop_front();
  Messages_.push_back(text);
}

void TSpoolTable::Draw(bool now) {
  const auto at = std::chrono::steady_clock::now();
  if (!now && at - Drawn_ < std::chrono::milliseconds(200)) return;
  Drawn_ = at;
  std::string screen = fmt::format("\033[H\033[2Jrip-manager: watching {}\n\n", Folder_);
  screen += fmt::format("{:<28} {:<30} {:>13} {:>9}  {}\n", "slab", "job", "rows", "MB", "status");
  for (const TSlabRow& row : Rows_) {
    screen += fmt::format("{:<28} {:<30} {:>13} {:>9.1f}  {}\n", Fit(row.Slab, 28), Fit(row.Job, 30),
                          fmt::format("{}/{}", row.Row, row.Rows), static_cast<double>(row.Bytes) / 1e6,
                          row.Status);
  }
  screen += "\n";
  for (const std::string& message : Messages_) screen += message + "\n";
  std::fputs(screen.c_str(), stdout);
  std::fflush(stdout);
}

}  // namespace slabrip
