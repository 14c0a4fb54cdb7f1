// Reference-counted model objects and the one smart handle that holds them.
#pragma once

#include <atomic>
#include <cstdint>
#include <utility>
#include <vector>

namespace slabrip {

/// Base of shared model objects. The count starts at 0, meaning one owner
/// (the creator); the release that takes it below 0 destroys the object.
/// Only TRef adds and drops references, so nobody releases by hand.
class TRefObj {
 public:
  TRefObj(const TRefObj&) = delete;
  TRefObj& operator=(const TRefObj&) = delete;

  std::int32_t Tag() const { return Tag_; }
  void SetTag(std::int32_t tag) { Tag_ = tag; }
  /// Owners beyond the first (0 while one owner holds the object).
  std::int32_t RefCount() const { return Count_.load(std::memory_order_relaxed); }

 protected:
  TRefObj() = default;
  /// Destroying an object that still has owners is a programming error; it
  /// aborts with the assertion text, since a destructor cannot throw.
  virtual ~TRefObj();

 private:
  template <class T>
  friend class TRef;

  void AddRef() { Count_.fetch_add(1, std::memory_order_relaxed); }
  void Release() {
    if (Count_.fetch_sub(1, std::memory_order_acq_rel) == 0) delete this;
  }

  std::atomic<std::int32_t> Count_{0};
  std::int32_t Tag_ = 0;
};

/// Shared handle to a TRefObj: copying adds a reference, dropping releases one.
template <class T>
class TRef {
 public:
  TRef() = default;
  TRef(std::nullptr_t) {}  // NOLINT(google-explicit-constructor): a null handle reads naturally
  TRef(const TRef& other) : Ptr_(other.Ptr_) {
    if (Ptr_) Ptr_->AddRef();
  }
  TRef(TRef&& other) noexcept : Ptr_(std::exchange(other.Ptr_, nullptr)) {}
  template <class U>
  TRef(const TRef<U>& other) : Ptr_(other.Get()) {  // NOLINT(google-explicit-constructor): upcast
    if (Ptr_) Ptr_->AddRef();
  }
  ~TRef() { Reset(); }

  TRef& operator=(TRef other) noexcept {
    std::swap(Ptr_, other.Ptr_);
    return *this;
  }

  /// Takes over the creator's reference of a new object.
  static TRef Adopt(T* created) {
    TRef ref;
    ref.Ptr_ = created;
    return ref;
  }

  void Reset() {
    if (Ptr_) std::exchange(Ptr_, nullptr)->Release();
  }
  T* Get() const { return Ptr_; }
  T* operator->() const { return Ptr_; }
  T& operator*() const { return *Ptr_; }
  explicit operator bool() const { return Ptr_ != nullptr; }
  friend bool operator==(const TRef& a, const TRef& b) { return a.Ptr_ == b.Ptr_; }

 private:
  T* Ptr_ = nullptr;
};

/// Creates a counted object held by one handle.
template <class T, class... Args>
TRef<T> MakeRef(Args&&... args) {
  return TRef<T>::Adopt(new T(std::forward<Args>(args)...));
}

/// An owned list of counted objects that releases them last to first.
template <class T>
class TReleaseList {
 public:
  TReleaseList() = default;
  TReleaseList(const TReleaseList&) = delete;
  TReleaseList& operator=(const TReleaseList&) = delete;
  ~TReleaseList() { ReleaseAll(); }

  void Add(TRef<T> item) { Items_.push_back(std::move(item)); }
  /// Releases every item, the last one first, and empties the list.
  void ReleaseAll() {
    while (!Items_.empty()) Items_.pop_back();
  }
  std::size_t Count() const { return Items_.size(); }
  /// The item at `index`, or a null handle outside the list.
  TRef<T> Item(std::int64_t index) const {
    if (index < 0 || static_cast<std::size_t>(index) >= Items_.size()) return nullptr;
    return Items_[static_cast<std::size_t>(index)];
  }
  auto begin() const { return Items_.begin(); }
  auto end() const { return Items_.end(); }

 private:
  std::vector<TRef<T>> Items_;
};

}  // namespace slabrip
