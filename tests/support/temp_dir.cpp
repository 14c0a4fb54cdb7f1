#include "support/temp_dir.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace slabrip::test {

TTempDir::TTempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "slabrip-test-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  Path_ = pattern;
}

TTempDir::~TTempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(Path_, ignored);
}

std::string TTempDir::File(std::string_view name) const { return Path_ + "/" + std::string(name); }

std::string TTempDir::Write(std::string_view name, std::string_view bytes) const {
  const std::string path = File(name);
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::ofstream out(path, std::ios::binary);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return path;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string CrLf(std::initializer_list<std::string_view> lines) {
  std::string text;
  for (const std::string_view line : lines) {
    text += line;
    text += "\r\n";
  }
  return text;
}

}  // namespace slabrip::test
