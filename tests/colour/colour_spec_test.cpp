#include "colour/colour_spec.h"

#include <gtest/gtest.h>

namespace slabrip {
namespace {

void ExpectRgb(const TRgbF& c, float r, float g, float b, float tolerance = 1e-6f) {
  EXPECT_NEAR(c.R, r, tolerance);
  EXPECT_NEAR(c.G, g, tolerance);
  EXPECT_NEAR(c.B, b, tolerance);
}

void ExpectSpec(const TUniColorSpec& s, std::uint8_t model, std::initializer_list<float> c,
                float tol = 1e-5f) {
  EXPECT_EQ(s.Model, model);
  std::size_t i = 0;
  for (const float v : c) EXPECT_NEAR(s.C[i++], v, tol) << "component " << i;
  for (; i < s.C.size(); ++i) EXPECT_EQ(s.C[i], 0.0f) << "unused component " << i;
}

const TStandardColorConverter kConv;

TEST(InkMixing, PrimariesAndMixturesOfTheFourInks) {
  ExpectRgb(kConv.ToRGB(TUniColorSpec::Make(kModelCMYK, {0, 0, 0, 0})), 1, 1, 1);
  ExpectRgb(kConv.ToRGB(TUniColorSpec::Make(kModelCMYK, {1, 0, 0, 0})), 0, 0.6784f, 0.9373f);
  ExpectRgb(kConv.ToRGB(TUniColorSpec::Make(kModelCMYK, {0, 1, 1, 0})), 0.9294f, 0.1098f, 0.1412f);
  ExpectRgb(kConv.ToRGB(TUniColorSpec::Make(kModelCMYK, {1, 1, 1, 1})), 0, 0, 0);
  // Half cyan is the mean of paper and full cyan: the weights are bilinear in each ink.
  ExpectRgb(kConv.ToRGB(TUniColorSpec::Make(kModelCMYK, {0.5f, 0, 0, 0})), 0.5f, 0.8392f, 0.96865f);
  // The conversion table's CMYK -> RGB entry stays the plain formula.
  ExpectSpec(kConv.Convert(TUniColorSpec::Make(kModelCMYK, {1, 0, 0, 0}), kModelRGB), kModelRGB, {0, 1, 1});
}

TEST(PackRGB, RoundsHalfToEvenAndClamps) {
  EXPECT_EQ(PackRGB(1, 0.5f, 0), 0xFF8000u);  // 127.5 -> 128
  EXPECT_EQ(PackRGB(1.2f, -0.1f, 0.5f), 0xFF0080u);
  EXPECT_EQ(PackRGB(0, 0, 0.5f), 0x000080u);
  EXPECT_EQ(PackRGB(0, 0, -0.0f), 0u);
}

TEST(StandardConversions, GrayLabRgbCmyk) {
  ExpectSpec(kConv.Convert(TUniColorSpec::Make(kModelGray, {1}), kModelLab), kModelLab, {1, 0, 0});
  ExpectSpec(kConv.Convert(TUniColorSpec::Make(kModelLab, {50, 0, 0}), kModelGray), kModelGray, {50});
  ExpectSpec(kConv.Convert(TUniColorSpec::Make(kModelRGB, {1, 1, 1}), kModelCMYK), kModelCMYK, {0, 0, 0, 0});
  ExpectSpec(kConv.Convert(TUniColorSpec::Make(kModelRGB, {0.2f, 0.4f, 0.6f}), kModelCMYK), kModelCMYK,
             {0.4f, 0.2f, 0, 0.4f});
  ExpectSpec(kConv.Convert(TUniColorSpec::Make(kModelRGB, {1, 0.5f, 0}), kModelGray), kModelGray,
             {0.3f + 0.295f});
  ExpectSpec(kConv.Convert(TUniColorSpec::Make(kModelCMYK, {0.5f, 0.2f, 0, 0.6f}), kModelCMY), kModelCMY,
             {1, 0.8f, 0.6f});
  ExpectSpec(kConv.Convert(TUniColorSpec::Make(kModelCMY, {0.1f, 0.2f, 0.3f}), kModelCMYK2), kModelCMYK2,
             {0.1f, 0.2f, 0.3f, 0});
  ExpectSpec(kConv.Convert(TUniColorSpec::Make(kModelGray, {0.25f}), kModelCMYK), kModelCMYK,
             {0, 0, 0, 0.75f});
}

TEST(StandardConversions, SrgbAndLabRoundTripAndMatchKnownValues) {
  ExpectSpec(kConv.Convert(TUniColorSpec::Make(kModelRGB, {1, 1, 1}), kModelLab), kModelLab, {100, 0, 0},
             0.02f);
  // sRGB red is about Lab (53.24, 80.09, 67.20).
  ExpectSpec(kConv.Convert(TUniColorSpec::Make(kModelRGB, {1, 0, 0}), kModelLab), kModelLab,
             {53.24f, 80.09f, 67.20f}, 0.05f);
  for (const auto& rgb :
       {std::array<float, 3>{0.2f, 0.4f, 0.6f}, {0.9f, 0.1f, 0.3f}, {0.01f, 0.02f, 0.015f}}) {
    const auto lab = kConv.Convert(TUniColorSpec::Make(kModelRGB, {rgb[0], rgb[1], rgb[2]}), kModelLab);
    ExpectSpec(kConv.Convert(lab, kModelRGB), kModelRGB, {rgb[0], rgb[1], rgb[2]}, 2e-4f);
  }
  // Lab -> CMYK goes through RGB.
  const auto lab = kConv.Convert(TUniColorSpec::Make(kModelRGB, {0.2f, 0.4f, 0.6f}), kModelLab);
  ExpectSpec(kConv.Convert(lab, kModelCMYK), kModelCMYK, {0.4f, 0.2f, 0, 0.4f}, 2e-4f);
}

TEST(StandardConversions, IndexColoursAndUnknownModelsStayAsTheyAre) {
  TUniColorSpec index = TUniColorSpec::Make(kModelIndex2, {0.5f});
  index.Index = 9;
  const TUniColorSpec same = kConv.Convert(index, kModelRGB);
  EXPECT_EQ(same.Model, kModelIndex2);
  EXPECT_EQ(same.Index, 9);
  ExpectRgb(kConv.ToRGB(index), 0, 0, 0);
  EXPECT_EQ(kConv.Convert(TUniColorSpec::Make(42, {1}), kModelRGB).Model, 42);
  EXPECT_EQ(kConv.Convert(TUniColorSpec::Make(kModelRGB, {1}), 200).Model, kModelRGB);
  // The top bit of the model is ignored when choosing a conversion.
  ExpectSpec(kConv.Convert(TUniColorSpec::Make(0x80 | kModelGray, {0.25f}), kModelRGB), kModelRGB,
             {0.25f, 0.25f, 0.25f});
}

TEST(StandardConversions, ExtraInksAbsorbTheirShareOfEachChannel) {
  TUniColorSpec spec = TUniColorSpec::Make(kModelCMYK2, {0, 0, 0, 0, 1, 0.5f});
  spec.Index = 0x4A;  // entry 4 (0.5, 0, 0) at 1, entry 10 (0, 0.5, 1) at 0.5
  ExpectRgb(kConv.ToRGB(spec), 0.5f, 0.75f, 0.5f);
  ExpectSpec(kConv.Convert(spec, kModelGray), kModelGray, {0.3f * 0.5f + 0.59f * 0.75f + 0.11f * 0.5f});
}

TEST(Distance, ComparesOnlyLikeSpecifications) {
  const auto a = TUniColorSpec::Make(kModelRGB, {0.1f, 0.2f, 0.3f});
  const auto b = TUniColorSpec::Make(kModelRGB, {0.1f, 0.2f, 0.3005f});
  EXPECT_NEAR(Distance(a, b), 0.00000025f, 1e-9f);
  EXPECT_EQ(Distance(a, TUniColorSpec::Make(kModelGray, {0.1f})), 2147483648.0f);
  TUniColorSpec i1 = TUniColorSpec::Make(kModelIndex, {1}), i2 = i1;
  i2.Index = 1;
  EXPECT_EQ(Distance(i1, i2), 2147483648.0f);
  const auto x1 = TUniColorSpec::Make(kModelCMYK2, {0.5f, 0, 0, 0, 0.1f});
  EXPECT_EQ(Distance(x1, x1), 2147483648.0f);
  const auto k1 = TUniColorSpec::Make(kModelCMYK, {0, 0, 0, 0.5f}),
             k2 = TUniColorSpec::Make(kModelCMYK, {0, 0, 0, 0.6f});
  EXPECT_NEAR(Distance(k1, k2), 0.01f, 1e-7f);  // the fourth component counts for CMYK
}

TEST(NamedColour, EqualByNameAndCloseSpecification) {
  TuniColorObj a{TUniColorSpec::Make(kModelRGB, {0.1f, 0.2f, 0.3f}), "Brand blue"};
  TuniColorObj b = a;
  b.Spec.C[2] += 0.0005f;
  EXPECT_TRUE(a.Equals(b));
  b.Spec.C[2] = 0.31f;
  EXPECT_FALSE(a.Equals(b));
  TuniColorObj c = a;
  c.Name = "Other";
  EXPECT_FALSE(a.Equals(c));
  TuniColorObj gray{TUniColorSpec::Make(kModelGray, {0.1f}), "Brand blue"};
  EXPECT_FALSE(a.Equals(gray));
}

}  // namespace
}  // namespace slabrip
