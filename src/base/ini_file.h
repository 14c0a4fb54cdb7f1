// In-memory ini file: the slab file, job files, media presets and settings.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "base/text_encoding.h"

namespace slabrip {

/// How a file's lines are held and written back.
enum class TIniLayout {
  /// The program's own files (slabs, jobs, presets): blank lines and lines
  /// starting with ';' are dropped when read, blanks around '=' are trimmed,
  /// and the rewrite puts a blank line after each section.
  Compact,
  /// Files people edit by hand, read and written as the Windows profile
  /// functions do: every line is kept verbatim and in place, a rewrite changes
  /// only the lines of the keys written (a key keeps the file's spelling), a
  /// new key goes after its section's last non-blank line and a new section at
  /// the end after a blank line. A header is a line starting with '[', its name
  /// running to the last ']'; key lines do not start with ';' or '['; values
  /// lose one pair of quotes around them; names given are compared trimmed.
  KeepLayout,
};

/// The whole file in memory; section and key names compare without regard
/// to (ASCII) case; numbers use "." whatever the locale. Lookups find the
/// first section of a name and its first line of a key. Compact layout:
/// blank lines and lines starting with ';' are dropped when a file is read,
/// every other line is kept and written back by UpdateFile.
class TqlInifile {
 public:
  /// Ini files are small; anything larger is refused rather than held in memory.
  static constexpr std::size_t kMaxFileBytes = 16u << 20;

  /// An empty file with no file behind it, Compact unless told.
  TqlInifile() = default;
  explicit TqlInifile(TIniLayout layout) : Layout_(layout) {}
  /// Reads `fileName`; a missing file gives an empty one. Throws TError naming
  /// the file when it exists but cannot be read or is too large. Compact reads
  /// anything but a regular file as missing; KeepLayout throws for anything
  /// at the path it cannot read, so that a rewrite never replaces it.
  explicit TqlInifile(std::string fileName, TIniLayout layout = TIniLayout::Compact);

  const std::string& FileName() const { return FileName_; }

  /// Replaces the content by these lines, parsed as a file's lines.
  void SetStrings(const std::vector<std::string>& lines);
  /// The content as the lines UpdateFile writes.
  std::vector<std::string> GetStrings() const;

  bool SectionExists(std::string_view section) const;
  bool ValueExists(std::string_view section, std::string_view key) const;
  /// Section names in file order, repeated ones each time.
  std::vector<std::string> ReadSections() const;
  /// Key names of a section in file order.
  std::vector<std::string> ReadSection(std::string_view section) const;
  /// Every stored line of a section: Compact, key lines as "Key=Value"; KeepLayout, verbatim.
  std::vector<std::string> ReadSectionValues(std::string_view section) const;

  /// The key's text, or nothing when the section or key is absent.
  std::optional<std::string> ReadValue(std::string_view section, std::string_view key) const;
  std::string ReadString(std::string_view section, std::string_view key, std::string_view def) const;
  /// Decimal, `$` or `0x` hex; the default when absent or not a number.
  std::int32_t ReadInteger(std::string_view section, std::string_view key, std::int32_t def) const;
  /// Any integer other than 0 is true.
  bool ReadBool(std::string_view section, std::string_view key, bool def) const;
  double ReadFloat(std::string_view section, std::string_view key, double def) const;
  /// As ReadFloat for float32 fields; a value beyond the float32 range gives the default.
  float ReadFloat32(std::string_view section, std::string_view key, float def) const;
  /// Decimal or `$` hex 64-bit; the default when absent or not a number.
  std::int64_t ReadInt64(std::string_view section, std::string_view key, std::int64_t def) const;

  void WriteString(std::string_view section, std::string_view key, std::string_view value);
  void WriteInteger(std::string_view section, std::string_view key, std::int64_t value);
  void WriteBool(std::string_view section, std::string_view key, bool value);
  /// Shortest general form with at most 15 significant digits.
  void WriteFloat(std::string_view section, std::string_view key, double value);
  /// "$" and 16 upper-case hex digits.
  void WriteInt64(std::string_view section, std::string_view key, std::int64_t value);

  void DeleteKey(std::string_view section, std::string_view key);
  /// Removes every section of the name, its header and lines up to the next header.
  void EraseSection(std::string_view section);

  /// The section's lines with a leading '<' turned into '[', or nothing
  /// when the section is missing or empty: how a file is stored inside a section.
  std::optional<std::vector<std::string>> EmbeddedLines(std::string_view section) const;
  /// EmbeddedLines as an ini file of its own, named after the section.
  std::unique_ptr<TqlInifile> ReadEmbeddedIni(std::string_view section) const;

  /// GetStrings as the file's bytes, in the encoding and line breaks it was read with.
  std::string FileBytes() const;
  /// Writes FileBytes over the file atomically.
  void UpdateFile() const;

 private:
  struct TSection {
    std::string Name;
    std::string Header;  // the "[Name]" line as it is written
    std::vector<std::string> Lines;
    std::unordered_map<std::string, std::size_t> KeyIndex;  // folded key -> first line
  };

  std::string Fold(std::string_view name) const;
  std::string_view KeyOf(std::string_view line) const;
  const TSection* FindSection(std::string_view section) const;
  TSection* FindSection(std::string_view section);
  TSection& AddSection(std::string_view name, std::string header);
  void IndexLine(TSection& section, std::size_t line) const;
  void Reindex(TSection& section) const;
  void IndexSections();

  std::string FileName_;
  TIniLayout Layout_ = TIniLayout::Compact;
  TTextFormat Format_;
  std::vector<std::string> Preamble_;  // lines before the first section, kept for the rewrite
  std::vector<TSection> Sections_;
  std::unordered_map<std::string, std::size_t> SectionIndex_;  // lower-case name -> first section
};

}  // namespace slabrip
