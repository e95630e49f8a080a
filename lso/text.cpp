// The text form, for people: one value a line, short containers inline, runs of scalars packed
// several to a line, and indentation that stops growing at a fixed depth (deeper lines carry
// their depth instead), so that the text stays a small multiple of the file whatever it holds.
// Nothing from the file reaches the output as a control character.

#include <cmath>

#include "base/civil_time.h"
#include "base/escape.h"
#include "base/utf8.h"
#include "lso/lso.h"
#include "lso/tape_internal.h"
#include "lso/text_forms.h"
#include "lso/writer.h"

namespace vesk::lso {
namespace {

using namespace detail;  // the tape's layout

// A container is written on one line when it holds only a few scalars and the line stays short;
// scalars at an index are packed onto lines of about this width.
constexpr std::size_t kInlineItems = 8;
constexpr std::size_t kWidth = 72;
constexpr std::size_t kShownBytes = 32;
// Deeper lines keep this indentation and start with their depth: "9| ".
constexpr int kIndentDepth = 8;

const char kHex[] = "0123456789abcdef";

// Keys of plain letters, digits and a few marks are written bare; any other is quoted.
void AppendKey(std::string& out, std::string_view key) {
  bool bare = !key.empty();
  for (char c : key) {
    const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
                    c == '$' || c == '.' || c == '-' || c == '@' || c == ':';
    if (!ok) bare = false;
  }
  if (bare) out += key;
  else detail::AppendQuoted(out, key);
}

void AppendNumber(std::string& out, double x) {
  if (std::isnan(x)) out += "NaN";
  else if (std::isinf(x)) out += x > 0 ? "Infinity" : "-Infinity";
  else detail::AppendShortest(out, x);
}

// A string cut after `maxChars` characters (0: never), with "..." when cut.
void AppendCut(std::string& out, std::string_view s, std::size_t maxChars) {
  if (maxChars == 0) return detail::AppendQuoted(out, s);
  std::size_t end = 0, chars = 0;
  while (end < s.size() && chars < maxChars) {
    const std::size_t n = base::Utf8SequenceLength(s.substr(end));
    end += n == 0 ? 1 : n;
    ++chars;
  }
  detail::AppendQuoted(out, s.substr(0, end));
  if (end < s.size()) out += "...";
}

void AppendScalar(std::string& out, const Scalar& s, std::size_t maxChars) {
  switch (s.kind) {
    case Kind::Number: AppendNumber(out, s.number); return;
    case Kind::Integer: out += std::to_string(s.integer); return;
    case Kind::Boolean: out += s.boolean ? "true" : "false"; return;
    case Kind::Null: out += "null"; return;
    case Kind::Undefined: out += "undefined"; return;
    case Kind::Unsupported: out += "unsupported"; return;
    case Kind::String: AppendCut(out, s.bytes, maxChars); return;
    case Kind::Xml:
      out += "xml ";
      AppendCut(out, s.bytes, maxChars);
      return;
    case Kind::Date:
      if (!base::AppendUtcMilliseconds(out, s.number, base::TimeForm::kText)) {
        out += "date(";
        AppendNumber(out, s.number);
        out += " ms)";
      }
      return;
    case Kind::ByteArray:
      out += "bytes(" + std::to_string(s.bytes.size()) + ")";
      if (!s.bytes.empty()) out += ' ';
      for (std::size_t i = 0; i < s.bytes.size() && i < kShownBytes; ++i) {
        const auto c = static_cast<unsigned char>(s.bytes[i]);
        out += kHex[c >> 4];
        out += kHex[c & 15];
      }
      if (s.bytes.size() > kShownBytes) out += "...";
      return;
    default: out += "?"; return;
  }
}

class TextWriter : public detail::Writer {
 public:
  TextWriter(const Tape& tape, Sink& sink, std::vector<Problem>& problems, int indent, std::size_t limit)
      : Writer(tape, sink, problems, limit), indent_(indent < 0 ? 0 : indent) {}

  void Pairs() {
    const Span span = Children(kNoItem);
    for (std::uint32_t i = span.first, row = 0; i < span.end && !cut_; row += Rows(i), i = t_.End(i)) {
      if (!Room(i, 0)) break;
      LineStart(0);
      Key(i, kNoItem, row);
      out_ += " = ";
      Value(i, 0);
      out_ += '\n';
      Flush();
    }
  }

