#include "packbits.h"

#include <bit>
#include <cstring>

namespace slabrip::hpldrlgl {
namespace {

static_assert(std::endian::native == std::endian::little, "the word scans take byte 0 as the low byte");

constexpr std::uint64_t kOnes = 0x0101010101010101u;
constexpr std::uint64_t kHighs = 0x8080808080808080u;
constexpr std::size_t kMaxPacket = 128;

std::uint64_t Load(const std::uint8_t* p) {
  std::uint64_t v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

// The high bit of the lowest zero byte of v is set, and no lower bit: the
// borrow that can mark a non-zero byte only runs upward from a zero byte.
std::uint64_t ZeroBytes(std::uint64_t v) { return (v - kOnes) & ~v & kHighs; }

std::size_t LowestByte(std::uint64_t mask) { return static_cast<std::size_t>(std::countr_zero(mask)) / 8; }

// The first position at or after `i` that starts three equal bytes, or `size`.
std::size_t FindRun(const std::uint8_t* data, std::size_t i, std::size_t size) {
  // Three overlapping words compare each byte with its two successors at once.
  for (; i + 10 <= size; i += 8) {
    const std::uint64_t a = Load(data + i), b = Load(data + i + 1), c = Load(data + i + 2);
    if (const std::uint64_t hit = ZeroBytes((a ^ b) | (b ^ c))) return i + LowestByte(hit);
  }
  for (; i + 2 < size; ++i)
    if (data[i] == data[i + 1] && data[i] == data[i + 2]) return i;
  return size;
}

// The end of the run of data[start] that begins at `start`.
std::size_t RunEnd(const std::uint8_t* data, std::size_t start, std::size_t size) {
  const std::uint8_t value = data[start];
  const std::uint64_t pattern = value * kOnes;
  std::size_t i = start + 1;
  for (; i + 8 <= size; i += 8)
    if (const std::uint64_t diff = Load(data + i) ^ pattern) return i + LowestByte(diff);
  while (i < size && data[i] == value) ++i;
  return i;
}

std::uint8_t* PutLiteral(const std::uint8_t* data, std::size_t count, std::uint8_t* out) {
  while (count > 0) {
    const std::size_t n = count < kMaxPacket ? count : kMaxPacket;
    *out++ = static_cast<std::uint8_t>(n - 1);
    std::memcpy(out, data, n);
    out += n;
    data += n;
    count -= n;
  }
  return out;
}

}  // namespace

std::size_t TrimTrailingZeros(const std::uint8_t* data, std::size_t size) {
  while (size >= 8 && Load(data + size - 8) == 0) size -= 8;
  while (size > 0 && data[size - 1] == 0) --size;
  return size;
}

std::size_t PackBitsEncode(const std::uint8_t* data, std::size_t size, std::uint8_t* out) {
  std::uint8_t* const begin = out;
  std::size_t i = 0;
  while (i < size) {
    const std::size_t run = FindRun(data, i, size);
    out = PutLiteral(data + i, run - i, out);
    if (run == size) break;
    const std::size_t end = RunEnd(data, run, size);
    std::size_t count = end - run;
    for (; count >= 2; count -= count < kMaxPacket ? count : kMaxPacket) {
      const std::size_t n = count < kMaxPacket ? count : kMaxPacket;
      *out++ = static_cast<std::uint8_t>(257 - n);  // -(n - 1) as a signed byte
      *out++ = data[run];
    }
    // A single byte left over is cheaper as the start of the next literal.
    i = end - count;
  }
  return static_cast<std::size_t>(out - begin);
}

}  // namespace slabrip::hpldrlgl
