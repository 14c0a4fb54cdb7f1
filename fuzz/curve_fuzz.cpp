// Fuzzes node-curve texts and media-preset sections: the input is tried as a
// curve text (loaded, evaluated, tabulated, made a contrast table) and as
// the lines of a preset section.
#include <cstdint>
#include <string_view>

#include "base/ini_file.h"
#include "base/text_encoding.h"
#include "colour/colour_filter.h"
#include "colour/media_preset.h"
#include "colour/node_curve.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace slabrip;
  const std::string_view text(reinterpret_cast<const char*>(data), size);

  TNodeCurve curve;
  if (curve.LoadFromText(text)) {
    const auto list = curve.PrepareEvaluation();
    for (const float x : {-1.0f, 0.0f, 0.00005f, 0.3f, 0.5f, 0.99995f, 1.0f, 2.0f})
      (void)TNodeCurve::Evaluate(list, x);
    (void)curve.BuildTable(255);
  }
  (void)ContrastTableFromText(text);

  TTextFormat format;
  std::vector<std::string> lines = SplitLines(DecodeText(text, format));
  lines.insert(lines.begin(), "[Preset]");
  TqlInifile ini;
  ini.SetStrings(lines);
  auto preset = MakeRef<TMediaPresetObj>();
  preset->LoadFromIni("Preset", &ini);
  for (int slot = 0; slot < TMediaPresetObj::kCurveSlotCount; ++slot)
    if (const TNodeCurve* c = preset->Curve(static_cast<TMediaPresetObj::TCurveSlot>(slot)))
      (void)c->Evaluate(0.5f);
  return 0;
}
