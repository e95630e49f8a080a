#include "discovery/entry_list.h"

#include <algorithm>
#include <cstring>
#include <mutex>

#include "platform/platform.h"

namespace vesk::discovery {

// The blocks of a list and of its parts. Each list takes pieces of a block for itself, so that
// lists on several threads rarely meet here, and a list's unused rest stays small.
class EntryList::Store {
 public:
  // At least `length` bytes for one list's own use; `got` tells how many.
  char* Take(std::size_t length, std::size_t& got) {
    std::lock_guard lock(mutex_);
    const std::size_t wanted = std::max(length, kPiece);
    if (room_ < length) {
      // Blocks double up to a size the system can give in one huge page.
      const std::size_t size = std::max(length, next_);
      next_ = std::min(next_ * 2, kLargestBlock);
      blocks_.push_back(platform::AllocateLargeBlock(size));
      free_ = blocks_.back().get();
      room_ = size;
    }
    got = std::min(wanted, room_);
    char* at = free_;
    free_ += got;
    room_ -= got;
    return at;
  }

 private:
  static constexpr std::size_t kPiece = 64 * 1024;
  static constexpr std::size_t kLargestBlock = 2 * 1024 * 1024;
  std::mutex mutex_;
  std::vector<platform::LargeBlock> blocks_;
  char* free_ = nullptr;
  std::size_t room_ = 0;
  std::size_t next_ = 16 * 1024;
};

EntryList::EntryList(std::initializer_list<std::string_view> entries) {
  slots_.reserve(entries.size());
  for (const std::string_view entry : entries) push_back(entry);
}

EntryList::EntryList(const EntryList& other) {
  slots_.reserve(other.size());
  for (const std::string_view entry : other) push_back(entry);
}

EntryList& EntryList::operator=(const EntryList& other) {
  if (this != &other) *this = EntryList(other);
  return *this;
}

char* EntryList::Room(std::size_t length) {
  if (length > room_) {
    if (!store_) store_ = std::make_shared<Store>();
    free_ = store_->Take(length, room_);
  }
  char* at = free_;
  free_ += length;
  room_ -= length;
  return at;
}

void EntryList::push_back(std::string_view text) { Add(text, {}, {}); }

void EntryList::Add(std::string_view marker, std::string_view folder, std::string_view name) {
  const std::size_t length = marker.size() + folder.size() + name.size();
  if (length == 0) {
    slots_.emplace_back();
    return;
  }
  char* const at = Room(length);
  char* to = at;
  for (const std::string_view part : {marker, folder, name}) {
    if (part.empty()) continue;  // an empty view may have no data at all
    std::memcpy(to, part.data(), part.size());
    to += part.size();
  }
  slots_.emplace_back(at, length);
}

void EntryList::Record(std::string_view marker, std::string_view folder, std::string_view name) {
  slots_.pop_back();
  Add(marker, folder, name);
  slots_.emplace_back();
}

EntryList EntryList::Part() {
  if (!store_) store_ = std::make_shared<Store>();
  EntryList part;
  part.store_ = store_;
  return part;
}

void EntryList::AppendSlots(const EntryList& part, std::size_t first, std::size_t last) {
  if (!store_) store_ = part.store_;
  slots_.insert(slots_.end(), part.slots_.begin() + static_cast<std::ptrdiff_t>(first),
                part.slots_.begin() + static_cast<std::ptrdiff_t>(last));
}

}  // namespace vesk::discovery