  // One node as a line "key = value" (or "[i] = value"), nested values on further lines.
  void Node(NodeId node, const Tape& tape) {
    const std::uint32_t item = detail::ItemOf(node);
    LineStart(0);
    out_ += KeyText(tape, node);
    out_ += " = ";
    if (detail::ElementOf(node) != 0) AppendScalar(out_, detail::Element(t_, item, detail::ElementOf(node) - 1), 0);
    else Value(item, 0);
    out_ += '\n';
  }

 private:
  // Starts a line of `depth` (0: a pair's line).
  void LineStart(int depth) {
    out_.append(static_cast<std::size_t>(indent_ + 2 * std::min(depth, kIndentDepth)), ' ');
    if (depth > kIndentDepth) out_ += std::to_string(depth) + "| ";
  }

  void Key(std::uint32_t i, std::uint32_t parent, std::uint32_t row) {
    AppendKey(out_, detail::RawKey(t_, i, parent, row));
  }

  bool IsLeaf(std::uint32_t i) const { return !detail::IsContainer(t_.items[Unwrap(i)].tag()); }

  // A scalar item (not a run) as one piece of text.
  void Leaf(std::string& out, std::uint32_t i) {
    i = Unwrap(i);
    const Item& item = t_.items[i];
    switch (item.tag()) {
      case Tag::Reference:
        out += "-> ";
        detail::AppendQuoted(out, Pointer(i));
        return;
      case Tag::Problem:
        out += "<problem: ";
        detail::AppendQuoted(out, t_.problems[item.aux].message);
        out += '>';
        return;
      case Tag::External: return;  // wraps nothing: never made by the reader
      default: {
        std::size_t at = t_.ValueAt(i);
        const Scalar s = detail::DecodeScalar(t_, at, item.amf3());
        if ((s.kind == Kind::String || s.kind == Kind::Xml) && s.bytes.size() > kPiece) return LongString(s);
        AppendScalar(out, s, 0);
      }
    }
  }

  // A string too long to build whole: straight to the output in pieces.
  void LongString(const Scalar& s) {
    if (s.kind == Kind::Xml) out_ += "xml ";
    out_ += '"';
    std::string_view rest = s.bytes;
    while (!rest.empty() && !cut_) {
      const std::size_t n = detail::PieceLength(rest, kPiece);
      base::AppendEscaped(out_, rest.substr(0, n), "\"\\");
      rest.remove_prefix(n);
      Flush();
    }
    out_ += '"';
  }

  // The opening of a container's text and its closing bracket.
  std::string Opening(std::uint32_t i, const char*& close) const {
    std::string open;
    const Tag tag = t_.items[i].tag();
    close = "]";
    if (tag == Tag::Object) {
      const std::string_view className = detail::ClassNameOf(t_, i);
      if (!className.empty()) {
        AppendKey(open, className);
        open += ' ';
      }
      close = "}";
      return open + "{";
    }
    if (tag == Tag::Vector || tag == Tag::NumberVector) {
      open += "Vector.<";
      AppendKey(open, detail::ClassNameOf(t_, i));
      return open + (detail::FlagOf(t_, i) ? "> fixed [" : "> [");
    }
    if (tag == Tag::Dictionary) {
      close = "}";
      return detail::FlagOf(t_, i) ? "Dictionary weak {" : "Dictionary {";
    }
    return "[";
  }

  // The value of item `i`, whose line is at `depth`; nested lines go deeper.
  void Value(std::uint32_t i, int depth) {
    i = Unwrap(i);
    const Item& item = t_.items[i];
    if (IsLeaf(i)) return Leaf(out_, i);
    const char* close;
    out_ += Opening(i, close);
    const std::size_t rows = RowCount(i);
    if (rows == 0) {
      out_ += close;
      return;
    }
    if (rows <= kInlineItems && Inline(i, close)) return;
    out_ += '\n';
    if (item.tag() == Tag::Dictionary) Entries(i, depth + 1);
    else Lines(i, depth + 1);
    if (cut_) return;
    LineStart(depth);
    out_ += close;
  }

  std::size_t RowCount(std::uint32_t i) const {
    if (t_.items[i].tag() == Tag::NumberVector) return detail::VectorCount(t_, i);
    std::size_t rows = 0;
    const Span span = Children(i);
    for (std::uint32_t c = span.first; c < span.end; c = t_.End(c)) rows += Rows(c);
    return rows;
  }

