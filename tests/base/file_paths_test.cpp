#include "base/file_paths.h"

#include <gtest/gtest.h>
#include <filesystem>
#include <utility>

#include "base/errors.h"
#include "support/temp_dir.h"

namespace slabrip {
namespace {

using test::ReadFile;
using test::TTempDir;

TEST(FileNames, TakeTheNameAtEitherSeparator) {
  using TCase = std::pair<const char*, const char*>;
  for (const auto& [path, name] :
       {TCase{"C:\\Jobs\\logo.cmf", "logo.cmf"}, TCase{"/srv/jobs/logo.cmf", "logo.cmf"},
        TCase{"mixed/dir\\x.job", "x.job"}, TCase{"plain", "plain"}})
    EXPECT_EQ(FileNamePart(path), name) << path;
  for (const auto& [path, folder] :
       {TCase{"/srv/jobs/a.job", "/srv/jobs"}, TCase{"/a.job", "/"}, TCase{"a.job", ""}})
    EXPECT_EQ(FolderPart(path), folder) << path;
  EXPECT_EQ(ChangeFileExt("C:\\Drivers\\HP Latex.qlDrv", ".qlPrinter"), "C:\\Drivers\\HP Latex.qlPrinter");
  EXPECT_EQ(ChangeFileExt("/a.b/noext", ".jpg"), "/a.b/noext.jpg");
}

TEST(ResolveBeside, FindsWindowsPathsByNameBesideTheNamingFile) {
  TTempDir dir;
  const std::string art = dir.Write("art.cmf", "x");
  const std::string other = dir.Write("sub/other.cmf", "y");
  EXPECT_EQ(ResolveBeside("C:\\elsewhere\\art.cmf", dir.Path()), art);
  EXPECT_EQ(ResolveBeside(art, "/nonexistent"), art);            // absolute and present
  EXPECT_EQ(ResolveBeside("sub/other.cmf", dir.Path()), other);  // relative to the folder
  EXPECT_EQ(ResolveBeside("/gone/art.cmf", dir.Path()), art);    // absolute but moved
  EXPECT_EQ(ResolveBeside("C:\\elsewhere\\none.cmf", dir.Path()), "");
  EXPECT_EQ(ResolveBeside("", dir.Path()), "");
  EXPECT_EQ(ResolveBeside("C:\\elsewhere\\", dir.Path()), "");  // no name part
  EXPECT_EQ(ResolveBeside("sub", dir.Path()), "");              // a folder is not a file
}

TEST(ReadWholeFile, RefusesOversizedAndMissingFilesNamingThem) {
  TTempDir dir;
  const std::string path = dir.Write("f", "12345");
  EXPECT_EQ(ReadWholeFile(path, 5), "12345");
  EXPECT_THROW(ReadWholeFile(path, 4), TError);
  try {
    ReadWholeFile(dir.File("missing"), 10);
    FAIL();
  } catch (const TError& e) {
    EXPECT_NE(std::string(e.what()).find(dir.File("missing")), std::string::npos);
  }
}

TEST(WriteFileAtomically, ReplacesTheFileAndLeavesNoTemporaryBehind) {
  TTempDir dir;
  const std::string path = dir.Write("slab", "old");
  WriteFileAtomically(path, "new content");
  EXPECT_EQ(ReadFile(path), "new content");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);
}

TEST(WriteFileAtomically, AFailureNamesTheFileAndCreatesNothing) {
  TTempDir dir;
  const std::string path = dir.File("no/such/folder/slab");
  try {
    WriteFileAtomically(path, "x");
    FAIL();
  } catch (const TError& e) {
    EXPECT_NE(std::string(e.what()).find(path), std::string::npos);
  }
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 0);
}

}  // namespace
}  // namespace slabrip
