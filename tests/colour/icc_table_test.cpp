#include "colour/icc_table.h"

#include <gtest/gtest.h>
#include <zlib.h>
#include <algorithm>
#include <cmath>
#include <random>

#include "base/errors.h"
#include "base/rounding.h"
#include "support/temp_dir.h"

namespace slabrip {
namespace {

using test::TTempDir;

void ExpectInk(const TCmykPercent& ink, double c, double m, double y, double k) {
  EXPECT_NEAR(ink.C, c, 0.01);
  EXPECT_NEAR(ink.M, m, 0.01);
  EXPECT_NEAR(ink.Y, y, 0.01);
  EXPECT_NEAR(ink.K, k, 0.01);
}

TEST(InkLimit, ScalesColourInksAndNeverBlack) {
  ExpectInk(ApplyInkLimit({80, 70, 60, 50}, 250), 80 * (1 - 10.0 / 210), 70 * (1 - 10.0 / 210),
            60 * (1 - 10.0 / 210), 50);
  // 125 % total: the colour inks give up the 25 over the limit.
  ExpectInk(ApplyInkLimit({10, 10, 10, 95}, 100), 10.0 / 6, 10.0 / 6, 10.0 / 6, 95);
  // Black alone over the limit: the colour inks go, black stays.
  ExpectInk(ApplyInkLimit({10, 10, 10, 110}, 100), 0, 0, 0, 110);
  ExpectInk(ApplyInkLimit({0.3, 0.3, 0.2, 100}, 100), 0.3, 0.3, 0.2, 100);
  ExpectInk(ApplyInkLimit({50, 50, 50, 50}, 300), 50, 50, 50, 50);
}

class ProfileTableTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Srgb.reset(cmsCreate_sRGBProfile());
    Cmyk.reset(cmsOpenProfileFromFile(SLABRIP_CMYK_PROFILE, "r"));
    ASSERT_TRUE(Cmyk);
    Transform.reset(cmsCreateTransform(Srgb.get(), TYPE_RGB_DBL, Cmyk.get(), TYPE_CMYK_DBL, INTENT_PERCEPTUAL,
                                       cmsFLAGS_NOOPTIMIZE));
    ASSERT_TRUE(Transform);
  }
  // The node through Little CMS on its own, the way the table should have it.
  TCmykPercent Direct(int r, int g, int b) const {
    const double rgb[3] = {TColorLut33Obj::GridPosition(r) / 255.0, TColorLut33Obj::GridPosition(g) / 255.0,
                           TColorLut33Obj::GridPosition(b) / 255.0};
    double cmyk[4];
    cmsDoTransform(Transform.get(), rgb, cmyk, 1);
    return {cmyk[0], cmyk[1], cmyk[2], cmyk[3]};
  }
  static TColor32 Bytes(const TCmykPercent& ink) {
    const auto byte = [](double p) { return static_cast<TColor32>(RoundClamp(p * 2.55, 0, 255)); };
    return byte(ink.C) | byte(ink.M) << 8 | byte(ink.Y) << 16 | byte(ink.K) << 24;
  }
  TLcmsProfile Srgb, Cmyk;
  TLcmsTransform Transform;
};

TEST_F(ProfileTableTest, EveryNodeIsTheProfilesAnswerForItsColour) {
  const auto table = BuildTableFromProfile(Transform.get(), 0);
  EXPECT_TRUE(table->CmykOutput);
  EXPECT_TRUE(table->Ready);
  EXPECT_EQ(table->WhiteEntry(), 0u);
  for (int b = 0; b <= 32; b += 4)
    for (int g = 0; g <= 32; g += 4)
      for (int r = 0; r <= 32; ++r)
        ASSERT_EQ(*table->CellPointer(r, g, b), Bytes(Direct(r, g, b))) << r << "," << g << "," << b;
  // Node 31 is 248, node 32 is 255.
  EXPECT_EQ(*table->CellPointer(31, 31, 31), Bytes(Direct(31, 31, 31)));
  EXPECT_EQ(*table->CellPointer(32, 32, 32), Bytes(Direct(32, 32, 32)));
  EXPECT_NE(*table->CellPointer(31, 31, 31), *table->CellPointer(32, 32, 32));
}

TEST_F(ProfileTableTest, TheInkLimitCapsEveryNodesTotal) {
  const auto unlimited = BuildTableFromProfile(Transform.get(), 400);
  const auto limited = BuildTableFromProfile(Transform.get(), 220);
  int changed = 0;
  for (std::size_t i = 0; i < lut::kNodeCount; ++i) {
    const TColor32 e = limited->Grid()[i];
    const int total = static_cast<int>((e & 255) + (e >> 8 & 255) + (e >> 16 & 255) + (e >> 24));
    ASSERT_LE(total, 220 * 2.55 + 2) << i;  // each ink rounds on its own
    EXPECT_EQ(e >> 24, unlimited->Grid()[i] >> 24) << "black is never reduced";
    changed += e != unlimited->Grid()[i] ? 1 : 0;
  }
  EXPECT_GT(changed, 1000);
}

