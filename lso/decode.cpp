#include <algorithm>
#include <cstring>
#include <string>

#include "lso/internal.h"
#include "lso/lso.h"

namespace vesk::lso {
namespace {

using detail::kMaxDepth;

// Where a value lands in the JSON form, kept as a chain of small nodes so that a table entry costs
// a few bytes however deep it lies; the pointer text is only built when a reference needs it.
enum class Seg : std::uint8_t { Root, Key, Index, Literal, Slot };

struct Node {
  std::uint32_t parent = 0;
  std::uint32_t a = 0;  // Key: offset of the key in the file; Index/Slot: the index; Literal: which
  std::uint32_t b = 0;  // Key: its length; Slot: 0 for the key, 1 for the value
  Seg seg = Seg::Root;
};

struct Place {
  std::uint32_t parent = 0;
  Seg seg = Seg::Root;
  std::uint32_t a = 0;
  std::uint32_t b = 0;
};

constexpr const char* kLiterals[] = {"$items", "$members", "$dictionary"};
enum : std::uint32_t { kItems, kMembers, kDictionary };

struct Traits {
  std::uint32_t classOffset = 0, classLength = 0;
  std::uint32_t firstName = 0, count = 0;  // sealed member names in Decoder::traitNames_
  bool dynamic = false, externalizable = false;
};

struct Span {
  std::uint32_t offset = 0, length = 0;
};

// Copies out of the tables (string and traits references, pointers) could make a small file
// expand without bound; they share one budget. Strings short enough to live inside std::string
// cost nothing beyond the value that holds them, so only longer ones are charged.
constexpr std::size_t kSmallString = 15;
constexpr std::size_t kBudgetBase = std::size_t{1} << 20;

// Containers reserve at most this many slots up front: a count in the file is only a claim.
constexpr std::size_t kReserveCap = 1024;

class Decoder {
 public:
  Decoder(std::string_view in, Document& doc)
      : in_(in), doc_(doc), budget_(kBudgetBase + 4 * in.size()) {
    nodes_.push_back(Node{});
  }

  void Run() {
    if (!Header()) return;
    while (!failed_ && pos_ < in_.size()) Pair();
  }

 private:
  std::size_t Left() const { return in_.size() - pos_; }
  std::uint8_t Byte(std::size_t at) const { return static_cast<std::uint8_t>(in_[at]); }
  std::uint16_t U16() {
    std::uint16_t v = static_cast<std::uint16_t>(Byte(pos_) << 8 | Byte(pos_ + 1));
    pos_ += 2;
    return v;
  }
  std::uint32_t U32() {
    std::uint32_t v = std::uint32_t{Byte(pos_)} << 24 | std::uint32_t{Byte(pos_ + 1)} << 16 |
                      std::uint32_t{Byte(pos_ + 2)} << 8 | Byte(pos_ + 3);
    pos_ += 4;
    return v;
  }
  double Double() {
    std::uint64_t bits = std::uint64_t{U32()} << 32;
    bits |= U32();
    double d;
    std::memcpy(&d, &bits, sizeof d);
    return d;
  }

