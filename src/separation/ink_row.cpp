#include "separation/ink_row.h"

#include <algorithm>
#include <cstring>

#include "base/rounding.h"

namespace slabrip {

TInkRowEx::TInkRowEx(int inputWidth, std::uint8_t channelMask, bool twoBit, int outputWidth)
    : TwoBit(twoBit), ChannelMask(channelMask), OutputWidth_(std::max(outputWidth, 0)) {
  CreateChannels();
  SetInputWidth(inputWidth);
}

void TInkRowEx::CreateChannels() {
  for (auto& slot : ByLane_) slot.Reset();
  Channels_.ReleaseAll();
  OutputChannels_.clear();
  Errors_.assign(static_cast<std::size_t>(OutputWidth_) + 2, TInkVector{});
  for (int lane = 0; lane < 8; ++lane) {
    if ((ChannelMask >> lane & 1) == 0) continue;
    auto channel = MakeRef<TInkChannelEx>(OutputWidth_);
    channel->Index = static_cast<std::uint8_t>(lane);
    channel->TwoBit = TwoBit;
    channel->SharedErrors = {&Errors_[0].Lane[static_cast<std::size_t>(lane)], 8, Errors_.size()};
    ByLane_[lane] = channel;
    Channels_.Add(channel);
    OutputChannels_.push_back(channel);
  }
}

void TInkRowEx::SetInputWidth(int width) {
  const auto n = static_cast<std::size_t>(std::max(width, 0));
  Input_.assign(n, TInkVector{});
  ColumnEnds_.resize(n);
  // 64-bit product: wide banners overflow 32 bits.
  for (std::size_t i = 0; i < n; ++i)
    ColumnEnds_[i] = static_cast<std::int32_t>(RoundHalfEven(
        static_cast<double>(static_cast<std::int64_t>(OutputWidth_) * static_cast<std::int64_t>(i + 1)) /
        static_cast<double>(n)));
}

void TInkRowEx::Prepare() {
  for (const auto& channel : Channels_) channel->Clear();
  Drops_ = {};
  RowBytes_ = TwoBit ? (OutputWidth_ + 3) / 4 : (OutputWidth_ + 7) / 8;
}

void TInkRowEx::Expand() {
  for (const auto& channel : Channels_) {
    std::int16_t* values = channel->Values.data();
    const std::size_t lane = channel->Index;
    std::size_t start = 0;
    for (std::size_t i = 0; i < Input_.size(); ++i) {
      const auto end = std::min(static_cast<std::size_t>(ColumnEnds_[i]), channel->Values.size());
      if (end > start) std::fill(values + start, values + end, Input_[i].Lane[lane]);
      start = std::max(start, end);
    }
  }
}

void TInkRowEx::DitherAll(int row) {
  for (const auto& channel : Channels_) channel->DitherRow(row);
}

bool TInkRowEx::CanFuse() const {
  for (const auto& channel : Channels_) {
    const auto* fs = dynamic_cast<const TinkDither_FS16*>(channel->Ditherer().Get());
    if (fs == nullptr || !fs->UsesSharedErrors() || fs->TwoBit() != TwoBit ||
        channel->Width() != OutputWidth_)
      return false;
  }
  return true;
}

TDitherJob TInkRowEx::FusedJob(const TInkVector* input, int row) {
  TDitherJob job;
  job.Input = input;
  job.ColumnEnds = ColumnEnds_.data();
  job.InputWidth = Input_.size();
  job.Width = static_cast<std::size_t>(OutputWidth_);
  job.Errors = Errors_.data();
  job.Tables = &LevelTables(TwoBit);
  job.TwoBit = TwoBit;
  job.Row = row;
  job.Drops = &Drops_;
  return job;
}

void TInkRowEx::ExpandDitherPack(int row) {
  if (CanFuse()) {
    TDitherJob job = FusedJob(Input_.data(), row);
    for (const auto& channel : Channels_) job.Out[channel->Index] = channel->PackedBytes();
    RunDitherJob(job);
    return;
  }
  Expand();
  DitherAll(row);
  for (const auto& channel : Channels_) channel->Pack(RowBytes_, &Drops_.Lanes[channel->Index]);
}

void TInkRowEx::DitherPackPlanes(const TInkVector* input, int row, std::uint8_t* planes, int planeCount) {
  TDitherJob job = FusedJob(input, row);
  const auto count = std::min(OutputChannels_.size(), static_cast<std::size_t>(std::max(planeCount, 0)));
  for (std::size_t i = 0; i < count; ++i)
    job.Out[OutputChannels_[i]->Index] = planes + i * static_cast<std::size_t>(RowBytes_);
  RunDitherJob(job);
}

void TInkRowEx::CopyPlanes(std::uint8_t* planes, int planeCount) const {
  const auto rowBytes = static_cast<std::size_t>(RowBytes_);
  const auto count = static_cast<std::size_t>(std::max(planeCount, 0));
  for (std::size_t i = 0; i < count; ++i) {
    std::uint8_t* plane = planes + i * rowBytes;
    if (i < OutputChannels_.size())
      std::memcpy(plane, OutputChannels_[i]->PackedBytes(), rowBytes);
    else
      std::memset(plane, 0, rowBytes);
  }
}

TRef<TInkChannelEx> TInkRowEx::OutputChannel(int i) const {
  if (i < 0 || static_cast<std::size_t>(i) >= OutputChannels_.size()) return nullptr;
  return OutputChannels_[static_cast<std::size_t>(i)];
}

TRef<TInkChannelEx> TInkRowEx::ChannelForLane(int lane) const {
  return lane >= 0 && lane < 8 ? ByLane_[lane] : nullptr;
}

void TInkRowEx::SortOutputChannels() {
  std::stable_sort(OutputChannels_.begin(), OutputChannels_.end(),
                   [](const auto& a, const auto& b) { return a->PlaneOrder < b->PlaneOrder; });
}

}  // namespace slabrip
