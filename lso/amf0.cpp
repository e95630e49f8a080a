// AMF0 values: one type byte, then what that type needs (see lso-format's table).

#include "lso/reader.h"

namespace vesk::lso::detail {

void Reader::Value0(const Slot& slot) {
  const std::size_t start = pos_;
  if (!Need(1, &slot)) return;
  const std::uint8_t type = Byte(pos_++);
  switch (type) {
    case 0x00:
      if (!Need(8, &slot)) return;
      pos_ += 8;
      Scalar(slot, start, false, false, Kind::Number);
      return;
    case 0x01:
      if (!Need(1, &slot)) return;
      pos_ += 1;
      Scalar(slot, start, false, false, Kind::Boolean);
      return;
    case 0x02: String0(slot, start, 2, Kind::String); return;
    case 0x0C: String0(slot, start, 4, Kind::String); return;
    case 0x0F: String0(slot, start, 4, Kind::Xml); return;
    case 0x05: Scalar(slot, start, false, false, Kind::Null); return;
    case 0x06: Scalar(slot, start, false, false, Kind::Undefined); return;
    case 0x0D: Scalar(slot, start, false, false, Kind::Unsupported); return;
    case 0x03: Object0(slot, start); return;
    case 0x08:
      if (!Need(4, &slot)) return;
      pos_ += 4;  // the count is only a hint
      Object0(slot, start);
      return;
    case 0x10: {
      if (!Need(2, &slot)) return;
      const std::size_t at = pos_;
      const std::uint16_t n = U16(in_, pos_);
      pos_ += 2;
      if (!NeedLength(n, at, &slot)) return;
      pos_ += n;  // the class name, read again from the file when asked for
      Object0(slot, start);
      return;
    }
    case 0x07: {
      if (!Need(2, &slot)) return;
      const std::uint16_t index = U16(in_, pos_);
      pos_ += 2;
      if (index >= amf0Objects_.size()) {
        FailReference(start, "complex value", index, amf0Objects_.size(), " read so far", &slot);
        return;
      }
      Reference(slot, start, false, false, amf0Objects_[index]);
      return;
    }
    case 0x0A: StrictArray0(slot, start); return;
    case 0x0B:
      if (!Need(10, &slot)) return;
      pos_ += 10;  // milliseconds, then a time zone nobody uses
      Scalar(slot, start, false, false, Kind::Date);
      return;
    case 0x11: Value3(slot, true); return;
    default: FailType(start, false, type, &slot); return;
  }
}

void Reader::String0(const Slot& slot, std::size_t start, int lengthBytes, Kind kind) {
  if (!Need(lengthBytes, &slot)) return;
  const std::size_t at = pos_;
  const std::uint32_t n = lengthBytes == 2 ? U16(in_, pos_) : U32(in_, pos_);
  pos_ += lengthBytes;
  if (!NeedLength(n, at, &slot)) return;
  pos_ += n;
  Scalar(slot, start, false, false, kind);
}

// Members until the end mark: an empty key followed by 09.
void Reader::Object0(const Slot& slot, std::size_t start) {
  if (!Open(slot, Tag::Object, start, false, false)) return;
  amf0Objects_.push_back(frames_.back().item);
  while (!failed_) {
    if (!Need(2, nullptr, "object")) break;
    const std::size_t at = pos_;
    const std::uint16_t n = U16(in_, pos_);
    pos_ += 2;
    if (n == 0) {
      if (!Need(1, nullptr, "object")) break;
      if (Byte(pos_) == 0x09) {
        ++pos_;
        break;
      }
    }
    if (!NeedLength(n, at, nullptr)) break;
    pos_ += n;
    Value0(Slot{KeyForm::Amf0, static_cast<std::uint32_t>(at)});
  }
  Close();
}

void Reader::StrictArray0(const Slot& slot, std::size_t start) {
  if (!Need(4, &slot)) return;
  const std::uint32_t count = U32(in_, pos_);
  pos_ += 4;
  if (!NeedCount(count, 1, start + 1, &slot) || !Open(slot, Tag::Array, start, false, false)) return;
  amf0Objects_.push_back(frames_.back().item);
  for (std::uint32_t i = 0; i < count && !failed_; ++i) Value0(Slot{});
  Close();
}

}  // namespace vesk::lso::detail
