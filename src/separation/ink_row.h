// One render row of ink vectors turned into packed printer rows, one per ink.
#pragma once

#include <cstdint>
#include <vector>

#include "base/ref_obj.h"
#include "colour/ink_vector.h"
#include "separation/dither_kernel.h"
#include "separation/ink_channel.h"

namespace slabrip {

/// The engine writes a render row into Input; for every printer row the
/// print loop then expands it to printer width, dithers and packs each ink.
class TInkRowEx : public TRefObj {
 public:
  /// Channel sets the engine uses: C M Y K, and the same with light C and M.
  static constexpr std::uint8_t kFourInks = 0x0F;
  static constexpr std::uint8_t kSixInks = 0x3F;

  TInkRowEx(int inputWidth, std::uint8_t channelMask, bool twoBit, int outputWidth);

  /// A channel for every lane in the mask, in lane order.
  void CreateChannels();
  /// Input holds `width` vectors; ColumnEnds[i] = round(outputWidth * (i + 1) / width).
  void SetInputWidth(int width);
  /// Clears every channel (attaching its ditherer) and the drop counts, and sets RowBytes.
  void Prepare();
  /// Replicates each input vector's lanes over its printer columns.
  void Expand();
  /// Dithers every channel as printer row `row`.
  void DitherAll(int row);
  /// Expand, DitherAll and Pack of every channel in one pass: the print
  /// loop's path, with the same result as the three steps.
  void ExpandDitherPack(int row);
  /// Whether ExpandDitherPack takes the one-pass kernel: every channel has
  /// the standard ditherer on the row's shared errors.
  bool CanFuse() const;
  /// The one-pass kernel (CanFuse) over `input`, InputWidth vectors, as
  /// printer row `row`: output channel i is packed into planes + i * RowBytes
  /// for i < planeCount. The error rows carry on as with ExpandDitherPack, and
  /// Input and the channels' own bytes are not touched, so another thread may
  /// fill Input meanwhile.
  void DitherPackPlanes(const TInkVector* input, int row, std::uint8_t* planes, int planeCount);
  /// The packed bytes of the output channels into planes + i * RowBytes for
  /// i < planeCount, in output order; planes with no channel are zeroed.
  void CopyPlanes(std::uint8_t* planes, int planeCount) const;

  int ChannelCount() const { return static_cast<int>(Channels_.Count()); }
  TRef<TInkChannelEx> Channel(int i) const { return Channels_.Item(i); }
  TRef<TInkChannelEx> OutputChannel(int i) const;
  TRef<TInkChannelEx> ChannelForLane(int lane) const;
  /// Some lane 4..7 has a channel.
  bool HasExtraInks() const { return (ChannelMask & 0xF0) != 0; }
  /// Orders the output channels by PlaneOrder (set by the raster job first).
  void SortOutputChannels();

  TInkVector* Input() { return Input_.data(); }
  const std::vector<std::int32_t>& ColumnEnds() const { return ColumnEnds_; }
  int InputWidth() const { return static_cast<int>(Input_.size()); }
  int RowBytes() const { return RowBytes_; }
  /// The levels dithered since Prepare, per lane; read it once the rows are done.
  const TDropCounts& Drops() const { return Drops_; }

  const bool TwoBit;
  const std::uint8_t ChannelMask;

 private:
  int OutputWidth_;
  int RowBytes_ = 0;
  TReleaseList<TInkChannelEx> Channels_;
  std::vector<TRef<TInkChannelEx>> OutputChannels_;
  TRef<TInkChannelEx> ByLane_[8];
  std::vector<TInkVector> Input_;
  std::vector<std::int32_t> ColumnEnds_;
  // Error entries of all lanes, column by column: lane i of entry x is channel i's Errors[x].
  std::vector<TInkVector> Errors_;
  TDropCounts Drops_;  // written by whichever thread dithers

  TDitherJob FusedJob(const TInkVector* input, int row);
};

}  // namespace slabrip
