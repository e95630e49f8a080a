#pragma once

// The scan's list of entries, EntryList: a growable list of strings, first index 0. Its text is
// packed one entry after another into a few large blocks rather than each entry into an
// allocation of its own: a deeper scan records hundreds of thousands of entries, and an
// allocation and a fresh page for each cost more than reading the folders did.

#include <cstddef>
#include <initializer_list>
#include <memory>
#include <string_view>
#include <vector>

namespace vesk::discovery {

class EntryList {
 public:
  using value_type = std::string_view;
  using const_iterator = std::vector<std::string_view>::const_iterator;
  using iterator = const_iterator;

  EntryList() = default;
  explicit EntryList(std::size_t emptySlots) : slots_(emptySlots) {}
  EntryList(std::initializer_list<std::string_view> entries);
  EntryList(const EntryList& other);
  EntryList& operator=(const EntryList& other);
  EntryList(EntryList&&) noexcept = default;
  EntryList& operator=(EntryList&&) noexcept = default;

  std::size_t size() const { return slots_.size(); }
  bool empty() const { return slots_.empty(); }
  std::string_view operator[](std::size_t i) const { return slots_[i]; }
  std::string_view back() const { return slots_.back(); }
  const_iterator begin() const { return slots_.begin(); }
  const_iterator end() const { return slots_.end(); }
  bool operator==(const EntryList& other) const { return slots_ == other.slots_; }

  // Adds a slot holding `text` at the end.
  void push_back(std::string_view text);
  void pop_back() { slots_.pop_back(); }
  void reserve(std::size_t slots) { slots_.reserve(slots); }

  // The scan's growth rule: `marker` + `folder` + `name` is written into the last slot (which
  // must exist), and the list is lengthened by one empty slot.
  void Record(std::string_view marker, std::string_view folder, std::string_view name);
  // The same entry in a new slot at the end, with no spare slot after it.
  void Add(std::string_view marker, std::string_view folder, std::string_view name);

  // For one list made of parts filled on several threads at once: an empty list whose text goes
  // into the same blocks as this one's, so that AppendSlots can take its slots without copying.
  EntryList Part();
  // Appends the slots [first, last) of `part`, a Part() of this list (or of one of its parts).
  void AppendSlots(const EntryList& part, std::size_t first, std::size_t last);

 private:
  class Store;
  char* Room(std::size_t length);

  std::vector<std::string_view> slots_;
  std::shared_ptr<Store> store_;  // the blocks the text of the slots lies in
  char* free_ = nullptr;          // where this list's next text goes, in a piece of a block
  std::size_t room_ = 0;          // bytes left there
};

}  // namespace vesk::discovery
