// The JSON form, written by hand from the tape rather than through nlohmann::json: that library
// prints a double such as 42.0 as "42.0" where the shortest form is 42, and building its document
// first would hold a tree many times the file's size. Output goes to the sink in pieces.

#include <cmath>

#include "base/base64.h"
#include "base/civil_time.h"
#include "lso/lso.h"
#include "lso/tape_internal.h"
#include "lso/text_forms.h"
#include "lso/writer.h"

namespace vesk::lso {
namespace {

using detail::Item;
using detail::KeyForm;
using detail::kNoItem;
using detail::Tag;

void AppendNumber(std::string& out, double x) {
  if (std::isnan(x)) out += R"({"$number":"NaN"})";
  else if (std::isinf(x)) out += x > 0 ? R"({"$number":"Infinity"})" : R"({"$number":"-Infinity"})";
  else detail::AppendShortest(out, x);
}

class JsonWriter : public detail::Writer {
 public:
  using Writer::Writer;

  void Values() {
    Put('{');
    Members(kNoItem);
    Put('}');
  }

 private:
  void Put(char c) { out_ += c; }
  void Put(std::string_view s) { out_.append(s); }

  // A string of any length, in pieces.
  void String(std::string_view s) {
    Put('"');
    while (!s.empty()) {
      const std::size_t n = detail::PieceLength(s, kPiece);
      detail::AppendJsonChars(out_, s.substr(0, n));
      s.remove_prefix(n);
      Flush();
    }
    Put('"');
  }

  // The keyed children of `container` as members (the first one without a comma before it).
  // Recursive through Value: nothing here may hold a string across the call, so that a thousand
  // levels fit a small stack.
  void Members(std::uint32_t container, bool first = true) {
    const Span span = Children(container);
    for (std::uint32_t i = span.first, row = 0; i < span.end && !cut_; row += Rows(i), i = t_.End(i)) {
      const Item& item = t_.items[i];
      if (item.key() == KeyForm::None) continue;
      if (!first) Put(',');
      first = false;
      Name(i, container, row);
      Put(':');
      Value(i);
    }
  }

  [[gnu::noinline]] void Name(std::uint32_t i, std::uint32_t container, std::uint32_t row) {
    name_.assign(detail::JsonName(t_, i, container, row, buffer_));
    if (t_.items[i].payload() != 0) name_ += " (" + std::to_string(t_.items[i].payload()) + ")";
    String(name_);
  }

  // The children at an index of `container`, as a JSON array.
  void Items(std::uint32_t container) {
    Put('[');
    const Span span = Children(container);
    bool first = true;
    for (std::uint32_t i = span.first; i < span.end && !cut_; i = t_.End(i)) {
      const Item& item = t_.items[i];
      if (item.key() != KeyForm::None) continue;
      if (item.tag() == Tag::Run) {
        std::size_t at = item.at;
        for (std::uint32_t k = 0; k < item.payload() && !cut_; ++k) {
          if (!first) Put(',');
          first = false;
          const std::size_t start = at;
          const Scalar s = detail::DecodeScalar(t_, at, item.amf3());
          if (!Room(start)) break;
          ScalarValue(s);
        }
        continue;
      }
      if (!first) Put(',');
      first = false;
      Value(i);
    }
    Put(']');
  }

  void NumberItems(std::uint32_t vector) {
    Put('[');
    const std::uint32_t count = detail::VectorCount(t_, vector);
    for (std::uint32_t k = 0; k < count && !cut_; ++k) {
      if (k) Put(',');
      std::size_t at = 0;
      const Scalar s = detail::Element(t_, vector, k, &at);
      if (!Room(at)) break;
      ScalarValue(s);
    }
    Put(']');
  }

  void Value(std::uint32_t i) {
    i = Unwrap(i);
    const Item& item = t_.items[i];
    if (!Room(Offset(i))) return;
    switch (item.tag()) {
      case Tag::Scalar: {
        std::size_t at = t_.ValueAt(i);
        ScalarValue(detail::DecodeScalar(t_, at, item.amf3()));
        return;
      }
      case Tag::Object: {
        Put('{');
        const std::string_view className = detail::ClassNameOf(t_, i);
        if (!className.empty()) {
          Put(R"("$class":)");
          String(className);
        }
        Members(i, className.empty());
        Put('}');
        return;
      }
      case Tag::Array:
        if (!detail::ArrayHasMembers(t_, i)) return Items(i);
        Put(R"({"$items":)");
        Items(i);
        Put(R"(,"$members":{)");
        Members(i);
        Put("}}");
        return;
      case Tag::Vector:
      case Tag::NumberVector: {
        const std::string_view type = detail::ClassNameOf(t_, i);
        const bool fixed = detail::FlagOf(t_, i);
        const bool wrapped = detail::VectorHasWrapper(type, fixed);
        if (wrapped) {
          Put(R"({"$vector":)");
          String(type);
          if (fixed) Put(R"(,"$fixed":true)");
          Put(R"(,"$items":)");
        }
        if (item.tag() == Tag::Vector) Items(i);
        else NumberItems(i);
        if (wrapped) Put('}');
        return;
      }
      case Tag::Dictionary: Dictionary(i); return;
      case Tag::External: Put("null"); return;  // wraps nothing: never made by the reader
      case Tag::Reference: {
        Put(R"({"$ref":)");
        const auto pointer = Pointer(i);
        String(pointer);
        Put('}');
        return;
      }
      case Tag::Problem:
        Put(R"({"$problem":)");
        String(t_.problems[item.aux].message);
        Put('}');
        return;
      case Tag::Run: return;  // written by Items
    }
  }

