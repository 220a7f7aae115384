// qvector: the voice-editing code's growable list of values with an explicit
// count of used entries. Indexing at or past the count grows the list up to
// that index with default entries (so storing the next entry is indexing
// at the count); clearing sets the count to 0 and keeps the storage for the
// next use. The list owns its values.
//
// Not thread-safe: one owner at a time.
#ifndef VTTEL_TELEPHONY_VOICE_QVECTOR_H_
#define VTTEL_TELEPHONY_VOICE_QVECTOR_H_

#include <cstdint>
#include <vector>

namespace telephony {

template <typename T>
class qvector {
 public:
  // The entry i, growing the list with default entries to i + 1 entries
  // when needed. REQUIRES: i >= 0.
  T& operator[](int32_t i) {
    const auto index = static_cast<size_t>(i);
    if (i >= count_) {
      if (index >= items_.size()) items_.resize(index + 1);
      for (size_t k = static_cast<size_t>(count_); k <= index; ++k) items_[k] = T();
      count_ = i + 1;
    }
    return items_[index];
  }
  // The entry i of the used ones. REQUIRES: 0 <= i < count().
  const T& at(int32_t i) const { return items_.at(static_cast<size_t>(i)); }
  int32_t count() const { return count_; }
  bool empty() const { return count_ == 0; }
  void clear() { count_ = 0; }
  // The first and the last used entry. REQUIRES: !empty().
  const T& front() const { return items_.front(); }
  const T& back() const { return items_[static_cast<size_t>(count_ - 1)]; }

 private:
  std::vector<T> items_;
  int32_t count_ = 0;
};

}  // namespace telephony

#endif  // VTTEL_TELEPHONY_VOICE_QVECTOR_H_
