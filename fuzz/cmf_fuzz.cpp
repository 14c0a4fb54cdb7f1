// Fuzzes the cmf reader: trailer, tables, node records, curves and image bitmaps,
// then walks what loaded the way drawing would.
#include <cstdint>

#include "base/errors.h"
#include "document/cmf_reader.h"
#include "document/data_stream.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace slabrip;
  static TBM32CacheManager cache(
      TMemoryProbe{[] { return std::int64_t{0}; }, [] { return std::int64_t{1} << 32; }});
  TMemoryByteStream stream(std::vector<std::uint8_t>(data, data + size));
  TRef<TcmfFile> document;
  try {
    document = TcmfWriter::ReadDocument(stream, cache);
  } catch (const TError&) {
    return 0;  // a truncated document ends with the reader's assertion
  }
  if (!document) return 0;
  (void)document->NodeCounts();
  (void)document->DrawingBounds();
  std::vector<TcmfGeneric*> pending;
  if (document->Root) pending.push_back(document->Root.Get());
  while (!pending.empty()) {
    TcmfGeneric* node = pending.back();
    pending.pop_back();
    if (auto* geo = dynamic_cast<TcmfGeo*>(node)) {
      for (const TGeoCurve* curve : {geo->FillCurve.get(), geo->OutlineCurve.get()})
        if (curve) (void)curve->BuildPath(nullptr);
    } else if (auto* image = dynamic_cast<TcmfImage*>(node); image && image->Bitmap) {
      (void)image->Bitmap->GetBitmap();
      image->Bitmap->ReleaseBitmap();
    }
    for (int i = 0; i < node->ChildCount(); ++i) pending.push_back(node->Child(i));
  }
  return 0;
}