  void Note(std::size_t offset, std::string message) {
    doc_.problems.push_back(Problem{offset, std::move(message)});
  }
  // A problem after which nothing more can be read: the value being read, if any, holds it.
  void Fail(std::size_t offset, std::string message, Value* v = nullptr) {
    if (v) {
      *v = Value{};
      v->kind = Kind::Problem;
      v->text = message;
    }
    Note(offset, std::move(message));
    failed_ = true;
  }
  // Checks that `n` more bytes are there; otherwise the value is cut off.
  bool Need(std::uint64_t n, Value* v, const char* what = "value") {
    if (n <= Left()) return true;
    Fail(pos_, std::string(what) + " cut off by the end of the file", v);
    return false;
  }
  bool NeedLength(std::uint64_t n, std::size_t at, Value* v) {
    if (n <= Left()) return true;
    Fail(at, "length " + std::to_string(n) + " runs past the end of the file (" + std::to_string(Left()) +
                 " bytes left)",
         v);
    return false;
  }
  // A count of items that take at least `each` bytes apiece.
  bool NeedCount(std::uint64_t count, std::uint64_t each, std::size_t at, Value* v) {
    if (count * each <= Left()) return true;
    Fail(at, "count " + std::to_string(count) + " is more than the " + std::to_string(Left()) +
                 " bytes left can hold",
         v);
    return false;
  }
  bool Charge(std::size_t n, std::size_t at, Value* v) {
    if (n <= budget_) {
      budget_ -= n;
      return true;
    }
    Fail(at, "references copy more than " + std::to_string(kBudgetBase + 4 * in_.size()) + " bytes; the rest is not read", v);
    return false;
  }
  bool Copy(std::string& to, std::string_view from, std::size_t at, Value* v) {
    if (from.size() > kSmallString && !Charge(from.size(), at, v)) return false;
    to.assign(from);
    return true;
  }
  // Containers and externalizable wrappers count as levels; scalars do not.
  bool Enter(std::size_t at, Value* v) {
    if (++depth_ <= kMaxDepth) return true;
    Fail(at, "nested deeper than " + std::to_string(kMaxDepth) + " levels", v);
    return false;
  }

  std::uint32_t NodeAt(const Place& p) {
    nodes_.push_back(Node{p.parent, p.a, p.b, p.seg});
    return static_cast<std::uint32_t>(nodes_.size() - 1);
  }
  std::uint32_t Child(std::uint32_t parent, Seg seg, std::uint32_t a, std::uint32_t b = 0) {
    return NodeAt(Place{parent, seg, a, b});
  }
  Place KeyPlace(std::uint32_t parent, std::string_view key) const {
    return Place{parent, Seg::Key, static_cast<std::uint32_t>(key.data() - in_.data()),
                 static_cast<std::uint32_t>(key.size())};
  }

  // Builds the JSON Pointer of a node: "/values/..." with RFC 6901 escaping of keys.
  void MakeReference(Value& v, std::uint32_t node, std::size_t at) {
    chain_.clear();
    for (std::uint32_t n = node; n != 0; n = nodes_[n].parent) chain_.push_back(n);
    std::string pointer = "/values";
    std::string key;
    for (auto it = chain_.rbegin(); it != chain_.rend(); ++it) {
      const Node& n = nodes_[*it];
      pointer += '/';
      switch (n.seg) {
        case Seg::Key:
          key.clear();
          detail::AppendUtf8(key, in_.substr(n.a, n.b));
          for (char c : key) {
            if (c == '~') pointer += "~0";
            else if (c == '/') pointer += "~1";
            else pointer += c;
          }
          break;
        case Seg::Index: pointer += std::to_string(n.a); break;
        case Seg::Slot: pointer += std::to_string(n.a) + (n.b ? "/1" : "/0"); break;
        case Seg::Literal: pointer += kLiterals[n.a]; break;
        case Seg::Root: break;
      }
      if (pointer.size() > budget_) break;  // Charge below fails; no need to finish it
    }
    if (!Charge(pointer.size(), at, &v)) return;
    v = Value{};
    v.kind = Kind::Reference;
    v.text = std::move(pointer);
  }