// --- table files -----------------------------------------------------------

std::vector<TColor32> RandomEntries(std::uint32_t seed) {
  std::mt19937 random(seed);
  std::vector<TColor32> entries(TColorLut33Obj::kEntryCount);
  for (TColor32& e : entries) e = static_cast<TColor32>(random());
  return entries;
}

std::string Patched(std::string file, std::size_t at, std::uint32_t value) {
  for (std::size_t i = 0; i < 4; ++i) file[at + i] = static_cast<char>(value >> (8 * i));
  return file;
}

TEST(TableFile, RoundTripsBothTables) {
  TTempDir dir;
  const auto main = RandomEntries(1), second = RandomEntries(2);
  const std::string path = dir.Write("t.qicc", EncodeTableFile(main, &second));
  TIcc33 file;
  ASSERT_NO_THROW(file.Load(path));
  const auto first = file.MainTable();
  const auto other = file.SecondTable();
  ASSERT_NE(other, nullptr);
  EXPECT_TRUE(std::equal(main.begin(), main.end(), first->Grid().begin()));
  EXPECT_TRUE(std::equal(second.begin(), second.end(), other->Grid().begin()));

  const std::string single = dir.Write("s.qicc", EncodeTableFile(main, nullptr));
  ASSERT_NO_THROW(file.Load(single));
  EXPECT_EQ(file.SecondTable(), nullptr);
}

TEST(TableFile, BrokenFilesFailWithAReasonNamingTheFile) {
  TTempDir dir;
  const auto main = RandomEntries(3);
  const std::string good = EncodeTableFile(main, nullptr);
  const std::string tail = good.substr(TIcc33::kHeaderSize);
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"short", good.substr(0, 300)},
      {"magic", "QCCX" + good.substr(4)},
      {"nomain", Patched(good, 552, 0)},
      {"nolength", Patched(good, 556, 0)},
      {"pastend", Patched(good, 552, 1u << 30)},
      {"truncated", good.substr(0, good.size() - 200)},
      {"corrupt", good.substr(0, TIcc33::kHeaderSize) + std::string(tail.size(), '\x55')},
      {"badsecond", Patched(Patched(good, 288, 600), 292, 5)},
  };
  for (const auto& [name, bytes] : cases) {
    const std::string path = dir.Write(name, bytes);
    TIcc33 file;
    try {
      file.Load(path);
      ADD_FAILURE() << name << " loaded";
    } catch (const TError& e) {
      EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << name << ": " << e.what();
    }
    const auto kept = file.MainTable();
    const auto identity = TIcc33().MainTable();
    EXPECT_TRUE(std::equal(kept->Grid().begin(), kept->Grid().end(), identity->Grid().begin()))
        << name << ": a failed load keeps a table";
  }
  TIcc33 missing;
  EXPECT_THROW(missing.Load(dir.File("none")), TError);
}

TEST(TableFile, ShortStreamsFillWhatTheyHoldAndLongOnesAreCutOff) {
  TTempDir dir;
  std::string header(TIcc33::kHeaderSize, '\0');
  header.replace(0, 4, "QCCI");
  header = Patched(Patched(header, 552, TIcc33::kHeaderSize), 556, 1);
  const auto deflate = [](const std::string& raw) {
    uLongf size = compressBound(static_cast<uLong>(raw.size()));
    std::string out(size, '\0');
    compress2(reinterpret_cast<Bytef*>(out.data()), &size, reinterpret_cast<const Bytef*>(raw.data()),
              static_cast<uLong>(raw.size()), 9);
    out.resize(size);
    return out;
  };
  // Ten bytes of cyan deltas of 1: entries 0..9 get cyan 1..10, the rest stays 0.
  TIcc33 file;
  ASSERT_NO_THROW(file.Load(dir.Write("short", header + deflate(std::string(10, '\1')))));
  const auto table = file.MainTable();
  EXPECT_EQ(table->Grid()[9], 10u);
  EXPECT_EQ(table->Grid()[10], 0u);
  // Far more data than a table needs: only the table is inflated.
  ASSERT_NO_THROW(file.Load(dir.Write("long", header + deflate(std::string(16u << 20, '\0')))));
  EXPECT_EQ(file.MainTable()->Grid()[35937], 0u);
}

}  // namespace
}  // namespace slabrip
