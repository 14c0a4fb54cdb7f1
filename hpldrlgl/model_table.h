// The printer models the library accepts, read from the file beside it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace slabrip::hpldrlgl {

/// One printer; lengths in 1/9600 inch.
struct TModel {
  std::string Id;
  std::string Name;
  std::int32_t MarginLeft = 0;
  std::int32_t MarginTop = 0;
  std::int32_t MarginRight = 0;
  std::int32_t MarginBottom = 0;
  std::int32_t MaxPrintWidth = 0;
  std::vector<std::int32_t> Resolutions;  // dots per inch

  bool HasResolution(std::int64_t dpi) const;
  /// The widest raster the printer takes at `dpi`, in pixels.
  std::int64_t MaxWidthPixels(std::int32_t dpi) const;
};

class TModelTable {
 public:
  /// The file's name, looked for in the library's own folder.
  static constexpr const char* kFileName = "hpldrlgl-models.xml";
  /// A larger file is refused rather than read.
  static constexpr std::size_t kMaxFileBytes = 1u << 20;
  /// Room in the printer-information record.
  static constexpr std::size_t kMaxResolutions = 16;
  static constexpr std::size_t kMaxNameBytes = 159;

  /// Throws TFailure(HPDRLGL_CONFIGURATION_INVALID) for a malformed table.
  static TModelTable Parse(std::string_view xml);

  const TModel* Find(std::string_view id) const;
  const std::vector<TModel>& Models() const { return Models_; }

 private:
  std::vector<TModel> Models_;
};

/// The table from the library's folder, read once; throws
/// TFailure(HPDRLGL_CONFIGURATION_INVALID) while the file is missing or invalid.
std::shared_ptr<const TModelTable> Models();

}  // namespace slabrip::hpldrlgl
