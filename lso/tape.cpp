// Reading values back from the tape: keys, scalars and the tree's navigation.

#include <algorithm>
#include <unordered_map>

#include "base/escape.h"
#include "base/utf8.h"
#include "lso/reader.h"
#include "lso/tape_internal.h"
#include "lso/text_forms.h"

namespace vesk::lso {

using detail::Item;
using detail::KeyForm;
using detail::Tag;

// ---- the layout ----

std::size_t Tape::Impl::ValueAt(std::uint32_t i) const {
  const Item& item = items[i];
  std::size_t at = item.at;
  switch (item.key()) {
    case KeyForm::Amf0: at += 2 + detail::U16(in(), at); break;
    case KeyForm::Amf3: {
      std::uint32_t u = 0;
      detail::ReadU29(in(), at, u);
      if (u & 1) at += u >> 1;
      break;
    }
    case KeyForm::None:
    case KeyForm::Sealed: return at;
  }
  return item.switched() ? at + 1 : at;
}


const detail::Traits* Tape::Impl::TraitsOf(std::uint32_t i) const {
  std::size_t at = ValueAt(i) + 1;
  std::uint32_t u = 0;
  if (!detail::ReadU29(in(), at, u)) return nullptr;
  u >>= 1;  // the reference bit: an object item is always inline
  if (!(u & 1)) return (u >> 1) < traits.size() ? &traits[u >> 1] : nullptr;
  const std::uint32_t defined = static_cast<std::uint32_t>(ValueAt(i));
  auto it = std::lower_bound(traits.begin(), traits.end(), defined,
                             [](const detail::Traits& t, std::uint32_t at) { return t.defined < at; });
  return it != traits.end() && it->defined == defined ? &*it : nullptr;
}

namespace detail {

std::string_view RawKey(const Tape::Impl& t, std::uint32_t item, std::uint32_t parent, std::uint32_t row) {
  const Item& it = t.items[item];
  switch (it.key()) {
    case KeyForm::Amf0: return t.in().substr(it.at + 2, U16(t.in(), it.at));
    case KeyForm::Amf3: {
      std::size_t at = it.at;
      std::uint32_t u = 0;
      ReadU29(t.in(), at, u);
      if (u & 1) return t.in().substr(at, u >> 1);
      return t.TableString(u >> 1);
    }
    case KeyForm::Sealed: {
      const Traits* traits = parent == kNoItem ? nullptr : t.TraitsOf(parent);
      if (!traits || row >= traits->count) return {};
      const std::uint32_t name = t.traitNames[traits->firstName + row];
      return name == kNoString ? std::string_view() : t.TableString(name);
    }
    case KeyForm::None: break;
  }
  return {};
}

std::string_view JsonName(const Tape::Impl& t, std::uint32_t item, std::uint32_t parent, std::uint32_t row,
                          std::string& buffer) {
  const std::string_view raw = RawKey(t, item, parent, row);
  if (base::IsUtf8(raw)) return raw;
  buffer.clear();
  base::AppendUtf8(buffer, raw);
  return buffer;
}

Scalar DecodeScalar(const Tape::Impl& t, std::size_t& at, bool amf3) {
  const std::string_view in = t.in();
  Scalar s;
  std::uint8_t type = Byte(in, at++);
  if (!amf3 && type == 0x11) {
    amf3 = true;
    type = Byte(in, at++);
  }
  std::uint32_t u = 0;
  if (!amf3) {
    switch (type) {
      case 0x00: s.kind = Kind::Number; s.number = F64(in, at); at += 8; break;
      case 0x01: s.kind = Kind::Boolean; s.boolean = Byte(in, at++) != 0; break;
      case 0x02:
      case 0x0C:
      case 0x0F: {
        const std::uint32_t n = type == 0x02 ? U16(in, at) : U32(in, at);
        at += type == 0x02 ? 2 : 4;
        s.kind = type == 0x0F ? Kind::Xml : Kind::String;
        s.bytes = in.substr(at, n);
        at += n;
        break;
      }
      case 0x05: s.kind = Kind::Null; break;
      case 0x06: s.kind = Kind::Undefined; break;
      case 0x0D: s.kind = Kind::Unsupported; break;
      case 0x0B: s.kind = Kind::Date; s.number = F64(in, at); at += 10; break;
      default: break;
    }
    return s;
  }
  switch (type) {
    case 0x00: s.kind = Kind::Undefined; break;
    case 0x01: s.kind = Kind::Null; break;
    case 0x02:
    case 0x03: s.kind = Kind::Boolean; s.boolean = type == 0x03; break;
    case 0x04:
      ReadU29(in, at, u);
      s.kind = Kind::Integer;
      s.integer = static_cast<std::int32_t>(u & 0x10000000 ? u | 0xE0000000 : u);
      break;
    case 0x05: s.kind = Kind::Number; s.number = F64(in, at); at += 8; break;
    case 0x06:
    case 0x07:
    case 0x0B:
    case 0x0C:
      ReadU29(in, at, u);
      s.kind = type == 0x06 ? Kind::String : type == 0x0C ? Kind::ByteArray : Kind::Xml;
      if (u & 1) {
        s.bytes = in.substr(at, u >> 1);
        at += u >> 1;
      } else if (type == 0x06) {
        s.bytes = t.TableString(u >> 1);
      }
      break;
    case 0x08:
      ReadU29(in, at, u);
      s.kind = Kind::Date;
      s.number = F64(in, at);
      at += 8;
      break;
    default: break;
  }
  return s;
}

std::uint32_t VectorCount(const Tape::Impl& t, std::uint32_t item) {
  std::size_t at = t.ValueAt(item) + 1;
  std::uint32_t u = 0;
  ReadU29(t.in(), at, u);
  return u >> 1;
}

Scalar Element(const Tape::Impl& t, std::uint32_t item, std::uint32_t index, std::size_t* offset) {
  const Item& it = t.items[item];
  std::size_t at;
  if (it.tag() == Tag::Run) {
    at = it.at;
    for (std::uint32_t i = 0; i < index; ++i) DecodeScalar(t, at, it.amf3());
    if (offset) *offset = at;
    return DecodeScalar(t, at, it.amf3());
  }
  at = t.ValueAt(item);
  const std::uint8_t type = Byte(t.in(), at++);
  std::uint32_t u = 0;
  ReadU29(t.in(), at, u);
  at += 1;  // fixed
  Scalar s;
  if (type == 0x0F) {
    at += std::size_t{8} * index;
    s.kind = Kind::Number;
    s.number = F64(t.in(), at);
  } else {
    at += std::size_t{4} * index;
    const std::uint32_t v = U32(t.in(), at);
    if (type == 0x0D) {
      s.kind = Kind::Integer;
      s.integer = static_cast<std::int32_t>(v);
    } else {
      s.kind = Kind::Number;
      s.number = v;
    }
  }
  if (offset) *offset = at;
  return s;
}

bool VectorHasWrapper(std::string_view typeName, bool fixed) {
  return fixed || !(typeName == "int" || typeName == "uint" || typeName == "double" || typeName == "*" ||
                    typeName.empty());
}

bool ArrayHasMembers(const Tape::Impl& t, std::uint32_t item) {
  // AMF3 writes the named members first.
  return item + 1 < t.items[item].aux && t.items[item + 1].key() != KeyForm::None;
}

std::string_view ClassNameOf(const Tape::Impl& t, std::uint32_t item) {
  const Item& it = t.items[item];
  std::size_t at = t.ValueAt(item);
  const std::uint8_t type = Byte(t.in(), at);
  switch (it.tag()) {
    case Tag::Object:
    case Tag::External: {
      if (!it.amf3()) return type == 0x10 ? t.in().substr(at + 3, U16(t.in(), at + 1)) : std::string_view();
      const Traits* traits = t.TraitsOf(item);
      return traits && traits->className != kNoString ? t.TableString(traits->className) : std::string_view();
    }
    case Tag::NumberVector: return type == 0x0D ? "int" : type == 0x0E ? "uint" : "double";
    case Tag::Vector: {
      std::uint32_t u = 0;
      ++at;
      ReadU29(t.in(), at, u);
      ++at;  // fixed
      ReadU29(t.in(), at, u);
      if (u & 1) return t.in().substr(at, u >> 1);
      return (u >> 1) < t.strings.size() ? t.TableString(u >> 1) : std::string_view();
    }
    default: return {};
  }
}

bool FlagOf(const Tape::Impl& t, std::uint32_t item) {
  const Tag tag = t.items[item].tag();
  if (tag != Tag::Vector && tag != Tag::NumberVector && tag != Tag::Dictionary) return false;
  std::size_t at = t.ValueAt(item) + 1;
  std::uint32_t u = 0;
  ReadU29(t.in(), at, u);
  return Byte(t.in(), at) != 0;
}

}  // namespace detail

// ---- the tree ----

namespace {

using detail::ElementOf;
using detail::ItemOf;
using detail::kNoItem;
using detail::MakeNode;

// A container's children are found by hopping over subtrees; for a large one every 16th child
// item is remembered with its first row, so that a row or an item is found by a binary search
// and a few hops.
constexpr std::uint32_t kMarkEvery = 16;
constexpr std::uint32_t kSmall = 64;

using detail::Mark;

std::uint32_t RowsOf(const Tape::Impl& t, std::uint32_t item) {
  return t.items[item].tag() == Tag::Run ? t.items[item].payload() : 1;
}

struct Span {
  std::uint32_t first, end;
};

Span ChildItems(const Tape::Impl& t, std::uint32_t container) {
  if (container == kNoItem) return {0, static_cast<std::uint32_t>(t.items.size())};
  return {container + 1, t.items[container].aux};
}

}  // namespace

namespace {

// The marks of a container, made on first use; the last one stands past the end with the count.
const std::vector<Mark>& MarksOf(const Tape::Impl& t, std::uint32_t container) {
  auto found = t.marks.find(container);
  if (found != t.marks.end()) return found->second;
  std::vector<Mark> marks;
  const Span span = ChildItems(t, container);
  std::uint32_t row = 0, n = 0;
  for (std::uint32_t i = span.first; i < span.end; i = t.End(i), ++n) {
    if (n % kMarkEvery == 0) marks.push_back(Mark{i, row});
    row += RowsOf(t, i);
  }
  marks.push_back(Mark{span.end, row});
  return t.marks.emplace(container, std::move(marks)).first->second;
}

// The child item that holds `row`, and the row it starts at.
Mark FindRow(const Tape::Impl& t, std::uint32_t container, std::uint32_t row) {
  const std::vector<Mark>& marks = MarksOf(t, container);
  auto it = std::upper_bound(marks.begin(), marks.end() - 1, row, [](std::uint32_t r, const Mark& m) { return r < m.row; });
  Mark at = *(it - 1);
  while (at.row + RowsOf(t, at.item) <= row) {
    at.row += RowsOf(t, at.item);
    at.item = t.End(at.item);
  }
  return at;
}

// The child item of `container` whose subtree holds `item`, and the row it starts at.
Mark FindItem(const Tape::Impl& t, std::uint32_t container, std::uint32_t item) {
  const std::vector<Mark>& marks = MarksOf(t, container);
  auto it = std::upper_bound(marks.begin(), marks.end() - 1, item, [](std::uint32_t i, const Mark& m) { return i < m.item; });
  Mark at = *(it - 1);
  while (t.End(at.item) <= item) {
    at.row += RowsOf(t, at.item);
    at.item = t.End(at.item);
  }
  return at;
}

bool IsItemContainer(const Tape::Impl& t, std::uint32_t item) {
  const Tag tag = t.items[item].tag();
  return detail::IsContainer(tag) && tag != Tag::NumberVector;
}

// The container that holds `item` (kNoItem for the root), and its row there. Found from the root
// down, a container's child at a time through the marks, so that asking about a row near the top
// of a big file costs a few hops and not a pass over the whole index.
Mark Locate(const Tape::Impl& t, std::uint32_t item, std::uint32_t& parent) {
  parent = kNoItem;
  while (true) {
    const Mark at = FindItem(t, parent, item);
    // A child whose subtree holds `item` and is not it is a container: go down into it.
    if (at.item == item || !IsItemContainer(t, at.item)) return at;
    parent = at.item;
  }
}

}  // namespace

Tape::Tape(std::pmr::memory_resource* index) : impl_(std::make_unique<Impl>(index)) {}
Tape::~Tape() = default;
Tape::Tape(Tape&&) noexcept = default;
Tape& Tape::operator=(Tape&&) noexcept = default;

std::string_view Tape::Bytes() const { return impl_->bytes; }
std::size_t Tape::BytesHeld() const { return impl_->held; }
std::string_view Tape::Name() const { return impl_->name; }
int Tape::Amf() const { return impl_->amf; }
bool Tape::HeaderRead() const { return impl_->headerRead; }
const std::vector<Problem>& Tape::Problems() const { return impl_->problems; }

std::size_t Tape::IndexBytes() const {
  const Impl& t = *impl_;
  // What is written: room reserved but never written to is not taken from the system.
  std::size_t bytes = t.items.size() * sizeof(Item) + t.strings.size() * 4 + t.traits.size() * sizeof(detail::Traits) +
                      t.traitNames.size() * 4;
  for (const auto& [item, pointer] : t.pointers) bytes += sizeof item + pointer.capacity();
  // The marks of the containers asked about, with a map node each.
  for (const auto& [container, marks] : t.marks) bytes += sizeof container + 4 * sizeof(void*) + marks.capacity() * sizeof(Mark);
  return bytes;
}

std::size_t Tape::ChildCount(NodeId node) const {
  const Impl& t = *impl_;
  if (node != kRoot && ElementOf(node) != 0) return 0;
  const std::uint32_t item = node == kRoot ? kNoItem : ItemOf(node);
  if (item != kNoItem) {
    const Tag tag = t.items[item].tag();
    if (tag == Tag::NumberVector) return detail::VectorCount(t, item);
    if (!IsItemContainer(t, item)) return 0;
  }
  const Span span = ChildItems(t, item);
  if (span.end - span.first <= kSmall) {
    std::uint32_t rows = 0;
    for (std::uint32_t i = span.first; i < span.end; i = t.End(i)) rows += RowsOf(t, i);
    return rows;
  }
  return MarksOf(t, item).back().row;
}

NodeId Tape::Child(NodeId node, std::size_t row) const {
  const Impl& t = *impl_;
  const std::uint32_t item = node == kRoot ? kNoItem : ItemOf(node);
  if (item != kNoItem && t.items[item].tag() == Tag::NumberVector) return MakeNode(item, static_cast<std::uint32_t>(row) + 1);
  const Mark m = FindRow(t, item, static_cast<std::uint32_t>(row));
  if (t.items[m.item].tag() == Tag::Run) return MakeNode(m.item, static_cast<std::uint32_t>(row) - m.row + 1);
  return MakeNode(m.item);
}

NodeId Tape::Parent(NodeId node) const {
  if (node == kRoot) return kRoot;
  const Impl& t = *impl_;
  const std::uint32_t item = ItemOf(node);
  if (ElementOf(node) != 0 && t.items[item].tag() == Tag::NumberVector) return MakeNode(item);
  std::uint32_t parent;
  Locate(t, item, parent);
  return parent == kNoItem ? kRoot : MakeNode(parent);
}

std::size_t Tape::Row(NodeId node) const {
  if (node == kRoot) return 0;
  const Impl& t = *impl_;
  const std::uint32_t item = ItemOf(node);
  const std::uint32_t element = ElementOf(node);
  if (element != 0 && t.items[item].tag() == Tag::NumberVector) return element - 1;
  std::uint32_t parent;
  const Mark m = Locate(t, item, parent);
  return m.row + (element != 0 ? element - 1 : 0);
}

Kind Tape::KindOf(NodeId node) const {
  const Impl& t = *impl_;
  if (node == kRoot) return Kind::Object;
  const std::uint32_t item = ItemOf(node);
  if (ElementOf(node) != 0) return detail::Element(t, item, ElementOf(node) - 1).kind;
  switch (t.items[item].tag()) {
    case Tag::Scalar: return t.items[item].kind();
    case Tag::Object: return Kind::Object;
    case Tag::Array: return Kind::Array;
    case Tag::Vector:
    case Tag::NumberVector: return Kind::Vector;
    case Tag::Dictionary: return Kind::Dictionary;
    case Tag::External: return Kind::External;
    case Tag::Reference: return Kind::Reference;
    case Tag::Problem: return Kind::Problem;
    case Tag::Run: break;
  }
  return Kind::Undefined;
}

bool Tape::Key(NodeId node, std::string_view& key) const {
  if (node == kRoot || ElementOf(node) != 0) return false;
  const Impl& t = *impl_;
  const std::uint32_t item = ItemOf(node);
  if (t.items[item].key() == KeyForm::None) return false;
  std::uint32_t parent;
  const Mark m = Locate(t, item, parent);
  key = detail::RawKey(t, item, parent, m.row);
  return true;
}

std::string Tape::JsonKey(NodeId node) const {
  if (node == kRoot || ElementOf(node) != 0) return {};
  const Impl& t = *impl_;
  const std::uint32_t item = ItemOf(node);
  if (t.items[item].key() == KeyForm::None) return {};
  std::uint32_t parent;
  const Mark m = Locate(t, item, parent);
  std::string buffer;
  std::string name(detail::JsonName(t, item, parent, m.row, buffer));
  if (t.items[item].payload() != 0) name += " (" + std::to_string(t.items[item].payload()) + ")";
  return name;
}

Scalar Tape::ScalarOf(NodeId node) const {
  const Impl& t = *impl_;
  if (node == kRoot) return {};
  const std::uint32_t item = ItemOf(node);
  if (ElementOf(node) != 0) return detail::Element(t, item, ElementOf(node) - 1);
  if (t.items[item].tag() != Tag::Scalar) {
    Scalar s;
    s.kind = KindOf(node);
    return s;
  }
  std::size_t at = t.ValueAt(item);
  return detail::DecodeScalar(t, at, t.items[item].amf3());
}

std::string_view Tape::ClassName(NodeId node) const {
  if (node == kRoot || ElementOf(node) != 0) return {};
  return detail::ClassNameOf(*impl_, ItemOf(node));
}

bool Tape::Flag(NodeId node) const {
  if (node == kRoot || ElementOf(node) != 0) return false;
  return detail::FlagOf(*impl_, ItemOf(node));
}

NodeId Tape::Target(NodeId node) const {
  const Impl& t = *impl_;
  if (node == kRoot || ElementOf(node) != 0 || t.items[ItemOf(node)].tag() != Tag::Reference) return kRoot;
  return MakeNode(t.items[ItemOf(node)].aux);
}

std::string_view Tape::Pointer(NodeId node) const {
  const Impl& t = *impl_;
  if (node == kRoot || ElementOf(node) != 0 || t.items[ItemOf(node)].tag() != Tag::Reference) return {};
  const std::uint32_t target = t.items[ItemOf(node)].aux;
  auto it = std::lower_bound(t.pointers.begin(), t.pointers.end(), target,
                             [](const auto& p, std::uint32_t item) { return p.first < item; });
  return it != t.pointers.end() && it->first == target ? std::string_view(it->second) : std::string_view();
}

std::string_view Tape::ProblemText(NodeId node) const {
  const Impl& t = *impl_;
  if (node == kRoot || ElementOf(node) != 0 || t.items[ItemOf(node)].tag() != Tag::Problem) return {};
  return t.problems[t.items[ItemOf(node)].aux].message;
}

std::size_t Tape::Offset(NodeId node) const {
  const Impl& t = *impl_;
  if (node == kRoot) return 0;
  const std::uint32_t item = ItemOf(node);
  if (ElementOf(node) != 0) {
    std::size_t at = 0;
    detail::Element(t, item, ElementOf(node) - 1, &at);
    return at;
  }
  if (t.items[item].tag() == Tag::Problem) return t.problems[t.items[item].aux].offset;
  return t.ValueAt(item);
}

Tape Read(std::string bytes, std::pmr::memory_resource* index, FillNotice fill) {
  auto held = std::make_shared<const std::string>(std::move(bytes));
  const std::string_view view = *held;
  const std::size_t capacity = held->capacity();
  return Read(std::move(held), view, capacity, index, fill);
}

Tape Read(std::shared_ptr<const void> owner, std::string_view bytes, std::size_t held, std::pmr::memory_resource* index,
          FillNotice fill) {
  Tape tape(index);
  Tape::Impl& t = tape.impl();
  // Also when reading throws: the arrays go with the tape, after this.
  struct Finish {
    FillNotice fill;
    ~Finish() {
      if (fill.filled) fill.filled(fill.context, nullptr, 0, 0);
    }
  } finish{fill};
  t.owner = std::move(owner);
  t.bytes = bytes;
  t.held = held;
  if (t.bytes.size() > kMaxFileBytes) {
    t.problems.push_back(Problem{0, "the file is larger than " + std::to_string(kMaxFileBytes >> 20) +
                                        " MiB and was not decoded"});
    return tape;
  }
  detail::Reader(t, fill).Run();
  return tape;
}

}  // namespace vesk::lso
