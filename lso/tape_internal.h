#pragma once

// The tape's layout, shared by the reader that builds it and the code that walks it.
//
// One Item a value, in file order (pre-order: a container, then its children). An item points
// into the file instead of copying: a scalar is decoded again from its bytes when it is asked
// for. A container knows where its subtree ends, so a parent's children are found by hopping
// over subtrees. Scalars without a key that follow one another (the items of an array of
// numbers) share one Run item, and the elements of a number vector have none at all: both are
// found by decoding forward from the start, which for a run is at most kMaxRun values.

#include <cstdint>
#include <cstring>
#include <memory_resource>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "lso/lso.h"

namespace vesk::lso::detail {

// Deepest nesting of containers the reader builds.
inline constexpr int kMaxDepth = 1000;

// How an item's key is found.
enum class KeyForm : std::uint8_t {
  None,    // at an index: array items, vector items, dictionary keys and values
  Amf0,    // `at` is the key: u16 length + bytes; the value follows it
  Amf3,    // `at` is the key: an AMF3 string (inline or by reference); the value follows it
  Sealed,  // a sealed member of an AMF3 object: the key is in the object's traits
};

// What an item is. Kinds of one value each, then the ones that cover several.
enum class Tag : std::uint8_t {
  Scalar,        // one scalar (any Kind up to ByteArray), decoded from `at`
  Object,        // Kind::Object; aux: end
  Array,         // Kind::Array; aux: end
  Vector,        // vector of objects; aux: end
  NumberVector,  // vector of int, uint or double; elements decoded from the file; aux: end
  Dictionary,    // aux: end
  External,      // one child; aux: end
  Run,           // several scalars at an index; payload: how many
  Reference,     // aux: the item referred to
  Problem,       // aux: index into the problems
};

inline constexpr std::uint32_t kMaxRun = 64;
inline constexpr std::uint32_t kMaxPayload = (1u << 24) - 1;

struct Item {
  std::uint32_t at = 0;  // the key for KeyForm::Amf0/Amf3, otherwise the value's first byte
  // tag 4 bits, key form 2, value in AMF3 1, an AMF0 switch byte (0x11) before the value 1,
  // payload 24: a run's length; a keyed item renamed in JSON: its number (" (2)").
  std::uint32_t head = 0;
  std::uint32_t aux = 0;  // containers: the item after the subtree; Reference: the item referred
                          // to; Problem: index into the problems; Scalar: its Kind

  Tag tag() const { return static_cast<Tag>(head & 15); }
  KeyForm key() const { return static_cast<KeyForm>(head >> 4 & 3); }
  bool amf3() const { return (head >> 6 & 1) != 0; }
  bool switched() const { return (head >> 7 & 1) != 0; }
  std::uint32_t payload() const { return head >> 8; }
  void set_payload(std::uint32_t p) { head = (head & 0xFF) | p << 8; }
  Kind kind() const { return static_cast<Kind>(aux); }

  static Item Make(std::uint32_t at, Tag tag, KeyForm key, bool amf3, bool switched) {
    Item item;
    item.at = at;
    item.head = static_cast<std::uint32_t>(tag) | static_cast<std::uint32_t>(key) << 4 |
                static_cast<std::uint32_t>(amf3) << 6 | static_cast<std::uint32_t>(switched) << 7;
    return item;
  }
};
static_assert(sizeof(Item) == 12);

inline bool IsContainer(Tag t) {
  return t == Tag::Object || t == Tag::Array || t == Tag::Vector || t == Tag::NumberVector ||
         t == Tag::Dictionary || t == Tag::External;
}

// An AMF3 class description: inline ones in the order they appear.
struct Traits {
  std::uint32_t defined = 0;    // offset of the object whose header defines them
  std::uint32_t className = 0;  // index into strings (kNoString for "")
  std::uint32_t firstName = 0;  // sealed member names: indexes into strings, in traitNames
  std::uint32_t count = 0;
  bool dynamic = false;
  bool externalizable = false;
};
inline constexpr std::uint32_t kNoString = 0xFFFFFFFF;

// Every 16th child item of a large container, with the row it starts at.
struct Mark {
  std::uint32_t item;
  std::uint32_t row;
};

// Reading big-endian numbers and AMF3's U29 from the file; the caller has checked the length.
inline std::uint8_t Byte(std::string_view in, std::size_t at) { return static_cast<std::uint8_t>(in[at]); }
inline std::uint16_t U16(std::string_view in, std::size_t at) {
  return static_cast<std::uint16_t>(Byte(in, at) << 8 | Byte(in, at + 1));
}
inline std::uint32_t U32(std::string_view in, std::size_t at) {
  return std::uint32_t{Byte(in, at)} << 24 | std::uint32_t{Byte(in, at + 1)} << 16 |
         std::uint32_t{Byte(in, at + 2)} << 8 | Byte(in, at + 3);
}
inline double F64(std::string_view in, std::size_t at) {
  std::uint64_t bits = std::uint64_t{U32(in, at)} << 32 | U32(in, at + 4);
  double d;
  std::memcpy(&d, &bits, sizeof d);
  return d;
}
// Reads a U29 at `at`; false when the file ends first. `at` moves past it.
inline bool ReadU29(std::string_view in, std::size_t& at, std::uint32_t& out) {
  out = 0;
  for (int i = 0; i < 3; ++i) {
    if (at >= in.size()) return false;
    std::uint8_t b = Byte(in, at++);
    out = out << 7 | (b & 0x7F);
    if (b < 0x80) return true;
  }
  if (at >= in.size()) return false;
  out = out << 8 | Byte(in, at++);
  return true;
}

}  // namespace vesk::lso::detail

