#pragma once

// The reader that builds a tape: the header and the pairs (reader.cpp), AMF0 values (amf0.cpp),
// AMF3 values (amf3.cpp), and what it checks once an object is complete (keys.cpp).

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "lso/tape_internal.h"

namespace vesk::lso::detail {

// Where the value being read goes: the key it stands under, if any.
struct Slot {
  KeyForm key = KeyForm::None;
  std::uint32_t keyAt = 0;  // KeyForm::Amf0/Amf3: where the key begins
};

class Reader {
 public:
  Reader(Tape::Impl& tape, FillNotice fill);
  void Run();

 private:
  // ---- reader.cpp: input, bookkeeping, budgets, the header and the pairs ----
  std::size_t Left() const { return in_.size() - pos_; }
  std::uint8_t Byte(std::size_t at) const { return detail::Byte(in_, at); }

  void Note(std::size_t offset, std::string message);
  // A problem after which nothing more is read; the value being read, if any, becomes a
  // Problem item in `slot`.
  void Fail(std::size_t offset, std::string message, const Slot* slot);
  [[gnu::noinline]] void FailReference(std::size_t at, const char* what, std::size_t index, std::size_t size,
                                       const char* tail, const Slot* slot);
  [[gnu::noinline]] void FailType(std::size_t at, bool amf3, std::uint8_t type, const Slot* slot);
  bool Need(std::uint64_t n, const Slot* slot, const char* what = "value") { return n <= Left() || CutOff(slot, what); }
  bool NeedLength(std::uint64_t n, std::size_t at, const Slot* slot) { return n <= Left() || PastTheEnd(n, at, slot); }
  bool NeedCount(std::uint64_t count, std::uint64_t each, std::size_t at, const Slot* slot) {
    return count * each <= Left() || TooMany(count, at, slot);
  }
  // Memory the index takes, and copies that references make, against their budgets.
  bool Charge(std::size_t bytes, std::size_t at, const Slot* slot) {
    if (bytes > memory_) return OverMemory(at, slot);
    memory_ -= bytes;
    if (memory_ < fillAt_) Filled();
    return true;
  }
  bool ChargeCopy(std::size_t bytes, std::size_t at, const Slot* slot) {
    if (bytes > copies_) return OverCopies(at, slot);
    copies_ -= bytes;
    return true;
  }
  // The failures of the checks above: each fails, and returns false.
  [[gnu::noinline]] bool CutOff(const Slot* slot, const char* what);
  [[gnu::noinline]] bool PastTheEnd(std::uint64_t n, std::size_t at, const Slot* slot);
  [[gnu::noinline]] bool TooMany(std::uint64_t count, std::size_t at, const Slot* slot);
  [[gnu::noinline]] bool OverMemory(std::size_t at, const Slot* slot);
  [[gnu::noinline]] bool OverCopies(std::size_t at, const Slot* slot);
  [[gnu::noinline]] bool TooDeep(std::size_t at, const Slot* slot);
  // Tells fill_ how far the index's arrays are written.
  [[gnu::noinline]] void Filled();
  bool Enter(std::size_t at, const Slot* slot);

  static std::size_t ItemCost(const Slot& slot);
  Item MakeItem(const Slot& slot, Tag tag, std::size_t valueAt, bool amf3, bool switched) const;
  // One scalar read from `valueAt` to pos_; `alone` when a reference may point at it.
  bool Scalar(const Slot& slot, std::size_t valueAt, bool amf3, bool switched, Kind kind, bool alone = false);
  // A container: Open pushes its item, Close ends it (and checks an object's keys).
  bool Open(const Slot& slot, Tag tag, std::size_t valueAt, bool amf3, bool switched);
  void Close();
  bool Reference(const Slot& slot, std::size_t valueAt, bool amf3, bool switched, std::uint32_t target);

  bool Header();
  void Pair();

  // ---- amf0.cpp ----
  void Value0(const Slot& slot);
  void String0(const Slot& slot, std::size_t start, int lengthBytes, Kind kind);
  void Object0(const Slot& slot, std::size_t start);
  void StrictArray0(const Slot& slot, std::size_t start);

