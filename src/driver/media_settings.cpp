#include "driver/media_settings.h"

#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string_view>
#include <tuple>
#include <utility>

#include "base/errors.h"
#include "base/file_paths.h"
#include "base/ini_file.h"
#include "base/number_text.h"
#include "base/sys_paths.h"
#include "base/text_encoding.h"

namespace slabrip {

namespace {

// A name as the operator typed it is the name without the blanks around it,
// the way the file's section names read back.
bool SameName(std::string_view a, std::string_view b) {
  a = TrimBlanks(a);
  b = TrimBlanks(b);
  const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) { return lower(x) == lower(y); });
}

// Blanks, tabs and control characters, as the Windows profile functions trim them.
std::string_view Trim(std::string_view text) {
  const auto blank = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return text;
}

// "[name]" gives the name between the bracket and the last ']'.
std::optional<std::string_view> SectionOf(std::string_view line) {
  line = Trim(line);
  if (line.empty() || line.front() != '[') return std::nullopt;
  const auto close = line.rfind(']');
  if (close == std::string_view::npos) return std::nullopt;
  return Trim(line.substr(1, close - 1));
}

// The key of a "key=value" line; empty for comments, headers and other lines.
std::string_view KeyOf(std::string_view line) {
  line = Trim(line);
  if (line.empty() || line.front() == ';' || line.front() == '[') return {};
  const auto eq = line.find('=');
  return eq == std::string_view::npos ? std::string_view() : Trim(line.substr(0, eq));
}

// The value of a key line, quotes around it dropped as the profile functions do.
std::string_view ValueOf(std::string_view line) {
  std::string_view value = Trim(line.substr(line.find('=') + 1));
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
    value = value.substr(1, value.size() - 2);
  return value;
}

// The settings file as its lines, kept verbatim: comments, blank lines and
// other sections survive a rewrite, as they do with the Windows profile
// functions (TqlInifile drops comments and blank lines).
class TProfileText {
 public:
  // A missing file is empty; one that exists but cannot be read throws.
  explicit TProfileText(const std::string& path) {
    std::error_code ec;
    if (!std::filesystem::exists(path, ec) && !ec) return;
    Lines_ = SplitLines(DecodeText(ReadWholeFile(path, TqlInifile::kMaxFileBytes), Format_));
  }

  // Each name once, in the spelling of its first section, in file order.
  std::vector<std::string> SectionNames() const {
    std::vector<std::string> names;
    for (const std::string& line : Lines_) {
      const auto name = SectionOf(line);
      if (!name || name->empty()) continue;
      if (std::none_of(names.begin(), names.end(), [&](const std::string& n) { return SameName(n, *name); }))
        names.emplace_back(*name);
    }
    return names;
  }

  // Lookups use the first section of the name and its first line of the key.
  std::optional<std::string> Value(std::string_view section, std::string_view key) const {
    const auto [begin, end] = Span(section);
    for (std::size_t i = begin; i < end; ++i)
      if (SameName(KeyOf(Lines_[i]), key)) return std::string(ValueOf(Lines_[i]));
    return std::nullopt;
  }

  // A key already there keeps its spelling and place; a new one goes after the
  // section's last line, a new section at the end of the file.
  void Write(std::string_view section, std::string_view key, std::string_view value) {
    auto [begin, end] = Span(section);
    if (begin == kNone) {
      if (!Lines_.empty() && !Trim(Lines_.back()).empty()) Lines_.emplace_back();
      Lines_.push_back('[' + std::string(section) + ']');
      begin = end = Lines_.size();
    }
    for (std::size_t i = begin; i < end; ++i) {
      const std::string_view old = KeyOf(Lines_[i]);
      if (SameName(old, key)) {
        Lines_[i] = std::string(old) + '=' + std::string(value);
        return;
      }
    }
    while (end > begin && Trim(Lines_[end - 1]).empty()) --end;
    Lines_.insert(Lines_.begin() + static_cast<std::ptrdiff_t>(end), std::string(key) + '=' + std::string(value));
  }

  // Every section of the name goes, since the list shows each name once; false when there was none.
  bool EraseSection(std::string_view section) {
    bool erased = false;
    for (auto [begin, end] = Span(section); begin != kNone; std::tie(begin, end) = Span(section)) {
      Lines_.erase(Lines_.begin() + static_cast<std::ptrdiff_t>(begin - 1),
                   Lines_.begin() + static_cast<std::ptrdiff_t>(end));
      erased = true;
    }
    return erased;
  }

  std::string Bytes() const {
    const char* eol = Format_.CrLf ? "\r\n" : "\n";
    std::string text;
    for (const std::string& line : Lines_) text += line + eol;
    return EncodeText(text, Format_.Encoding);
  }

 private:
  static constexpr std::size_t kNone = static_cast<std::size_t>(-1);

  // The lines after the first header of `section` up to the next header.
  std::pair<std::size_t, std::size_t> Span(std::string_view section) const {
    std::size_t i = 0;
    while (i < Lines_.size() && !(SectionOf(Lines_[i]) && SameName(*SectionOf(Lines_[i]), section))) ++i;
    if (i == Lines_.size()) return {kNone, kNone};
    std::size_t end = ++i;
    while (end < Lines_.size() && !SectionOf(Lines_[end])) ++end;
    return {i, end};
  }

