#include "base/ini_file.h"

#include <filesystem>
#include <system_error>
#include <utility>

#include "base/ascii_case.h"
#include "base/file_paths.h"
#include "base/number_text.h"

namespace slabrip {

namespace {

// Blanks, tabs and the other control characters a Windows editor trims.
std::string_view Trim(std::string_view text) {
  const auto blank = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return text;
}

// The name of the section a line opens: Compact, "[name]" alone on its line;
// KeepLayout, as the profile functions read it, up to the line's last ']'.
std::optional<std::string_view> HeaderName(std::string_view line, TIniLayout layout) {
  line = Trim(line);
  if (line.empty() || line.front() != '[') return std::nullopt;
  if (layout == TIniLayout::Compact) {
    if (line.size() < 2 || line.back() != ']') return std::nullopt;
    return Trim(line.substr(1, line.size() - 2));
  }
  const auto close = line.rfind(']');
  if (close == std::string_view::npos) return std::nullopt;
  return Trim(line.substr(1, close - 1));
}

// A trimmed line as Compact stores it: without blanks around the first '='.
std::string CompactLine(std::string_view line) {
  const auto eq = line.find('=');
  if (eq == std::string_view::npos) return std::string(line);
  return std::string(Trim(line.substr(0, eq))) + '=' + std::string(Trim(line.substr(eq + 1)));
}

// One pair of quotes around a whole value dropped, as the profile functions do.
std::string_view Unquoted(std::string_view value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
    value = value.substr(1, value.size() - 2);
  return value;
}

// Whether there is a file to read: Compact reads only regular files; KeepLayout
// reads whatever is there (so that reading fails) unless nothing is.
bool SomethingToRead(const std::string& path, TIniLayout layout) {
  if (layout == TIniLayout::Compact) return FileExists(path);
  std::error_code ec;
  return std::filesystem::exists(path, ec) || ec;
}

}  // namespace

TqlInifile::TqlInifile(std::string fileName, TIniLayout layout)
    : FileName_(std::move(fileName)), Layout_(layout) {
  if (!SomethingToRead(FileName_, Layout_)) return;
  const std::string text = DecodeText(ReadWholeFile(FileName_, kMaxFileBytes), Format_);
  SetStrings(SplitLines(text));
}

void TqlInifile::SetStrings(const std::vector<std::string>& lines) {
  Preamble_.clear();
  Sections_.clear();
  SectionIndex_.clear();
  TSection* current = nullptr;
  for (const std::string& raw : lines) {
    const std::string_view line = Trim(raw);
    if (Layout_ == TIniLayout::Compact && (line.empty() || line.front() == ';')) continue;
    if (const auto name = HeaderName(line, Layout_)) {
      current = &AddSection(*name, Layout_ == TIniLayout::Compact ? '[' + std::string(*name) + ']' : raw);
      continue;
    }
    std::string stored = Layout_ == TIniLayout::Compact ? CompactLine(line) : raw;
    if (current == nullptr) {
      Preamble_.push_back(std::move(stored));
      continue;
    }
    current->Lines.push_back(std::move(stored));
    IndexLine(*current, current->Lines.size() - 1);
  }
}

std::vector<std::string> TqlInifile::GetStrings() const {
  const bool compact = Layout_ == TIniLayout::Compact;
  std::vector<std::string> out(Preamble_);
  if (compact && !Preamble_.empty()) out.emplace_back();
  for (const TSection& section : Sections_) {
    out.push_back(section.Header);
    out.insert(out.end(), section.Lines.begin(), section.Lines.end());
    if (compact) out.emplace_back();
  }
  return out;
}

std::string TqlInifile::Fold(std::string_view name) const {
  return AsciiLower(Layout_ == TIniLayout::KeepLayout ? Trim(name) : name);
}

// Compact: the part before '=' of a stored (trimmed) line. KeepLayout: the
// trimmed key of a verbatim line; none for comments and lines starting with '['.
std::string_view TqlInifile::KeyOf(std::string_view line) const {
  if (Layout_ == TIniLayout::KeepLayout) {
    line = Trim(line);
    if (line.empty() || line.front() == ';' || line.front() == '[') return {};
  }
  const auto eq = line.find('=');
  if (eq == std::string_view::npos) return {};
  return Layout_ == TIniLayout::KeepLayout ? Trim(line.substr(0, eq)) : line.substr(0, eq);
}

TqlInifile::TSection& TqlInifile::AddSection(std::string_view name, std::string header) {
  Sections_.push_back(TSection{std::string(name), std::move(header), {}, {}});
  // A repeated section stays in the file but lookups find the first one.
  SectionIndex_.emplace(Fold(name), Sections_.size() - 1);
  return Sections_.back();
}

const TqlInifile::TSection* TqlInifile::FindSection(std::string_view section) const {
  const auto it = SectionIndex_.find(Fold(section));
  return it == SectionIndex_.end() ? nullptr : &Sections_[it->second];
}

TqlInifile::TSection* TqlInifile::FindSection(std::string_view section) {
  return const_cast<TSection*>(std::as_const(*this).FindSection(section));
}

void TqlInifile::IndexLine(TSection& section, std::size_t line) const {
  const std::string_view key = KeyOf(section.Lines[line]);
  if (!key.empty()) section.KeyIndex.emplace(Fold(key), line);
}

void TqlInifile::Reindex(TSection& section) const {
  section.KeyIndex.clear();
  for (std::size_t i = 0; i < section.Lines.size(); ++i) IndexLine(section, i);
}

void TqlInifile::IndexSections() {
  SectionIndex_.clear();
  for (std::size_t i = 0; i < Sections_.size(); ++i) SectionIndex_.emplace(Fold(Sections_[i].Name), i);
}

bool TqlInifile::SectionExists(std::string_view section) const { return FindSection(section) != nullptr; }

bool TqlInifile::ValueExists(std::string_view section, std::string_view key) const {
  return ReadValue(section, key).has_value();
}

std::vector<std::string> TqlInifile::ReadSections() const {
  std::vector<std::string> names;
  for (const TSection& section : Sections_) names.push_back(section.Name);
  return names;
}

std::vector<std::string> TqlInifile::ReadSection(std::string_view section) const {
  std::vector<std::string> keys;
  if (const TSection* s = FindSection(section))
    for (const std::string& line : s->Lines)
      if (const auto key = KeyOf(line); !key.empty()) keys.emplace_back(key);
  return keys;
}

std::vector<std::string> TqlInifile::ReadSectionValues(std::string_view section) const {
  const TSection* s = FindSection(section);
  return s ? s->Lines : std::vector<std::string>();
}

std::optional<std::string> TqlInifile::ReadValue(std::string_view section, std::string_view key) const {
  const TSection* s = FindSection(section);
  if (s == nullptr) return std::nullopt;
  const auto it = s->KeyIndex.find(Fold(key));
  if (it == s->KeyIndex.end()) return std::nullopt;
  const std::string_view line = s->Lines[it->second];
  const std::string_view value = line.substr(line.find('=') + 1);
  return std::string(Layout_ == TIniLayout::KeepLayout ? Unquoted(Trim(value)) : value);
}

std::string TqlInifile::ReadString(std::string_view section, std::string_view key,
                                   std::string_view def) const {
  auto value = ReadValue(section, key);
  return value ? std::move(*value) : std::string(def);
}

std::int32_t TqlInifile::ReadInteger(std::string_view section, std::string_view key, std::int32_t def) const {
  const auto value = ReadValue(section, key);
  return value ? ParseInt32(*value).value_or(def) : def;
}

bool TqlInifile::ReadBool(std::string_view section, std::string_view key, bool def) const {
  return ReadInteger(section, key, def ? 1 : 0) != 0;
}

double TqlInifile::ReadFloat(std::string_view section, std::string_view key, double def) const {
  const auto value = ReadValue(section, key);
  return value ? ParseDouble(*value).value_or(def) : def;
}

float TqlInifile::ReadFloat32(std::string_view section, std::string_view key, float def) const {
  const auto value = ReadValue(section, key);
  return value ? ParseFloat32(*value).value_or(def) : def;
}

std::int64_t TqlInifile::ReadInt64(std::string_view section, std::string_view key, std::int64_t def) const {
  const auto value = ReadValue(section, key);
  return value ? ParseInt64(*value).value_or(def) : def;
}

void TqlInifile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
  const bool keep = Layout_ == TIniLayout::KeepLayout;
  TSection* s = FindSection(section);
  if (s == nullptr) {
    // KeepLayout: a blank line before the new section unless the file is empty or ends with one.
    std::vector<std::string>& tail = Sections_.empty() ? Preamble_ : Sections_.back().Lines;
    if (keep && !(Sections_.empty() && Preamble_.empty()) && (tail.empty() || !Trim(tail.back()).empty()))
      tail.emplace_back();
    s = &AddSection(keep ? Trim(section) : section, '[' + std::string(section) + ']');
  }
  const auto it = s->KeyIndex.find(Fold(key));
  if (it != s->KeyIndex.end()) {
    std::string& line = s->Lines[it->second];
    line = std::string(keep ? KeyOf(line) : key) + '=' + std::string(value);
    return;
  }
  std::string line = std::string(key) + '=' + std::string(value);
  if (!keep) {
    s->Lines.push_back(std::move(line));
    IndexLine(*s, s->Lines.size() - 1);
    return;
  }
  auto end = s->Lines.size();
  while (end > 0 && Trim(s->Lines[end - 1]).empty()) --end;
  s->Lines.insert(s->Lines.begin() + static_cast<std::ptrdiff_t>(end), std::move(line));
  Reindex(*s);
}