namespace vesk::lso {

struct Tape::Impl {
  explicit Impl(std::pmr::memory_resource* index) : items(index), strings(index) {}

  std::string_view bytes;  // the file, held by `owner`
  std::size_t held = 0;    // the memory `owner` takes for it
  std::string name;
  int amf = 0;
  bool headerRead = false;
  std::pmr::vector<detail::Item> items;
  std::pmr::vector<std::uint32_t> strings;     // AMF3 string table: offset of each inline definition's U29
  std::vector<detail::Traits> traits;     // AMF3 traits table
  std::vector<std::uint32_t> traitNames;  // string indexes of sealed member names
  std::vector<Problem> problems;
  // References: the JSON Pointer of each value referred to, by item, in item order.
  std::vector<std::pair<std::uint32_t, std::string>> pointers;
  // Where the children of the containers asked about begin (see tape.cpp), made on demand.
  mutable std::unordered_map<std::uint32_t, std::vector<detail::Mark>> marks;
  // Last, so that it goes first: whoever reuses the file's buffer may have it back sooner.
  std::shared_ptr<const void> owner;

  std::string_view in() const { return bytes; }
  // Where the value of item `i` begins.
  std::size_t ValueAt(std::uint32_t i) const;
  // The string of the AMF3 table entry.
  std::string_view TableString(std::uint32_t index) const {
    std::size_t at = strings[index];
    std::uint32_t u = 0;
    detail::ReadU29(in(), at, u);
    return in().substr(at, u >> 1);
  }
  // The traits of the AMF3 object item `i`.
  const detail::Traits* TraitsOf(std::uint32_t i) const;
  // The item after the subtree of item `i`.
  std::uint32_t End(std::uint32_t i) const {
    return detail::IsContainer(items[i].tag()) ? items[i].aux : i + 1;
  }
};

}  // namespace vesk::lso

namespace vesk::lso::detail {

inline constexpr std::uint32_t kNoItem = 0xFFFFFFFF;  // the root, as a parent

// NodeId: the item + 1 in the low 32 bits; in the high 32 bits 0 for the item itself, or
// 1 + the index of an element of a run or a number vector.
inline NodeId MakeNode(std::uint32_t item, std::uint32_t element = 0) {
  return static_cast<NodeId>(element) << 32 | (static_cast<NodeId>(item) + 1);
}
inline std::uint32_t ItemOf(NodeId node) { return static_cast<std::uint32_t>(node & 0xFFFFFFFF) - 1; }
inline std::uint32_t ElementOf(NodeId node) { return static_cast<std::uint32_t>(node >> 32); }

// The raw bytes of item `item`'s key; `parent` (kNoItem for the pairs) and `row` (its place
// among the parent's children) are needed for the sealed members of an AMF3 object.
std::string_view RawKey(const Tape::Impl& t, std::uint32_t item, std::uint32_t parent, std::uint32_t row);
// The key as JSON names it, without the number a duplicate gets: UTF-8, with U+FFFD for what is
// not. Points into the file, or into `buffer`.
std::string_view JsonName(const Tape::Impl& t, std::uint32_t item, std::uint32_t parent, std::uint32_t row,
                          std::string& buffer);
// The scalar at `at` in AMF3 (`amf3`) or AMF0 (which may switch to AMF3); `at` moves past it.
Scalar DecodeScalar(const Tape::Impl& t, std::size_t& at, bool amf3);
// The element `index` of a run or a number vector.
Scalar Element(const Tape::Impl& t, std::uint32_t item, std::uint32_t index, std::size_t* offset = nullptr);
std::uint32_t VectorCount(const Tape::Impl& t, std::uint32_t item);
// Vectors of a plain element type that may grow are written as a bare JSON array; the others need
// a wrapper to keep their type name and fixed flag.
bool VectorHasWrapper(std::string_view typeName, bool fixed);
// Objects and External: the class name; vectors: the element type.
std::string_view ClassNameOf(const Tape::Impl& t, std::uint32_t item);
// Vectors: fixed; dictionaries: weak keys.
bool FlagOf(const Tape::Impl& t, std::uint32_t item);
// An AMF3 array with named members is written as {"$items": [...], "$members": {...}}.
bool ArrayHasMembers(const Tape::Impl& t, std::uint32_t item);

}  // namespace vesk::lso::detail
