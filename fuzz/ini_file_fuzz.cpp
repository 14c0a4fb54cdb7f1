// Fuzzes the ini storage in both layouts: the input is read as a file, its
// values are read, a key is written into a section of the file and into a new
// one, a section is erased and the text is got back.
//
// What is written reads back, an erased name is gone and nothing else is, a
// file read with nothing written gives its lines back verbatim (KeepLayout),
// the text reads again to the same sections, lines and values, and (KeepLayout,
// UTF-8) its bytes decode to those lines.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "base/ascii_case.h"
#include "base/ini_file.h"
#include "base/text_encoding.h"

namespace {

using namespace slabrip;

// Ini files are small; larger inputs only slow the run down.
constexpr std::size_t kMaxInputBytes = std::size_t{1} << 16;
// Reads the values of this many sections at the most: a file of many
// repeated headers would otherwise read the first one's keys for each.
constexpr std::size_t kMaxSectionsRead = 64;

void Check(bool ok) {
  if (!ok) std::abort();
}

const std::string& FilePath() {
  static const std::string path = [] {
    std::string pattern = "/tmp/slabrip-fuzz-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) std::abort();
    return pattern + "/settings.ini";
  }();
  return path;
}

// An index from the input, so that each input picks its own section and key.
std::size_t Pick(std::string_view bytes, std::size_t salt, std::size_t count) {
  std::size_t h = salt;
  for (const char c : bytes) h = h * 31 + static_cast<unsigned char>(c);
  return count == 0 ? 0 : h % count;
}

void ReadAll(const TqlInifile& ini) {
  const std::vector<std::string> sections = ini.ReadSections();
  for (std::size_t i = 0; i < sections.size() && i < kMaxSectionsRead; ++i) {
    for (const std::string& key : ini.ReadSection(sections[i])) {
      Check(ini.ValueExists(sections[i], key));
      (void)ini.ReadInt64(sections[i], key, 0);
      (void)ini.ReadFloat(sections[i], key, 0);
    }
    (void)ini.ReadSectionValues(sections[i]);
    if (const auto embedded = ini.ReadEmbeddedIni(sections[i])) (void)embedded->ReadSections();
  }
}

// Writes `value` (digits, which no layout changes) and checks that it reads back.
void WriteAndCheck(TqlInifile& ini, const std::string& section, const std::string& key,
                   const std::string& value) {
  ini.WriteString(section, key, value);
  Check(ini.ReadValue(section, key) == value);
}

void Exercise(std::string_view bytes, TIniLayout layout) {
  TqlInifile ini(FilePath(), layout);
  TTextFormat format;
  const std::vector<std::string> lines = SplitLines(DecodeText(bytes, format));
  if (layout == TIniLayout::KeepLayout) Check(ini.GetStrings() == lines);
  ReadAll(ini);

  // A key of a section of the file (or a new key there), and a key of a new section.
  const std::vector<std::string> sections = ini.ReadSections();
  const std::string value = std::to_string(bytes.size());
  if (!sections.empty()) {
    const std::string& section = sections[Pick(bytes, 1, sections.size())];
    const std::vector<std::string> keys = ini.ReadSection(section);
    WriteAndCheck(ini, section, keys.empty() ? "FuzzKey" : keys[Pick(bytes, 2, keys.size())], value);
    WriteAndCheck(ini, section, "FuzzKey", value);
  }
  WriteAndCheck(ini, "FuzzSection", "FuzzKey", value);

  // Every section of one name goes, and only those.
  const std::vector<std::string> before = ini.ReadSections();
  const std::string erased = before[Pick(bytes, 3, before.size())];
  ini.EraseSection(erased);
  Check(!ini.SectionExists(erased));
  std::vector<std::string> kept;
  for (const std::string& name : before)
    if (!EqualIgnoringCase(name, erased)) kept.push_back(name);
  Check(ini.ReadSections() == kept);
  ReadAll(ini);

  // The text reads again to the same file.
  const std::vector<std::string> text = ini.GetStrings();
  TqlInifile again(layout);
  again.SetStrings(text);
  Check(again.ReadSections() == ini.ReadSections());
  Check(again.GetStrings() == text);
  const std::vector<std::string> after = ini.ReadSections();
  for (std::size_t i = 0; i < after.size() && i < kMaxSectionsRead; ++i)
    for (const std::string& key : ini.ReadSection(after[i]))
      Check(again.ReadValue(after[i], key) == ini.ReadValue(after[i], key));

  // The bytes read back as the lines. Only where the first line stays verbatim
  // (Compact trims it, which can bring a byte-order mark to the front), and
  // only for UTF-8: Windows-1252 text written back may read as UTF-8.
  if (layout == TIniLayout::KeepLayout && format.Encoding != TTextEncoding::Windows1252) {
    TTextFormat written;
    Check(SplitLines(DecodeText(ini.FileBytes(), written)) == text);
    Check(written.Encoding == format.Encoding || text.empty());
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > kMaxInputBytes) return 0;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  std::ofstream(FilePath(), std::ios::binary | std::ios::trunc)
      .write(bytes.data(), static_cast<std::streamsize>(size));
  Exercise(bytes, TIniLayout::Compact);
  Exercise(bytes, TIniLayout::KeepLayout);
  return 0;
}
