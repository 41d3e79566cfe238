// TLList<T>: the singly linked list behind every collection of the hall program.
//
// An owning list destroys the element of an item that is removed (when the caller
// asks) or cleared; a non-owning list only forgets the pointer. The list keeps a
// walking cursor (First/Last/Next/Previous) and a cache of the last found item, so
// that a walk or repeated finds cost one step per item. No locking.
#pragma once

#include <cstdint>
#include <iterator>
#include <memory>
#include <utility>

template <typename T>
struct TLListItem {
  T* element = nullptr;
  std::unique_ptr<TLListItem> next;
};

template <typename T>
class TLList {
 public:
  using Item = TLListItem<T>;

  explicit TLList(bool ownsItems) : ownsItems_(ownsItems) {}
  ~TLList() { Clear(); }

  TLList(const TLList&) = delete;
  TLList& operator=(const TLList&) = delete;
  TLList(TLList&& other) noexcept { TakeFrom(other); }
  TLList& operator=(TLList&& other) noexcept {
    if (this != &other) {
      Clear();
      TakeFrom(other);
    }
    return *this;
  }

  bool OwnsItems() const { return ownsItems_; }
  std::int32_t Count() const { return count_; }
  bool Empty() const { return count_ == 0; }

  // Appends at the tail. An owning list takes over the element.
  T* Append(T* element) {
    auto item = std::make_unique<Item>();
    item->element = element;
    Item* raw = item.get();
    if (tail_ != nullptr) {
      tail_->next = std::move(item);
    } else {
      head_ = std::move(item);
    }
    tail_ = raw;
    ++count_;
    return element;
  }

  T* Append(std::unique_ptr<T> element) { return Append(element.release()); }

  // First and last element; both move the cursor there.
  T* First() {
    cursor_ = head_.get();
    return cursor_ != nullptr ? cursor_->element : nullptr;
  }
  T* Last() {
    cursor_ = tail_;
    return cursor_ != nullptr ? cursor_->element : nullptr;
  }

  // Element after the given one: one step when the cursor is on it, else a
  // search from the head. Moves the cursor to the result.
  T* Next(const T* element) {
    Item* at = (cursor_ != nullptr && cursor_->element == element) ? cursor_ : FindItem(element, nullptr);
    if (at == nullptr) {
      return nullptr;
    }
    cursor_ = at->next.get();
    return cursor_ != nullptr ? cursor_->element : nullptr;
  }

  // Element before the given one (a singly linked list has to search for it).
  T* Previous(const T* element) {
    Item* before = nullptr;
    for (Item* it = head_.get(); it != nullptr; before = it, it = it->next.get()) {
      if (it->element == element) {
        cursor_ = before;
        return before != nullptr ? before->element : nullptr;
      }
    }
    return nullptr;
  }

  // Index of the element, or -1; caches the item and its index.
  std::int32_t Find(const T* element) {
    std::int32_t index = -1;
    Item* item = FindItem(element, &index);
    if (item == nullptr) {
      return -1;
    }
    cachedItem_ = item;
    cachedIndex_ = index;
    return index;
  }

  bool Contains(const T* element) const {
    for (const Item* it = head_.get(); it != nullptr; it = it->next.get()) {
      if (it->element == element) {
        return true;
      }
    }
    return false;
  }

  // Element at an index, or none when out of range. Uses the cache on a hit and
  // walks on from it when the index lies further on.
  T* At(std::int32_t index) {
    if (index < 0 || index >= count_) {
      return nullptr;
    }
    Item* it = head_.get();
    std::int32_t at = 0;
    if (cachedItem_ != nullptr && cachedIndex_ <= index) {
      it = cachedItem_;
      at = cachedIndex_;
    }
    for (; at < index; ++at) {
      it = it->next.get();
    }
    cachedItem_ = it;
    cachedIndex_ = index;
    return it->element;
  }

  // Unlinks the first item holding the element. The element is destroyed only
  // when the list owns it and destroy is true; otherwise the caller keeps it.
  // Returns whether the element was found.
  bool Remove(const T* element, bool destroy) {
    Item* before = nullptr;
    std::int32_t index = 0;
    for (Item* it = head_.get(); it != nullptr; before = it, it = it->next.get(), ++index) {
      if (it->element != element) {
        continue;
      }
      if (cursor_ == it) {
        cursor_ = nullptr;
      }
      // Indexes behind the removed item shift, so the cache is only kept before it.
      if (cachedItem_ != nullptr && cachedIndex_ >= index) {
        cachedItem_ = nullptr;
        cachedIndex_ = -1;
      }
      if (tail_ == it) {
        tail_ = before;
      }
      std::unique_ptr<Item>& link = before != nullptr ? before->next : head_;
      std::unique_ptr<Item> gone = std::move(link);
      link = std::move(gone->next);
      --count_;
      if (destroy) {
        Dispose(gone->element);
      }
      return true;
    }
    return false;
  }

  // Drops every item, destroying the elements of an owning list.
  void Clear() {
    cursor_ = nullptr;
    cachedItem_ = nullptr;
    cachedIndex_ = -1;
    tail_ = nullptr;
    count_ = 0;
    // Iteratively, so that a long chain does not recurse in the item destructors.
    std::unique_ptr<Item> it = std::move(head_);
    while (it != nullptr) {
      std::unique_ptr<Item> next = std::move(it->next);
      Dispose(it->element);
      it = std::move(next);
    }
  }

  // Forward iteration over the elements; it does not touch the cursor or the
  // cache. Removing the current element ends the walk's validity.
  class Iterator {
   public:
    using iterator_category = std::forward_iterator_tag;
    using value_type = T*;
    using difference_type = std::ptrdiff_t;
    using pointer = T* const*;
    using reference = T* const&;

    Iterator() = default;
    explicit Iterator(const Item* item) : item_(item) {}
    reference operator*() const { return item_->element; }
    Iterator& operator++() {
      item_ = item_->next.get();
      return *this;
    }
    Iterator operator++(int) {
      Iterator old = *this;
      ++*this;
      return old;
    }
    bool operator==(const Iterator& other) const = default;

   private:
    const Item* item_ = nullptr;
  };

  Iterator begin() const { return Iterator(head_.get()); }
  Iterator end() const { return Iterator(); }

 private:
  void Dispose(T* element) {
    if (ownsItems_) {
      delete element;
    }
  }

  Item* FindItem(const T* element, std::int32_t* indexOut) const {
    if (cachedItem_ != nullptr && cachedItem_->element == element) {
      if (indexOut != nullptr) {
        *indexOut = cachedIndex_;
      }
      return cachedItem_;
    }
    std::int32_t index = 0;
    for (Item* it = head_.get(); it != nullptr; it = it->next.get(), ++index) {
      if (it->element == element) {
        if (indexOut != nullptr) {
          *indexOut = index;
        }
        return it;
      }
    }
    return nullptr;
  }

  void TakeFrom(TLList& other) {
    ownsItems_ = other.ownsItems_;
    count_ = std::exchange(other.count_, 0);
    cachedIndex_ = std::exchange(other.cachedIndex_, -1);
    head_ = std::move(other.head_);
    tail_ = std::exchange(other.tail_, nullptr);
    cursor_ = std::exchange(other.cursor_, nullptr);
    cachedItem_ = std::exchange(other.cachedItem_, nullptr);
  }

  bool ownsItems_ = false;
  std::int32_t count_ = 0;
  std::int32_t cachedIndex_ = -1;
  std::unique_ptr<Item> head_;
  Item* tail_ = nullptr;
  Item* cursor_ = nullptr;
  Item* cachedItem_ = nullptr;
};
