// Four-ink colour tables from ICC profiles (through Little CMS) and from QICC table files.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "colour/colour_lut33.h"
#include "colour/lcms_handles.h"

namespace slabrip {

/// C, M, Y, K in percent.
struct TCmykPercent {
  double C = 0, M = 0, Y = 0, K = 0;
};

/// Scales C, M and Y so that the total stays within `limit` percent; black
/// is never reduced. Nothing changes when C + M + Y is below 1.
TCmykPercent ApplyInkLimit(TCmykPercent ink, double limit);

/// The 33-grid RGB -> CMYK table through `rgbToCmyk` (TYPE_RGB_DBL to
/// TYPE_CMYK_DBL), each ink as percent x 2.55 rounded half to even, with the
/// ink limit (values of 1 or less, or 400 and more, mean none) and a white
/// entry of no ink.
std::unique_ptr<TColorLut33Obj> BuildTableFromProfile(cmsHTRANSFORM rgbToCmyk, float inkLimit);

/// A precomputed table file: a 560-byte header ("QCCI" magic, offsets at
/// 288 and 552) and zlib streams of four delta-coded byte planes per table.
class TIcc33 {
 public:
  static constexpr std::size_t kHeaderSize = 560;
  static constexpr std::size_t kPlaneBytes = TColorLut33Obj::kEntryCount;
  static constexpr std::size_t kTableBytes = 4 * kPlaneBytes;

  /// Reads the header and inflates the tables; throws TError naming the file
  /// on any read or inflate error. Short streams fill what they hold.
  void Load(const std::string& path);

  /// Identity, then the main table when the file was loaded.
  std::unique_ptr<TColorLut33Obj> MainTable() const;
  /// The second table, or nullptr when the file has none.
  std::unique_ptr<TColorLut33Obj> SecondTable() const;

 private:
  // The first 560 bytes, which must start with the magic.
  void ReadHeader(const std::string& path);
  std::uint32_t HeaderWord(std::size_t offset) const;
  void InflateTable(std::uint32_t offset, std::vector<TColor32>& table);

  std::array<std::uint8_t, kHeaderSize> Header_{};
  std::string Path_;
  std::vector<TColor32> Main_;
  std::vector<TColor32> Second_;
  bool Loaded_ = false;
};

/// A table file holding `main` and, when given, `second` (35938 entries
/// each): the writer behind fixtures and `qiccwrite`.
std::string EncodeTableFile(const std::vector<TColor32>& main, const std::vector<TColor32>* second);

}  // namespace slabrip
