#include <cmath>
#include <cstdint>

#include "lso/internal.h"
#include "lso/lso.h"

namespace vesk::lso {
namespace {

// A container is written on one line when it holds only a few scalars and the line stays short.
constexpr std::size_t kInlineItems = 8;
constexpr std::size_t kInlineWidth = 72;
constexpr std::size_t kShownBytes = 32;

bool IsContainer(Kind k) {
  return k == Kind::Object || k == Kind::Array || k == Kind::Vector || k == Kind::Dictionary;
}

std::size_t ChildCount(const Value& v) { return v.items.size() + v.members.size() + v.entries.size(); }

// Code points a terminal could act on or that reorder the line: C1 controls, line and paragraph
// separators, bidirectional overrides and isolates.
bool Hidden(std::uint32_t cp) {
  return (cp >= 0x80 && cp <= 0x9F) || cp == 0x2028 || cp == 0x2029 || (cp >= 0x202A && cp <= 0x202E) ||
         (cp >= 0x2066 && cp <= 0x2069) || cp == 0x200E || cp == 0x200F || cp == 0x061C;
}

std::uint32_t Decode(std::string_view s, std::size_t n) {
  auto at = [&](std::size_t i) { return static_cast<std::uint32_t>(static_cast<unsigned char>(s[i])); };
  if (n == 2) return (at(0) & 0x1F) << 6 | (at(1) & 0x3F);
  if (n == 3) return (at(0) & 0x0F) << 12 | (at(1) & 0x3F) << 6 | (at(2) & 0x3F);
  return (at(0) & 0x07) << 18 | (at(1) & 0x3F) << 12 | (at(2) & 0x3F) << 6 | (at(3) & 0x3F);
}

// A quoted string that never breaks the line nor reaches the terminal as a control: such bytes
// are shown as escapes, and so are bytes that are not UTF-8 (as \xNN, to show what is there).
void AppendQuoted(std::string& out, std::string_view s) {
  static const char hex[] = "0123456789abcdef";
  out += '"';
  std::size_t i = 0;
  while (i < s.size()) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    if (c >= 0x80) {
      std::size_t n = detail::Utf8SequenceLength(s.substr(i));
      if (n == 0) {
        out += "\\x";
        out += hex[c >> 4];
        out += hex[c & 15];
        ++i;
        continue;
      }
      std::uint32_t cp = Decode(s.substr(i), n);
      if (Hidden(cp)) {
        out += "\\u{";
        for (int shift = 20; shift >= 0; shift -= 4)
          if ((cp >> shift) || shift < 8) out += hex[(cp >> shift) & 15];
        out += '}';
      } else {
        out.append(s.substr(i, n));
      }
      i += n;
      continue;
    }
    ++i;
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20 || c == 0x7F) {
          out += "\\x";
          out += hex[c >> 4];
          out += hex[c & 15];
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  out += '"';
}

// Keys of plain letters, digits and a few marks are written bare; any other is quoted.
void AppendKey(std::string& out, std::string_view key) {
  bool bare = !key.empty();
  for (char c : key) {
    bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '$' ||
              c == '.' || c == '-' || c == '@' || c == ':';
    if (!ok) bare = false;
  }
  if (bare) out += key;
  else AppendQuoted(out, key);
}

void AppendNumber(std::string& out, double x) {
  if (std::isnan(x)) out += "NaN";
  else if (std::isinf(x)) out += x > 0 ? "Infinity" : "-Infinity";
  else detail::AppendShortest(out, x);
}

void AppendScalar(std::string& out, const Value& v) {
  static const char hex[] = "0123456789abcdef";
  switch (v.kind) {
    case Kind::Number: AppendNumber(out, v.number); return;
    case Kind::Integer: out += std::to_string(v.integer); return;
    case Kind::Boolean: out += v.boolean ? "true" : "false"; return;
    case Kind::Null: out += "null"; return;
    case Kind::Undefined: out += "undefined"; return;
    case Kind::Unsupported: out += "unsupported"; return;
    case Kind::String: AppendQuoted(out, v.text); return;
    case Kind::Date:
      if (!detail::AppendDate(out, v.number, false)) {
        out += "date(";
        AppendNumber(out, v.number);
        out += " ms)";
      }
      return;
    case Kind::ByteArray:
      out += "bytes(" + std::to_string(v.text.size()) + ")";
      if (!v.text.empty()) out += ' ';
      for (std::size_t i = 0; i < v.text.size() && i < kShownBytes; ++i) {
        unsigned char c = static_cast<unsigned char>(v.text[i]);
        out += hex[c >> 4];
        out += hex[c & 15];
      }
      if (v.text.size() > kShownBytes) out += "...";
      return;
    case Kind::Xml:
      out += "xml ";
      AppendQuoted(out, v.text);
      return;
    case Kind::Reference:
      out += "-> ";
      AppendQuoted(out, v.text);
      return;
    case Kind::Problem:
      out += "<problem: ";
      AppendQuoted(out, v.text);
      out += '>';
      return;
    default: out += "?"; return;
  }
}

class TextWriter {
 public:
  explicit TextWriter(std::string& out) : out_(out) {}

