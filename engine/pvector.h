// pvector: the script engine's list of object pointers with a used count.
// Indexing at or past the used count first appends null pointers up to the
// index, so storing into the next slot is indexing at the count. The list
// never owns what it points to; its owner deletes the objects.
#ifndef VTTEL_ENGINE_PVECTOR_H_
#define VTTEL_ENGINE_PVECTOR_H_

#include <cstdint>
#include <vector>

namespace engine {

template <typename T>
class pvector {
 public:
  // The slot i, growing the list with nulls to i + 1 entries when needed.
  // REQUIRES: i >= 0.
  T*& operator[](int32_t i) {
    if (i >= count()) items_.resize(static_cast<size_t>(i) + 1, nullptr);
    return items_[static_cast<size_t>(i)];
  }
  T* at(int32_t i) const {
    return i >= 0 && i < count() ? items_[static_cast<size_t>(i)] : nullptr;
  }
  int32_t count() const { return static_cast<int32_t>(items_.size()); }
  void push_back(T* p) { items_.push_back(p); }
  // Keeps the first n entries.
  void resize(int32_t n) { items_.resize(static_cast<size_t>(n), nullptr); }
  void clear() { items_.clear(); }
  auto begin() { return items_.begin(); }
  auto end() { return items_.end(); }
  auto begin() const { return items_.begin(); }
  auto end() const { return items_.end(); }
  std::vector<T*>& items() { return items_; }

 private:
  std::vector<T*> items_;
};

}  // namespace engine

#endif  // VTTEL_ENGINE_PVECTOR_H_
