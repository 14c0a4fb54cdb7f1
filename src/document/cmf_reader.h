// Reading cmf documents: trailer, tables and the node tree.
#pragma once

#include <string>

#include "base/ref_obj.h"
#include "document/bitmap_cache.h"
#include "document/cmf_model.h"

namespace slabrip {

class TByteStream;

/// The cmf reader (the suite's class keeps its historical name).
class TcmfWriter {
 public:
  static constexpr std::uint32_t kMagic = 0x9C0E58B8;
  static constexpr std::size_t kTrailerSize = 152;
  static constexpr std::size_t kInfoBlockMax = 1304;
  static constexpr std::int32_t kMaxEmbeddedFile = 524'288'000;
  /// Image bitmaps above this many pixels are refused.
  static constexpr std::int64_t kMaxImagePixels = TcmfImage::kMaxPixels;
  /// Trees nested deeper than this are refused: drawing and freeing walk them.
  static constexpr int kMaxDepth = 4096;

  /// Reads a document. Throws TError with the reason when the file has no
  /// trailer, no nodes, or parent indices that point past the nodes or form a
  /// cycle. Records that fail where the next one can still be found
  /// keep their slot (a texture left empty, an image without its bitmap) and
  /// reading goes on; every record dropped or not decoded is named in the
  /// document's Problems. A typed read past the end raises the StreamLoader
  /// assertion, a TError too.
  static TRef<TcmfFile> ReadDocument(TByteStream& file, TBM32CacheManager& cache);
};

}  // namespace slabrip
