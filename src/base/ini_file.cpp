#include "base/ini_file.h"

#include <algorithm>
#include <utility>

#include "base/file_paths.h"
#include "base/number_text.h"

namespace slabrip {

namespace {

std::string Lower(std::string_view text) {
  std::string out(text);
  std::transform(out.begin(), out.end(), out.begin(),
                 [](unsigned char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c); });
  return out;
}

// Blanks, tabs and the other control characters a Windows editor trims.
std::string_view Trim(std::string_view text) {
  const auto blank = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return text;
}

std::string_view KeyOf(std::string_view line) {
  const auto eq = line.find('=');
  return eq == std::string_view::npos ? std::string_view() : line.substr(0, eq);
}

}  // namespace

TqlInifile::TqlInifile(std::string fileName) : FileName_(std::move(fileName)) {
  if (!FileExists(FileName_)) return;
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
    if (line.empty() || line.front() == ';') continue;
    if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
      current = &AddSection(Trim(line.substr(1, line.size() - 2)));
      continue;
    }
    std::string stored;
    const auto eq = line.find('=');
    if (eq == std::string_view::npos) {
      stored = line;
    } else {
      stored = std::string(Trim(line.substr(0, eq))) + '=' + std::string(Trim(line.substr(eq + 1)));
    }
    if (current == nullptr) {
      Preamble_.push_back(std::move(stored));
      continue;
    }
    current->Lines.push_back(std::move(stored));
    IndexLine(*current, current->Lines.size() - 1);
  }
}

std::vector<std::string> TqlInifile::GetStrings() const {
  std::vector<std::string> out(Preamble_);
  if (!Preamble_.empty()) out.emplace_back();
  for (const TSection& section : Sections_) {
    out.push_back('[' + section.Name + ']');
    out.insert(out.end(), section.Lines.begin(), section.Lines.end());
    out.emplace_back();
  }
  return out;
}

TqlInifile::TSection& TqlInifile::AddSection(std::string_view name) {
  Sections_.push_back(TSection{std::string(name), {}, {}});
  // A repeated section stays in the file but lookups find the first one.
  SectionIndex_.emplace(Lower(name), Sections_.size() - 1);
  return Sections_.back();
}

const TqlInifile::TSection* TqlInifile::FindSection(std::string_view section) const {
  const auto it = SectionIndex_.find(Lower(section));
  return it == SectionIndex_.end() ? nullptr : &Sections_[it->second];
}

TqlInifile::TSection* TqlInifile::FindSection(std::string_view section) {
  return const_cast<TSection*>(std::as_const(*this).FindSection(section));
}

void TqlInifile::IndexLine(TSection& section, std::size_t line) {
  const std::string_view key = KeyOf(section.Lines[line]);
  if (!key.empty()) section.KeyIndex.emplace(Lower(key), line);
}

void TqlInifile::Reindex(TSection& section) {
  section.KeyIndex.clear();
  for (std::size_t i = 0; i < section.Lines.size(); ++i) IndexLine(section, i);
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
  const auto it = s->KeyIndex.find(Lower(key));
  if (it == s->KeyIndex.end()) return std::nullopt;
  const std::string& line = s->Lines[it->second];
  return line.substr(line.find('=') + 1);
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
  TSection* s = FindSection(section);
  if (s == nullptr) s = &AddSection(section);
  std::string line = std::string(key) + '=' + std::string(value);
  const auto it = s->KeyIndex.find(Lower(key));
  if (it != s->KeyIndex.end()) {
    s->Lines[it->second] = std::move(line);
    return;
  }
  s->Lines.push_back(std::move(line));
  IndexLine(*s, s->Lines.size() - 1);
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
  const auto it = s->KeyIndex.find(Lower(key));
  if (it == s->KeyIndex.end()) return;
  s->Lines.erase(s->Lines.begin() + static_cast<std::ptrdiff_t>(it->second));
  Reindex(*s);
}

void TqlInifile::EraseSection(std::string_view section) {
  const std::string wanted = Lower(section);
  std::erase_if(Sections_, [&](const TSection& s) { return Lower(s.Name) == wanted; });
  SectionIndex_.clear();
  for (std::size_t i = 0; i < Sections_.size(); ++i) SectionIndex_.emplace(Lower(Sections_[i].Name), i);
}

std::optional<std::vector<std::string>> TqlInifile::EmbeddedLines(std::string_view section) const {
  const TSection* s = FindSection(section);
  if (s == nullptr || s->Lines.empty()) return std::nullopt;
  std::vector<std::string> lines = s->Lines;
  for (std::string& line : lines)
    if (line.front() == '<') line.front() = '[';
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

void TqlInifile::UpdateFile() const {
  const char* eol = Format_.CrLf ? "\r\n" : "\n";
  std::string text;
  for (const std::string& line : GetStrings()) {
    text += line;
    text += eol;
  }
  WriteFileAtomically(FileName_, EncodeText(text, Format_.Encoding));
}

}  // namespace slabrip
