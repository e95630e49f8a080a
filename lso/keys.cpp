// Member names once an object is complete. JSON readers disagree on an object that has a name
// twice, and a pointer through it is ambiguous, so every name the JSON form writes must be
// unique: a later duplicate (equal bytes, or bytes that read the same once what is not UTF-8 is
// replaced) is written with a number, " (2)", and reported. No player writes such a file.
//
// A numbered name "N (k)" can only equal a name of the object or the numbered name of the same
// N (the last " (" begins the number), so numbering each name's duplicates in turn, past the
// names that the object holds, gives unique names without remembering the ones given.

#include <algorithm>
#include <functional>

#include "lso/reader.h"
#include "lso/text_forms.h"

namespace vesk::lso::detail {
namespace {

constexpr int kMaxDuplicates = 100;
// Small objects are compared name by name; larger ones by sorted hashes.
constexpr std::size_t kSmallObject = 8;
// A typed object's JSON form begins with "$class": a member of that name must give way.
constexpr std::uint32_t kClassMember = 0xFFFFFFFF;
// The class member among string-table entries (kNoString is the empty name).
constexpr std::uint32_t kClassEntry = 0xFFFFFFFE;

std::uint32_t Hash(std::string_view s) { return static_cast<std::uint32_t>(std::hash<std::string_view>()(s)); }

}  // namespace

// The JSON name of keyed child `n` (an index into members_), or "$class".
std::string_view Reader::MemberName(std::uint32_t container, std::uint32_t n, std::string& buffer) const {
  const Member& m = members_[n];
  if (m.item == kClassMember) return "$class";
  return JsonName(t_, m.item, container == kRootItem ? kNoItem : container, m.row, buffer);
}

void Reader::CheckKeys(std::uint32_t container, std::size_t offset) {
  const std::uint32_t first = container == kRootItem ? 0 : container + 1;
  const std::uint32_t end = container == kRootItem ? static_cast<std::uint32_t>(t_.items.size()) : t_.items[container].aux;
  members_.clear();
  members_.reserve(end - first + 1);  // no slack from growing: objects can be huge
  if (container != kRootItem && t_.items[container].tag() == Tag::Object && !ClassNameOf(t_, container).empty())
    members_.push_back(Member{kClassMember, 0});
  std::uint32_t row = 0;
  for (std::uint32_t i = first; i < end; i = t_.End(i), ++row)
    if (t_.items[i].key() != KeyForm::None) members_.push_back(Member{i, row});
  const std::size_t n = members_.size();
  if (n < 2) return;
  std::string a, b;
  if (n <= kSmallObject) {
    // Equal entries hold equal names, so a set of entries checked once holds no duplicate
    // wherever it comes again; a set with one is checked every time, as each must be reported.
    std::uint32_t entries[kSmallObject];
    CheckedNames* checked = nullptr;
    if (NameEntries(container, entries)) {
      std::uint32_t hash = 0;
      for (std::uint32_t k = 0; k < n; ++k) hash = hash * 31 + entries[k];
      checked = &checked_[hash % std::size(checked_)];
      if (checked->count == n && std::equal(entries, entries + n, checked->entries)) return;
    }
    // Each name once, then every pair; a name that is not UTF-8 gets its own buffer.
    std::string_view names[kSmallObject];
    for (std::uint32_t k = 0; k < n; ++k) names[k] = MemberName(container, k, small_[k]);
    bool renamed = false;
    for (std::uint32_t head = 0; head < n; ++head) {
      if (members_[head].row == kDone) continue;
      std::uint32_t number = 2;
      for (std::uint32_t later = head + 1; later < n; ++later) {
        if (members_[later].row == kDone || names[later] != names[head]) continue;
        // Renaming looks names up again: the head's is copied first.
        const std::string name(names[head]);
        number = Rename(container, offset, head, later, name, number) + 1;
        members_[later].row = kDone;
        renamed = true;
      }
    }
    if (checked && !renamed) {
      checked->count = static_cast<std::uint32_t>(n);
      std::copy(entries, entries + n, checked->entries);
    }
    return;
  }
  // Equal names side by side, in file order (the class member first).
  order_.resize(n);
  for (std::uint32_t k = 0; k < n; ++k) order_[k] = std::uint64_t{Hash(MemberName(container, k, a))} << 32 | k;
  std::sort(order_.begin(), order_.end());
  for (std::size_t i = 0; i < n;) {
    std::size_t runEnd = i + 1;
    while (runEnd < n && order_[runEnd] >> 32 == order_[i] >> 32) ++runEnd;
    // Within a run the first member of each name keeps it and the later ones are numbered; a
    // run holds one name unless hashes collide, so the rounds are few.
    for (std::size_t head = i; head + 1 < runEnd; ++head) {
      const auto h = static_cast<std::uint32_t>(order_[head]);
      if (members_[h].row == kDone) continue;
      const std::string name(MemberName(container, h, a));
      std::uint32_t number = 2;
      for (std::size_t later = head + 1; later < runEnd; ++later) {
        const auto l = static_cast<std::uint32_t>(order_[later]);
        if (members_[l].row == kDone || MemberName(container, l, b) != name) continue;
        number = Rename(container, offset, h, l, name, number) + 1;
        members_[l].row = kDone;
      }
    }
    i = runEnd;
  }
}

bool Reader::NameEntries(std::uint32_t container, std::uint32_t* entries) const {
  const Traits* traits = nullptr;
  for (std::size_t k = 0; k < members_.size(); ++k) {
    const Member& m = members_[k];
    if (m.item == kClassMember) {
      entries[k] = kClassEntry;
      continue;
    }
    const Item& item = t_.items[m.item];
    if (item.key() == KeyForm::Amf3) {
      std::size_t at = item.at;
      std::uint32_t u = 0;
      // A name defined here has an entry too, but finding it costs more than comparing.
      if (!ReadU29(in_, at, u) || (u & 1)) return false;
      entries[k] = u >> 1;
    } else if (item.key() == KeyForm::Sealed) {
      if (!traits && container != kRootItem) traits = t_.TraitsOf(container);
      if (!traits || m.row >= traits->count) return false;
      entries[k] = t_.traitNames[traits->firstName + m.row];
    } else {
      return false;
    }
  }
  return true;
}

bool Reader::Taken(std::uint32_t container, const std::string& candidate) const {
  std::string buffer;
  if (members_.size() <= kSmallObject) {
    for (std::uint32_t k = 0; k < members_.size(); ++k)
      if (MemberName(container, k, buffer) == candidate) return true;
    return false;
  }
  const std::uint32_t h = Hash(candidate);
  for (auto it = std::lower_bound(order_.begin(), order_.end(), std::uint64_t{h} << 32); it != order_.end() && *it >> 32 == h; ++it)
    if (MemberName(container, static_cast<std::uint32_t>(*it), buffer) == candidate) return true;
  return false;
}

// Gives member `later`, which shares `name` with member `first`, the first free number from
// `number`; returns it.
std::uint32_t Reader::Rename(std::uint32_t container, std::size_t offset, std::uint32_t first, std::uint32_t later,
                             const std::string& name, std::uint32_t number) {
  while (number < kMaxPayload && Taken(container, name + " (" + std::to_string(number) + ")")) ++number;
  const std::uint32_t item = members_[later].item;
  t_.items[item].set_payload(number);
  const std::uint32_t parent = container == kRootItem ? kNoItem : container;
  // The row is needed for sealed keys only, and those are never marked done before this.
  const std::string_view second = RawKey(t_, item, parent, members_[later].row);
  const bool classMember = members_[first].item == kClassMember;
  NoteDuplicate(offset, classMember ? second : RawKey(t_, members_[first].item, parent, members_[first].row), second,
                name, number, classMember);
  return number;
}

void Reader::NoteDuplicate(std::size_t offset, std::string_view first, std::string_view second, std::string_view json,
                           std::uint32_t number, bool classMember) {
  if (++duplicates_ > kMaxDuplicates) {
    if (duplicates_ == kMaxDuplicates + 1)
      Note(offset, "duplicate keys: more than " + std::to_string(kMaxDuplicates) + ", the rest not reported");
    return;
  }
  std::string message;
  if (classMember) {
    message = "key \"$class\" of a typed object stands beside its class name in JSON";
  } else if (first == second) {
    message = "duplicate key ";
    AppendQuoted(message, first);
  } else {
    message = "keys ";
    AppendQuoted(message, first);
    message += " and ";
    AppendQuoted(message, second);
    message += " read the same in JSON";
  }
  message += "; the later one is written as ";
  AppendQuoted(message, std::string(json) + " (" + std::to_string(number) + ")");
  Note(offset, std::move(message));
}

}  // namespace vesk::lso::detail