  bool Header() {
    if (in_.size() < 2 || Byte(0) != 0x00 || Byte(1) != 0xBF) {
      Fail(0, "not a .sol file: it does not begin with 00 BF");
      return false;
    }
    pos_ = 2;
    if (!Need(4, nullptr, "header")) return false;
    std::uint32_t length = U32();
    if (length != in_.size() - 6)
      Note(2, "the header gives " + std::to_string(length) + " bytes after the length field, the file has " +
                  std::to_string(in_.size() - 6));
    if (!Need(4, nullptr, "header")) return false;
    if (in_.substr(pos_, 4) != "TCSO") {
      Fail(pos_, "not a .sol file: no TCSO at offset 6");
      return false;
    }
    pos_ += 4;
    if (!Need(6, nullptr, "header")) return false;
    if (in_.substr(pos_, 6) != std::string_view("\0\4\0\0\0\0", 6)) Note(pos_, "unusual bytes after TCSO");
    pos_ += 6;
    if (!Need(2, nullptr, "header")) return false;
    std::size_t at = pos_;
    std::uint16_t n = U16();
    if (!NeedLength(n, at, nullptr)) return false;
    doc_.name.assign(in_.substr(pos_, n));
    pos_ += n;
    if (!Need(4, nullptr, "header")) return false;
    if (in_.substr(pos_, 3) != std::string_view("\0\0\0", 3)) Note(pos_, "unusual bytes before the AMF version");
    std::uint8_t version = Byte(pos_ + 3);
    if (version != 0 && version != 3) {
      Fail(pos_ + 3, "unknown AMF version " + std::to_string(version));
      return false;
    }
    pos_ += 4;
    doc_.amf = version;
    return true;
  }

  void Pair() {
    std::string_view key;
    if (doc_.amf == 0) {
      if (!Need(2, nullptr, "key")) return;
      std::size_t at = pos_;
      std::uint16_t n = U16();
      if (!NeedLength(n, at, nullptr)) return;
      key = in_.substr(pos_, n);
      pos_ += n;
    } else if (!String3(key, nullptr)) {
      return;
    }
    Member m;
    if (!Copy(m.key, key, pos_, nullptr)) return;
    depth_ = 0;
    if (doc_.amf == 0) Value0(m.value, KeyPlace(0, key));
    else Value3(m.value, KeyPlace(0, key));
    doc_.values.push_back(std::move(m));
    if (failed_) return;
    if (pos_ == in_.size()) {
      Note(pos_, "the last pair is not ended by 00");
      return;
    }
    if (Byte(pos_) != 0) {
      Fail(pos_, "trailing bytes: 00 expected after a pair, found 0x" + Hex(Byte(pos_)) + "; the last " +
                     std::to_string(Left()) + " bytes are not read");
      return;
    }
    ++pos_;
  }

  static std::string Hex(std::uint8_t b) {
    const char* digits = "0123456789ABCDEF";
    return {digits[b >> 4], digits[b & 15]};
  }

  // ---- AMF0 ----