  std::vector<std::string> Lines_;
  TTextFormat Format_;
};

// The file as it is now, or nothing when it cannot be read (treated as no sections).
std::optional<TProfileText> TryRead(const std::string& path) {
  try {
    return TProfileText(path);
  } catch (const TError&) {
    return std::nullopt;
  }
}

[[noreturn]] void WriteFailed(const std::string& path) { throw TError("Unable to write to " + path); }

// Reads the file for a change; a file that exists but cannot be read is
// never replaced, since its content would be lost.
TProfileText ReadForChange(const std::string& path) {
  auto text = TryRead(path);
  if (!text) WriteFailed(path);
  return std::move(*text);
}

void WriteBack(const std::string& path, const TProfileText& text) {
  try {
    // Rewrite a linked file where it lies rather than replacing the link.
    std::error_code ec;
    std::string target = path;
    if (std::filesystem::is_symlink(std::filesystem::symlink_status(path, ec))) {
      target = std::filesystem::weakly_canonical(path, ec).string();
      if (ec) WriteFailed(path);
    }
    const std::string folder = FolderPart(target);
    if (!folder.empty()) std::filesystem::create_directories(folder, ec);
    if (ec) WriteFailed(path);
    WriteFileAtomically(target, text.Bytes());
  } catch (const TError&) {
    WriteFailed(path);
  }
}

std::string HomeFolder() {
  if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') return home;
  if (const passwd* pw = ::getpwuid(::getuid()); pw != nullptr && pw->pw_dir != nullptr) return pw->pw_dir;
  return {};
}

}  // namespace

std::string MediaSettingsPath(const std::string& override) {
  if (!override.empty()) return override;
  if (const char* env = std::getenv("SLABRIP_MEDIA_SETTINGS"); env != nullptr && *env != '\0') return env;
  std::string config = TSysEnvironment::FromProcess().ConfigHome;
  if (config.empty()) config = HomeFolder() + "/.config";
  return config + "/slabrip/slabrip.ini";
}

std::string TMediaList::SelectedName() const {
  return Selected_ >= 0 && Selected_ < static_cast<int>(Names_.size()) ? Names_[static_cast<std::size_t>(Selected_)]
                                                                       : std::string();
}

int TMediaList::IndexOf(const std::string& name) const {
  if (TrimBlanks(name).empty()) return -1;
  for (std::size_t i = 0; i < Names_.size(); ++i)
    if (SameName(Names_[i], name)) return static_cast<int>(i);
  return -1;
}

void TMediaList::LoadMediaList() {
  const auto text = TryRead(File_);
  Names_ = text ? text->SectionNames() : std::vector<std::string>();
  if (Names_.empty()) Names_.emplace_back(kDefaultMedia);
  Selected_ = 0;
}

void TMediaList::ApplyMedia(const std::string& name, THPMediaValues& values) {
  const int index = IndexOf(name);
  if (index < 0) return;
  Selected_ = index;
  const auto text = TryRead(File_);
  if (!text) return;
  for (const TMediaValue& key : kMediaValues)
    if (const auto value = text->Value(name, key.Key))
      if (const auto number = ParseDouble(*value)) values.*key.Value = *number;
}

void TMediaList::SaveMedia(const std::string& name, const THPMediaValues& values) {
  const int index = IndexOf(name);
  if (index < 0) return;
  Selected_ = index;
  TProfileText text = ReadForChange(File_);
  // A new section takes the list's spelling of the name.
  const std::string& section = Names_[static_cast<std::size_t>(index)];
  for (const TMediaValue& key : kMediaValues) text.Write(section, key.Key, FormatGeneral(values.*key.Value));
  WriteBack(File_, text);
}

bool TMediaList::AddMedia(const std::string& name) {
  // Section names are read back trimmed and one line long, so only such names round-trip.
  const std::string_view trimmed = TrimBlanks(name);
  if (trimmed.empty()) return false;
  if (std::any_of(trimmed.begin(), trimmed.end(), [](char c) { return static_cast<unsigned char>(c) < ' '; }))
    return false;
  if (IndexOf(std::string(trimmed)) >= 0) return false;
  Names_.emplace_back(trimmed);
  Selected_ = static_cast<int>(Names_.size()) - 1;
  return true;
}

void TMediaList::DeleteMedia(const std::string& name, THPMediaValues& values) {
  if (name.empty()) return;
  int k = IndexOf(name);
  if (k < 0) return;
  const std::string removed = Names_[static_cast<std::size_t>(k)];
  Names_.erase(Names_.begin() + k);
  // The selection follows the list even when the file cannot be changed.
  std::optional<TError> failure;
  try {
    if (auto text = ReadForChange(File_); text.EraseSection(removed)) WriteBack(File_, text);
  } catch (const TError& e) {
    failure = e;
  }
  if (k >= static_cast<int>(Names_.size())) --k;
  Selected_ = k;
  if (k >= 0) ApplyMedia(Names_[static_cast<std::size_t>(k)], values);
  if (failure) throw *failure;
}

}  // namespace slabrip
