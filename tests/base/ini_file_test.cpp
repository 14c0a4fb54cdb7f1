#include "base/ini_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "base/errors.h"
#include "support/temp_dir.h"

namespace slabrip {
namespace {

using test::CrLf;
using test::ReadFile;
using test::TTempDir;

TqlInifile FromLines(const std::vector<std::string>& lines) {
  TqlInifile ini;
  ini.SetStrings(lines);
  return ini;
}

TEST(IniRead, SectionAndKeyNamesIgnoreCaseAndBlanksAroundTheEqualsSign) {
  const auto ini = FromLines({"[Info]", "  MediaWidth = 1067.5 ", "Jobname=A = B"});
  EXPECT_EQ(ini.ReadString("INFO", "mediawidth", ""), "1067.5");
  EXPECT_EQ(ini.ReadFloat("info", "MEDIAWIDTH", 0), 1067.5);
  EXPECT_EQ(ini.ReadString("Info", "Jobname", ""), "A = B");
  EXPECT_EQ(ini.ReadString("Info", "Missing", "dflt"), "dflt");
  EXPECT_EQ(ini.ReadString("Nowhere", "Jobname", "dflt"), "dflt");
}

TEST(IniRead, NumbersThatDoNotParseGiveTheDefault) {
  const auto ini = FromLines({"[S]", "I=12x", "H=$1F", "X=0x10", "F=1,5", "B=2", "Z=0", "E=", "Big=12x"});
  EXPECT_EQ(ini.ReadInteger("S", "I", 7), 7);
  EXPECT_EQ(ini.ReadInteger("S", "H", 7), 31);
  EXPECT_EQ(ini.ReadInteger("S", "X", 7), 16);
  EXPECT_EQ(ini.ReadFloat("S", "F", 2.5), 2.5);
  EXPECT_TRUE(ini.ReadBool("S", "B", false));
  EXPECT_FALSE(ini.ReadBool("S", "Z", true));
  EXPECT_TRUE(ini.ReadBool("S", "E", true));
  EXPECT_EQ(ini.ReadInt64("S", "Big", 99), 99);
  EXPECT_EQ(ini.ReadFloat32("S", "F", 0.25f), 0.25f);
}

TEST(IniRead, BlankAndCommentLinesAreDroppedOtherLinesKept) {
  const auto ini = FromLines({"[S]", "", "; note", "loose line", "K=1", "[T]", "J=2"});
  EXPECT_EQ(ini.ReadSectionValues("S"), (std::vector<std::string>{"loose line", "K=1"}));
  EXPECT_EQ(ini.ReadSection("S"), std::vector<std::string>{"K"});
  EXPECT_EQ(ini.ReadSections(), (std::vector<std::string>{"S", "T"}));
  EXPECT_TRUE(ini.ValueExists("t", "j"));
  EXPECT_FALSE(ini.ValueExists("S", "loose line"));
}

TEST(IniRead, FirstOfRepeatedSectionsAndKeysWins) {
  const auto ini = FromLines({"[S]", "K=1", "k=2", "[s]", "K=3"});
  EXPECT_EQ(ini.ReadInteger("S", "K", 0), 1);
  // Both copies are kept for the rewrite.
  EXPECT_EQ(ini.GetStrings(), (std::vector<std::string>{"[S]", "K=1", "k=2", "", "[s]", "K=3", ""}));
}

TEST(IniWrite, ReplacesInPlaceOrAppendsAndCreatesSections) {
  auto ini = FromLines({"[Info]", "A=1", "B=2"});
  ini.WriteInteger("info", "a", 5);
  ini.WriteString("Info", "C", "x");
  ini.WriteFloat("New", "F", 0.1f);
  ini.WriteInt64("New", "H", -1);
  ini.WriteBool("New", "Yes", true);
  EXPECT_EQ(ini.GetStrings(),
            (std::vector<std::string>{"[Info]", "a=5", "B=2", "C=x", "", "[New]", "F=0.100000001490116",
                                      "H=$FFFFFFFFFFFFFFFF", "Yes=1", ""}));
  ini.DeleteKey("INFO", "b");
  ini.EraseSection("new");
  EXPECT_EQ(ini.GetStrings(), (std::vector<std::string>{"[Info]", "a=5", "C=x", ""}));
  EXPECT_EQ(ini.ReadString("Info", "C", ""), "x");  // index follows the deletion
}

TEST(IniKeepLayout, RewritesOnlyTheKeysWrittenAndKeepsEveryOtherLine) {
  TqlInifile ini(TIniLayout::KeepLayout);
  ini.SetStrings({"; presets", "[Canvas] old", "  dryTEMP = 1 ", "Note='keep'", "", "[ canvas ]", "A=b",
                  "[Banner]", ""});
  EXPECT_EQ(ini.ReadSections(), (std::vector<std::string>{"Canvas", "canvas", "Banner"}));
  EXPECT_EQ(ini.ReadString(" CANVAS ", "note", ""), "keep");
  ini.WriteString("Canvas", "DryTemp", "62.5");  // the file's spelling, its place
  ini.WriteString("Canvas", "New", "1");         // after the last line that is not blank
  ini.WriteString("Mesh", "K", "2");             // at the end, after a blank line
  EXPECT_EQ(ini.GetStrings(),
            (std::vector<std::string>{"; presets", "[Canvas] old", "dryTEMP=62.5", "Note='keep'", "New=1", "",
                                      "[ canvas ]", "A=b", "[Banner]", "", "[Mesh]", "K=2"}));
  ini.EraseSection("CANVAS");  // every section of the name
  EXPECT_EQ(ini.GetStrings(), (std::vector<std::string>{"; presets", "[Banner]", "", "[Mesh]", "K=2"}));
}

TEST(IniInt64, ReadsDecimalAndDollarHexAndRejectsTrailingText) {
  const auto ini = FromLines({"[S]", "A=12345", "B=$3039", "C=12x", "D=-1"});
  EXPECT_EQ(ini.ReadInt64("S", "A", 0), 12345);
  EXPECT_EQ(ini.ReadInt64("S", "B", 0), 12345);
  EXPECT_EQ(ini.ReadInt64("S", "C", 77), 77);
  EXPECT_EQ(ini.ReadInt64("S", "D", 0), -1);
  EXPECT_EQ(ini.ReadInt64("S", "None", INT64_MIN), INT64_MIN);
}

TEST(IniEmbedded, AngleBracketLinesOpenSectionsOfTheEmbeddedFile) {
  const auto ini = FromLines({"[Snap]", "<Inks]", "Count=2", "[Empty]", "[Other]", "X=1"});
  const auto embedded = ini.ReadEmbeddedIni("snap");
  ASSERT_NE(embedded, nullptr);
  EXPECT_EQ(embedded->FileName(), "snap");
  EXPECT_EQ(embedded->ReadSections(), std::vector<std::string>{"Inks"});
  EXPECT_EQ(embedded->ReadInteger("Inks", "Count", 0), 2);
  EXPECT_EQ(ini.EmbeddedLines("Snap"), (std::vector<std::string>{"[Inks]", "Count=2"}));
  EXPECT_EQ(ini.ReadEmbeddedIni("Empty"), nullptr);
  EXPECT_EQ(ini.ReadEmbeddedIni("Missing"), nullptr);
}

TEST(IniFile, MissingFileIsEmptyAndUnreadableOrHugeFilesAreRefusedByName) {
  TTempDir dir;
  const TqlInifile missing(dir.File("none.ini"));
  EXPECT_TRUE(missing.ReadSections().empty());

  EXPECT_TRUE(TqlInifile(dir.Path()).ReadSections().empty());            // a folder reads as no file
  EXPECT_THROW(TqlInifile(dir.Path(), TIniLayout::KeepLayout), TError);  // kept: a rewrite would replace it

  const std::string huge = dir.Write("huge.ini", std::string(TqlInifile::kMaxFileBytes + 1, 'a'));
  try {
    const TqlInifile ini(huge);
    FAIL() << "an oversized file must be refused";
  } catch (const TError& e) {
    EXPECT_NE(std::string(e.what()).find(huge), std::string::npos) << e.what();
  }
}

TEST(IniFile, RewriteKeepsEncodingLineBreaksAndEveryLine) {
  TTempDir dir;
  const std::string path = dir.Write("s.ini", "\xEF\xBB\xBF" + CrLf({"orphan", "[A]", "K=\xC3\xA9", "",
                                                                     "; gone", "free text", "[B]", "J=2"}));
  TqlInifile ini(path);
  ini.WriteString("A", "K", "\xC3\xA8");
  ini.UpdateFile();
  EXPECT_EQ(ReadFile(path),
            "\xEF\xBB\xBF" + CrLf({"orphan", "", "[A]", "K=\xC3\xA8", "free text", "", "[B]", "J=2", ""}));
}

TEST(IniFile, Windows1252FileIsWrittenBackInWindows1252) {
  TTempDir dir;
  const std::string path = dir.Write("w.ini", "[A]\nName=Caf\xE9\n");
  TqlInifile ini(path);
  EXPECT_EQ(ini.ReadString("A", "Name", ""), "Caf\xC3\xA9");
  ini.WriteString("A", "Other", "\xC3\xBC");
  ini.UpdateFile();
  EXPECT_EQ(ReadFile(path), "[A]\nName=Caf\xE9\nOther=\xFC\n\n");
}

TEST(IniFile, RewriteKeepsTheFileMode) {
  TTempDir dir;
  const std::string path = dir.Write("m.ini", "[A]\nK=1\n");
  ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
  TqlInifile ini(path);
  ini.WriteInteger("A", "K", 2);
  ini.UpdateFile();
  struct stat st {};
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
  EXPECT_EQ(TqlInifile(path).ReadInteger("A", "K", 0), 2);
}

}  // namespace
}  // namespace slabrip
