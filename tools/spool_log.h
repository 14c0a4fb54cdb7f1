// The spooler's log: one time-stamped line per event, in a file and, when
// stdout is not a terminal, on stdout too.
#pragma once

#include <cstdio>
#include <string>

namespace slabrip {

class TSpoolLog {
 public:
  /// Appends to `path`, creating its folder; throws TError naming the file.
  TSpoolLog(std::string path, bool toStdout);
  ~TSpoolLog();
  TSpoolLog(const TSpoolLog&) = delete;
  TSpoolLog& operator=(const TSpoolLog&) = delete;

  void Line(const std::string& text);
  const std::string& Path() const { return Path_; }

 private:
  std::string Path_;
  std::FILE* File_ = nullptr;
  bool ToStdout_;
};

}  // namespace slabrip