  // Writes `v` from the current position; lines it adds are indented by `indent` (the closing
  // line) and `indent + 2` (the contents). `depth` counts the containers around `v`.
  void Write(const Value& v, int indent, int depth) {
    if (!IsContainer(v.kind)) {
      AppendScalar(out_, v);
      return;
    }
    if (++depth > detail::kMaxDepth) {
      out_ += "<problem: nested deeper than 1000 levels>";
      return;
    }
    Opening(v);
    const char* close = v.kind == Kind::Object || v.kind == Kind::Dictionary ? "}" : "]";
    if (ChildCount(v) == 0) {
      out_ += close;
      return;
    }
    if (Flat(v)) {
      std::size_t mark = out_.size();
      WriteInline(v);
      if (out_.size() - mark <= kInlineWidth) {
        if (*close == '}') out_ += ' ';
        out_ += close;
        return;
      }
      out_.resize(mark);
    }
    out_ += '\n';
    for (const Value& item : v.items) {
      Line(indent + 2);
      Write(item, indent + 2, depth);
      out_ += '\n';
    }
    for (const Member& m : v.members) {
      Line(indent + 2);
      AppendKey(out_, m.key);
      out_ += " = ";
      Write(m.value, indent + 2, depth);
      out_ += '\n';
    }
    for (const Entry& e : v.entries) {
      Line(indent + 2);
      Write(e.key, indent + 2, depth);
      out_ += " => ";
      Write(e.value, indent + 2, depth);
      out_ += '\n';
    }
    Line(indent);
    out_ += close;
  }

 private:
  void Line(int indent) { out_.append(static_cast<std::size_t>(indent), ' '); }

  // "ClassName {", "[", "Vector.<int> [", "Dictionary {"; the inline form adds a space after it.
  void Opening(const Value& v) {
    switch (v.kind) {
      case Kind::Object:
        if (!v.className.empty()) {
          AppendKey(out_, v.className);
          out_ += ' ';
        }
        out_ += '{';
        break;
      case Kind::Vector:
        out_ += "Vector.<";
        AppendKey(out_, v.className);
        out_ += v.boolean ? "> fixed [" : "> [";
        break;
      case Kind::Dictionary: out_ += v.boolean ? "Dictionary weak {" : "Dictionary {"; break;
      default: out_ += '['; break;
    }
  }

  static bool Flat(const Value& v) {
    if (ChildCount(v) > kInlineItems) return false;
    for (const Value& item : v.items)
      if (IsContainer(item.kind)) return false;
    for (const Member& m : v.members)
      if (IsContainer(m.value.kind)) return false;
    for (const Entry& e : v.entries)
      if (IsContainer(e.key.kind) || IsContainer(e.value.kind)) return false;
    return true;
  }

  void WriteInline(const Value& v) {
    bool first = true;
    auto separate = [&] {
      out_ += first ? (v.kind == Kind::Object || v.kind == Kind::Dictionary ? " " : "") : ", ";
      first = false;
    };
    for (const Value& item : v.items) {
      separate();
      AppendScalar(out_, item);
    }
    for (const Member& m : v.members) {
      separate();
      AppendKey(out_, m.key);
      out_ += " = ";
      AppendScalar(out_, m.value);
    }
    for (const Entry& e : v.entries) {
      separate();
      AppendScalar(out_, e.key);
      out_ += " => ";
      AppendScalar(out_, e.value);
    }
  }

  std::string& out_;
};

}  // namespace

void AppendText(std::string& out, const Document& doc, int indent) {
  if (indent < 0) indent = 0;
  TextWriter writer(out);
  for (const Member& m : doc.values) {
    out.append(static_cast<std::size_t>(indent), ' ');
    AppendKey(out, m.key);
    out += " = ";
    writer.Write(m.value, indent, 0);
    out += '\n';
  }
}

}  // namespace vesk::lso
