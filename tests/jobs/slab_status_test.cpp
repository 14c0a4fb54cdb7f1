#include <gtest/gtest.h>
#include <sys/stat.h>
#include <filesystem>

#include "base/ini_file.h"
#include "jobs/rip_slab.h"
#include "support/slab_files.h"

namespace slabrip {
namespace {

using test::CrLf;
using test::ReadFile;
using test::TTempDir;

// Every line of a file that SaveStatus must leave alone, in order.
std::vector<std::string> LinesOutside(const TqlInifile& ini, std::string_view skip) {
  std::vector<std::string> lines;
  for (const std::string& section : ini.ReadSections()) {
    if (section == skip) continue;
    lines.push_back("[" + section + "]");
    for (const std::string& line : ini.ReadSectionValues(section)) lines.push_back(line);
  }
  return lines;
}

class SlabStatusTest : public ::testing::Test {
 protected:
  TRef<TRipSlab> LoadSlab(const std::string& path) {
    auto slab = MakeRef<TRipSlab>();
    EXPECT_TRUE(slab->LoadFromFile(path));
    return slab;
  }
  TTempDir Dir;
};

TEST_F(SlabStatusTest, WritesTheStatusKeysInTheirStoredForms) {
  const std::string path =
      test::WriteSimpleSlab(Dir, "SlabID=12345\r\nCurrPrnSize=1048576\r\nRipCurrRow=12\r\nUseAutoCrop=1\r\n");
  auto slab = LoadSlab(path);
  slab->MediaHeight = 0.1f;
  slab->RipStatus = TRipStatus::kPrinted;
  slab->SentPrnSize = 99;
  slab->RipCurrRow = -1;
  slab->SaveStatus();

  const TqlInifile saved(path);
  EXPECT_EQ(saved.ReadString("Info", "SlabID", ""), "$0000000000003039");
  EXPECT_EQ(saved.ReadString("Info", "CurrPrnSize", ""), "1048576");
  EXPECT_EQ(saved.ReadString("Info", "SentPrnSize", ""), "99");
  EXPECT_EQ(saved.ReadString("Info", "MediaHeight", ""), "0.100000001490116");
  EXPECT_EQ(saved.ReadString("Info", "MediaWidth", ""), "1000");
  EXPECT_EQ(saved.ReadString("Info", "RipStatus", ""), "7");
  EXPECT_EQ(saved.ReadString("Info", "RipCurrRow", ""), "$FFFFFFFFFFFFFFFF");
  EXPECT_EQ(saved.ReadString("Info", "UseAutoCrop", ""), "1");  // read only, left as it was
  // The keys follow the existing ones in the order the status is written.
  const auto keys = saved.ReadSection("Info");
  const std::vector<std::string> tail(keys.end() - 4, keys.end());
  EXPECT_EQ(tail, (std::vector<std::string>{"RenderHeight", "RipStatus", "SentPrnSize", "CustomHostHwnd"}));

  const auto again = LoadSlab(path);
  EXPECT_EQ(again->SlabID, 12345);
  EXPECT_EQ(again->RipStatus, TRipStatus::kPrinted);
  EXPECT_EQ(again->CurrPrnSize, 1048576);
  EXPECT_EQ(again->MediaHeight, 0.1f);
}

TEST_F(SlabStatusTest, EverythingElseInTheFileSurvives) {
  const std::string path = test::WriteSimpleSlab(
      Dir, "Mystery=kept\r\nPrevFilename=C:\\p.jpg\r\n",
      "; a comment\r\n\r\n[AlignMarks]\r\nAlignMarkCmd=R 1 "
      "2\r\n[SnapShot_MediaPreset]\r\nIccProfile=a.icc\r\n"
      "InkSplitC0=0,0/50,60/100,0\r\n[SnapShot_PrinterData]\r\n<PrinterData]\r\nCurrPort=IP_10.0.0.5\r\n"
      "[Unknown]\r\nfree text line\r\nX=1\r\n");
  const TqlInifile before(path);
  LoadSlab(path)->SaveStatus();
  const TqlInifile after(path);

  EXPECT_EQ(LinesOutside(after, "Info"), LinesOutside(before, "Info"));
  for (const std::string& line : before.ReadSectionValues("Info")) {
    const std::string key = line.substr(0, line.find('='));
    EXPECT_EQ(after.ReadString("Info", key, "<gone>"), before.ReadString("Info", key, "")) << key;
  }
  const std::string text = ReadFile(path);
  EXPECT_EQ(text.find("; a comment"), std::string::npos);        // comments and blanks are not kept
  EXPECT_NE(text.find("\r\n[Unknown]\r\n"), std::string::npos);  // CR LF kept
}

TEST_F(SlabStatusTest, TheSlabIsReplacedWholeKeepingItsMode) {
  const std::string path = test::WriteSimpleSlab(Dir);
  ASSERT_EQ(::chmod(path.c_str(), 0604), 0);
  const auto inode = std::filesystem::status(path).permissions();
  LoadSlab(path)->SaveStatus();
  EXPECT_EQ(std::filesystem::status(path).permissions(), inode);
  std::size_t files = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(Dir.Path())) ++files;
  EXPECT_EQ(files, 3u);  // slab, job, document: no temporary left
}

TEST_F(SlabStatusTest, SavingAfterTheSlabWasDeletedCreatesNothing) {
  const std::string path = test::WriteSimpleSlab(Dir);
  const auto slab = LoadSlab(path);
  std::filesystem::remove(path);
  slab->SaveStatus();
  EXPECT_FALSE(std::filesystem::exists(path));
}

}  // namespace
}  // namespace slabrip
