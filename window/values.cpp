#include "window/values.h"

#include <algorithm>

#include "base/escape.h"

namespace vesk::window {
namespace {

// Rows that are not values carry a tag in the two top bits; a value's node is the reader's own.
constexpr ValuesModel::Node kTagShift = 62;
constexpr ValuesModel::Node kHeaderRow = ValuesModel::Node{1} << kTagShift;
constexpr ValuesModel::Node kProblemRow = ValuesModel::Node{2} << kTagShift;
constexpr ValuesModel::Node kMessageRow = ValuesModel::Node{3} << kTagShift;
constexpr ValuesModel::Node kTagMask = ValuesModel::Node{3} << kTagShift;

// A cell shows this many characters of a string; the tool tip and the copies all of it.
constexpr std::size_t kCellChars = 200;

std::string Escaped(std::string_view text) {
  std::string out;
  base::AppendEscaped(out, text);
  return out;
}

bool IsContainer(lso::Kind kind) {
  return kind == lso::Kind::Object || kind == lso::Kind::Array || kind == lso::Kind::Vector ||
         kind == lso::Kind::Dictionary || kind == lso::Kind::External;
}

}  // namespace

ValuesModel::ValuesModel(lso::Tape tape, const ValuesTexts& texts)
    : tape_(std::move(tape)), texts_(texts), headerRead_(tape_.HeaderRead()) {
  if (!headerRead_) return;
  std::size_t shown = 0;
  for (std::size_t row = 0, rows = tape_.ChildCount(lso::kRoot); row < rows && shown < kExpandedRows; ++row) {
    const Node node = tape_.Child(lso::kRoot, row);
    const std::size_t children = RowCount(node);
    if (children == 0 || shown + children > kExpandedRows) continue;
    shown += children;
    expandedAtFirst_.push_back(node);
  }
  std::sort(expandedAtFirst_.begin(), expandedAtFirst_.end());
}

ValuesModel::ValuesModel(const ValuesTexts& texts) : texts_(texts), readable_(false), headerRead_(false) {}

ValuesModel::RowKind ValuesModel::KindOf(Node node) const {
  switch (node & kTagMask) {
    case kHeaderRow: return RowKind::kHeader;
    case kProblemRow: return RowKind::kProblem;
    case kMessageRow: return RowKind::kMessage;
    default: return RowKind::kValue;
  }
}

ValuesModel::Node ValuesModel::Unwrap(Node node) const {
  while (tape_.KindOf(node) == lso::Kind::External && tape_.ChildCount(node) > 0) node = tape_.Child(node, 0);
  return node;
}

std::size_t ValuesModel::FirstValueRow() const { return 1 + tape_.Problems().size(); }

std::size_t ValuesModel::RowCount(Node parent) const {
  if (parent == kRoot) {
    if (!readable_ || !headerRead_) return 1;
    return FirstValueRow() + tape_.ChildCount(lso::kRoot);
  }
  if (KindOf(parent) != RowKind::kValue) return 0;
  return tape_.ChildCount(Unwrap(parent));
}

ValuesModel::Node ValuesModel::Child(Node parent, std::size_t row) const {
  if (parent == kRoot) {
    if (!readable_ || !headerRead_) return kMessageRow;
    if (row == 0) return kHeaderRow;
    if (row < FirstValueRow()) return kProblemRow | (row - 1);
    return tape_.Child(lso::kRoot, row - FirstValueRow());
  }
  return tape_.Child(Unwrap(parent), row);
}

ValuesModel::Node ValuesModel::Parent(Node node) const {
  if (node == kRoot || KindOf(node) != RowKind::kValue) return kRoot;
  Node parent = tape_.Parent(node);
  // The value a wrapper stands for is not a row of its own: its children hang from the wrapper.
  while (parent != lso::kRoot && tape_.Parent(parent) != lso::kRoot &&
         tape_.KindOf(tape_.Parent(parent)) == lso::Kind::External)
    parent = tape_.Parent(parent);
  return parent == lso::kRoot ? kRoot : parent;
}

std::size_t ValuesModel::Row(Node node) const {
  switch (KindOf(node)) {
    case RowKind::kHeader:
    case RowKind::kMessage: return 0;
    case RowKind::kProblem: return 1 + (node & ~kTagMask);
    case RowKind::kValue: break;
  }
  const std::size_t row = tape_.Row(node);
  return tape_.Parent(node) == lso::kRoot ? FirstValueRow() + row : row;
}

bool ValuesModel::ExpandedAtFirst(Node node) const {
  return std::binary_search(expandedAtFirst_.begin(), expandedAtFirst_.end(), node);
}

bool ValuesModel::HasChildren(Node node) const { return node == kRoot || RowCount(node) > 0; }

bool ValuesModel::IsProblem(Node node) const {
  switch (KindOf(node)) {
    case RowKind::kProblem:
    case RowKind::kMessage: return true;
    case RowKind::kHeader: return false;
    case RowKind::kValue: break;
  }
  return tape_.KindOf(node) == lso::Kind::Problem;
}

std::string ValuesModel::Text(Node node, Column column) const {
  switch (KindOf(node)) {
    case RowKind::kHeader:
      if (column == kName) return texts_.header;
      if (column == kValue) {
        std::string value;
        value += '"';
        base::AppendEscaped(value, tape_.Name(), "\"\\");
        value += "\", AMF" + std::to_string(tape_.Amf()) + ", " + std::to_string(tape_.Bytes().size()) + " " + texts_.bytes;
        return value;
      }
      return {};
    case RowKind::kProblem: {
      const lso::Problem& problem = tape_.Problems()[node & ~kTagMask];
      if (column == kName) return texts_.problem;
      if (column == kValue) return Escaped(problem.message);
      return texts_.atByte + " " + std::to_string(problem.offset);
    }
    case RowKind::kMessage:
      if (column == kName) return readable_ ? texts_.notSol : texts_.unreadable;
      if (column == kValue && readable_ && !tape_.Problems().empty()) return Escaped(tape_.Problems().front().message);
      return {};
    case RowKind::kValue: break;
  }
  const lso::Kind kind = tape_.KindOf(node);
  switch (column) {
    case kName: {
      std::string name = lso::KeyText(tape_, node);
      const Node parent = tape_.Parent(node);
      if (parent != lso::kRoot && tape_.KindOf(parent) == lso::Kind::Dictionary)
        name += " " + (tape_.Row(node) % 2 == 0 ? texts_.key : texts_.value);
      return name;
    }
    case kValue:
      if (kind == lso::Kind::External) return Text(Unwrap(node), kValue);
      if (IsContainer(kind)) {
        // How many it holds, in the brackets of its text form.
        const bool braces = kind == lso::Kind::Object || kind == lso::Kind::Dictionary;
        std::string count(1, braces ? '{' : '[');
        count.append(std::to_string(tape_.ChildCount(node) / (kind == lso::Kind::Dictionary ? 2 : 1)));
        count += braces ? '}' : ']';
        return count;
      }
      return lso::ValueText(tape_, node, kCellChars);
    case kType:
      if (kind == lso::Kind::Reference) return texts_.reference;
      if (kind == lso::Kind::Problem) return texts_.problem;
      return lso::TypeText(tape_, node);
  }
  return {};
}

std::string ValuesModel::ToolTip(Node node) const {
  if (KindOf(node) != RowKind::kValue || IsContainer(tape_.KindOf(node))) return {};
  std::string whole = lso::ValueText(tape_, node, 0);
  return whole == Text(node, kValue) ? std::string() : whole;
}

std::optional<ValuesModel::Node> ValuesModel::Target(Node node) const {
  if (KindOf(node) != RowKind::kValue || tape_.KindOf(node) != lso::Kind::Reference) return std::nullopt;
  // The value an externalizable wrapper stands for has no row of its own: the wrapper's is it.
  Node target = tape_.Target(node);
  while (target != lso::kRoot && tape_.Parent(target) != lso::kRoot &&
         tape_.KindOf(tape_.Parent(target)) == lso::Kind::External)
    target = tape_.Parent(target);
  return target;
}

std::string ValuesModel::CopyLines(const std::vector<Node>& nodes) const {
  lso::StringSink sink;
  for (const Node node : nodes) {
    if (KindOf(node) != RowKind::kValue) {
      sink.Write(Text(node, kName) + " = " + Text(node, kValue) + "\n");
      continue;
    }
    std::vector<lso::Problem> problems;
    lso::WriteTextNode(tape_, node, sink, problems);
  }
  return sink.text;
}

std::string ValuesModel::CopyValue(Node node) const {
  if (KindOf(node) != RowKind::kValue) return Text(node, kValue);
  if (!IsContainer(tape_.KindOf(node))) return lso::ValueText(tape_, node, 0);
  // The text form without the key it stands under.
  std::string lines = CopyLines({node});
  lines.erase(0, lines.find(" = ") + 3);
  if (!lines.empty() && lines.back() == '\n') lines.pop_back();
  return lines;
}

std::string ValuesModel::AllJson() const {
  lso::StringSink sink;
  std::vector<lso::Problem> problems = tape_.Problems();
  if (readable_) lso::WriteJsonValues(tape_, sink, problems);
  else sink.Write("{}");
  return sink.text;
}

std::size_t ValuesModel::MemoryBytes() const { return tape_.BytesHeld() + tape_.IndexBytes(); }

}  // namespace vesk::window
