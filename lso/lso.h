#pragma once

// The .sol reader: the bytes of one file in, an index of its values out (a "tape": one small
// record per value, in file order, that points into the bytes instead of copying them), and its
// JSON and text forms written from that index. No platform calls, so that it can be fuzzed on its
// own. Nothing in the input is trusted: any sequence of bytes gives a Tape, problems are recorded
// with the byte offset where they were found, and every value decoded before a problem is kept.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <memory_resource>
#include <string>
#include <string_view>
#include <vector>

namespace vesk::lso {

enum class Kind : std::uint8_t {
  Number,       // AMF0 number, AMF3 double and uint vector elements
  Integer,      // AMF3 integer and int vector elements
  Boolean,
  Null,
  Undefined,
  Unsupported,  // AMF0 "unsupported" marker
  String,       // every kind of string
  Xml,          // both XML kinds
  Date,         // milliseconds since 1970-01-01 UTC
  ByteArray,
  Object,       // anonymous or typed object, AMF0 ECMA array
  Array,        // AMF0 strict array; AMF3 array (dense items, then named members)
  Vector,       // AMF3 vectors of int, uint, double and objects
  Dictionary,   // AMF3 dictionary: its children are key, value, key, value...
  External,     // a decoded externalizable class (ArrayCollection, ObjectProxy): one child
  Reference,    // a complex value written before
  Problem,      // a value cut off by a problem
};

struct Problem {
  std::size_t offset = 0;  // from the start of the file
  std::string message;
};

// One value of the file as the tree shows it. `id` is stable for the life of the Tape.
using NodeId = std::uint64_t;
inline constexpr NodeId kRoot = 0;  // the file's pairs are the root's children

// A scalar decoded from the file. Strings, XML and byte arrays point into the file's bytes.
struct Scalar {
  Kind kind = Kind::Undefined;
  double number = 0;         // Number, Date
  std::int64_t integer = 0;  // Integer
  bool boolean = false;      // Boolean
  std::string_view bytes;    // String, Xml, ByteArray
};

class Tape {
 public:
  explicit Tape(std::pmr::memory_resource* index = std::pmr::get_default_resource());
  ~Tape();
  Tape(Tape&&) noexcept;
  Tape& operator=(Tape&&) noexcept;

  std::string_view Bytes() const;
  std::size_t BytesHeld() const;  // the memory the file's bytes take, their buffer's slack included
  std::string_view Name() const;  // the object's name from the header (raw bytes)
  int Amf() const;                // 0 or 3; 0 also when the header could not be read
  bool HeaderRead() const;        // false when the file is no .sol file (or too large)
  const std::vector<Problem>& Problems() const;
  // The memory this index holds besides the file's bytes.
  std::size_t IndexBytes() const;

  // Navigation. Children come in file order: an AMF3 array's named members before its dense
  // items, a dictionary's keys and values alternating.
  std::size_t ChildCount(NodeId node) const;
  NodeId Child(NodeId node, std::size_t row) const;
  NodeId Parent(NodeId node) const;  // kRoot for the pairs (and for kRoot)
  std::size_t Row(NodeId node) const;

  Kind KindOf(NodeId node) const;
  // The raw bytes of the key under which the node stands in its object; false when it stands
  // at an index (arrays, vectors, dictionaries).
  bool Key(NodeId node, std::string_view& key) const;
  // The key as the JSON form writes it: UTF-8, and unique within its object (a later duplicate
  // gets " (2)", " (3)"...).
  std::string JsonKey(NodeId node) const;
  Scalar ScalarOf(NodeId node) const;
  // Objects: the class name ("" for an anonymous one); vectors: the element type ("int", "uint",
  // "double", or the object type, "*" for any); External: the class name.
  std::string_view ClassName(NodeId node) const;
  // Vectors: fixed; dictionaries: weak keys.
  bool Flag(NodeId node) const;
  // References: the value referred to; problems: kRoot.
  NodeId Target(NodeId node) const;
  // References: the JSON Pointer of the value referred to, as the JSON form writes it
  // ("/values/a/b"); empty when there is none.
  std::string_view Pointer(NodeId node) const;
  // Problems: the message.
  std::string_view ProblemText(NodeId node) const;
  // Where the node's value begins in the file.
  std::size_t Offset(NodeId node) const;

  struct Impl;
  Impl& impl() const { return *impl_; }