  void Value0(Value& v, const Place& where) {
    std::size_t start = pos_;
    if (!Need(1, &v)) return;
    std::uint8_t type = Byte(pos_++);
    switch (type) {
      case 0x00:
        if (!Need(8, &v)) return;
        v.kind = Kind::Number;
        v.number = Double();
        return;
      case 0x01:
        if (!Need(1, &v)) return;
        v.kind = Kind::Boolean;
        v.boolean = Byte(pos_++) != 0;
        return;
      case 0x02: String0(v, 2, Kind::String); return;
      case 0x0C: String0(v, 4, Kind::String); return;
      case 0x0F: String0(v, 4, Kind::Xml); return;
      case 0x03: Object0(v, where, start); return;
      case 0x05: v.kind = Kind::Null; return;
      case 0x06: v.kind = Kind::Undefined; return;
      case 0x0D: v.kind = Kind::Unsupported; return;
      case 0x07: {
        if (!Need(2, &v)) return;
        std::uint16_t index = U16();
        if (index >= amf0Objects_.size()) {
          Fail(start, "reference to complex value " + std::to_string(index) + ", only " +
                          std::to_string(amf0Objects_.size()) + " read so far",
               &v);
          return;
        }
        MakeReference(v, amf0Objects_[index], start);
        return;
      }
      case 0x08:
        if (!Need(4, &v)) return;
        pos_ += 4;  // the count is only a hint
        Object0(v, where, start);
        return;
      case 0x0A: {
        if (!Need(4, &v)) return;
        std::uint32_t count = U32();
        if (!NeedCount(count, 1, start + 1, &v) || !Enter(start, &v)) return;
        std::uint32_t node = NodeAt(where);
        amf0Objects_.push_back(node);
        v.kind = Kind::Array;
        v.items.reserve(std::min<std::size_t>(count, kReserveCap));
        for (std::uint32_t i = 0; i < count && !failed_; ++i) {
          v.items.emplace_back();
          Value0(v.items.back(), Place{node, Seg::Index, i});
        }
        --depth_;
        return;
      }
      case 0x0B:
        if (!Need(10, &v)) return;
        v.kind = Kind::Date;
        v.number = Double();
        pos_ += 2;  // time zone, unused
        return;
      case 0x10: {
        if (!Need(2, &v)) return;
        std::size_t at = pos_;
        std::uint16_t n = U16();
        if (!NeedLength(n, at, &v)) return;
        std::string_view name = in_.substr(pos_, n);
        pos_ += n;
        Object0(v, where, start);
        if (v.kind == Kind::Object) v.className.assign(name);
        return;
      }
      case 0x11: Value3(v, where); return;
      case 0x04: Fail(start, "AMF0 type 0x04 (movieclip) is reserved and never written", &v); return;
      case 0x0E: Fail(start, "AMF0 type 0x0E (recordset) is reserved and never written", &v); return;
      case 0x09: Fail(start, "object end 09 outside an object", &v); return;
      default: Fail(start, "unknown AMF0 type byte 0x" + Hex(type), &v); return;
    }
  }

  void String0(Value& v, int lengthBytes, Kind kind) {
    if (!Need(lengthBytes, &v)) return;
    std::size_t at = pos_;
    std::uint32_t n = lengthBytes == 2 ? U16() : U32();
    if (!NeedLength(n, at, &v)) return;
    v.kind = kind;
    v.text.assign(in_.substr(pos_, n));
    pos_ += n;
  }

  // Members until the end mark: an empty key followed by 09.
  void Object0(Value& v, const Place& where, std::size_t start) {
    if (!Enter(start, &v)) return;
    std::uint32_t node = NodeAt(where);
    amf0Objects_.push_back(node);
    v.kind = Kind::Object;
    while (!failed_) {
      if (!Need(2, nullptr, "object")) break;
      std::size_t at = pos_;
      std::uint16_t n = U16();
      if (n == 0) {
        if (!Need(1, nullptr, "object")) break;
        if (Byte(pos_) == 0x09) {
          ++pos_;
          break;
        }
      }
      if (!NeedLength(n, at, nullptr)) break;
      std::string_view key = in_.substr(pos_, n);
      pos_ += n;
      v.members.emplace_back();
      v.members.back().key.assign(key);
      Value0(v.members.back().value, KeyPlace(node, key));
    }
    --depth_;
  }

  // ---- AMF3 ----

  bool U29(std::uint32_t& out, Value* v) {
    out = 0;
    for (int i = 0; i < 3; ++i) {
      if (!Need(1, v)) return false;
      std::uint8_t b = Byte(pos_++);
      out = out << 7 | (b & 0x7F);
      if (b < 0x80) return true;
    }
    if (!Need(1, v)) return false;
    out = out << 8 | Byte(pos_++);
    return true;
  }

  // A string, inline or from the string table; the view points into the file.
  bool String3(std::string_view& out, Value* v) {
    std::size_t at = pos_;
    std::uint32_t u;
    if (!U29(u, v)) return false;
    if (!(u & 1)) {
      std::uint32_t index = u >> 1;
      if (index >= strings_.size()) {
        Fail(at, "reference to string " + std::to_string(index) + ", only " + std::to_string(strings_.size()) +
                     " in the table",
             v);
        return false;
      }
      out = in_.substr(strings_[index].offset, strings_[index].length);
      return true;
    }
    std::uint32_t n = u >> 1;
    if (!NeedLength(n, at, v)) return false;
    out = in_.substr(pos_, n);
    if (n > 0) strings_.push_back(Span{static_cast<std::uint32_t>(pos_), n});
    pos_ += n;
    return true;
  }