  // ---- amf3.cpp ----
  void Value3(const Slot& slot, bool switched);
  bool U29(std::uint32_t& out, const Slot* slot) { return ReadU29(in_, pos_, out) || U29CutOff(slot); }
  [[gnu::noinline]] bool U29CutOff(const Slot* slot);
  // A string, inline or from the table; `out` points into the file; `index` is its table entry
  // (kNoString for the empty string).
  bool String3(std::string_view& out, const Slot* slot, std::uint32_t* index = nullptr);
  bool ObjectHeader(const Slot& slot, std::uint32_t& u, std::size_t start, bool switched);
  void Array3(const Slot& slot, std::size_t start, bool switched);
  void Object3(const Slot& slot, std::size_t start, bool switched);
  [[gnu::noinline]] std::size_t Traits3(const Slot& slot, std::uint32_t u, std::size_t start);
  void NumberVector3(const Slot& slot, std::size_t start, bool switched, std::uint8_t type);
  void ObjectVector3(const Slot& slot, std::size_t start, bool switched);
  void Dictionary3(const Slot& slot, std::size_t start, bool switched);

  // ---- pointers.cpp ----
  // The JSON Pointer of every value a reference points at; references past the copy budget
  // become problems.
  void Pointers();
  std::size_t Offset(std::uint32_t item) const;

  // ---- keys.cpp ----
  // Names every keyed child of `container` (kRootItem for the pairs) as the JSON form will, and
  // gives a later duplicate a number so that each name stands once.
  void CheckKeys(std::uint32_t container, std::size_t offset);
  std::string_view MemberName(std::uint32_t container, std::uint32_t n, std::string& buffer) const;
  // The string-table entry of each member's name, when every name is an AMF3 one taken from the
  // table; false otherwise.
  bool NameEntries(std::uint32_t container, std::uint32_t* entries) const;
  bool Taken(std::uint32_t container, const std::string& candidate) const;
  std::uint32_t Rename(std::uint32_t container, std::size_t offset, std::uint32_t first, std::uint32_t later,
                       const std::string& name, std::uint32_t number);
  [[gnu::noinline]] void NoteDuplicate(std::size_t offset, std::string_view first, std::string_view second,
                                       std::string_view json, std::uint32_t number, bool classMember);

  // The keyed children of the object being checked, with their rows (kDone once renamed).
  struct Member {
    std::uint32_t item;
    std::uint32_t row;
  };
  static constexpr std::uint32_t kDone = 0xFFFFFFFF;
  std::vector<Member> members_;
  std::vector<std::uint64_t> order_;  // hash << 32 | index into members_
  std::string small_[8];              // names of a small object that are not UTF-8
  // Small objects repeat their class's names, by table entry: the sets of entries found free of
  // duplicates, by a hash of the set.
  struct CheckedNames {
    std::uint32_t count = 0;
    std::uint32_t entries[8];
  };
  CheckedNames checked_[64] = {};

  struct Frame {
    std::uint32_t item;  // the open container; kRootItem for the pairs
    std::uint32_t run;   // its open run of scalars, or kNoRun
  };
  static constexpr std::uint32_t kRootItem = 0xFFFFFFFF;
  static constexpr std::uint32_t kNoRun = 0xFFFFFFFF;

