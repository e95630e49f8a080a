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
  bool Need(std::uint64_t n, const Slot* slot, const char* what = "value");
  bool NeedLength(std::uint64_t n, std::size_t at, const Slot* slot);
  bool NeedCount(std::uint64_t count, std::uint64_t each, std::size_t at, const Slot* slot);
  // Memory the index takes, and copies that references make, against their budgets.
  bool Charge(std::size_t bytes, std::size_t at, const Slot* slot);
  bool ChargeCopy(std::size_t bytes, std::size_t at, const Slot* slot);
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
  bool U29(std::uint32_t& out, const Slot* slot);
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

}  // namespace vesk::lso::detail
