// The host's end of the progress socket: listens, reads the records drivers
// send and answers each with one byte, driven from the caller's poll loop.
#pragma once

#include <poll.h>
#include <sys/stat.h>

#include <chrono>
#include <deque>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "driver/host_channel.h"

namespace slabrip {

/// One line on stderr, as rip-manager says what goes wrong.
void Warn(const std::string& text);

class THostListener {
 public:
  /// Called for each record; true when it is to be answered.
  using TOnRecord = std::function<bool(const TProgressRecord&)>;

  /// Listens on `path`, answering `replyDelay` after a record; throws TError
  /// with the reason. The socket is bound under a temporary name and renamed
  /// into place once listening, so that the file showing up means drivers can
  /// connect.
  THostListener(std::string path, std::chrono::milliseconds replyDelay);
  /// Closes every connection and removes the socket file unless another host
  /// has taken the name since.
  ~THostListener();
  THostListener(const THostListener&) = delete;
  THostListener& operator=(const THostListener&) = delete;

  /// Appends the poll entries of the socket and its connections; with
  /// `reading` false, connections are only watched for hanging up.
  void AddPollEntries(std::vector<pollfd>& fds, bool reading) const;
  /// Accepts and reads what the entries AddPollEntries appended report, in
  /// the same order.
  void Serve(std::span<const pollfd> entries, const TOnRecord& onRecord);
  /// Sends the answers that are due.
  void AnswerDue();
  /// Milliseconds until the next answer is due (at most a minute), -1 when none is owed.
  int MsToNextAnswer() const;
  bool Owing() const;
  const std::string& Path() const { return Path_; }

 private:
  using TClock = std::chrono::steady_clock;
  /// One driver connected, with the answers it is still owed.
  struct TClient {
    int Fd = -1;
    std::deque<TClock::time_point> Owed;
  };

  void Accept();
  /// Reads one packet; false when the driver hung up.
  bool Read(TClient& client, const TOnRecord& onRecord);

  std::string Path_;
  std::chrono::milliseconds ReplyDelay_;
  int Fd_ = -1;
  struct stat Bound_ {};
  std::vector<TClient> Clients_;
};

}  // namespace slabrip
