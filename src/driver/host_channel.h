// Progress reports to the host program that queued the slab, over a local
// socket: a 48-byte record, answered with one byte.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "jobs/rip_status.h"

namespace slabrip {

struct TProgressRecord {
  static constexpr std::uint32_t kSignature = 0x12456854;
  static constexpr std::size_t kSize = 48;
  enum TKind : std::uint8_t { kStarted = 0, kRunning = 1, kFinished = 2 };

  std::int64_t SlabID = 0;
  std::uint8_t Kind = kStarted;
  TRipStatus RipStatus = TRipStatus::kNone;
  std::int32_t RipHeight = 0;
  std::int32_t RipCurrRow = 0;
  std::int64_t CurrPrnSize = 0;
  std::int64_t SentPrnSize = 0;

  /// Little-endian, packed, zeros in the reserved bytes.
  std::array<std::uint8_t, kSize> Encode() const;
  /// Nothing unless `bytes` is exactly kSize long with the signature.
  static std::optional<TProgressRecord> Decode(std::span<const std::uint8_t> bytes);
};

/// The socket of the host: "rip-host-N" for a slab's CustomHostHwnd N, else
/// the well-known "rip-manager", in `runtimeDir` ($XDG_RUNTIME_DIR).
std::string HostSocketPath(const std::string& runtimeDir, std::int32_t customHostHwnd);

/// $XDG_RUNTIME_DIR, or /tmp when unset.
std::string RuntimeFolder();

/// The connection to the host, found once and then kept. A host that has not
/// answered a record is not waited for again until it answers, so a silent
/// host never holds a print back.
class THostChannel {
 public:
  explicit THostChannel(std::string runtimeDir, std::chrono::milliseconds replyTimeout = std::chrono::seconds(3));
  ~THostChannel();
  THostChannel(const THostChannel&) = delete;
  THostChannel& operator=(const THostChannel&) = delete;

  /// True when connected: the remembered connection, else the slab's own
  /// host socket (CustomHostHwnd not 0), else the well-known one when it
  /// exists. Not checked again once found.
  bool Find(std::int32_t customHostHwnd);
  /// Sends the record without waiting for its answer; nothing goes while the
  /// host still owes the answer to an earlier one. True when it went out.
  bool Post(const TProgressRecord& record);
  /// Sends the record and waits (bounded) for the one-byte reply, unless the
  /// host still owes an earlier answer: then it goes out unwaited. True when
  /// answered; false when the host refused, hung up or did not answer in time.
  bool Send(const TProgressRecord& record);
  /// The socket's path once found.
  const std::string& Path() const { return Path_; }

 private:
  enum class TDelivery { kAnswered, kOut, kFailed };

  /// Counts the answers that came since the last record; notices a hang-up.
  void CollectAnswers();
  void Disconnect();
  TDelivery Deliver(const TProgressRecord& record, bool awaitAnswer);

  std::string RuntimeDir_;
  std::chrono::milliseconds ReplyTimeout_;
  std::string Path_;
  int Socket_ = -1;
  int Unanswered_ = 0;  // records out on this connection whose answer has not come
};

}  // namespace slabrip
