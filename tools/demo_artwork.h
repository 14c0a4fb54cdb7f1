// The demo slab's artwork and a sampler of every record kind, built by code.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "raster/bitmap32.h"

namespace slabrip {

/// A photo-like picture: sky, sun, hills and grain, the same for the same seed.
TBitmap32 PhotoLikeBitmap(int width, int height, std::uint32_t seed);

/// "Window sticker": a 120 x 80 mm logo with curved letters, two spot inks
/// (colours 0 and 2, named with their ink values) and a named process colour.
std::vector<std::uint8_t> StickerDocument();
/// "Opening hours": a 400 x 100 mm panel with linear, elliptical, rectangular
/// and conical gradients and texture fills.
std::vector<std::uint8_t> HoursDocument();
/// "Mural": an 800 x 600 mm picture made of packed, compressed and embedded
/// PNG and JPEG images, with a frame on top.
std::vector<std::uint8_t> MuralDocument();
/// The mural's contour-cut path: a rounded frame and a disc.
std::string MuralCutFile();
/// A texture body with a colour-packed main image and grey and colour auxiliary images.
std::vector<std::uint8_t> SampleTextureBody();
/// One of every record kind the reader reads.
std::vector<std::uint8_t> SamplerDocument();

/// The print benchmarks' artwork, each on a kBenchPageWidth x kBenchPageHeight mm page. "Poster": flat
/// fills, a disc and bars of text; "Photo": one picture over the whole page.
inline constexpr float kBenchPageWidth = 1000, kBenchPageHeight = 500;
std::vector<std::uint8_t> PosterDocument();
std::vector<std::uint8_t> PhotoDocument();
/// `count` small discs and squares of many colours in rows over the page.
std::vector<std::uint8_t> ShapesDocument(int count);

}  // namespace slabrip
