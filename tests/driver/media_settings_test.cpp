// The media list and its settings file: listing, applying, saving, adding, deleting.
#include "driver/media_settings.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "base/errors.h"
#include "support/temp_dir.h"

namespace slabrip {
namespace {

using test::CrLf;
using test::ReadFile;
using test::TTempDir;
using testing::ElementsAre;
namespace fs = std::filesystem;

const std::string kCanvasAndBanner = CrLf({"[Canvas]", "InputTension=20", "Vaccum=35.5", "DryTemp=60", "",
                                           "[Banner]", "InputTension=12", "Vaccum=28"});

std::string WriteError(TMediaList& list, const std::string& name) {
  try {
    list.SaveMedia(name, THPMediaValues{});
  } catch (const TError& e) {
    return e.what();
  }
  return "no error";
}

TEST(MediaSettingsPath, OverrideThenEnvironmentThenXdgConfigThenHomeConfig) {
  const std::string home = std::getenv("HOME") ? std::getenv("HOME") : "";
  ::setenv("SLABRIP_MEDIA_SETTINGS", "/srv/media.ini", 1);
  ::setenv("XDG_CONFIG_HOME", "/xdg", 1);
  ::setenv("HOME", "/home/op", 1);
  EXPECT_EQ(MediaSettingsPath("/given.ini"), "/given.ini");
  EXPECT_EQ(MediaSettingsPath(""), "/srv/media.ini");
  ::unsetenv("SLABRIP_MEDIA_SETTINGS");
  EXPECT_EQ(MediaSettingsPath(""), "/xdg/slabrip/slabrip.ini");
  ::unsetenv("XDG_CONFIG_HOME");
  EXPECT_EQ(MediaSettingsPath(""), "/home/op/.config/slabrip/slabrip.ini");
  ::setenv("HOME", home.c_str(), 1);
}

TEST(MediaList, ListsSectionsOnceInFileOrderOrTheDefault) {
  TTempDir dir;
  TMediaList none(dir.File("none.ini"));
  none.LoadMediaList();
  EXPECT_THAT(none.Names(), ElementsAre("HP_RIP_CUSTOM_MEDIA"));
  EXPECT_EQ(none.Selected(), 0);

  TMediaList list(dir.Write("m.ini", kCanvasAndBanner + "[CANVAS]\nDryTemp=1\n"));
  list.LoadMediaList();
  EXPECT_THAT(list.Names(), ElementsAre("Canvas", "Banner"));
  EXPECT_EQ(list.SelectedName(), "Canvas");
}

TEST(MediaList, ApplyTakesNumbersAndKeepsValuesMissingOrUnparsable) {
  TTempDir dir;
  TMediaList list(dir.Write("m.ini", kCanvasAndBanner + CrLf({"[Odd]", " dryTEMP = 61 ", "CureTemp=7O",
                                                               "DryWarmup=", "HeatAirFlow=1,5", "DryPowerMin=\"250\""})));
  list.LoadMediaList();
  THPMediaValues values;
  list.ApplyMedia("Canvas", values);
  EXPECT_EQ(values.InputTension, 20);
  EXPECT_EQ(values.Vacuum, 35.5);  // spelled "Vaccum" in the file
  EXPECT_EQ(values.DryTemp, 60);   // the first of two sections named alike
  list.ApplyMedia("banner", values);
  EXPECT_EQ(list.SelectedName(), "Banner");
  EXPECT_EQ(values.InputTension, 12);
  EXPECT_EQ(values.DryTemp, 60);  // Banner has none

  list.ApplyMedia("Odd", values);
  EXPECT_EQ(values.DryTemp, 61);
  EXPECT_EQ(values.CureTemp, 70);
  EXPECT_EQ(values.DryWarmup, 50);
  EXPECT_EQ(values.HeatAirFlow, 75);
  EXPECT_EQ(values.DryPowerMin, 250);
  list.ApplyMedia("Unlisted", values);
  EXPECT_EQ(list.SelectedName(), "Odd");
}

TEST(MediaList, AddAppendsANewNameAndWritesNothing) {
  TTempDir dir;
  const std::string path = dir.Write("m.ini", kCanvasAndBanner);
  TMediaList list(path);
  list.LoadMediaList();
  for (const char* refused : {"banner", "", "  ", "two\nlines"}) EXPECT_FALSE(list.AddMedia(refused)) << refused;
  EXPECT_EQ(list.Selected(), 0);
  EXPECT_TRUE(list.AddMedia(" Mesh "));
  EXPECT_THAT(list.Names(), ElementsAre("Canvas", "Banner", "Mesh"));
  EXPECT_EQ(list.Selected(), 2);
  EXPECT_EQ(ReadFile(path), kCanvasAndBanner);
}

TEST(MediaSave, WritesTheElevenKeysInShortestFormMakingTheFolder) {
  TTempDir dir;
  const std::string path = dir.File("config/slabrip/slabrip.ini");
  TMediaList list(path);
  list.LoadMediaList();
  ASSERT_TRUE(list.AddMedia("Vinyl"));
  THPMediaValues values;
  values.AdvanceFactor = 0.1;
  values.DryPowerMin = 1e20;
  list.SaveMedia("Unlisted", values);
  EXPECT_FALSE(fs::exists(path));
  list.SaveMedia("vinyl", values);
  EXPECT_EQ(ReadFile(path), "[Vinyl]\nInputTension=15\nAdvanceFactor=0.1\nVaccum=30\nDryTemp=55\nCureTemp=70\n"
                            "DryWarmup=50\nCureWarmup=40\nDryCoolDown=30\nCureCoolDown=20\nDryPowerMin=1E20\n"
                            "HeatAirFlow=75\n");
}

TEST(MediaSave, KeepsOtherSectionsKeysCommentsAndLinks) {
  TTempDir dir;
  const std::string real = dir.Write("dotfiles/m.ini", CrLf({"; presets", "[Other]", "A=b", "", "[canvas]",
                                                             "; tuned", "Note=keep", "dryTEMP=1", "", "[Banner]"}));
  const std::string link = dir.File("m.ini");
  fs::create_symlink(real, link);
  TMediaList list(link);
  list.LoadMediaList();
  THPMediaValues values;
  values.DryTemp = 62.5;
  list.SaveMedia("Canvas", values);
  EXPECT_EQ(list.Selected(), 1);
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(ReadFile(real), CrLf({"; presets", "[Other]", "A=b", "", "[canvas]", "; tuned", "Note=keep",
                                  "dryTEMP=62.5", "InputTension=15", "AdvanceFactor=0", "Vaccum=30", "CureTemp=70",
                                  "DryWarmup=50", "CureWarmup=40", "DryCoolDown=30", "CureCoolDown=20",
                                  "DryPowerMin=200", "HeatAirFlow=75", "", "[Banner]"}));
}

TEST(MediaDelete, SelectsAndAppliesTheItemNowAtThePlaceOrBefore) {
  TTempDir dir;
  const std::string path = dir.Write("m.ini", kCanvasAndBanner + CrLf({"[Mesh]", "InputTension=9", "; note"}));
  TMediaList list(path);
  list.LoadMediaList();
  ASSERT_TRUE(list.AddMedia("Unsaved"));
  THPMediaValues values;
  list.DeleteMedia("unsaved", values);
  list.DeleteMedia("MESH", values);
  EXPECT_THAT(list.Names(), ElementsAre("Canvas", "Banner"));
  EXPECT_EQ(list.SelectedName(), "Banner");
  EXPECT_EQ(values.InputTension, 12);
  EXPECT_EQ(ReadFile(path), kCanvasAndBanner);

  list.DeleteMedia("Canvas", values);
  list.DeleteMedia("Canvas", values);
  EXPECT_EQ(ReadFile(path), CrLf({"[Banner]", "InputTension=12", "Vaccum=28"}));
  list.DeleteMedia("Banner", values);
  EXPECT_TRUE(list.Names().empty());
  EXPECT_EQ(list.Selected(), -1);
  EXPECT_EQ(values.InputTension, 12);
  list.LoadMediaList();
  EXPECT_THAT(list.Names(), ElementsAre("HP_RIP_CUSTOM_MEDIA"));
}

TEST(MediaWriteFailure, ReportsThePathAndLeavesTheOldFile) {
  TTempDir dir;
  dir.Write("plain.txt", "a file, not a folder");
  TMediaList underFile(dir.File("plain.txt/m.ini"));
  underFile.LoadMediaList();
  EXPECT_EQ(WriteError(underFile, "HP_RIP_CUSTOM_MEDIA"), "Unable to write to " + dir.File("plain.txt/m.ini"));

  // A file too large to read is refused rather than replaced by what could be read.
  const std::string big = dir.Write("big.ini", "[Big]\n");
  fs::resize_file(big, (16u << 20) + 1);
  TMediaList bigList(big);
  bigList.LoadMediaList();
  EXPECT_THAT(bigList.Names(), ElementsAre("HP_RIP_CUSTOM_MEDIA"));
  EXPECT_EQ(WriteError(bigList, "HP_RIP_CUSTOM_MEDIA"), "Unable to write to " + big);
  EXPECT_EQ(fs::file_size(big), (16u << 20) + 1);

  if (::geteuid() == 0) return;  // permissions do not stop root
  const std::string path = dir.Write("locked/m.ini", kCanvasAndBanner);
  fs::permissions(dir.File("locked"), fs::perms::owner_read | fs::perms::owner_exec);
  TMediaList list(path);
  list.LoadMediaList();
  EXPECT_EQ(WriteError(list, "Canvas"), "Unable to write to " + path);
  THPMediaValues values;
  EXPECT_THROW(list.DeleteMedia("Canvas", values), TError);
  EXPECT_THAT(list.Names(), ElementsAre("Banner"));
  EXPECT_EQ(values.InputTension, 12);  // Banner applied all the same
  fs::permissions(dir.File("locked"), fs::perms::owner_all);
  EXPECT_EQ(ReadFile(path), kCanvasAndBanner);
}

}  // namespace
}  // namespace slabrip
