#include "base/sys_paths.h"

#include <gtest/gtest.h>
#include <filesystem>

#include "support/temp_dir.h"

namespace slabrip {
namespace {

using test::TTempDir;

class SysPathsTest : public ::testing::Test {
 protected:
  TSysEnvironment Env() const {
    TSysEnvironment env;
    env.ProgramFiles = Dir.File("opt");
    env.DataHome = Dir.File("share");
    env.ConfigHome = Dir.File("config");
    env.Documents = Dir.File("Documents");
    return env;
  }
  std::string MakeFolder(const std::string& relative) const {
    std::filesystem::create_directories(Dir.File(relative));
    return Dir.File(relative);
  }
  void WriteSettings(const std::string& text) const { Dir.Write("config/OrvenexCorp/Quillar.conf", text); }

  TTempDir Dir;
};

TEST_F(SysPathsTest, NothingPresentGivesEmptyRootsAndBarePaths) {
  const TSysPaths paths(Env());
  EXPECT_EQ(paths.ProgramFolder(), "");
  EXPECT_EQ(paths.DataFolder(), "");
  EXPECT_EQ(paths.Path(TSysPaths::kIccFolder), "/RIP/ICC/");
  EXPECT_EQ(paths.Path(0), "");
  EXPECT_EQ(paths.Path(59), "");
  EXPECT_EQ(paths.GuiNumber(), 0);
}

TEST_F(SysPathsTest, DefaultsComeFromTheXdgFoldersWhenTheyExist) {
  const std::string data = MakeFolder("share/OrvenexCorp/Quillar");
  const std::string program = MakeFolder("opt/OrvenexCorp/Quillar");
  MakeFolder("opt/OrvenexCorp/Quillar/Fonts");
  MakeFolder("Documents/Quillar Files");
  const TSysPaths paths(Env());
  EXPECT_EQ(paths.DataFolder(), data);
  EXPECT_EQ(paths.ProgramFolder(), program);
  EXPECT_EQ(paths.FontFolder(), program + "/Fonts");
  EXPECT_EQ(paths.ClipFolder(), "");  // Resources/VClips is missing
  EXPECT_EQ(paths.DocumentsFolder(), Dir.File("Documents/Quillar Files"));
  EXPECT_EQ(paths.Path(TSysPaths::kIccFolder), data + "/RIP/ICC/");
  EXPECT_EQ(paths.Path(TSysPaths::kDriversFolder), data + "/RIP/Drivers/");
  EXPECT_EQ(paths.Path(TSysPaths::kPrintJobsFolder), data + "/RIP/PrintJobs/");
}

TEST_F(SysPathsTest, SettingsOverrideOnlyWithFoldersThatExist) {
  const std::string data = MakeFolder("elsewhere/data");
  const std::string fonts = MakeFolder("fonts");
  const std::string fontsEx = MakeFolder("fonts-ex");
  WriteSettings("[Data]\nPID=2\n[UpdateInfo]\nUpdateVersion=7.1\n[Paths]\nPdDir=" + data +
                "/\nPfDir=" + Dir.File("missing") + "\nFFDir=" + fonts + "\nFFDirEx=" + fontsEx + "\n");
  const TSysPaths paths(Env());
  EXPECT_EQ(paths.DataFolder(), data);   // trailing separator dropped
  EXPECT_EQ(paths.ProgramFolder(), "");  // named folder does not exist
  EXPECT_EQ(paths.FontFolder(), fontsEx);
  EXPECT_EQ(paths.GuiNumber(), 2);
  EXPECT_EQ(paths.UpdateVersion(), "7.1");
  EXPECT_EQ(paths.Path(TSysPaths::kIccFolder), data + "/RIP/ICC/");
}

TEST(JoinExistingFolder, JoinsWithOneSeparatorAndNeedsTheFolder) {
  TTempDir dir;
  std::filesystem::create_directories(dir.File("a/b"));
  EXPECT_EQ(JoinExistingFolder(dir.Path() + "/", "/a/b/"), dir.File("a/b"));
  EXPECT_EQ(JoinExistingFolder(dir.Path(), "a"), dir.File("a"));
  EXPECT_EQ(JoinExistingFolder(dir.Path() + "/a/", ""), dir.File("a"));
  EXPECT_EQ(JoinExistingFolder("", "a"), "");
  EXPECT_EQ(JoinExistingFolder(dir.Path(), "c"), "");
}

}  // namespace
}  // namespace slabrip