  // Reads the U29 of a type that lives in the object table. Returns true with `u` holding the
  // inline length/count; false when the value was a reference (then filled in) or a problem.
  bool ObjectHeader(Value& v, std::uint32_t& u, std::size_t start) {
    if (!U29(u, &v)) return false;
    if (u & 1) {
      u >>= 1;
      return true;
    }
    std::uint32_t index = u >> 1;
    if (index >= objects_.size()) {
      Fail(start, "reference to object " + std::to_string(index) + ", only " + std::to_string(objects_.size()) +
                      " read so far",
           &v);
      return false;
    }
    MakeReference(v, objects_[index], start);
    return false;
  }

  std::uint32_t Register(const Place& where) {
    std::uint32_t node = NodeAt(where);
    objects_.push_back(node);
    return node;
  }

  void Value3(Value& v, const Place& where) {
    std::size_t start = pos_;
    if (!Need(1, &v)) return;
    std::uint8_t type = Byte(pos_++);
    std::uint32_t u = 0;
    switch (type) {
      case 0x00: v.kind = Kind::Undefined; return;
      case 0x01: v.kind = Kind::Null; return;
      case 0x02:
      case 0x03:
        v.kind = Kind::Boolean;
        v.boolean = type == 0x03;
        return;
      case 0x04:
        if (!U29(u, &v)) return;
        v.kind = Kind::Integer;
        v.integer = static_cast<std::int32_t>(u & 0x10000000 ? u | 0xE0000000 : u);
        return;
      case 0x05:
        if (!Need(8, &v)) return;
        v.kind = Kind::Number;
        v.number = Double();
        return;
      case 0x06: {
        std::string_view s;
        if (!String3(s, &v)) return;
        if (!Copy(v.text, s, start, &v)) return;
        v.kind = Kind::String;
        return;
      }
      case 0x07:
      case 0x0B:
      case 0x0C:
        if (!ObjectHeader(v, u, start)) return;
        if (!NeedLength(u, start + 1, &v)) return;
        Register(where);
        v.kind = type == 0x0C ? Kind::ByteArray : Kind::Xml;
        v.text.assign(in_.substr(pos_, u));
        pos_ += u;
        return;
      case 0x08:
        if (!ObjectHeader(v, u, start)) return;
        if (!Need(8, &v)) return;
        Register(where);
        v.kind = Kind::Date;
        v.number = Double();
        return;
      case 0x09: Array3(v, where, start); return;
      case 0x0A: Object3(v, where, start); return;
      case 0x0D:
      case 0x0E:
      case 0x0F: NumberVector3(v, where, start, type); return;
      case 0x10: ObjectVector3(v, where, start); return;
      case 0x11: Dictionary3(v, where, start); return;
      default: Fail(start, "unknown AMF3 type byte 0x" + Hex(type), &v); return;
    }
  }

  void Array3(Value& v, const Place& where, std::size_t start) {
    std::uint32_t count;
    if (!ObjectHeader(v, count, start)) return;
    if (!NeedCount(count, 1, start + 1, &v) || !Enter(start, &v)) return;
    std::uint32_t node = Register(where);
    v.kind = Kind::Array;
    std::uint32_t itemsNode = node;
    std::uint32_t membersNode = 0;
    std::string_view key;
    std::size_t keyAt = pos_;
    if (String3(key, &v) && !key.empty()) {
      // Named members: the JSON form wraps the two parts, so the pointers go through the wrapper.
      itemsNode = Child(node, Seg::Literal, kItems);
      membersNode = Child(node, Seg::Literal, kMembers);
      while (!failed_ && !key.empty()) {
        std::string copy;
        if (!Copy(copy, key, keyAt, nullptr)) break;
        v.members.push_back(Member{std::move(copy), {}});
        Value3(v.members.back().value, KeyPlace(membersNode, key));
        keyAt = pos_;
        if (!failed_) String3(key, nullptr);
      }
    }
    if (!failed_) {
      v.items.reserve(std::min<std::size_t>(count, kReserveCap));
      for (std::uint32_t i = 0; i < count && !failed_; ++i) {
        v.items.emplace_back();
        Value3(v.items.back(), Place{itemsNode, Seg::Index, i});
      }
    }
    --depth_;
  }

