#include "document/data_stream.h"

#include <fmt/format.h>
#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstring>

#include "base/errors.h"

namespace slabrip {

namespace {

// Where each check reports, as the stored format's own loader numbers them.
constexpr std::string_view kUnit = "StreamLoader";
constexpr int kLineNoLoadFunction = 355;
constexpr int kLineReadBoolean = 417;
constexpr int kLineReadInteger = 424;
constexpr int kLineReadSingle = 489;
constexpr int kLineReadString = 504;
constexpr int kLineReadLoaderId = 511;
constexpr int kLineWriteInteger = 559;
constexpr int kLineWriteLoaderId = 633;
constexpr int kLineReadCardinal = 826;
constexpr int kLineWriteCardinal = 832;

static_assert(std::endian::native == std::endian::little, "stored numbers are little-endian");

}  // namespace

// --- byte streams --------------------------------------------------------------

TFileByteStream::TFileByteStream(const std::string& path, bool write) {
  File_ = std::fopen(path.c_str(), write ? "wb" : "rb");
  if (File_ == nullptr) throw TError(fmt::format("{}: cannot open: {}", path, std::strerror(errno)));
  if (!write && std::fseek(File_, 0, SEEK_END) == 0) {
    Size_ = ftello(File_);
    std::fseek(File_, 0, SEEK_SET);
  }
}

TFileByteStream::~TFileByteStream() { std::fclose(File_); }

std::size_t TFileByteStream::Read(void* buffer, std::size_t n) { return std::fread(buffer, 1, n, File_); }

std::size_t TFileByteStream::Write(const void* buffer, std::size_t n) {
  const std::size_t written = std::fwrite(buffer, 1, n, File_);
  Size_ = std::max(Size_, Position());
  return written;
}

std::int64_t TFileByteStream::Position() const { return ftello(File_); }

bool TFileByteStream::SetPosition(std::int64_t position) {
  return position >= 0 && position <= Size_ && fseeko(File_, position, SEEK_SET) == 0;
}

std::int64_t TFileByteStream::Size() const { return Size_; }

std::size_t TMemoryByteStream::Read(void* buffer, std::size_t n) {
  const std::size_t count = std::min(n, Bytes_.size() - Position_);
  if (count > 0) std::memcpy(buffer, Bytes_.data() + Position_, count);
  Position_ += count;
  return count;
}

std::size_t TMemoryByteStream::Write(const void* buffer, std::size_t n) {
  if (Position_ + n > Bytes_.size()) Bytes_.resize(Position_ + n);
  if (n > 0) std::memcpy(Bytes_.data() + Position_, buffer, n);
  Position_ += n;
  return n;
}

bool TMemoryByteStream::SetPosition(std::int64_t position) {
  if (position < 0 || position > Size()) return false;
  Position_ = static_cast<std::size_t>(position);
  return true;
}

// --- registry --------------------------------------------------------------------

const TStreamDataFactory& TStreamDataFactory::Default() {
  static const TStreamDataFactory factory = [] {
    TStreamDataFactory f;
    f.RegisterStreamClass(TParamChanges::kLoaderId, &TParamChanges::LoadObjFromStream);
    f.RegisterStreamClass(TParamListChanges::kLoaderId, &TParamListChanges::LoadObjFromStream);
    return f;
  }();
  return factory;
}

bool TStreamDataFactory::RegisterStreamClass(std::int32_t loaderId, TLoadObjFromStream load) {
  if (load == nullptr) AssertionFailure(kUnit, kLineNoLoadFunction);
  return Loaders_.Insert(loaderId, load);
}

TLoadObjFromStream TStreamDataFactory::Find(std::int32_t loaderId) const {
  const TLoadObjFromStream* load = Loaders_.Lookup(loaderId);
  return load ? *load : nullptr;
}

// --- data stream -----------------------------------------------------------------

TDataStream::TDataStream(std::unique_ptr<TByteStream> stream, const TStreamDataFactory& factory)
    : Owned_(std::move(stream)), Stream_(Owned_.get()), Factory_(factory) {}

TDataStream::TDataStream(TByteStream& stream, const TStreamDataFactory& factory)
    : Stream_(&stream), Factory_(factory) {}

bool TDataStream::ReadExact(void* buffer, std::size_t n, int line) {
  LastOk_ = Stream_->Read(buffer, n) == n;
  if (!LastOk_) AssertionFailure(kUnit, line);
  return true;
}

bool TDataStream::WriteExact(const void* buffer, std::size_t n, int line) {
  LastOk_ = Stream_->Write(buffer, n) == n;
  if (!LastOk_) AssertionFailure(kUnit, line);
  return true;
}

bool TDataStream::ReadBoolean(bool& value) {
  std::uint8_t byte = 0;
  ReadExact(&byte, 1, kLineReadBoolean);
  value = byte != 0;
  return true;
}

bool TDataStream::ReadInteger(std::int32_t& value) { return ReadExact(&value, 4, kLineReadInteger); }
bool TDataStream::ReadCardinal(std::uint32_t& value) { return ReadExact(&value, 4, kLineReadCardinal); }
bool TDataStream::ReadSingle(float& value) { return ReadExact(&value, 4, kLineReadSingle); }

bool TDataStream::ReadString(std::string& value) {
  std::int32_t count = 0;
  ReadInteger(count);
  if (count < 0 || count > Remaining()) {
    // The bytes cannot be there: fail as a short read would, without allocating.
    LastOk_ = false;
    AssertionFailure(kUnit, kLineReadString);
  }
  value.resize(static_cast<std::size_t>(count));
  return ReadExact(value.data(), value.size(), kLineReadString);
}

bool TDataStream::ReadWideString(std::string& value) { return ReadString(value); }

bool TDataStream::ReadBuffer(void* buffer, std::size_t n) {
  LastOk_ = Stream_->Read(buffer, n) == n;
  return LastOk_;
}

bool TDataStream::ReadObject(TStreamObjectPtr& object) {
  object.reset();
  std::int32_t id = 0;
  ReadExact(&id, 4, kLineReadLoaderId);
  const TLoadObjFromStream load = Factory_.Find(id);
  if (load == nullptr) return false;
  object = load(*this);
  return object != nullptr;
}

bool TDataStream::ReadObjectList(std::vector<TStreamObjectPtr>& list) {
  std::int32_t count = 0;
  ReadInteger(count);
  for (std::int32_t i = 0; i < count; ++i) {
    TStreamObjectPtr object;
    if (!ReadObject(object)) {
      list.clear();  // frees what was read
      return false;
    }
    list.push_back(std::move(object));
  }
  return true;
}

bool TDataStream::WriteBoolean(bool value) {
  const std::uint8_t byte = value ? 1 : 0;
  return WriteBuffer(&byte, 1);
}

bool TDataStream::WriteInteger(std::int32_t value) { return WriteExact(&value, 4, kLineWriteInteger); }
bool TDataStream::WriteCardinal(std::uint32_t value) { return WriteExact(&value, 4, kLineWriteCardinal); }
bool TDataStream::WriteSingle(float value) { return WriteBuffer(&value, 4); }

bool TDataStream::WriteString(const std::string& value) {
  WriteInteger(static_cast<std::int32_t>(value.size()));
  return WriteBuffer(value.data(), value.size());
}

bool TDataStream::WriteBuffer(const void* buffer, std::size_t n) {
  LastOk_ = Stream_->Write(buffer, n) == n;
  return LastOk_;
}

bool TDataStream::WriteObject(const TStreamObject* object) {
  if (object == nullptr) return true;
  const std::int32_t id = object->LoaderId();
  WriteExact(&id, 4, kLineWriteLoaderId);
  object->SaveBody(*this);
  return LastOk_;
}

bool TDataStream::WriteObjectList(const std::vector<TStreamObjectPtr>* list) {
  WriteInteger(list ? static_cast<std::int32_t>(list->size()) : 0);
  if (list)
    for (const auto& object : *list) WriteObject(object.get());
  return LastOk_;
}

bool TDataStream::Seek(std::int64_t offset, int origin) {
  const std::int64_t base = origin == 0 ? 0 : origin == 1 ? Position() : Size();
  return SetPosition(base + offset);
}

// --- stored classes ----------------------------------------------------------------

TStreamObjectPtr TParamChanges::LoadObjFromStream(TDataStream& stream) {
  auto changes = std::make_unique<TParamChanges>();
  std::int32_t countA = 0, countB = 0;
  stream.ReadInteger(changes->Parameter);
  stream.ReadCardinal(changes->ValueA);
  stream.ReadCardinal(changes->ValueB);
  stream.ReadInteger(countA);
  stream.ReadInteger(countB);
  // Arrays that cannot fit in what is left are a broken record, not an allocation.
  if (countA < 0 || countB < 0 || (static_cast<std::int64_t>(countA) + countB) * 4 > stream.Remaining())
    return nullptr;
  changes->ArrayA.resize(static_cast<std::size_t>(countA));
  changes->ArrayB.resize(static_cast<std::size_t>(countB));
  if (!stream.ReadBuffer(changes->ArrayA.data(), changes->ArrayA.size() * 4) ||
      !stream.ReadBuffer(changes->ArrayB.data(), changes->ArrayB.size() * 4))
    return nullptr;
  return changes;
}

void TParamChanges::SaveBody(TDataStream& stream) const {
  stream.WriteInteger(Parameter);
  stream.WriteCardinal(ValueA);
  stream.WriteCardinal(ValueB);
  stream.WriteInteger(static_cast<std::int32_t>(ArrayA.size()));
  stream.WriteInteger(static_cast<std::int32_t>(ArrayB.size()));
  stream.WriteBuffer(ArrayA.data(), ArrayA.size() * 4);
  stream.WriteBuffer(ArrayB.data(), ArrayB.size() * 4);
}

TStreamObjectPtr TParamListChanges::LoadObjFromStream(TDataStream& stream) {
  auto list = std::make_unique<TParamListChanges>();
  if (!stream.ReadObjectList(list->Changes)) return nullptr;
  return list;
}

void TParamListChanges::SaveBody(TDataStream& stream) const { stream.WriteObjectList(&Changes); }

}  // namespace slabrip