  // Few scalars: on the container's own line when it stays short.
  bool Inline(std::uint32_t i, const char* close) {
    const Tag tag = t_.items[i].tag();
    std::string line;
    const bool braces = *close == '}';
    bool first = true;
    auto separate = [&] {
      line += first ? (braces ? " " : "") : ", ";
      first = false;
    };
    if (tag == Tag::NumberVector) {
      for (std::uint32_t k = 0, n = detail::VectorCount(t_, i); k < n; ++k) {
        separate();
        AppendScalar(line, detail::Element(t_, i, k), 0);
      }
    } else {
      const Span span = Children(i);
      std::uint32_t n = 0;
      for (std::uint32_t c = span.first, row = 0; c < span.end; row += Rows(c), c = t_.End(c)) {
        if (!IsLeaf(c) && t_.items[c].tag() != Tag::Run) return false;
        if (t_.items[c].tag() == Tag::Run) {
          std::size_t at = t_.items[c].at;
          for (std::uint32_t k = 0; k < t_.items[c].payload(); ++k, ++n) {
            separate();
            if (tag == Tag::Dictionary && n % 2 == 1) line.replace(line.size() - 2, 2, " => ");
            AppendScalar(line, detail::DecodeScalar(t_, at, t_.items[c].amf3()), 0);
          }
          continue;
        }
        separate();
        if (tag == Tag::Dictionary && n % 2 == 1) line.replace(line.size() - 2, 2, " => ");
        if (t_.items[c].key() != KeyForm::None) {
          AppendKey(line, detail::RawKey(t_, c, i, row));
          line += " = ";
        }
        Leaf(line, c);
        ++n;
        if (line.size() > kWidth) return false;
      }
    }
    if (line.size() > kWidth) return false;
    out_ += line;
    if (braces) out_ += ' ';
    out_ += close;
    return true;
  }

  // The children of a container on lines of `depth`: keyed ones and containers a line each,
  // scalars at an index several to a line. Recursive through Value: the line being filled is
  // always empty when a nested container begins, so one buffer serves every level.
  void Lines(std::uint32_t i, int depth) {
    if (t_.items[i].tag() == Tag::NumberVector) {
      for (std::uint32_t k = 0, n = detail::VectorCount(t_, i); k < n && !cut_; ++k) {
        std::size_t at = 0;
        const Scalar s = detail::Element(t_, i, k, &at);
        if (!RoomAt(at, depth)) return;
        scalar_.clear();
        AppendScalar(scalar_, s, 0);
        Pack(depth);
      }
      EndLine(depth, false);
      return;
    }
    const Span span = Children(i);
    for (std::uint32_t c = span.first, row = 0; c < span.end && !cut_; row += Rows(c), c = t_.End(c)) {
      const Item& item = t_.items[c];
      if (item.tag() == Tag::Run) {
        std::size_t at = item.at;
        for (std::uint32_t k = 0; k < item.payload() && !cut_; ++k) {
          if (!RoomAt(at, depth)) return;
          scalar_.clear();
          AppendScalar(scalar_, detail::DecodeScalar(t_, at, item.amf3()), 0);
          Pack(depth);
        }
        continue;
      }
      if (!Room(c, depth)) return;
      if (item.key() == KeyForm::None && IsLeaf(c)) {
        scalar_.clear();
        Leaf(scalar_, c);
        Pack(depth);
        continue;
      }
      EndLine(depth, true);
      LineStart(depth);
      if (item.key() != KeyForm::None) {
        Key(c, i, row);
        out_ += " = ";
      }
      Value(c, depth);
      out_ += '\n';
      Flush();
    }
    EndLine(depth, false);
  }

  // Adds scalar_ to the line being filled, beginning a new line when it would grow too long.
  void Pack(int depth) {
    if (!pending_.empty() && pending_.size() + 2 + scalar_.size() > kWidth) EndLine(depth, true);
    if (!pending_.empty()) pending_ += ", ";
    pending_ += scalar_;
  }

  // Writes the line being filled, if any; `more` when values follow it.
  void EndLine(int depth, bool more) {
    if (pending_.empty()) return;
    LineStart(depth);
    out_ += pending_;
    out_ += more ? ",\n" : "\n";
    pending_.clear();
    Flush();
  }

  // A dictionary's entries, "key => value" a line.
  void Entries(std::uint32_t i, int depth) {
    const Span span = Children(i);
    std::uint32_t n = 0;
    for (std::uint32_t c = span.first; c < span.end && !cut_; c = t_.End(c)) {
      const Item& item = t_.items[c];
      const std::uint32_t rows = Rows(c);
      std::size_t at = item.at;
      for (std::uint32_t k = 0; k < rows && !cut_; ++k, ++n) {
        if (!RoomAt(item.tag() == Tag::Run ? at : Offset(c), depth)) return;
        if (n % 2 == 0) LineStart(depth);
        else out_ += " => ";
        if (item.tag() == Tag::Run) AppendScalar(out_, detail::DecodeScalar(t_, at, item.amf3()), 0);
        else Value(c, depth);
        if (n % 2 == 1) {
          out_ += '\n';
          Flush();
        }
      }
    }
    if (n % 2 == 1) out_ += '\n';
  }