  void Object3(Value& v, const Place& where, std::size_t start) {
    std::uint32_t u;
    if (!ObjectHeader(v, u, start)) return;
    // `u` is the U29 without its reference bit: bit 0 now says whether the traits are inline.
    std::uint32_t node = Register(where);
    std::size_t traitsIndex;
    if (!(u & 1)) {
      traitsIndex = u >> 1;
      if (traitsIndex >= traits_.size()) {
        Fail(start, "reference to traits " + std::to_string(traitsIndex) + ", only " +
                        std::to_string(traits_.size()) + " read so far",
             &v);
        return;
      }
    } else {
      Traits t;
      t.externalizable = (u & 2) != 0;
      t.dynamic = (u & 4) != 0;
      std::uint32_t sealed = t.externalizable ? 0 : u >> 3;
      std::string_view name;
      if (!String3(name, &v)) return;
      t.classOffset = static_cast<std::uint32_t>(name.data() - in_.data());
      t.classLength = static_cast<std::uint32_t>(name.size());
      if (!NeedCount(sealed, 1, start + 1, &v)) return;
      t.firstName = static_cast<std::uint32_t>(traitNames_.size());
      t.count = sealed;
      for (std::uint32_t i = 0; i < sealed; ++i) {
        std::string_view member;
        if (!String3(member, &v)) return;
        traitNames_.push_back(Span{static_cast<std::uint32_t>(member.data() - in_.data()),
                                   static_cast<std::uint32_t>(member.size())});
      }
      traitsIndex = traits_.size();
      traits_.push_back(t);
    }
    const Traits t = traits_[traitsIndex];
    std::string_view className = in_.substr(t.classOffset, t.classLength);
    if (t.externalizable) {
      if (className != "flex.messaging.io.ArrayCollection" && className != "flex.messaging.io.ObjectProxy") {
        Fail(pos_, "externalizable class " + std::string(className) + " cannot be read", &v);
        return;
      }
      // These write one AMF3 value; it stands for the object, in the same place.
      if (!Enter(start, &v)) return;
      Value3(v, where);
      --depth_;
      return;
    }
    if (!Enter(start, &v)) return;
    if (!NeedCount(t.count, 1, pos_, &v)) return;
    v.kind = Kind::Object;
    if (!Copy(v.className, className, start, &v)) return;
    v.members.reserve(std::min<std::size_t>(t.count, kReserveCap));
    for (std::uint32_t i = 0; i < t.count && !failed_; ++i) {
      const Span& s = traitNames_[t.firstName + i];
      std::string_view key = in_.substr(s.offset, s.length);
      std::string copy;
      if (!Copy(copy, key, pos_, nullptr)) break;
      v.members.push_back(Member{std::move(copy), {}});
      Value3(v.members.back().value, KeyPlace(node, key));
    }
    while (t.dynamic && !failed_) {
      std::size_t keyAt = pos_;
      std::string_view key;
      std::string copy;
      if (!String3(key, nullptr) || key.empty() || !Copy(copy, key, keyAt, nullptr)) break;
      v.members.push_back(Member{std::move(copy), {}});
      Value3(v.members.back().value, KeyPlace(node, key));
    }
    --depth_;
  }

