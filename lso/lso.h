#pragma once

// The .sol reader: the bytes of one file in, its header and a tree of values out. No platform
// calls, so that it can be fuzzed on its own. Nothing in the input is trusted: any sequence of
// bytes gives a Document, problems are recorded with the byte offset where they were found, and
// every pair decoded before a problem is kept.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vesk::lso {

struct Member;
struct Entry;

enum class Kind {
  Number,      // AMF0 number, AMF3 double: `number`
  Integer,     // AMF3 integer: `integer`
  Boolean,     // `boolean`
  Null,
  Undefined,
  String,      // every kind of string: `text` (raw bytes as in the file)
  Object,      // anonymous or typed object, AMF0 ECMA array: `className` (may be empty), `members`
  Array,       // AMF0 strict array, AMF3 array: `items` (dense part), `members` (named part)
  Vector,      // AMF3 vectors: `className` is "int", "uint", "double" or the object type name
               // ("*" for any); `items` (Integer for int, Number for uint and double);
               // `boolean` is the fixed flag
  Date,        // `number`: milliseconds since 1970-01-01 UTC
  ByteArray,   // `text`: the bytes
  Xml,         // both XML kinds: `text`
  Dictionary,  // `entries`; `boolean` is the weak-keys flag
  Reference,   // a value written before: `text` is the JSON Pointer of where it was first written
  Problem,     // a value cut off by a problem: `text` is the message
  Unsupported, // AMF0 "unsupported" marker: no content
};

struct Value {
  Kind kind = Kind::Undefined;
  double number = 0;
  std::int32_t integer = 0;
  bool boolean = false;
  std::string text;
  std::string className;
  std::vector<Value> items;
  std::vector<Member> members;
  std::vector<Entry> entries;
};

struct Member {
  std::string key;  // raw bytes as in the file
  Value value;
};

struct Entry {
  Value key;
  Value value;
};

struct Problem {
  std::size_t offset = 0;  // from the start of the file
  std::string message;
};

struct Document {
  std::string name;  // the object's name from the header (raw bytes)
  int amf = 0;       // 0 or 3; 0 also when the header could not be read
  std::vector<Member> values;
  std::vector<Problem> problems;
};

// Decodes a whole file. Time linear and memory within a small multiple of the input's size:
// copies made for references share a budget of 1 MiB + 4 x the size; past it decoding stops with
// a problem. Nesting deeper than 1,000 containers stops decoding too. A problem inside a value
// stops the decoding there: that value becomes Kind::Problem, the values around it keep what was
// read, and no later pair is read.
Document Decode(std::string_view bytes);

// Appends `text` as a JSON string (quotes included); bytes that are not UTF-8 become U+FFFD.
void AppendJsonString(std::string& out, std::string_view text);

// Appends the document's pairs as one compact JSON object, in file order, with the `$` wrappers
// for values JSON has no type for (see README). Containers deeper than 1,000 levels are written
// as {"$problem": ...}.
void AppendJsonValues(std::string& out, const Document& doc);

// Appends the document's problems as a JSON array of {"offset": N, "message": "..."}.
void AppendJsonProblems(std::string& out, const Document& doc);

// Appends the pairs as readable text, one value a line, each line starting with `indent` spaces
// and ending with '\n'; nested values are indented further.
void AppendText(std::string& out, const Document& doc, int indent);

}  // namespace vesk::lso
