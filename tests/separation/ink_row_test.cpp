#include "separation/ink_row.h"

#include "separation/dither_kernel.h"

#include <gtest/gtest.h>
#include <numeric>
#include <random>

namespace slabrip {
namespace {

TRef<TInkRowEx> MakeRow(int inputWidth, std::uint8_t mask, bool twoBit, int outputWidth) {
  auto row = MakeRef<TInkRowEx>(inputWidth, mask, twoBit, outputWidth);
  row->Prepare();
  return row;
}

TEST(InkRow, ColumnEndsReplicateOrSkipInputPixels) {
  const auto up = MakeRow(3, TInkRowEx::kFourInks, true, 8);
  EXPECT_EQ(up->ColumnEnds(), (std::vector<std::int32_t>{3, 5, 8}));
  const auto down = MakeRow(4, TInkRowEx::kFourInks, true, 2);
  EXPECT_EQ(down->ColumnEnds(), (std::vector<std::int32_t>{0, 1, 2, 2}));  // 0.5 -> 0, 1.5 -> 2

  // Expand copies each pixel's lane over its columns; empty spans contribute nothing.
  for (int i = 0; i < 3; ++i) up->Input()[i].Lane[2] = static_cast<std::int16_t>(100 * (i + 1));
  up->Expand();
  EXPECT_EQ(up->ChannelForLane(2)->Values,
            (std::vector<std::int16_t>{100, 100, 100, 200, 200, 300, 300, 300}));
  down->Input()[1].Lane[0] = 7;
  down->Input()[2].Lane[0] = 9;
  down->Expand();
  EXPECT_EQ(down->ChannelForLane(0)->Values, (std::vector<std::int16_t>{7, 9}));
}

TEST(InkRow, WideRowsDoNotOverflowTheColumnArithmetic) {
  const auto row = MakeRef<TInkRowEx>(100000, TInkRowEx::kFourInks, true, 150000);
  EXPECT_EQ(row->ColumnEnds().back(), 150000);
  EXPECT_EQ(row->ColumnEnds()[0], 2);  // 1.5 -> 2
}

TEST(InkRow, ChannelsFollowTheMaskAndSortByPlaneOrder) {
  const auto four = MakeRow(1, TInkRowEx::kFourInks, true, 4);
  EXPECT_EQ(four->ChannelCount(), 4);
  EXPECT_FALSE(four->HasExtraInks());
  EXPECT_FALSE(four->ChannelForLane(4));
  EXPECT_FALSE(four->Channel(4));
  EXPECT_FALSE(four->OutputChannel(-1));
  const auto six = MakeRow(1, TInkRowEx::kSixInks, true, 4);
  EXPECT_TRUE(six->HasExtraInks());
  EXPECT_EQ(six->Channel(5)->Index, 5);
  const int order[6] = {3, 0, 5, 1, 4, 2};
  for (int i = 0; i < 6; ++i) six->Channel(i)->PlaneOrder = order[i];
  six->SortOutputChannels();
  const int expected[6] = {1, 3, 5, 0, 4, 2};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(six->OutputChannel(i)->Index, expected[i]);
  EXPECT_EQ(six->Channel(0)->Index, 0);  // the channel list keeps lane order
}

TEST(InkRow, PackingPutsTheFirstPixelHighAndZeroesTheTail) {
  const auto row = MakeRow(10, TInkRowEx::kFourInks, true, 10);
  EXPECT_EQ(row->RowBytes(), 3);
  auto channel = row->ChannelForLane(0);
  channel->Values = {3, 2, 1, 0, 0, 1, 2, 3, 2, 1};
  std::array<std::uint64_t, 4> levels{};
  channel->Pack(row->RowBytes(), &levels);
  EXPECT_EQ(levels, (std::array<std::uint64_t, 4>{2, 3, 3, 2}));  // the tail's padding is no pixel
  EXPECT_EQ(channel->PackedBytes()[0], 0b11100100);
  EXPECT_EQ(channel->PackedBytes()[1], 0b00011011);
  EXPECT_EQ(channel->PackedBytes()[2], 0b10010000);

  const auto oneBit = MakeRow(10, TInkRowEx::kFourInks, false, 10);
  EXPECT_EQ(oneBit->RowBytes(), 2);
  auto bits = oneBit->ChannelForLane(1);
  bits->Values = {1, 0, 1, 1, 0, 0, 0, 1, 1, 1};
  bits->Pack(oneBit->RowBytes());
  EXPECT_EQ(bits->PackedBytes()[0], 0b10110001);
  EXPECT_EQ(bits->PackedBytes()[1], 0b11000000);
}

// Inputs on the level points leave no error, so every level can be counted by hand.
TEST(InkRow, DropCountsAreTheLevelsPrinted) {
  const TLevelTables& tables = LevelTables(true);
  const auto row = MakeRow(4, TInkRowEx::kSixInks, true, 8);
  for (int i = 0; i < 4; ++i) {
    row->Input()[i].Lane[0] = static_cast<std::int16_t>(tables.Point[static_cast<std::size_t>(i)]);
    row->Input()[i].Lane[3] = 32767;
  }
  for (int printerRow = 0; printerRow < 3; ++printerRow) row->ExpandDitherPack(printerRow);
  EXPECT_EQ(row->Drops().Lanes[0], (std::array<std::uint64_t, 4>{6, 6, 6, 6}));
  EXPECT_EQ(row->Drops().Lanes[3], (std::array<std::uint64_t, 4>{0, 0, 0, 24}));
  EXPECT_EQ(row->Drops().Lanes[5], (std::array<std::uint64_t, 4>{24, 0, 0, 0}));
  row->Prepare();
  EXPECT_EQ(row->Drops(), TDropCounts{});
}

TEST(LevelTables, ThresholdsAndHalfErrors) {
  const TLevelTables& two = LevelTables(true);
  for (int v = 0; v < 32768; ++v) {
    const int level = v <= 5460 ? 0 : v <= 16382 ? 1 : v <= 27305 ? 2 : 3;
    const int point = level * 10922 + (level == 3 ? 1 : 0);
    ASSERT_EQ(two.LevelOf[static_cast<std::size_t>(v)], level) << v;
    ASSERT_EQ(two.HalfError[static_cast<std::size_t>(v)], (v - point) / 2) << v;
  }
  const TLevelTables& one = LevelTables(false);
  EXPECT_EQ(one.LevelOf[16383], 0);
  EXPECT_EQ(one.LevelOf[16384], 1);
  EXPECT_EQ(one.HalfError[16384], (16384 - 32767) / 2);
  EXPECT_EQ(two.Threshold, (std::array<std::int32_t, 4>{0, 5461, 16383, 27306}));
  EXPECT_EQ(one.Threshold, (std::array<std::int32_t, 4>{0, 16384, 32768, 32768}));
}

TEST(ErrorDiffusion, AConstantMidValueAlternatesAndSendsErrorBelow) {
  const auto row = MakeRow(4, TInkRowEx::kFourInks, true, 4);
  auto channel = row->ChannelForLane(0);
  channel->Values = {16383, 16383, 16383, 16383};
  channel->DitherRow(0);
  EXPECT_EQ(channel->Values[0], 2);  // tie between 10922 and 21844 goes up
  EXPECT_EQ(channel->Values[1], 1);  // 16383 - 2730 = 13653
  const auto* fs = dynamic_cast<const TinkDither_FS16*>(channel->Ditherer().Get());
  ASSERT_NE(fs, nullptr);
  EXPECT_EQ(fs->Description(), "16 bit Error Diffusion");
  // -5461 -> half -2730 carried on; -1365 below-behind (entry 0) and, with the
  // next pixel's share added, below (entry 1).
  EXPECT_EQ(fs->Errors()[0], -1365);
  EXPECT_TRUE(fs->UsesSharedErrors());
}

TEST(ErrorDiffusion, FullAndEmptyInkLeaveNoError) {
  const auto row = MakeRow(4, 0x01, true, 4);
  auto channel = row->ChannelForLane(0);
  channel->Values = {32767, 0, 32767, 0};
  channel->DitherRow(0);
  EXPECT_EQ(channel->Values, (std::vector<std::int16_t>{3, 0, 3, 0}));
  const auto* fs = dynamic_cast<const TinkDither_FS16*>(channel->Ditherer().Get());
  for (std::size_t x = 0; x < 6; ++x) EXPECT_EQ(fs->Errors()[x], 0) << x;
}

TEST(ErrorDiffusion, SerpentineRowsCarryErrorsDownwards) {
  // Row 0 left to right leaves column 0's share below in entry 1, which row 1 reads.
  TInkChannelEx* probe = nullptr;
  const auto row = MakeRow(2, 0x01, true, 2);
  probe = row->ChannelForLane(0).Get();
  probe->Values = {5000, 0};
  probe->DitherRow(0);  // 5000 -> level 0, half 2500 carried, q = 1250
  const auto* fs = dynamic_cast<const TinkDither_FS16*>(probe->Ditherer().Get());
  EXPECT_EQ(fs->Errors()[0], 1250);
  // column 1: 0 + 0 + 2500 -> level 0, half 1250, q 625: entry 1 = 1250 + 625, entry 2 = 625
  EXPECT_EQ(fs->Errors()[1], 1875);
  EXPECT_EQ(fs->Errors()[2], 625);
  probe->Values = {3600, 0};
  probe->DitherRow(1);  // right to left: column 1 reads entry 2, column 0 reads entry 1 and the carry
  // column 1: 0 + 625 -> 0, half 312, q 156; column 0: 3600 + 1875 + 312 = 5787 -> level 1
  EXPECT_EQ(probe->Values, (std::vector<std::int16_t>{1, 0}));
}

TEST(ErrorDiffusion, FlatAreasKeepTheirMeanInk) {
  for (const bool twoBit : {true, false})
    for (const int value : {1000, 8000, 16383, 20000, 30000}) {
      const int width = 300, rows = 200;
      const auto row = MakeRow(width, 0x01, twoBit, width);
      auto channel = row->ChannelForLane(0);
      const double step = twoBit ? 32767.0 / 3 : 32767.0;
      double sum = 0;
      for (int y = 0; y < rows; ++y) {
        std::fill(channel->Values.begin(), channel->Values.end(), static_cast<std::int16_t>(value));
        channel->DitherRow(y);
        for (const std::int16_t level : channel->Values) sum += level * step;
      }
      EXPECT_NEAR(sum / (width * rows), value, 0.005 * 32767) << value << (twoBit ? " two-bit" : " one-bit");
    }
}

// A ditherer of our own: thresholds at the middle, no diffusion.
class TThreshold : public TInkDither16 {
 public:
  std::string Description() const override { return "threshold"; }
  TRef<TInkDither16> NewInstance() const override { return MakeRef<TThreshold>(); }
  void DitherRow(int) override {
    for (auto& v : Channel()->Values) v = v >= 16384 ? 3 : 0;
  }
};

TEST(ErrorDiffusion, AnotherDitherCanBePluggedIn) {
  const auto row = MakeRow(2, 0x01, true, 4);
  auto channel = row->ChannelForLane(0);
  channel->SetDitherer(MakeRef<TThreshold>());
  row->Input()[0].Lane[0] = 20000;
  row->Input()[1].Lane[0] = 100;
  EXPECT_FALSE(row->CanFuse());
  row->ExpandDitherPack(0);
  EXPECT_EQ(channel->PackedBytes()[0], 0b11110000);
  EXPECT_EQ(channel->Ditherer()->Description(), "threshold");
}

// The fused pass against Expand, DitherAll and Pack on a second row object.
void ExpectFusedMatchesSteps(int inputWidth, int outputWidth, bool twoBit, std::uint32_t seed) {
  const auto fused = MakeRow(inputWidth, TInkRowEx::kSixInks, twoBit, outputWidth);
  const auto steps = MakeRow(inputWidth, TInkRowEx::kSixInks, twoBit, outputWidth);
  ASSERT_TRUE(fused->CanFuse());
  std::mt19937 random(seed);
  for (int y = 0; y < 6; ++y) {
    for (int i = 0; i < inputWidth; ++i)
      for (std::size_t lane = 0; lane < 8; ++lane) {
        // Runs, extremes and noise.
        const auto v =
            static_cast<std::int16_t>(random() % 4 == 0 ? (random() % 2) * 32767 : random() % 32768);
        fused->Input()[i].Lane[lane] = steps->Input()[i].Lane[lane] = v;
      }
    fused->ExpandDitherPack(y);
    steps->Expand();
    steps->DitherAll(y);
    for (int c = 0; c < steps->ChannelCount(); ++c) steps->Channel(c)->Pack(steps->RowBytes());
    for (int c = 0; c < fused->ChannelCount(); ++c) {
      const std::uint8_t* a = fused->Channel(c)->PackedBytes();
      const std::uint8_t* b = steps->Channel(c)->PackedBytes();
      for (int k = 0; k < fused->RowBytes(); ++k)
        ASSERT_EQ(a[k], b[k]) << "in " << inputWidth << " out " << outputWidth << " row " << y << " lane "
                              << c << " byte " << k;
    }
  }
}

TEST(ErrorDiffusion, TheFusedPassEqualsTheSteps) {
  std::uint32_t seed = 1;
  for (const bool twoBit : {true, false})
    for (int width = 1; width <= 40; ++width) {
      ExpectFusedMatchesSteps(width, width, twoBit, seed++);
      ExpectFusedMatchesSteps(width, 2 * width + 1, twoBit, seed++);
      ExpectFusedMatchesSteps(2 * width + 3, width, twoBit, seed++);
    }
  ExpectFusedMatchesSteps(377, 1030, true, 99);
}

// Both kernels on the same rows, the output planes at odd addresses between
// guard bytes and two lanes without a plane: the same bytes and error rows,
// and nothing written outside a plane.
TEST(DitherKernels, TheSimdKernelEqualsTheScalarReference) {
  constexpr std::uint8_t kGuard = 0xA5;
  std::mt19937 random(3);
  // The widest row holds more pixels than 16 bits count.
  std::vector<std::size_t> widths(130);
  std::iota(widths.begin(), widths.end(), 1);
  widths.push_back(70001);
  for (const bool twoBit : {true, false})
    for (const std::size_t width : widths) {
      const std::size_t inputWidth = 1 + random() % (2 * width);
      std::vector<TInkVector> input(inputWidth);
      std::vector<std::int32_t> ends(inputWidth);
      for (std::size_t i = 0; i < inputWidth; ++i) {
        for (auto& v : input[i].Lane)
          v = static_cast<std::int16_t>(random() % 3 == 0 ? 32767 : random() % 32768);
        ends[i] = static_cast<std::int32_t>(width * (i + 1) / inputWidth);
      }
      std::vector<TInkVector> simdErrors(width + 2), scalarErrors;
      for (auto& e : simdErrors)
        for (auto& v : e.Lane) v = static_cast<std::int16_t>(static_cast<int>(random() % 20001) - 10000);
      scalarErrors = simdErrors;
      const std::size_t rowBytes = twoBit ? (width + 3) / 4 : (width + 7) / 8, stride = rowBytes + 3;
      std::vector<std::uint8_t> simdOut(8 * stride + 1, kGuard), scalarOut = simdOut;
      TDropCounts simdDrops, scalarDrops;
      for (int row = 0; row < 4; ++row) {
        TDitherJob job{.Input = input.data(),
                       .ColumnEnds = ends.data(),
                       .InputWidth = inputWidth,
                       .Width = width,
                       .Tables = &LevelTables(twoBit),
                       .TwoBit = twoBit,
                       .Row = row};
        job.Errors = simdErrors.data();
        job.Drops = &simdDrops;
        for (std::size_t lane = 0; lane < 6; ++lane) job.Out[lane] = simdOut.data() + 1 + lane * stride;
        RunDitherJobSse2(job);
        job.Errors = scalarErrors.data();
        job.Drops = &scalarDrops;
        for (std::size_t lane = 0; lane < 6; ++lane) job.Out[lane] = scalarOut.data() + 1 + lane * stride;
        RunDitherJobScalar(job);
        ASSERT_EQ(simdOut, scalarOut) << "width " << width << " input " << inputWidth << " row " << row;
        for (std::size_t x = 0; x < width + 2; ++x)
          ASSERT_EQ(simdErrors[x].Lane, scalarErrors[x].Lane) << "width " << width << " error " << x;
      }
      ASSERT_EQ(simdDrops, scalarDrops) << "width " << width;
      const auto& lane0 = simdDrops.Lanes[0];
      ASSERT_EQ(lane0[0] + lane0[1] + lane0[2] + lane0[3], 4 * width) << "width " << width;
      ASSERT_EQ(simdDrops.Lanes[7], (std::array<std::uint64_t, 4>{}))
          << "a lane with no plane counts nothing";
      for (std::size_t at = 0; at < simdOut.size(); ++at) {
        const bool inPlane = at >= 1 && (at - 1) / stride < 6 && (at - 1) % stride < rowBytes;
        if (!inPlane) {
          ASSERT_EQ(simdOut[at], kGuard) << "width " << width << " byte " << at;
        }
      }
    }
}

}  // namespace
}  // namespace slabrip