  Tape::Impl& t_;
  std::string_view in_;
  std::size_t pos_ = 0;
  bool failed_ = false;
  int depth_ = 0;
  std::size_t memory_;  // bytes of index still allowed
  FillNotice fill_;
  std::size_t fillAt_;  // memory_ left at the next notice
  std::size_t copies_;  // bytes references may still copy
  std::vector<Frame> frames_;
  std::vector<std::uint32_t> amf0Objects_;  // items of AMF0 complex values, in the order they began
  std::vector<std::uint32_t> objects_;      // the AMF3 object table: items
  int duplicates_ = 0;
};

// Scalars that nothing can refer to may share a run.
inline bool Runnable(Kind kind) { return kind <= Kind::String || kind == Kind::Xml || kind == Kind::Date; }

// What every value passes through, here so that it is compiled into the readers of values: a
// call passes only four arguments in registers on Windows, and the loads of the others from the
// stack stall (a third of the time a big file took there). Forced in optimized builds only:
// unoptimized, each inlined copy keeps stack slots of its own, and a thousand levels of nesting
// would no longer fit the stack of a Windows thread.
#if defined(__OPTIMIZE__)
#define VESK_LSO_INLINE [[gnu::always_inline]] inline
#else
#define VESK_LSO_INLINE inline
#endif

// Containers and externalizable wrappers count as levels; scalars do not.
inline bool Reader::Enter(std::size_t at, const Slot* slot) { return depth_ < kMaxDepth || TooDeep(at, slot); }

// A keyed item also needs room while its object's names are checked (keys.cpp).
inline std::size_t Reader::ItemCost(const Slot& slot) {
  return sizeof(Item) + (slot.key == KeyForm::None ? 0 : sizeof(Member) + sizeof(std::uint64_t));
}

inline Item Reader::MakeItem(const Slot& slot, Tag tag, std::size_t valueAt, bool amf3, bool switched) const {
  const bool keyed = slot.key == KeyForm::Amf0 || slot.key == KeyForm::Amf3;
  return Item::Make(keyed ? slot.keyAt : static_cast<std::uint32_t>(valueAt), tag, slot.key, amf3, switched);
}

VESK_LSO_INLINE bool Reader::Scalar(const Slot& slot, std::size_t valueAt, bool amf3, bool switched, Kind kind, bool alone) {
  Frame& frame = frames_.back();
  // What an externalizable wrapper stands for is one value of its own, never part of a run.
  const bool runnable = slot.key == KeyForm::None && !alone && Runnable(kind) &&
                        frame.item != kRootItem && t_.items[frame.item].tag() != Tag::External;
  if (runnable && frame.run != kNoRun && frame.run + 1 == t_.items.size()) {
    Item& run = t_.items[frame.run];
    // The run's elements are read in the encoding of their container; an AMF0 element may still
    // switch to AMF3 on its own.
    if (run.amf3() == (amf3 && !switched) && run.payload() < kMaxRun) {
      run.set_payload(run.payload() + 1);
      return true;
    }
  }
  if (!Charge(ItemCost(slot), valueAt, &slot)) return false;
  if (runnable) {
    const std::size_t at = switched ? valueAt - 1 : valueAt;
    Item run = Item::Make(static_cast<std::uint32_t>(at), Tag::Run, KeyForm::None, amf3 && !switched, false);
    run.set_payload(1);
    frame.run = static_cast<std::uint32_t>(t_.items.size());
    t_.items.push_back(run);
    return true;
  }
  Item item = MakeItem(slot, Tag::Scalar, valueAt, amf3, switched);
  item.aux = static_cast<std::uint32_t>(kind);
  t_.items.push_back(item);
  frame.run = kNoRun;
  return true;
}

VESK_LSO_INLINE bool Reader::Open(const Slot& slot, Tag tag, std::size_t valueAt, bool amf3, bool switched) {
  if (!Enter(valueAt, &slot) || !Charge(ItemCost(slot), valueAt, &slot)) return false;
  frames_.back().run = kNoRun;
  frames_.push_back(Frame{static_cast<std::uint32_t>(t_.items.size()), kNoRun});
  t_.items.push_back(MakeItem(slot, tag, valueAt, amf3, switched));
  ++depth_;
  return true;
}

inline void Reader::Close() {
  const std::uint32_t item = frames_.back().item;
  t_.items[item].aux = static_cast<std::uint32_t>(t_.items.size());
  const Tag tag = t_.items[item].tag();
  if (tag == Tag::Object || tag == Tag::Array) CheckKeys(item, t_.ValueAt(item));
  frames_.pop_back();
  --depth_;
}

inline bool Reader::Reference(const Slot& slot, std::size_t valueAt, bool amf3, bool switched, std::uint32_t target) {
  if (!Charge(ItemCost(slot), valueAt, &slot)) return false;
  Item item = MakeItem(slot, Tag::Reference, valueAt, amf3, switched);
  item.aux = target;
  t_.items.push_back(item);
  frames_.back().run = kNoRun;
  return true;
}

#undef VESK_LSO_INLINE

}  // namespace vesk::lso::detail