  // Keys and values alternate; runs may hold several of them.
  void Dictionary(std::uint32_t i) {
    Put(R"({"$dictionary":[)");
    const Span span = Children(i);
    std::uint32_t n = 0;
    auto each = [&](auto write) {
      Put(n % 2 == 0 ? (n == 0 ? "[" : ",[") : ",");
      write();
      if (n % 2 == 1) Put(']');
      ++n;
    };
    for (std::uint32_t c = span.first; c < span.end && !cut_; c = t_.End(c)) {
      const Item& item = t_.items[c];
      if (item.tag() == Tag::Run) {
        std::size_t at = item.at;
        for (std::uint32_t k = 0; k < item.payload() && !cut_; ++k) {
          const std::size_t start = at;
          const Scalar s = detail::DecodeScalar(t_, at, item.amf3());
          each([&] {
            if (Room(start)) ScalarValue(s);
          });
        }
      } else {
        each([&] { Value(c); });
      }
    }
    if (n % 2 == 1) Put(",null]");  // never made by the reader; keeps the output valid
    Put(']');
    if (detail::FlagOf(t_, i)) Put(R"(,"$weakKeys":true)");
    Put('}');
  }

  void ScalarValue(const Scalar& s) {
    switch (s.kind) {
      case Kind::Number: AppendNumber(out_, s.number); break;
      case Kind::Integer: out_ += std::to_string(s.integer); break;
      case Kind::Boolean: Put(s.boolean ? "true" : "false"); break;
      case Kind::Null: Put("null"); break;
      case Kind::Undefined: Put(R"({"$undefined":true})"); break;
      case Kind::Unsupported: Put(R"({"$unsupported":true})"); break;
      case Kind::String: String(s.bytes); break;
      case Kind::Xml:
        Put(R"({"$xml":)");
        String(s.bytes);
        Put('}');
        break;
      case Kind::Date:
        Put(R"({"$date":)");
        if (std::string date; base::AppendUtcMilliseconds(date, s.number, base::TimeForm::kIso)) {
          Put('"');
          Put(date);
          Put('"');
        } else {
          AppendNumber(out_, s.number);
        }
        Put('}');
        break;
      case Kind::ByteArray: {
        Put(R"({"$bytes":")");
        std::string_view bytes = s.bytes;
        while (!bytes.empty()) {
          const std::size_t n = std::min<std::size_t>(bytes.size(), kPiece / 3 * 3);
          base::AppendBase64(out_, bytes.substr(0, n));
          bytes.remove_prefix(n);
          Flush();
        }
        Put("\"}");
        break;
      }
      default: Put("null"); break;
    }
    Flush();
  }

  // Past the output limit a value is written as the problem, once; the containers around it
  // stop and close.
  bool Room(std::size_t offset) {
    if (cut_) return false;
    if (Written() + kReserve <= limit_) return true;
    Cut(offset, "the JSON form");
    Put(R"({"$problem":)");
    String(problems_.back().message);
    Put('}');
    return false;
  }

  std::string name_, buffer_;
};

}  // namespace

void WriteJsonValues(const Tape& tape, Sink& out, std::vector<Problem>& problems, std::size_t limit) {
  JsonWriter writer(tape, out, problems, limit);
  writer.Values();
  writer.Finish();
}

void WriteJsonValues(const Tape& tape, Sink& out, std::vector<Problem>& problems) {
  WriteJsonValues(tape, out, problems, OutputLimit(tape));
}

void WriteJsonProblems(const std::vector<Problem>& problems, Sink& out) {
  std::string json = "[";
  for (std::size_t i = 0; i < problems.size(); ++i) {
    if (i) json += ',';
    json += R"({"offset":)" + std::to_string(problems[i].offset) + R"(,"message":)";
    AppendJsonString(json, problems[i].message);
    json += '}';
  }
  json += ']';
  out.Write(json);
}

void AppendJsonString(std::string& out, std::string_view text) {
  out += '"';
  detail::AppendJsonChars(out, text);
  out += '"';
}

}  // namespace vesk::lso