  void NumberVector3(Value& v, const Place& where, std::size_t start, std::uint8_t type) {
    std::uint32_t count;
    if (!ObjectHeader(v, count, start)) return;
    std::uint64_t size = type == 0x0F ? 8 : 4;
    if (!Need(1, &v) || !Enter(start, &v)) return;
    Register(where);
    v.kind = Kind::Vector;
    v.boolean = Byte(pos_++) != 0;
    if (!NeedCount(count, size, start + 1, &v)) return;
    v.className = type == 0x0D ? "int" : type == 0x0E ? "uint" : "double";
    v.items.resize(count);
    for (Value& item : v.items) {
      if (type == 0x0D) {
        item.kind = Kind::Integer;
        item.integer = static_cast<std::int32_t>(U32());
      } else if (type == 0x0E) {
        item.kind = Kind::Number;
        item.number = U32();
      } else {
        item.kind = Kind::Number;
        item.number = Double();
      }
    }
    --depth_;
  }

  void ObjectVector3(Value& v, const Place& where, std::size_t start) {
    std::uint32_t count;
    if (!ObjectHeader(v, count, start)) return;
    if (!Need(1, &v) || !NeedCount(count, 1, start + 1, &v) || !Enter(start, &v)) return;
    std::uint32_t node = Register(where);
    v.kind = Kind::Vector;
    v.boolean = Byte(pos_++) != 0;
    std::string_view typeName;
    std::size_t at = pos_;
    if (String3(typeName, &v) && Copy(v.className, typeName, at, &v)) {
      std::uint32_t itemsNode =
          detail::VectorHasWrapper(typeName, v.boolean) ? Child(node, Seg::Literal, kItems) : node;
      v.items.reserve(std::min<std::size_t>(count, kReserveCap));
      for (std::uint32_t i = 0; i < count && !failed_; ++i) {
        v.items.emplace_back();
        Value3(v.items.back(), Place{itemsNode, Seg::Index, i});
      }
    }
    --depth_;
  }

  void Dictionary3(Value& v, const Place& where, std::size_t start) {
    std::uint32_t count;
    if (!ObjectHeader(v, count, start)) return;
    if (!Need(1, &v) || !NeedCount(count, 2, start + 1, &v) || !Enter(start, &v)) return;
    std::uint32_t node = Register(where);
    v.kind = Kind::Dictionary;
    v.boolean = Byte(pos_++) != 0;
    std::uint32_t entriesNode = Child(node, Seg::Literal, kDictionary);
    v.entries.reserve(std::min<std::size_t>(count, kReserveCap));
    for (std::uint32_t i = 0; i < count && !failed_; ++i) {
      v.entries.emplace_back();
      Value3(v.entries.back().key, Place{entriesNode, Seg::Slot, i, 0});
      if (!failed_) Value3(v.entries.back().value, Place{entriesNode, Seg::Slot, i, 1});
    }
    --depth_;
  }

  std::string_view in_;
  std::size_t pos_ = 0;
  Document& doc_;
  bool failed_ = false;
  int depth_ = 0;
  std::size_t budget_;
  std::vector<Node> nodes_;
  std::vector<std::uint32_t> chain_;
  std::vector<std::uint32_t> amf0Objects_;  // nodes of AMF0 complex values, in the order they began
  std::vector<Span> strings_;               // the AMF3 tables, shared by every pair of the file
  std::vector<std::uint32_t> objects_;
  std::vector<Traits> traits_;
  std::vector<Span> traitNames_;
};

}  // namespace

Document Decode(std::string_view bytes) {
  Document doc;
  if (bytes.size() > 0xFFFFFFF0u) {  // offsets are kept in 32 bits; no player writes such a file
    doc.problems.push_back(Problem{0, "the file is larger than 4 GiB"});
    return doc;
  }
  Decoder(bytes, doc).Run();
  return doc;
}

}  // namespace vesk::lso
