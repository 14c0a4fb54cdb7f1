// Writes the pixel-codec fuzzer's seeds into a folder: encoded pictures, grey planes and runs.
//
// Each file starts with the fuzzer's selector byte (0 packed pixels, 1 packed
// bytes, 2 run-length, 3 compressed bitmap); packed pixels and bytes then
// carry their count in two bytes.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "document/pixel_codecs.h"
#include "seed_files.h"

namespace {

using namespace slabrip;
using seeds::Photo;
using seeds::TBytes;

bool Write(const std::string& folder, const char* name, const TBytes& bytes) {
  return seeds::WriteFile(folder + "/" + name, bytes);
}

TBytes Seed(std::uint8_t selector, std::size_t count, const TBytes& body) {
  TBytes seed = {selector};
  if (selector < 2) {
    seed.push_back(static_cast<std::uint8_t>(count));
    seed.push_back(static_cast<std::uint8_t>(count >> 8));
  }
  seed.insert(seed.end(), body.begin(), body.end());
  return seed;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_codec_seeds FOLDER\n");
    return 2;
  }
  const std::string folder = argv[1];
  const TBitmap32 photo = Photo(40, 25);
  TBitmap32 flat(9, 7);
  flat.Fill(0xFF2060A0);
  TBytes grey(300);
  for (std::size_t i = 0; i < grey.size(); ++i) grey[i] = static_cast<std::uint8_t>(i / 3 + (i * 5) % 4);
  TBytes runs(200, 0x41);
  runs.insert(runs.end(), {1, 2, 2, 2, 3, 3, 3, 3, 3});

  const std::span<const TColor32> photoPixels(photo.Pixels(), photo.PixelCount());
  bool ok =
      Write(folder, "packed-pixels-photo", Seed(0, photoPixels.size(), EncodePackedPixels(photoPixels)));
  ok &= Write(folder, "packed-pixels-nine", Seed(0, 9, EncodePackedPixels(photoPixels.first(9))));
  ok &= Write(folder, "packed-bytes-grey", Seed(1, grey.size(), EncodePackedBytes(grey)));
  ok &= Write(folder, "run-length-runs", Seed(2, 0, PackRunLength(runs)));
  ok &= Write(folder, "compressed-bitmap-photo", Seed(3, 0, EncodeCompressedBitmap(photo)));
  ok &= Write(folder, "compressed-bitmap-flat", Seed(3, 0, EncodeCompressedBitmap(flat)));
  if (!ok) std::fprintf(stderr, "make_codec_seeds: cannot write into %s\n", folder.c_str());
  return ok ? 0 : 1;
}