  // Past the output limit the rest is one problem line.
  bool RoomAt(std::size_t offset, int depth) {
    if (cut_) return false;
    if (Written() + kReserve <= limit_) return true;
    Cut(offset, "the text form");
    out_ += '\n';
    LineStart(depth);
    out_ += "<problem: ";
    detail::AppendQuoted(out_, problems_.back().message);
    out_ += ">\n";
    return false;
  }
  bool Room(std::uint32_t item, int depth) { return cut_ ? false : RoomAt(Offset(item), depth); }

  int indent_;
  std::string pending_, scalar_;
};

}  // namespace

std::size_t OutputLimit(const Tape& tape) { return (std::size_t{64} << 20) + 16 * tape.Bytes().size(); }

void WriteText(const Tape& tape, Sink& out, int indent, std::vector<Problem>& problems, std::size_t limit) {
  TextWriter writer(tape, out, problems, indent, limit);
  writer.Pairs();
  writer.Finish();
}

void WriteText(const Tape& tape, Sink& out, int indent, std::vector<Problem>& problems) {
  WriteText(tape, out, indent, problems, OutputLimit(tape));
}

void WriteTextNode(const Tape& tape, NodeId node, Sink& out, std::vector<Problem>& problems) {
  TextWriter writer(tape, out, problems, 0, OutputLimit(tape));
  if (node != kRoot) writer.Node(node, tape);
  else writer.Pairs();
  writer.Finish();
}

std::string ValueText(const Tape& tape, NodeId node, std::size_t maxChars) {
  std::string out;
  switch (tape.KindOf(node)) {
    case Kind::Reference:
      out += "-> ";
      detail::AppendQuoted(out, tape.Pointer(node));
      return out;
    case Kind::Problem:
      out += "<problem: ";
      detail::AppendQuoted(out, tape.ProblemText(node));
      out += '>';
      return out;
    case Kind::Object:
    case Kind::Array:
    case Kind::Vector:
    case Kind::Dictionary:
    case Kind::External: return out;
    default: AppendScalar(out, tape.ScalarOf(node), maxChars); return out;
  }
}

std::string KeyText(const Tape& tape, NodeId node) {
  std::string out;
  std::string_view key;
  if (tape.Key(node, key)) {
    AppendKey(out, key);
    return out;
  }
  const NodeId parent = tape.Parent(node);
  std::size_t row = tape.Row(node);
  if (parent != kRoot && tape.KindOf(parent) == Kind::Dictionary) row /= 2;
  // In an array with named members, those come first; the index counts the dense items only.
  if (parent != kRoot && tape.KindOf(parent) == Kind::Array) {
    const Tape::Impl& t = tape.impl();
    const std::uint32_t p = detail::ItemOf(parent);
    for (std::uint32_t c = p + 1; c < t.items[p].aux && t.items[c].key() != KeyForm::None; c = t.End(c)) --row;
  }
  std::string index = "[";
  index.append(std::to_string(row)).append("]");
  return index;
}

std::string TypeText(const Tape& tape, NodeId node) {
  switch (tape.KindOf(node)) {
    case Kind::Number: return "Number";
    case Kind::Integer: return "int";
    case Kind::Boolean: return "Boolean";
    case Kind::Null: return "null";
    case Kind::Undefined: return "undefined";
    case Kind::Unsupported: return "unsupported";
    case Kind::String: return "String";
    case Kind::Xml: return "XML";
    case Kind::Date: return "Date";
    case Kind::ByteArray: return "ByteArray";
    case Kind::Object: {
      std::string out;
      const std::string_view className = tape.ClassName(node);
      if (className.empty()) return "Object";
      AppendKey(out, className);
      return out;
    }
    case Kind::Array: return "Array";
    case Kind::Vector: {
      std::string out = "Vector.<";
      AppendKey(out, tape.ClassName(node));
      return out + ">";
    }
    case Kind::Dictionary: return "Dictionary";
    case Kind::External: {
      std::string out;
      AppendKey(out, tape.ClassName(node));
      return out;
    }
    case Kind::Reference:
    case Kind::Problem: return {};
  }
  return {};
}

}  // namespace vesk::lso
