// The reader's bookkeeping: budgets, problems, the items it appends, the header and the pairs.
// The values themselves are read in amf0.cpp and amf3.cpp.

#include "lso/reader.h"

#include <algorithm>

namespace vesk::lso::detail {
namespace {

constexpr std::size_t kMemoryBase = std::size_t{56} << 20;
constexpr std::size_t kMemoryFactor = 6;
constexpr std::size_t kCopyBase = std::size_t{1} << 20;
constexpr std::size_t kCopyFactor = 4;
// Index bytes between two fill notices: often enough to stay ahead of, rare enough to cost nothing.
// Every item and string is charged before it is added, so an array grows by no more than this
// between two notices, but for the item whose charge brings the notice and one of a failure.
constexpr std::size_t kFillNoticeEvery = std::size_t{64} << 10;
static_assert(kFillNoticeEvery + 2 * sizeof(Item) <= kFillReach);

std::string Hex(std::uint8_t b) {
  const char* digits = "0123456789ABCDEF";
  return {digits[b >> 4], digits[b & 15]};
}


}  // namespace

Reader::Reader(Tape::Impl& tape, FillNotice fill)
    : t_(tape),
      in_(tape.bytes),
      memory_(kMemoryBase + kMemoryFactor * tape.bytes.size()),
      fill_(fill),
      fillAt_(fill.filled ? memory_ - kFillNoticeEvery : 0),
      copies_(kCopyBase + kCopyFactor * tape.bytes.size()) {
  // A value takes at least two bytes of the file unless it shares a run, so this is the most
  // the index can need. Reserving it spares the copies of growing; pages never written to are
  // never taken from the system.
  t_.items.reserve(in_.size() / 2 + 16);
  frames_.push_back(Frame{kRootItem, kNoRun});
}

void Reader::Filled() {
  fillAt_ = memory_ > kFillNoticeEvery ? memory_ - kFillNoticeEvery : 0;
  fill_.filled(fill_.context, t_.items.data(), t_.items.size() * sizeof(Item), t_.items.capacity() * sizeof(Item));
  if (t_.strings.capacity() > 0) {
    fill_.filled(fill_.context, t_.strings.data(), t_.strings.size() * sizeof(std::uint32_t),
                 t_.strings.capacity() * sizeof(std::uint32_t));
  }
}

void Reader::Run() {
  if (!Header()) return;
  if (t_.amf == 3) t_.strings.reserve(in_.size() / 2 + 16);
  if (fill_.filled) Filled();
  while (!failed_ && pos_ < in_.size()) Pair();
  CheckKeys(kRootItem, 0);
  Pointers();
}

void Reader::Note(std::size_t offset, std::string message) {
  t_.problems.push_back(Problem{offset, std::move(message)});
}

void Reader::Fail(std::size_t offset, std::string message, const Slot* slot) {
  Note(offset, std::move(message));
  failed_ = true;
  if (!slot) return;
  Item item = MakeItem(*slot, Tag::Problem, offset, false, false);
  item.aux = static_cast<std::uint32_t>(t_.problems.size() - 1);
  t_.items.push_back(item);
  frames_.back().run = kNoRun;
}

void Reader::FailReference(std::size_t at, const char* what, std::size_t index, std::size_t size, const char* tail,
                           const Slot* slot) {
  Fail(at, std::string("reference to ") + what + " " + std::to_string(index) + ", only " + std::to_string(size) + tail,
       slot);
}

void Reader::FailType(std::size_t at, bool amf3, std::uint8_t type, const Slot* slot) {
  if (!amf3 && (type == 0x04 || type == 0x0E)) {
    Fail(at, "AMF0 type 0x" + Hex(type) + (type == 0x04 ? " (movieclip)" : " (recordset)") + " is reserved and never written",
         slot);
  } else if (!amf3 && type == 0x09) {
    Fail(at, "object end 09 outside an object", slot);
  } else {
    Fail(at, std::string("unknown ") + (amf3 ? "AMF3" : "AMF0") + " type byte 0x" + Hex(type), slot);
  }
}

bool Reader::TooDeep(std::size_t at, const Slot* slot) {
  Fail(at, "nested deeper than " + std::to_string(kMaxDepth) + " levels", slot);
  return false;
}

bool Reader::CutOff(const Slot* slot, const char* what) {
  Fail(pos_, std::string(what) + " cut off by the end of the file", slot);
  return false;
}

bool Reader::PastTheEnd(std::uint64_t n, std::size_t at, const Slot* slot) {
  Fail(at, "length " + std::to_string(n) + " runs past the end of the file (" + std::to_string(Left()) + " bytes left)",
       slot);
  return false;
}

bool Reader::TooMany(std::uint64_t count, std::size_t at, const Slot* slot) {
  Fail(at, "count " + std::to_string(count) + " is more than the " + std::to_string(Left()) + " bytes left can hold",
       slot);
  return false;
}

bool Reader::OverMemory(std::size_t at, const Slot* slot) {
  Fail(at,
       "the values would take more than " + std::to_string((kMemoryBase + kMemoryFactor * in_.size()) >> 20) +
           " MiB of memory; the rest is not read",
       slot);
  return false;
}

bool Reader::OverCopies(std::size_t at, const Slot* slot) {
  Fail(at, "references copy more than " + std::to_string(kCopyBase + kCopyFactor * in_.size()) + " bytes; the rest is not read",
       slot);
  return false;
}

bool Reader::Header() {
  if (in_.size() < 2 || Byte(0) != 0x00 || Byte(1) != 0xBF) {
    Fail(0, "not a .sol file: it does not begin with 00 BF", nullptr);
    return false;
  }
  pos_ = 2;
  if (!Need(4, nullptr, "header")) return false;
  const std::uint32_t length = U32(in_, pos_);
  if (length != in_.size() - 6)
    Note(2, "the header gives " + std::to_string(length) + " bytes after the length field, the file has " +
                std::to_string(in_.size() - 6));
  pos_ += 4;
  if (!Need(4, nullptr, "header")) return false;
  if (in_.substr(pos_, 4) != "TCSO") {
    Fail(pos_, "not a .sol file: no TCSO at offset 6", nullptr);
    return false;
  }
  pos_ += 4;
  if (!Need(6, nullptr, "header")) return false;
  if (in_.substr(pos_, 6) != std::string_view("\0\4\0\0\0\0", 6)) Note(pos_, "unusual bytes after TCSO");
  pos_ += 6;
  if (!Need(2, nullptr, "header")) return false;
  const std::size_t at = pos_;
  const std::uint16_t n = U16(in_, pos_);
  pos_ += 2;
  if (!NeedLength(n, at, nullptr)) return false;
  t_.name.assign(in_.substr(pos_, n));
  pos_ += n;
  if (!Need(4, nullptr, "header")) return false;
  if (in_.substr(pos_, 3) != std::string_view("\0\0\0", 3)) Note(pos_, "unusual bytes before the AMF version");
  const std::uint8_t version = Byte(pos_ + 3);
  if (version != 0 && version != 3) {
    Fail(pos_ + 3, "unknown AMF version " + std::to_string(version), nullptr);
    return false;
  }
  pos_ += 4;
  t_.amf = version;
  t_.headerRead = true;
  return true;
}

void Reader::Pair() {
  Slot slot{t_.amf == 0 ? KeyForm::Amf0 : KeyForm::Amf3, static_cast<std::uint32_t>(pos_)};
  if (t_.amf == 0) {
    if (!Need(2, nullptr, "key")) return;
    const std::size_t at = pos_;
    const std::uint16_t n = U16(in_, pos_);
    pos_ += 2;
    if (!NeedLength(n, at, nullptr)) return;
    pos_ += n;
  } else {
    std::string_view key;
    if (!String3(key, nullptr)) return;
  }
  depth_ = 0;
  if (t_.amf == 0) Value0(slot);
  else Value3(slot, false);
  if (failed_) return;
  if (pos_ == in_.size()) {
    Note(pos_, "the last pair is not ended by 00");
    return;
  }
  if (Byte(pos_) != 0) {
    Fail(pos_,
         "trailing bytes: 00 expected after a pair, found 0x" + Hex(Byte(pos_)) + "; the last " + std::to_string(Left()) +
             " bytes are not read",
         nullptr);
    return;
  }
  ++pos_;
}

}  // namespace vesk::lso::detail
