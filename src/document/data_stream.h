// The typed little-endian reader and writer every stored drawing object goes through.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace slabrip {

/// Bytes to read and write: a file or memory.
class TByteStream {
 public:
  virtual ~TByteStream() = default;
  /// Up to n bytes; returns how many came.
  virtual std::size_t Read(void* buffer, std::size_t n) = 0;
  /// Returns how many bytes went.
  virtual std::size_t Write(const void* buffer, std::size_t n) = 0;
  virtual std::int64_t Position() const = 0;
  /// False when the position is outside 0..Size().
  virtual bool SetPosition(std::int64_t position) = 0;
  virtual std::int64_t Size() const = 0;
  std::int64_t Remaining() const { return Size() - Position(); }
};

/// A file opened for reading (others may read too) or created for writing.
class TFileByteStream : public TByteStream {
 public:
  /// Throws TError naming the file when it cannot be opened.
  TFileByteStream(const std::string& path, bool write);
  ~TFileByteStream() override;
  TFileByteStream(const TFileByteStream&) = delete;
  TFileByteStream& operator=(const TFileByteStream&) = delete;

  std::size_t Read(void* buffer, std::size_t n) override;
  std::size_t Write(const void* buffer, std::size_t n) override;
  std::int64_t Position() const override;
  bool SetPosition(std::int64_t position) override;
  std::int64_t Size() const override;

 private:
  std::FILE* File_ = nullptr;
  std::int64_t Size_ = 0;
};

/// Bytes in memory, growing on writes past the end.
class TMemoryByteStream : public TByteStream {
 public:
  TMemoryByteStream() = default;
  explicit TMemoryByteStream(std::vector<std::uint8_t> bytes) : Bytes_(std::move(bytes)) {}

  std::size_t Read(void* buffer, std::size_t n) override;
  std::size_t Write(const void* buffer, std::size_t n) override;
  std::int64_t Position() const override { return static_cast<std::int64_t>(Position_); }
  bool SetPosition(std::int64_t position) override;
  std::int64_t Size() const override { return static_cast<std::int64_t>(Bytes_.size()); }
  const std::vector<std::uint8_t>& Bytes() const { return Bytes_; }

 private:
  std::vector<std::uint8_t> Bytes_;
  std::size_t Position_ = 0;
};

class TDataStream;

/// A class stored as an object record: a loader ID and a body it writes itself.
class TStreamObject {
 public:
  virtual ~TStreamObject() = default;
  /// The class's loader ID.
  virtual std::int32_t LoaderId() const = 0;
  /// Writes the body.
  virtual void SaveBody(TDataStream& stream) const = 0;
};

using TStreamObjectPtr = std::unique_ptr<TStreamObject>;
/// Reads one body; nothing on failure.
using TLoadObjFromStream = TStreamObjectPtr (*)(TDataStream& stream);

/// Integer keys kept sorted, found by binary search; a key occurs once.
template <class TValue>
class TLookupList {
 public:
  /// Index of the key, or of the first larger key when it is absent.
  std::size_t Find(std::int32_t key, bool& found) const {
    std::size_t lo = 0, hi = Items_.size();
    while (lo < hi) {
      const std::size_t mid = lo + (hi - lo) / 2;
      if (Items_[mid].first < key)
        lo = mid + 1;
      else
        hi = mid;
    }
    found = lo < Items_.size() && Items_[lo].first == key;
    return lo;
  }
  /// False, keeping the first value, when the key is present.
  bool Insert(std::int32_t key, TValue value) {
    bool found = false;
    const std::size_t at = Find(key, found);
    if (found) return false;
    Items_.insert(Items_.begin() + static_cast<std::ptrdiff_t>(at), {key, std::move(value)});
    return true;
  }
  const TValue* Lookup(std::int32_t key) const {
    bool found = false;
    const std::size_t at = Find(key, found);
    return found ? &Items_[at].second : nullptr;
  }
  std::size_t Count() const { return Items_.size(); }

 private:
  std::vector<std::pair<std::int32_t, TValue>> Items_;
};

/// Loader IDs to load functions.
class TStreamDataFactory {
 public:
  /// The registry with the classes this program stores (100 and 101); filled
  /// once and read-only afterwards.
  static const TStreamDataFactory& Default();

