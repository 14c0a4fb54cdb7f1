// The live table a spooler shows on a terminal: the recent slabs with their
// progress, and the last log lines under it.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <string>

namespace slabrip {

struct TSlabRow {
  std::string Slab;  // the file name
  std::string Job;
  std::int32_t Row = 0;
  std::int32_t Rows = 0;
  std::int64_t Bytes = 0;
  std::string Status;
};

class TSpoolTable {
 public:
  explicit TSpoolTable(std::string folder) : Folder_(std::move(folder)) {}

  /// The row of the slab file, added when new; the oldest rows go past a screenful.
  TSlabRow& Row(const std::string& slab);
  void Message(const std::string& text);
  /// Redraws the screen; without `now`, at most five times a second.
  void Draw(bool now);

 private:
  std::string Folder_;
  std::deque<TSlabRow> Rows_;
  std::deque<std::string> Messages_;
  std::chrono::steady_clock::time_point Drawn_{};
};

}  // namespace slabrip
