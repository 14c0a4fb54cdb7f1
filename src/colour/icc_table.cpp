#include "colour/icc_table.h"
#include "base/byte_order.h"

#include <fmt/format.h>
#include <zlib.h>
#include <algorithm>
#include <cstring>
#include <fstream>

#include "base/errors.h"
#include "base/rounding.h"

namespace slabrip {

namespace {

constexpr char kMagic[4] = {'Q', 'C', 'C', 'I'};
constexpr std::size_t kSecondOffsetAt = 288;
constexpr std::size_t kSecondLengthAt = 292;
constexpr std::size_t kMainOffsetAt = 552;
constexpr std::size_t kMainLengthAt = 556;

void PutWord(std::string& bytes, std::size_t at, std::uint32_t value) {
  StoreLe(reinterpret_cast<std::uint8_t*>(&bytes[at]), value);
}

// Planes of byte c of every entry, each delta coded from 0.
std::string DeltaPlanes(const std::vector<TColor32>& table) {
  std::string planes(TIcc33::kTableBytes, '\0');
  for (std::size_t c = 0; c < 4; ++c) {
    std::uint8_t previous = 0;
    for (std::size_t i = 0; i < TIcc33::kPlaneBytes; ++i) {
      const auto value = static_cast<std::uint8_t>(table[i] >> (8 * c));
      planes[c * TIcc33::kPlaneBytes + i] = static_cast<char>(static_cast<std::uint8_t>(value - previous));
      previous = value;
    }
  }
  return planes;
}

std::string Deflate(const std::string& data) {
  uLongf size = compressBound(static_cast<uLong>(data.size()));
  std::string out(size, '\0');
  if (compress2(reinterpret_cast<Bytef*>(out.data()), &size, reinterpret_cast<const Bytef*>(data.data()),
                static_cast<uLong>(data.size()), Z_BEST_COMPRESSION) != Z_OK)
    throw TError("cannot compress a colour table");
  out.resize(size);
  return out;
}

std::unique_ptr<TColorLut33Obj> TableFrom(const std::vector<TColor32>& entries) {
  auto table = std::make_unique<TColorLut33Obj>();
  table->MakeIdentity();
  if (!entries.empty()) std::copy(entries.begin(), entries.end(), table->Grid().begin());
  return table;
}

}  // namespace

TCmykPercent ApplyInkLimit(TCmykPercent ink, double limit) {
  const double total = ink.C + ink.M + ink.Y + ink.K;
  if (total <= limit) return ink;
  const double cmy = ink.C + ink.M + ink.Y;
  if (std::abs(cmy) < 1.0) return ink;
  const double factor = std::max(0.0, 1.0 - (total - limit) / cmy);
  ink.C *= factor;
  ink.M *= factor;
  ink.Y *= factor;
  return ink;
}

std::unique_ptr<TColorLut33Obj> BuildTableFromProfile(cmsHTRANSFORM rgbToCmyk, float inkLimit) {
  if (rgbToCmyk == nullptr) throw TError("no colour transform to build the ink table with");
  const double limit = inkLimit > 1.0f ? inkLimit : 400.0;
  auto table = std::make_unique<TColorLut33Obj>();
  table->MakeIdentity();
  // All nodes in one call: the same per-pixel results, without 35937 call overheads.
  std::vector<double> rgb;
  rgb.reserve(3 * lut::kNodeCount);
  for (int b = 0; b <= 32; ++b)
    for (int g = 0; g <= 32; ++g)
      for (int r = 0; r <= 32; ++r)
        for (const int k : {r, g, b}) rgb.push_back(TColorLut33Obj::GridPosition(k) / 255.0);
  std::vector<double> cmyk(4 * lut::kNodeCount);
  cmsDoTransform(rgbToCmyk, rgb.data(), cmyk.data(), static_cast<cmsUInt32Number>(lut::kNodeCount));
  const auto byte = [](double percent) { return static_cast<TColor32>(RoundClamp(percent * 2.55, 0, 255)); };
  for (std::size_t i = 0; i < lut::kNodeCount; ++i) {
    TCmykPercent ink{cmyk[4 * i], cmyk[4 * i + 1], cmyk[4 * i + 2], cmyk[4 * i + 3]};
    if (limit < 400.0) ink = ApplyInkLimit(ink, limit);
    table->Grid()[i] = byte(ink.C) | byte(ink.M) << 8 | byte(ink.Y) << 16 | byte(ink.K) << 24;
  }
  table->WhiteEntry() = 0;
  table->CmykOutput = true;
  return table;
}

std::uint32_t TIcc33::HeaderWord(std::size_t offset) const { return LoadLe<std::uint32_t>(&Header_[offset]); }

void TIcc33::ReadHeader(const std::string& path) {
  Header_.fill(0);
  Path_ = path;
  std::ifstream in(path, std::ios::binary);
  if (!in || !in.read(reinterpret_cast<char*>(Header_.data()), kHeaderSize))
    throw TError(
        fmt::format("{}: not a colour table file (shorter than its {}-byte header)", path, kHeaderSize));
  if (std::memcmp(Header_.data(), kMagic, sizeof kMagic) != 0)
    throw TError(fmt::format("{}: not a colour table file (no QCCI mark)", path));
}

void TIcc33::InflateTable(std::uint32_t offset, std::vector<TColor32>& table) {
  table.assign(kPlaneBytes, 0);
  std::ifstream in(Path_, std::ios::binary);
  in.seekg(offset);
  std::vector<std::uint8_t> planes(kTableBytes);
  z_stream stream{};
  if (inflateInit(&stream) != Z_OK) throw TError(fmt::format("{}: cannot start inflating", Path_));
  stream.next_out = planes.data();
  stream.avail_out = static_cast<uInt>(planes.size());
  std::array<char, 65536> chunk{};
  int status = Z_OK;
  // Only what the table needs is inflated: a stream that would give more stops there.
  while (status == Z_OK && stream.avail_out > 0) {
    if (stream.avail_in == 0) {
      in.read(chunk.data(), chunk.size());
      if (in.gcount() <= 0) break;
      stream.next_in = reinterpret_cast<Bytef*>(chunk.data());
      stream.avail_in = static_cast<uInt>(in.gcount());
    }
    status = inflate(&stream, Z_NO_FLUSH);
  }
  const std::size_t produced = planes.size() - stream.avail_out;
  inflateEnd(&stream);
  if (status != Z_STREAM_END && stream.avail_out > 0) {
    throw TError(status == Z_OK ? fmt::format("{}: table data ends early (offset {})", Path_, offset)
                                : fmt::format("{}: table data is corrupt (offset {})", Path_, offset));
  }
  // Undo the delta coding of each plane over the bytes there are; the rest stays 0.
  for (std::size_t c = 0; c < 4; ++c) {
    std::uint8_t value = 0;
    const std::size_t start = c * kPlaneBytes;
    for (std::size_t i = 0; i < kPlaneBytes && start + i < produced; ++i) {
      value = static_cast<std::uint8_t>(value + planes[start + i]);
      table[i] |= static_cast<TColor32>(value) << (8 * c);
    }
  }
}

void TIcc33::Load(const std::string& path) {
  Loaded_ = false;
  Main_.clear();
  Second_.clear();
  ReadHeader(path);
  if (HeaderWord(kMainOffsetAt) == 0 || HeaderWord(kMainLengthAt) == 0)
    throw TError(fmt::format("{}: the header names no main table", path));
  try {
    if (HeaderWord(kSecondLengthAt) != 0) InflateTable(HeaderWord(kSecondOffsetAt), Second_);
    InflateTable(HeaderWord(kMainOffsetAt), Main_);
  } catch (const TError&) {
    Main_.clear();
    Second_.clear();
    throw;
  }
  Loaded_ = true;
}

std::unique_ptr<TColorLut33Obj> TIcc33::MainTable() const {
  return TableFrom(Loaded_ ? Main_ : std::vector<TColor32>());
}

std::unique_ptr<TColorLut33Obj> TIcc33::SecondTable() const {
  return Second_.empty() ? nullptr : TableFrom(Second_);
}

std::string EncodeTableFile(const std::vector<TColor32>& main, const std::vector<TColor32>* second) {
  if (main.size() != TIcc33::kPlaneBytes || (second && second->size() != TIcc33::kPlaneBytes))
    throw TError("a colour table has 35938 entries");
  std::string file(TIcc33::kHeaderSize, '\0');
  std::memcpy(file.data(), kMagic, sizeof kMagic);
  const std::string mainData = Deflate(DeltaPlanes(main));
  PutWord(file, kMainOffsetAt, static_cast<std::uint32_t>(file.size()));
  PutWord(file, kMainLengthAt, static_cast<std::uint32_t>(mainData.size()));
  file += mainData;
  if (second) {
    const std::string secondData = Deflate(DeltaPlanes(*second));
    PutWord(file, kSecondOffsetAt, static_cast<std::uint32_t>(file.size()));
    PutWord(file, kSecondLengthAt, static_cast<std::uint32_t>(secondData.size()));
    file += secondData;
  }
  return file;
}

}  // namespace slabrip
