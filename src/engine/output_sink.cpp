#include "engine/output_sink.h"

#include <fmt/format.h>

#include <utility>

#include "base/errors.h"
#include "base/file_paths.h"

namespace slabrip {
namespace {

class TFileSink final : public TOutputSink {
 public:
  explicit TFileSink(const std::string& path) : Writer_(path) {}

  void Write(const std::uint8_t* bytes, std::size_t count) override {
    Writer_.Write({reinterpret_cast<const char*>(bytes), count});
  }
  void Commit() override { Writer_.Commit(); }
  std::int64_t BytesDelivered() const override { return Writer_.BytesWritten(); }
  const std::string& Destination() const override { return Writer_.Path(); }

 private:
  TAtomicFileWriter Writer_;
};

class TNoSink final : public TOutputSink {
 public:
  void Write(const std::uint8_t*, std::size_t count) override { Bytes_ += static_cast<std::int64_t>(count); }
  void Commit() override {}
  std::int64_t BytesDelivered() const override { return Bytes_; }
  const std::string& Destination() const override { return Name_; }

 private:
  std::int64_t Bytes_ = 0;
  const std::string Name_ = "nowhere (estimate)";
};

class TTeeSink final : public TOutputSink {
 public:
  TTeeSink(std::unique_ptr<TOutputSink> output, std::unique_ptr<TOutputSink> copy)
      : Output_(std::move(output)), Copy_(std::move(copy)) {}

  void Write(const std::uint8_t* bytes, std::size_t count) override {
    Output_->Write(bytes, count);
    Copy_->Write(bytes, count);
  }
  void Commit() override {
    Output_->Commit();
    try {
      Copy_->Commit();
    } catch (const TError& e) {
      throw TCopyError(
          fmt::format("{} got the job, but its copy was not kept: {}", Output_->Destination(), e.what()));
    }
  }
  std::int64_t BytesDelivered() const override { return Output_->BytesDelivered(); }
  const std::string& Destination() const override { return Output_->Destination(); }

 private:
  std::unique_ptr<TOutputSink> Output_;
  std::unique_ptr<TOutputSink> Copy_;
};

}  // namespace

std::unique_ptr<TOutputSink> OpenNoOutput() { return std::make_unique<TNoSink>(); }

std::unique_ptr<TOutputSink> TeeOutput(std::unique_ptr<TOutputSink> output,
                                       std::unique_ptr<TOutputSink> copy) {
  return std::make_unique<TTeeSink>(std::move(output), std::move(copy));
}

std::unique_ptr<TOutputSink> OpenFileOutput(const std::string& path) {
  if (path.empty()) throw TError("no print file name is given");
  return std::make_unique<TFileSink>(path);
}

}  // namespace slabrip
