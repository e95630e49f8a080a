// AMF3 values: a type byte, then mostly a U29 that is either a reference into one of the three
// tables (strings, objects, traits) or the length or count of what follows inline.

#include "base/escape.h"
#include "base/utf8.h"
#include "lso/reader.h"
#include "lso/text_forms.h"

namespace vesk::lso::detail {
namespace {

// A class name in a message: as it is when it is plain, quoted and escaped otherwise.
void AppendShownName(std::string& out, std::string_view name) {
  std::string escaped;
  base::AppendEscaped(escaped, name, "\"\\");
  if (escaped == name && !name.empty() && name.find(' ') == std::string_view::npos) out += name;
  else AppendQuoted(out, name);
}

bool Decodable(std::string_view className) {
  return className == "flex.messaging.io.ArrayCollection" || className == "flex.messaging.io.ObjectProxy";
}

}  // namespace

bool Reader::U29CutOff(const Slot* slot) {
  pos_ = in_.size();
  Fail(pos_, "value cut off by the end of the file", slot);
  return false;
}

bool Reader::String3(std::string_view& out, const Slot* slot, std::uint32_t* index) {
  const std::size_t at = pos_;
  std::uint32_t u;
  if (!U29(u, slot)) return false;
  if (!(u & 1)) {
    const std::uint32_t entry = u >> 1;
    if (entry >= t_.strings.size()) {
      FailReference(at, "string", entry, t_.strings.size(), " in the table", slot);
      return false;
    }
    out = t_.TableString(entry);
    if (index) *index = entry;
    // Written out again wherever it is referred to.
    return ChargeCopy(out.size(), at, slot);
  }
  const std::uint32_t n = u >> 1;
  if (!NeedLength(n, at, slot)) return false;
  out = in_.substr(pos_, n);
  pos_ += n;
  if (index) *index = n > 0 ? static_cast<std::uint32_t>(t_.strings.size()) : kNoString;
  if (n > 0) {
    if (!Charge(sizeof(std::uint32_t), at, slot)) return false;
    t_.strings.push_back(static_cast<std::uint32_t>(at));
  }
  return true;
}

bool Reader::ObjectHeader(const Slot& slot, std::uint32_t& u, std::size_t start, bool switched) {
  if (!U29(u, &slot)) return false;
  if (u & 1) {
    u >>= 1;
    return true;
  }
  const std::uint32_t index = u >> 1;
  if (index >= objects_.size()) {
    FailReference(start, "object", index, objects_.size(), " read so far", &slot);
    return false;
  }
  Reference(slot, start, true, switched, objects_[index]);
  return false;
}

void Reader::Value3(const Slot& slot, bool switched) {
  const std::size_t start = pos_;
  if (!Need(1, &slot)) return;
  const std::uint8_t type = Byte(pos_++);
  std::uint32_t u = 0;
  switch (type) {
    case 0x00: Scalar(slot, start, true, switched, Kind::Undefined); return;
    case 0x01: Scalar(slot, start, true, switched, Kind::Null); return;
    case 0x02:
    case 0x03: Scalar(slot, start, true, switched, Kind::Boolean); return;
    case 0x04:
      if (U29(u, &slot)) Scalar(slot, start, true, switched, Kind::Integer);
      return;
    case 0x05:
      if (!Need(8, &slot)) return;
      pos_ += 8;
      Scalar(slot, start, true, switched, Kind::Number);
      return;
    case 0x06: {
      std::string_view s;
      if (String3(s, &slot)) Scalar(slot, start, true, switched, Kind::String);
      return;
    }
    case 0x07:
    case 0x0B:
    case 0x0C:
      if (!ObjectHeader(slot, u, start, switched) || !NeedLength(u, start + 1, &slot)) return;
      objects_.push_back(static_cast<std::uint32_t>(t_.items.size()));
      pos_ += u;
      Scalar(slot, start, true, switched, type == 0x0C ? Kind::ByteArray : Kind::Xml, true);
      return;
    case 0x08:
      if (!ObjectHeader(slot, u, start, switched) || !Need(8, &slot)) return;
      objects_.push_back(static_cast<std::uint32_t>(t_.items.size()));
      pos_ += 8;
      Scalar(slot, start, true, switched, Kind::Date, true);
      return;
    case 0x09: Array3(slot, start, switched); return;
    case 0x0A: Object3(slot, start, switched); return;
    case 0x0D:
    case 0x0E:
    case 0x0F: NumberVector3(slot, start, switched, type); return;
    case 0x10: ObjectVector3(slot, start, switched); return;
    case 0x11: Dictionary3(slot, start, switched); return;
    default: FailType(start, true, type, &slot); return;
  }
}

// Named members until the empty string, then the dense items.
void Reader::Array3(const Slot& slot, std::size_t start, bool switched) {
  std::uint32_t count;
  if (!ObjectHeader(slot, count, start, switched)) return;
  if (!NeedCount(count, 1, start + 1, &slot) || !Open(slot, Tag::Array, start, true, switched)) return;
  objects_.push_back(frames_.back().item);
  while (!failed_) {
    const std::size_t keyAt = pos_;
    std::string_view key;
    if (!String3(key, nullptr) || key.empty()) break;
    Value3(Slot{KeyForm::Amf3, static_cast<std::uint32_t>(keyAt)}, false);
  }
  for (std::uint32_t i = 0; i < count && !failed_; ++i) Value3(Slot{}, false);
  Close();
}

void Reader::Object3(const Slot& slot, std::size_t start, bool switched) {
  std::uint32_t u;
  if (!ObjectHeader(slot, u, start, switched)) return;
  const std::size_t traitsIndex = Traits3(slot, u, start);
  if (failed_) return;
  const Traits traits = t_.traits[traitsIndex];
  const bool byReference = !(u & 1);
  const std::string_view className = traits.className == kNoString ? "" : t_.TableString(traits.className);
  if (traits.externalizable) {
    if (!Decodable(className)) {
      std::string message = "externalizable class ";
      AppendShownName(message, className);
      Fail(pos_, message + " cannot be read", &slot);
      return;
    }
    // These write one AMF3 value, which stands for the object.
    if (!Open(slot, Tag::External, start, true, switched)) return;
    objects_.push_back(frames_.back().item);
    Value3(Slot{}, false);
    Close();
    return;
  }
  if (!NeedCount(traits.count, 1, pos_, &slot)) return;
  if (byReference && !ChargeCopy(className.size(), start, &slot)) return;
  if (!Open(slot, Tag::Object, start, true, switched)) return;
  objects_.push_back(frames_.back().item);
  for (std::uint32_t i = 0; i < traits.count && !failed_; ++i) {
    const std::uint32_t name = t_.traitNames[traits.firstName + i];
    if (byReference && name != kNoString && !ChargeCopy(t_.TableString(name).size(), pos_, nullptr)) break;
    Value3(Slot{KeyForm::Sealed, 0}, false);
  }
  while (traits.dynamic && !failed_) {
    const std::size_t keyAt = pos_;
    std::string_view key;
    if (!String3(key, nullptr) || key.empty()) break;
    Value3(Slot{KeyForm::Amf3, static_cast<std::uint32_t>(keyAt)}, false);
  }
  Close();
}

// The traits of an object, inline or from the table; returns their index in the table.
// `u` is the object's U29 without its reference bit: bit 0 now says whether they are inline.
std::size_t Reader::Traits3(const Slot& slot, std::uint32_t u, std::size_t start) {
  if (!(u & 1)) {
    const std::size_t index = u >> 1;
    if (index >= t_.traits.size()) FailReference(start, "traits", index, t_.traits.size(), " read so far", &slot);
    return index;
  }
  Traits traits;
  traits.defined = static_cast<std::uint32_t>(start);
  traits.externalizable = (u & 2) != 0;
  traits.dynamic = (u & 4) != 0;
  const std::uint32_t sealed = traits.externalizable ? 0 : u >> 3;
  std::string_view name;
  if (!String3(name, &slot, &traits.className)) return 0;
  if (!NeedCount(sealed, 1, start + 1, &slot)) return 0;
  if (!Charge(sizeof(Traits) + sealed * sizeof(std::uint32_t), start, &slot)) return 0;
  traits.firstName = static_cast<std::uint32_t>(t_.traitNames.size());
  traits.count = sealed;
  for (std::uint32_t i = 0; i < sealed; ++i) {
    std::uint32_t index = kNoString;
    if (!String3(name, &slot, &index)) return 0;
    t_.traitNames.push_back(index);
  }
  t_.traits.push_back(traits);
  return t_.traits.size() - 1;
}

void Reader::NumberVector3(const Slot& slot, std::size_t start, bool switched, std::uint8_t type) {
  std::uint32_t count;
  if (!ObjectHeader(slot, count, start, switched)) return;
  const std::uint64_t size = type == 0x0F ? 8 : 4;
  if (!Need(1, &slot)) return;
  ++pos_;  // fixed
  if (!NeedCount(count, size, start + 1, &slot) || !Open(slot, Tag::NumberVector, start, true, switched)) return;
  objects_.push_back(frames_.back().item);
  pos_ += count * size;  // the elements are read from the file when asked for
  Close();
}

void Reader::ObjectVector3(const Slot& slot, std::size_t start, bool switched) {
  std::uint32_t count;
  if (!ObjectHeader(slot, count, start, switched)) return;
  if (!Need(1, &slot) || !NeedCount(count, 1, start + 1, &slot) || !Open(slot, Tag::Vector, start, true, switched))
    return;
  objects_.push_back(frames_.back().item);
  ++pos_;  // fixed
  std::string_view typeName;
  if (String3(typeName, nullptr)) {
    for (std::uint32_t i = 0; i < count && !failed_; ++i) Value3(Slot{}, false);
  }
  Close();
}

void Reader::Dictionary3(const Slot& slot, std::size_t start, bool switched) {
  std::uint32_t count;
  if (!ObjectHeader(slot, count, start, switched)) return;
  if (!Need(1, &slot) || !NeedCount(count, 2, start + 1, &slot) || !Open(slot, Tag::Dictionary, start, true, switched))
    return;
  objects_.push_back(frames_.back().item);
  ++pos_;  // weak keys
  for (std::uint32_t i = 0; i < count && !failed_; ++i) {
    Value3(Slot{}, false);
    if (!failed_) {
      Value3(Slot{}, false);
    } else {
      // The key was cut off: its value holds the same problem, so that entries stay pairs.
      Item value = Item::Make(static_cast<std::uint32_t>(pos_), Tag::Problem, KeyForm::None, true, false);
      value.aux = static_cast<std::uint32_t>(t_.problems.size() - 1);
      t_.items.push_back(value);
    }
  }
  Close();
}

}  // namespace vesk::lso::detail