 private:
  std::unique_ptr<Impl> impl_;
};

// Read decodes files up to this size; a larger one gives a problem and no values. Players keep
// cookies far smaller (100 KB a site unless the user allows more).
inline constexpr std::size_t kMaxFileBytes = std::size_t{32} << 20;

// Indexes a whole file. Time linear; the index takes a few bytes a value, and never more than
// 56 MiB + 6 x the file's size: past that decoding stops with a problem. Copies that references
// make (a string written again by reference) share a budget of 1 MiB + 4 x the size. Nesting
// deeper than 1,000 containers stops decoding too. A problem inside a value stops the decoding
// there: the value becomes a Problem, the values around it keep what was read, and no later pair
// is read. The index's two large arrays come from `index`: the window gives memory in huge pages,
// which spares a page fault for each 4 KiB of a big file's index.
//
// `fill`, when set, is told now and then how far each of the index's two large arrays is written
// (they are filled front to back and never moved), and once at the end, with a null block, that
// they are left alone: whoever gives the memory may ready its pages ahead of the reader meanwhile.
// Until it is told again, an array is not written more than kFillReach bytes past what it was told.
inline constexpr std::size_t kFillReach = (std::size_t{64} << 10) + 64;
struct FillNotice {
  void (*filled)(void* context, const void* block, std::size_t written, std::size_t capacity) = nullptr;
  void* context = nullptr;
};
Tape Read(std::string bytes, std::pmr::memory_resource* index = std::pmr::get_default_resource(),
          FillNotice fill = {});
// The same over bytes that `owner` holds in `held` bytes of memory (a buffer the caller reuses,
// say): the tape keeps `owner` while it lives and lets it go before its index.
Tape Read(std::shared_ptr<const void> owner, std::string_view bytes, std::size_t held,
          std::pmr::memory_resource* index = std::pmr::get_default_resource(), FillNotice fill = {});

// Where the writers put their output, a piece at a time.
class Sink {
 public:
  virtual ~Sink() = default;
  virtual void Write(std::string_view piece) = 0;
};

// A Sink that collects everything in a string.
class StringSink final : public Sink {
 public:
  void Write(std::string_view piece) override { text.append(piece); }
  std::string text;
};

// The writers stop at 64 MiB + 16 x the file's size: past it a value is written as a problem,
// the containers around it are closed, and the problem is added to `problems`.
std::size_t OutputLimit(const Tape& tape);

// The pairs as one compact JSON object, in file order, with the `$` wrappers for values JSON has
// no type for (see README); each member name once per object.
// `limit` replaces OutputLimit (tests).
void WriteJsonValues(const Tape& tape, Sink& out, std::vector<Problem>& problems, std::size_t limit);
void WriteJsonValues(const Tape& tape, Sink& out, std::vector<Problem>& problems);

// The problems as a JSON array of {"offset": N, "message": "..."}.
void WriteJsonProblems(const std::vector<Problem>& problems, Sink& out);

// Appends `text` as a JSON string (quotes included); bytes that are not UTF-8 become U+FFFD.
void AppendJsonString(std::string& out, std::string_view text);

// The pairs as readable text, one value a line (runs of scalars several to a line), each line
// starting with `indent` spaces and ending with '\n'; nested values are indented further, up to
// a fixed depth. Nothing from the file reaches the output as a control character.
void WriteText(const Tape& tape, Sink& out, int indent, std::vector<Problem>& problems, std::size_t limit);
void WriteText(const Tape& tape, Sink& out, int indent, std::vector<Problem>& problems);

// One node as WriteText writes a pair: "key = value" ("[3] = value" at an index), a container
// on the lines that follow. kRoot: every pair.
void WriteTextNode(const Tape& tape, NodeId node, Sink& out, std::vector<Problem>& problems);

// One node's value as WriteText writes a scalar ("12400", "\"anna\"", "-> \"/values/a\"",
// "bytes(2) 01ff"), with strings cut after `maxChars` characters ("..." added; 0: never); empty
// for a container.
std::string ValueText(const Tape& tape, NodeId node, std::size_t maxChars);

// A node's key as WriteText writes it: bare when plain, quoted and escaped otherwise; for an
// index "[3]".
std::string KeyText(const Tape& tape, NodeId node);

// A node's type as ActionScript names it: "Number", "int", "String", "Object", "SettingsVO",
// "Array", "Vector.<int>", "Dictionary", the class of an External...; empty for a reference
// and a problem.
std::string TypeText(const Tape& tape, NodeId node);

}  // namespace vesk::lso
