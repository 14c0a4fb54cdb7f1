// A private folder per test, removed with everything in it.
#pragma once

#include <string>
#include <string_view>

namespace slabrip::test {

class TTempDir {
 public:
  TTempDir();
  ~TTempDir();
  TTempDir(const TTempDir&) = delete;
  TTempDir& operator=(const TTempDir&) = delete;

  const std::string& Path() const { return Path_; }
  /// Path of `name` inside the folder.
  std::string File(std::string_view name) const;
  /// Writes `bytes` to `name` inside the folder and returns its path.
  std::string Write(std::string_view name, std::string_view bytes) const;

 private:
  std::string Path_;
};

/// The whole content of a file ("" when it cannot be read).
std::string ReadFile(const std::string& path);

/// Lines joined with CR LF, each line ended, as the suite writes its files.
std::string CrLf(std::initializer_list<std::string_view> lines);

}  // namespace slabrip::test