void TqlInifile::WriteInteger(std::string_view section, std::string_view key, std::int64_t value) {
  WriteString(section, key, std::to_string(value));
}

void TqlInifile::WriteBool(std::string_view section, std::string_view key, bool value) {
  WriteString(section, key, value ? "1" : "0");
}

void TqlInifile::WriteFloat(std::string_view section, std::string_view key, double value) {
  WriteString(section, key, FormatGeneral(value));
}

void TqlInifile::WriteInt64(std::string_view section, std::string_view key, std::int64_t value) {
  WriteString(section, key, FormatHex64(value));
}

void TqlInifile::DeleteKey(std::string_view section, std::string_view key) {
  TSection* s = FindSection(section);
  if (s == nullptr) return;
  const auto it = s->KeyIndex.find(Fold(key));
  if (it == s->KeyIndex.end()) return;
  s->Lines.erase(s->Lines.begin() + static_cast<std::ptrdiff_t>(it->second));
  Reindex(*s);
}

void TqlInifile::EraseSection(std::string_view section) {
  const std::string wanted = Fold(section);
  std::erase_if(Sections_, [&](const TSection& s) { return Fold(s.Name) == wanted; });
  IndexSections();
}

std::optional<std::vector<std::string>> TqlInifile::EmbeddedLines(std::string_view section) const {
  const TSection* s = FindSection(section);
  if (s == nullptr || s->Lines.empty()) return std::nullopt;
  std::vector<std::string> lines = s->Lines;
  for (std::string& line : lines)
    if (!line.empty() && line.front() == '<') line.front() = '[';
  return lines;
}

std::unique_ptr<TqlInifile> TqlInifile::ReadEmbeddedIni(std::string_view section) const {
  const auto lines = EmbeddedLines(section);
  if (!lines) return nullptr;
  auto embedded = std::make_unique<TqlInifile>();
  embedded->FileName_ = std::string(section);
  embedded->SetStrings(*lines);
  return embedded;
}

std::string TqlInifile::FileBytes() const {
  const char* eol = Format_.CrLf ? "\r\n" : "\n";
  std::string text;
  for (const std::string& line : GetStrings()) {
    text += line;
    text += eol;
  }
  return EncodeText(text, Format_.Encoding);
}

void TqlInifile::UpdateFile() const { WriteFileAtomically(FileName_, FileBytes()); }

}  // namespace slabrip