  /// False, leaving the first registration in force, for an ID already taken.
  bool RegisterStreamClass(std::int32_t loaderId, TLoadObjFromStream load);
  TLoadObjFromStream Find(std::int32_t loaderId) const;

 private:
  TLookupList<TLoadObjFromStream> Loaders_;
};

/// Typed reads and writes over a byte stream, owned or borrowed. A typed read
/// that comes up short raises "Assertion failure (StreamLoader, line N)";
/// ReadBuffer and WriteBuffer only return false.
class TDataStream {
 public:
  /// Owns the stream.
  explicit TDataStream(std::unique_ptr<TByteStream> stream,
                       const TStreamDataFactory& factory = TStreamDataFactory::Default());
  /// Borrows the stream, as if detached from the start.
  explicit TDataStream(TByteStream& stream,
                       const TStreamDataFactory& factory = TStreamDataFactory::Default());

  bool ReadBoolean(bool& value);
  bool ReadInteger(std::int32_t& value);
  bool ReadCardinal(std::uint32_t& value);
  bool ReadSingle(float& value);
  /// A count, then that many bytes; a count beyond the bytes left raises
  /// without allocating.
  bool ReadString(std::string& value);
  /// A string of UTF-8 bytes, kept as UTF-8.
  bool ReadWideString(std::string& value);
  bool ReadBuffer(void* buffer, std::size_t n);
  /// A loader ID and the body of the class registered under it; nothing for an unknown ID.
  bool ReadObject(TStreamObjectPtr& object);
  /// A count and that many records; on the first failure the list is emptied.
  bool ReadObjectList(std::vector<TStreamObjectPtr>& list);

  bool WriteBoolean(bool value);
  bool WriteInteger(std::int32_t value);
  bool WriteCardinal(std::uint32_t value);
  bool WriteSingle(float value);
  bool WriteString(const std::string& value);
  bool WriteBuffer(const void* buffer, std::size_t n);
  /// Nothing for no object; else its loader ID and body.
  bool WriteObject(const TStreamObject* object);
  bool WriteObjectList(const std::vector<TStreamObjectPtr>* list);

  std::int64_t Position() const { return Stream_->Position(); }
  bool SetPosition(std::int64_t position) { return Stream_->SetPosition(position); }
  /// Origin 0: from the start, 1: from here, 2: from the end.
  bool Seek(std::int64_t offset, int origin);
  std::int64_t Size() const { return Stream_->Size(); }
  std::int64_t Remaining() const { return Stream_->Remaining(); }
  /// Result of the last typed read or write.
  bool LastOk() const { return LastOk_; }
  /// Lets go of an owned stream without freeing it; the caller takes it.
  std::unique_ptr<TByteStream> DetachStream() { return std::move(Owned_); }

 private:
  bool ReadExact(void* buffer, std::size_t n, int line);
  bool WriteExact(const void* buffer, std::size_t n, int line);

  std::unique_ptr<TByteStream> Owned_;
  TByteStream* Stream_;
  const TStreamDataFactory& Factory_;
  bool LastOk_ = true;
};

/// Object record 100: a parameter change with two arrays of 32-bit values.
class TParamChanges : public TStreamObject {
 public:
  static constexpr std::int32_t kLoaderId = 100;
  static TStreamObjectPtr LoadObjFromStream(TDataStream& stream);
  std::int32_t LoaderId() const override { return kLoaderId; }
  void SaveBody(TDataStream& stream) const override;

  std::int32_t Parameter = 0;
  std::uint32_t ValueA = 0;
  std::uint32_t ValueB = 0;
  std::vector<std::uint32_t> ArrayA;
  std::vector<std::uint32_t> ArrayB;
};

/// Object record 101: a list of parameter changes.
class TParamListChanges : public TStreamObject {
 public:
  static constexpr std::int32_t kLoaderId = 101;
  static TStreamObjectPtr LoadObjFromStream(TDataStream& stream);
  std::int32_t LoaderId() const override { return kLoaderId; }
  void SaveBody(TDataStream& stream) const override;

  std::vector<TStreamObjectPtr> Changes;
};

}  // namespace slabrip
