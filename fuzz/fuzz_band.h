// The small white band the drawing fuzz targets render into, spot map included.
#pragma once

#include "render/cmf_render.h"

namespace slabrip {

struct TFuzzBand {
  static constexpr int kSide = 64;
  TBitmap32 Band{kSide, kSide};
  TWordMap Spots{kSide, kSide};
  TRef<TcmfRender> Renderer = MakeRef<TcmfRender>();

  TFuzzBand() {
    Band.Fill(0xFFFFFFFF);
    Renderer->TargetBitmap = &Band;
    Renderer->SpotMap = &Spots;
  }
  TFuzzBand(const TFuzzBand&) = delete;
  TFuzzBand& operator=(const TFuzzBand&) = delete;
};

}  // namespace slabrip
