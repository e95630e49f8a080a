// The .sol reader: every type of both encodings, references, broken and hostile files, the JSON
// and text forms, and the tree the window walks. Trees are compared through a compact notation
// (Dump) so that each table row stays one line of bytes and one line of expected tree.

#include <pthread.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <limits>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "lso/lso.h"
#include "platform/platform.h"
#include "json_checks.h"
#include "sol_builder.h"

namespace vesk::lso {
namespace {

using namespace vesk::sol;
using namespace std::string_literals;

std::string Raw(std::string_view s) {
  std::string out = "\"";
  for (unsigned char c : s) {
    if (c >= 0x20 && c < 0x7F && c != '"') {
      out += static_cast<char>(c);
    } else {
      char buffer[8];
      std::snprintf(buffer, sizeof buffer, "\\x%02x", c);
      out += buffer;
    }
  }
  return out + "\"";
}

// n42 i42 true null undefined unsupported "s" d<ms> b"bytes" x"xml" @pointer !problem
// Class{k:v} [items|k:v] V<type,fixed>[items] D{k=>v}|weak; an External stands for its value.
std::string Dump(const Tape& t, NodeId n) {
  char number[40];
  std::string out;
  auto children = [&](bool keyed, bool first) {
    for (std::size_t r = 0; r < t.ChildCount(n); ++r) {
      const NodeId c = t.Child(n, r);
      std::string_view key;
      if (t.Key(c, key) != keyed) continue;
      out += first ? "" : ",";
      first = false;
      if (keyed) out += std::string(key) + ":";
      out += Dump(t, c);
    }
    return first;
  };
  const Scalar s = t.ScalarOf(n);
  switch (t.KindOf(n)) {
    case Kind::Number: std::snprintf(number, sizeof number, "n%.17g", s.number); return number;
    case Kind::Integer: return "i" + std::to_string(s.integer);
    case Kind::Boolean: return s.boolean ? "true" : "false";
    case Kind::Null: return "null";
    case Kind::Undefined: return "undefined";
    case Kind::Unsupported: return "unsupported";
    case Kind::String: return Raw(s.bytes);
    case Kind::Date: std::snprintf(number, sizeof number, "d%.17g", s.number); return number;
    case Kind::ByteArray: return "b" + Raw(s.bytes);
    case Kind::Xml: return "x" + Raw(s.bytes);
    case Kind::Reference: return "@" + std::string(t.Pointer(n));
    case Kind::Problem: return "!" + std::string(t.ProblemText(n));
    case Kind::External: return Dump(t, t.Child(n, 0));
    case Kind::Object:
      out = std::string(t.ClassName(n)) + "{";
      children(true, true);
      return out + "}";
    case Kind::Array: {
      out = "[";
      const bool none = children(false, true);
      std::string items = out;
      out.clear();
      const bool noMembers = children(true, true);
      (void)none;
      return items + (noMembers ? "" : "|") + out + "]";
    }
    case Kind::Vector:
      out = "V<" + std::string(t.ClassName(n)) + (t.Flag(n) ? ",fixed>[" : ">[");
      children(false, true);
      return out + "]";
    case Kind::Dictionary:
      out = "D{";
      for (std::size_t r = 0; r < t.ChildCount(n); ++r) out += (r == 0 ? "" : r % 2 ? "=>" : ",") + Dump(t, t.Child(n, r));
      return out + (t.Flag(n) ? "}|weak" : "}");
  }
  return "?";
}

std::string Dump(const Tape& t) {
  std::string out;
  for (std::size_t r = 0; r < t.ChildCount(kRoot); ++r) {
    const NodeId c = t.Child(kRoot, r);
    std::string_view key;
    t.Key(c, key);
    out += (out.empty() ? "" : " ") + std::string(key) + ":" + Dump(t, c);
  }
  return out;
}

std::string Json(const Tape& tape, std::vector<Problem>* problems = nullptr) {
  StringSink sink;
  std::vector<Problem> all = tape.Problems();
  WriteJsonValues(tape, sink, all);
  if (problems) *problems = all;
  return sink.text;
}

std::string Text(const Tape& tape, int indent = 2) {
  StringSink sink;
  std::vector<Problem> problems = tape.Problems();
  WriteText(tape, sink, indent, problems);
  return sink.text;
}

void CollectReferences(const Tape& t, NodeId n, std::vector<std::string>& out) {
  if (t.KindOf(n) == Kind::Reference) out.emplace_back(t.Pointer(n));
  for (std::size_t r = 0; r < t.ChildCount(n); ++r) CollectReferences(t, t.Child(n, r), out);
}

// The JSON form must parse with each name once per object, and every reference must point at a
// container or wrapper in it; the text form holds no control byte but the line end; the tree's
// navigation finds every node's parent and row again.
void CheckForms(const Tape& tape) {
  std::vector<Problem> problems;
  const std::string json = Json(tape, &problems);
  EXPECT_TRUE(test::HasUniqueNames(json)) << json.substr(0, 200);
  nlohmann::json file = {{"values", nlohmann::json::parse(json)}};
  std::vector<std::string> refs;
  CollectReferences(tape, kRoot, refs);
  for (const std::string& ref : refs) {
    SCOPED_TRACE(ref);
    const nlohmann::json target = file.at(nlohmann::json::json_pointer(ref));
    EXPECT_TRUE(target.is_object() || target.is_array()) << target.dump();
  }
  StringSink problemsJson;
  WriteJsonProblems(problems, problemsJson);
  EXPECT_EQ(nlohmann::json::parse(problemsJson.text).size(), problems.size());
  for (unsigned char c : Text(tape)) ASSERT_TRUE(c == '\n' || (c >= 0x20 && c != 0x7F)) << int(c);
  std::function<void(NodeId)> walk = [&](NodeId n) {
    for (std::size_t r = 0; r < tape.ChildCount(n); ++r) {
      const NodeId c = tape.Child(n, r);
      ASSERT_EQ(tape.Parent(c), n);
      ASSERT_EQ(tape.Row(c), r);
      walk(c);
    }
  };
  walk(kRoot);
}

std::string A0(std::string_view body) { return File(body, 0); }
std::string A3(std::string_view body) { return File(body, 3); }

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();

struct DecodeRow {
  const char* name;
  friend void PrintTo(const DecodeRow& row, std::ostream* os) { *os << row.name; }
  std::string file;
  std::string tree;
};

class LsoDecode : public testing::TestWithParam<DecodeRow> {};

TEST_P(LsoDecode, GivesTheTree) {
  const DecodeRow& row = GetParam();
  const Tape tape = Read(row.file);
  EXPECT_EQ(Dump(tape), row.tree);
  EXPECT_TRUE(tape.Problems().empty()) << tape.Problems().front().offset << ": " << tape.Problems().front().message;
  CheckForms(tape);
}

using namespace amf0;
namespace a3 = vesk::sol::amf3;

const std::string kSettingsTraits = a3::Str("sound") + a3::Str("level");

INSTANTIATE_TEST_SUITE_P(
    Amf0, LsoDecode,
    testing::Values(
        DecodeRow{"Number", A0(Pair("a", Number(42)) + Pair("b", Number(-0.5))), "a:n42 b:n-0.5"},
        DecodeRow{"Boolean", A0(Pair("t", Boolean(true)) + Pair("f", U8(1) + U8(0))), "t:true f:false"},
        DecodeRow{"Strings", A0(Pair("s", String("hi")) + Pair("l", LongString("long"))), "s:\"hi\" l:\"long\""},
        DecodeRow{"Empty", A0(Pair("n", Null()) + Pair("u", Undefined()) + Pair("x", Unsupported())),
                  "n:null u:undefined x:unsupported"},
        DecodeRow{"Object", A0(Pair("o", Object(Key("x") + Number(1) + Key("y") + String("s")))), "o:{x:n1,y:\"s\"}"},
        DecodeRow{"TypedObject", A0(Pair("o", Typed("com.X", Key("x") + Number(1)))), "o:com.X{x:n1}"},
        DecodeRow{"EcmaArray", A0(Pair("e", Ecma(5, Key("0") + Boolean(true)))), "e:{0:true}"},
        DecodeRow{"StrictArray", A0(Pair("a", Strict(3, Number(1) + String("a") + Null()))), "a:[n1,\"a\",null]"},
        DecodeRow{"Date", A0(Pair("d", Date(1273861325123))), "d:d1273861325123"},
        DecodeRow{"Xml", A0(Pair("x", Xml("<a/>"))), "x:x\"<a/>\""},
        DecodeRow{"SelfReference", A0(Pair("o", Object(Key("self") + Reference(0)))), "o:{self:@/values/o}"},
        DecodeRow{"SharedObject", A0(Pair("a", Object(Key("x") + Number(1))) + Pair("b", Reference(0))),
                  "a:{x:n1} b:@/values/a"},
        DecodeRow{"NestedReference",
                  A0(Pair("a", Object(Key("b") + Strict(2, Null() + Object("")))) + Pair("c", Reference(2)) +
                     Pair("d", Reference(1))),
                  "a:{b:[null,{}]} c:@/values/a/b/1 d:@/values/a/b"},
        DecodeRow{"PointerEscapes",
                  A0(Pair("a/b~c", Object("")) + Pair("\xff", Object("")) + Pair("r", Reference(0)) +
                     Pair("s", Reference(1))),
                  "a/b~c:{} \xff:{} r:@/values/a~1b~0c s:@/values/\xEF\xBF\xBD"},
        DecodeRow{"SwitchToAmf3", A0(Pair("i", U8(0x11) + a3::Integer(7)) + Pair("o", U8(0x11) + a3::Anonymous(a3::Str("k") + a3::String("v")))),
                  "i:i7 o:{k:\"v\"}"}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Amf3, LsoDecode,
    testing::Values(
        DecodeRow{"Constants",
                  A3(a3::Pair("u", a3::Undefined()) + a3::Pair("n", a3::Null()) + a3::Pair("f", a3::Boolean(false)) +
                     a3::Pair("t", a3::Boolean(true))),
                  "u:undefined n:null f:false t:true"},
        DecodeRow{"Integers",
                  A3(a3::Pair("a", a3::Integer(0)) + a3::Pair("b", a3::Integer(-1)) +
                     a3::Pair("c", a3::Integer(268435455)) + a3::Pair("d", a3::Integer(-268435456)) +
                     a3::Pair("e", a3::Integer(2097152)) + a3::Pair("f", a3::Integer(200))),
                  "a:i0 b:i-1 c:i268435455 d:i-268435456 e:i2097152 f:i200"},
        DecodeRow{"Doubles", A3(a3::Pair("a", a3::Double(1.5)) + a3::Pair("b", a3::Double(-kInf))), "a:n1.5 b:n-inf"},
        DecodeRow{"Strings", A3(a3::Pair("s", a3::String("h\xc3\xa9llo")) + a3::Pair("e", a3::String(""))),
                  "s:\"h\\xc3\\xa9llo\" e:\"\""},
        // Table: "name" 0, "anna" 1; the second pair's key and value both come from it.
        DecodeRow{"StringReferencesAsKeys",
                  A3(a3::Pair("name", a3::String("anna")) + a3::Ref(1) + a3::StringRef(0) + U8(0)),
                  "name:\"anna\" anna:\"name\""},
        DecodeRow{"Xml", A3(a3::Pair("d", a3::XmlDoc("<a/>")) + a3::Pair("x", a3::Xml("<b/>"))), "d:x\"<a/>\" x:x\"<b/>\""},
        DecodeRow{"DateAndBytes", A3(a3::Pair("d", a3::Date(1273861325123)) + a3::Pair("b", a3::Bytes("\x01\x02"s))),
                  "d:d1273861325123 b:b\"\\x01\\x02\""},
        DecodeRow{"Arrays",
                  A3(a3::Pair("d", a3::Array(2, "", a3::Integer(1) + a3::Integer(2))) +
                     a3::Pair("m", a3::Array(1, a3::Str("a") + a3::Integer(1), a3::Integer(3)))),
                  "d:[i1,i2] m:[i3|a:i1]"},
        DecodeRow{"SealedAndDynamic",
                  A3(a3::Pair("o", a3::Object("SettingsVO", 2, kSettingsTraits, a3::Boolean(true) + a3::Integer(3),
                                              true, a3::Str("extra") + a3::Null()))),
                  "o:SettingsVO{sound:true,level:i3,extra:null}"},
        DecodeRow{"TraitsReference",
                  A3(a3::Pair("a", a3::Object("SettingsVO", 2, kSettingsTraits, a3::Boolean(true) + a3::Integer(3), false)) +
                     a3::Pair("b", a3::ObjectWithTraits(0, a3::Boolean(false) + a3::Integer(1), false))),
                  "a:SettingsVO{sound:true,level:i3} b:SettingsVO{sound:false,level:i1}"},
        DecodeRow{"SelfReference", A3(a3::Pair("o", a3::Anonymous(a3::Str("self") + a3::ObjectRef(0x0A, 0)))),
                  "o:{self:@/values/o}"},
        DecodeRow{"SharedObject",
                  A3(a3::Pair("a", a3::Anonymous(a3::Str("x") + a3::Integer(1))) + a3::Pair("b", a3::ObjectRef(0x0A, 0))),
                  "a:{x:i1} b:@/values/a"},
        DecodeRow{"ReferencesIntoNamedArray",
                  A3(a3::Pair("a", a3::Array(1, a3::Str("m") + a3::Anonymous(""), a3::Anonymous(""))) +
                     a3::Pair("b", a3::ObjectRef(0x0A, 1)) + a3::Pair("c", a3::ObjectRef(0x0A, 2))),
                  "a:[{}|m:{}] b:@/values/a/$members/m c:@/values/a/$items/0"},
        DecodeRow{"ArrayCollection",
                  A3(a3::Pair("ac", a3::Externalizable("flex.messaging.io.ArrayCollection",
                                                       a3::Array(2, "", a3::Integer(1) + a3::Integer(2)))) +
                     a3::Pair("r0", a3::ObjectRef(0x0A, 0)) + a3::Pair("r1", a3::ObjectRef(0x09, 1))),
                  "ac:[i1,i2] r0:@/values/ac r1:@/values/ac"},
        DecodeRow{"ObjectProxy",
                  A3(a3::Pair("p", a3::Externalizable("flex.messaging.io.ObjectProxy",
                                                      a3::Anonymous(a3::Str("x") + a3::Integer(1))))),
                  "p:{x:i1}"},
        DecodeRow{"NumberVectors",
                  A3(a3::Pair("i", a3::IntVector(false, {-1, 2})) + a3::Pair("u", a3::UintVector(false, {4294967295u})) +
                     a3::Pair("d", a3::DoubleVector(true, {0.25}))),
                  "i:V<int>[i-1,i2] u:V<uint>[n4294967295] d:V<double,fixed>[n0.25]"},
        DecodeRow{"ObjectVectors",
                  A3(a3::Pair("v", a3::ObjectVector(false, "com.Foo", 2, a3::Anonymous("") + a3::Anonymous(""))) +
                     a3::Pair("w", a3::ObjectVector(false, "*", 1, a3::Anonymous(""))) +
                     a3::Pair("r", a3::ObjectRef(0x0A, 2)) + a3::Pair("s", a3::ObjectRef(0x0A, 4))),
                  "v:V<com.Foo>[{},{}] w:V<*>[{}] r:@/values/v/$items/1 s:@/values/w/0"},
        DecodeRow{"Dictionary",
                  A3(a3::Pair("d", a3::Dictionary(true, 2, a3::String("k") + a3::Integer(1) + a3::Anonymous("") +
                                                               a3::Boolean(true))) +
                     a3::Pair("r", a3::ObjectRef(0x0A, 1))),
                  "d:D{\"k\"=>i1,{}=>true}|weak r:@/values/d/$dictionary/1/0"}),
    [](const auto& info) { return std::string(info.param.name); });

struct BrokenRow {
  const char* name;
  friend void PrintTo(const BrokenRow& row, std::ostream* os) { *os << row.name; }
  std::string file;
  std::string tree;  // the pairs kept
  std::size_t offset;
  std::string message = "";  // a part of the first problem's message; else the one in `tree`
};

class LsoBroken : public testing::TestWithParam<BrokenRow> {};

TEST_P(LsoBroken, KeepsWhatCameBefore) {
  const BrokenRow& row = GetParam();
  const Tape tape = Read(row.file);
  EXPECT_EQ(Dump(tape), row.tree);
  const std::vector<Problem>& problems = tape.Problems();
  ASSERT_FALSE(problems.empty());
  std::string message = row.message.empty() ? row.tree.substr(row.tree.rfind('!') + 1) : row.message;
  EXPECT_NE(problems.front().message.find(message), std::string::npos) << problems.front().message;
  EXPECT_EQ(problems.front().offset, row.offset);
  CheckForms(tape);
}

// Offsets: the AMF0 header of File(..., "test") is 24 bytes; pair "a" = number 42 takes 13.
const std::string kA = Pair("a", Number(42));
std::string WithLength(std::string file, std::uint32_t length) { return file.replace(2, 4, U32(length)); }

INSTANTIATE_TEST_SUITE_P(
    Rows, LsoBroken,
    testing::Values(
        BrokenRow{"EmptyFile", "", "", 0, "does not begin with 00 BF"},
        BrokenRow{"HeaderCutOff", "\x00\xBF\x00\x00"s, "", 2, "header cut off"},
        BrokenRow{"NoTcso", "\x00\xBF"s + U32(10) + "TCSX" + std::string(6, '\0'), "", 6, "no TCSO"},
        BrokenRow{"UnknownVersion", File("", 5), "", 25, "unknown AMF version 5"},
        BrokenRow{"UnusualBytesAfterTcso", std::string(A0(kA)).replace(11, 1, "\x05"), "a:n42", 10,
                  "unusual bytes after TCSO"},
        BrokenRow{"LengthDisagrees", WithLength(A0(kA), 3), "a:n42", 2, "the header gives 3 bytes"},
        BrokenRow{"ValueCutOff", A0(kA + Key("b") + U8(0) + "\x40\x45"s), "a:n42 b:!value cut off by the end of the file", 43},
        BrokenRow{"UnknownType", A0(kA + Pair("b", U8(0x12))), "a:n42 b:!unknown AMF0 type byte 0x12", 42},
        BrokenRow{"Movieclip", A0(Pair("m", U8(0x04))), "m:!AMF0 type 0x04 (movieclip) is reserved and never written", 29},
        BrokenRow{"StrayObjectEnd", A0(Pair("m", U8(0x09))), "m:!object end 09 outside an object", 29},
        BrokenRow{"BadAmf0Reference", A0(kA + Pair("r", Reference(3))), "a:n42 r:!reference to complex value 3, only 0 read so far", 42},
        BrokenRow{"StringPastEnd", A0(kA + Key("s") + U8(2) + U16(500) + "ab"), "a:n42 s:!length 500 runs past the end of the file (2 bytes left)", 43},
        BrokenRow{"CountInTheBillions", A0(Key("a") + Strict(4000000000u, Null())), "a:!count 4000000000 is more than the 1 bytes left can hold", 30},
        BrokenRow{"TrailingBytes", A0(Key("a") + Number(42) + "\x41\x42"s), "a:n42", 38, "trailing bytes: 00 expected after a pair, found 0x41"},
        BrokenRow{"BytesAfterTheLastPair", A0(kA + "\x41\x42"s), "a:n42", 39, "length 16706 runs past the end"},
        BrokenRow{"DuplicateKeys", A0(kA + Pair("b", Object(Key("x") + Null() + Key("x") + Null())) + kA),
                  "a:n42 b:{x:null,x:null} a:n42", 42, "duplicate key \"x\"; the later one is written as \"x (2)\""},
        BrokenRow{"LastPairNotEnded", A0(Key("a") + Number(1)), "a:n1", 38, "not ended by 00"},
        BrokenRow{"CutInsideNestedObject",
                  A3(a3::Pair("a", a3::Anonymous(a3::Str("x") + a3::Integer(1) + a3::Str("y") + U8(0x05) + "\x01"s))),
                  "a:{x:i1,y:!value cut off by the end of the file}", 38, "value cut off"},
        BrokenRow{"BadStringReference", A3(a3::Pair("s", a3::StringRef(4))), "s:!reference to string 4, only 1 in the table", 29},
        BrokenRow{"KeyIsBadReference", A3(a3::Ref(0) + a3::Null() + U8(0)), "", 26, "reference to string 0, only 0"},
        BrokenRow{"BadObjectReference", A3(a3::Pair("o", a3::ObjectRef(0x0A, 0))), "o:!reference to object 0, only 0 read so far", 28},
        BrokenRow{"BadTraitsReference", A3(a3::Pair("o", a3::ObjectWithTraits(2, "", false))),
                  "o:!reference to traits 2, only 0 read so far", 28},
        BrokenRow{"OtherExternalizable",
                  A3(a3::Pair("a", a3::Integer(1)) + a3::Pair("o", a3::Externalizable("com.Secret", "\x01\x02"s))),
                  "a:i1 o:!externalizable class com.Secret cannot be read", 46, "com.Secret"},
        BrokenRow{"DenseCountPastEnd", A3(a3::Pair("a", U8(0x09) + U29(2000 << 1 | 1) + U8(1))),
                  "a:!count 2000 is more than the 2 bytes left can hold", 29},
        BrokenRow{"DictionaryKeyCutOff", A3(a3::Str("d") + a3::Dictionary(false, 1, U8(0x05) + "\x01\x02"s)),
                  "d:D{!value cut off by the end of the file=>!value cut off by the end of the file}", 32,
                  "value cut off"},
        BrokenRow{"VectorPastEnd", A3(a3::Pair("v", U8(0x0D) + U29(9 << 1 | 1) + U8(0) + U32(1))), "v:!count 9 is more than the 5 bytes left can hold", 29},
        BrokenRow{"U29CutOff", A3(a3::Str("i") + U8(0x04) + "\xFF\xFF"s), "i:!value cut off by the end of the file", 31}),
    [](const auto& info) { return std::string(info.param.name); });

// Nesting: `levels` containers one inside the other, the innermost empty.
std::string NestedAmf0(int levels) {
  std::string v = Object("");
  for (int i = 1; i < levels; ++i) v = Object(Key("a") + v);
  return A0(Pair("top", v));
}
std::string NestedAmf3(int levels) {
  std::string v = a3::Array(0, "", "");
  for (int i = 1; i < levels; ++i) v = a3::Array(1, "", v);
  return A3(a3::Pair("top", v));
}
std::string NestedCollections(int levels) {
  std::string v = a3::Null();
  for (int i = 0; i < levels; ++i) v = a3::Externalizable("flex.messaging.io.ArrayCollection", v);
  return A3(a3::Pair("top", v));
}

// Runs `f` on a thread with the 1 MiB stack a Windows program gets.
void OnSmallStack(const std::function<void()>& f) {
  pthread_attr_t attr;
  pthread_attr_init(&attr);
  pthread_attr_setstacksize(&attr, 1 << 20);
  pthread_t thread;
  auto call = [](void* p) -> void* {
    (*static_cast<const std::function<void()>*>(p))();
    return nullptr;
  };
  ASSERT_EQ(pthread_create(&thread, &attr, call, const_cast<std::function<void()>*>(&f)), 0);
  pthread_join(thread, nullptr);
  pthread_attr_destroy(&attr);
}

TEST(LsoLimits, ThousandLevelsAreReadAndWrittenDeeperOnesStop) {
  for (auto nested : {NestedAmf0, NestedAmf3}) {
    std::string json, text;
    bool clean = false;
    OnSmallStack([&] {
      const Tape tape = Read(nested(1000));
      clean = tape.Problems().empty();
      json = Json(tape);
      text = Text(tape, 0);
    });
    EXPECT_TRUE(clean);
    EXPECT_EQ(nlohmann::json::parse(json).dump().find("problem"), std::string::npos);
    EXPECT_EQ(text.find("problem"), std::string::npos);

    const Tape deeper = Read(nested(1001));
    ASSERT_EQ(deeper.Problems().size(), 1u);
    EXPECT_EQ(deeper.Problems()[0].message, "nested deeper than 1000 levels");
    ASSERT_EQ(deeper.ChildCount(kRoot), 1u);  // the pair is kept, cut at the limit
    CheckForms(deeper);
  }
  const Tape collections = Read(NestedCollections(1001));
  ASSERT_EQ(collections.Problems().size(), 1u);
  EXPECT_EQ(collections.Problems()[0].message, "nested deeper than 1000 levels");
}

// Counts what a writer writes without keeping it.
struct CountingSink : Sink {
  void Write(std::string_view piece) override { bytes += piece.size(); }
  std::size_t bytes = 0;
};

std::string Nulls(std::size_t n) { return std::string(n, '\x01'); }
std::string Repeat(const std::string& piece, int times) {
  std::string out;
  out.reserve(piece.size() * times);
  for (int i = 0; i < times; ++i) out += piece;
  return out;
}
// `v` in `levels` arrays of one item each: the headers of the arrays, then `v` (an AMF3 array
// has nothing after its items), so that deep nesting costs no copies at start-up.
std::string NestedAround(int levels, const std::string& v) {
  const std::string header = U8(0x09) + U29(1 << 1 | 1) + U8(0x01);
  std::string nested;
  nested.reserve(levels * header.size() + v.size());
  for (int i = 0; i < levels; ++i) nested += header;
  return nested + v;
}

// Files made to blow up the reader or its writers: each is read within its budgets, each form
// stays a small multiple of the file, and the ones that claim what is not there say so.
struct HostileRow {
  const char* name;
  friend void PrintTo(const HostileRow& row, std::ostream* os) { *os << row.name; }
  std::string (*make)();  // the file, made when the row runs: some are megabytes
  std::string problem;  // a part of the first problem, or "" for a clean file
  double textFactor;    // the text form is at most this many times the file (+ 2 MiB)
};

class LsoHostile : public testing::TestWithParam<HostileRow> {};

// What the reader tells of its arrays, passed on to a PageWarmer as the window's is.
struct FillRecorder {
  platform::PageWarmer warmer;
  std::vector<std::pair<const void*, std::size_t>> last;  // each block's written
  std::vector<std::string> faults;
  bool finished = false;

  static void Notice(void* self, const void* block, std::size_t written, std::size_t capacity) {
    auto& r = *static_cast<FillRecorder*>(self);
    if (r.finished) r.faults.push_back("told after the end");
    if (block == nullptr) {
      r.finished = true;
    } else {
      if (written > capacity) r.faults.push_back("written past the capacity");
      auto it = std::find_if(r.last.begin(), r.last.end(), [&](const auto& b) { return b.first == block; });
      if (it == r.last.end()) {
        r.last.emplace_back(block, written);
      } else if (written < std::exchange(it->second, written)) {
        r.faults.push_back("written went back");
      }
    }
    platform::PageWarmer::Notice(&r.warmer, block, written, capacity);
  }
};

// A Sink that keeps a hash of what it is given.
struct HashSink : Sink {
  void Write(std::string_view piece) override {
    for (unsigned char c : piece) hash = (hash ^ c) * 1099511628211u;
  }
  std::uint64_t hash = 14695981039346656037u;
};

TEST_P(LsoHostile, StaysWithinItsBounds) {
  const HostileRow& row = GetParam();
  const std::string file = row.make();
  // As the window and vesk-cli read: with its pages warmed ahead of the reader, which must
  // change nothing in what is read.
  FillRecorder fill;
  const Tape tape = Read(file, platform::LargeBlocks(), {&FillRecorder::Notice, &fill});
  EXPECT_TRUE(fill.finished);
  EXPECT_TRUE(fill.faults.empty()) << fill.faults.front();
  {
    std::vector<Problem> problems;
    HashSink warmed, plain;
    WriteJsonValues(tape, warmed, problems);
    WriteJsonValues(Read(file), plain, problems);
    EXPECT_EQ(warmed.hash, plain.hash);
  }
  if (row.problem.empty()) {
    EXPECT_TRUE(tape.Problems().empty()) << tape.Problems().front().message;
  } else {
    ASSERT_FALSE(tape.Problems().empty());
    EXPECT_NE(tape.Problems().front().message.find(row.problem), std::string::npos) << tape.Problems().front().message;
  }
  EXPECT_LE(tape.IndexBytes(), 6 * file.size() + 4096);
  std::vector<Problem> problems = tape.Problems();
  CountingSink json, text;
  WriteJsonValues(tape, json, problems);
  WriteText(tape, text, 2, problems);
  EXPECT_EQ(problems.size(), 2 * tape.Problems().size() - tape.Problems().size());  // nothing was cut
  // Copies through references may add 1 MiB + 4 x the file before the reader stops them.
  EXPECT_LE(json.bytes, 24 * file.size() + (2 << 20));
  EXPECT_LE(text.bytes, row.textFactor * file.size() + (2 << 20));
  if (file.size() < (std::size_t{1} << 19)) CheckForms(tape);
}

const std::string kEsc = "a\x1b[31mRED\x1b[0m\xe2\x80\xae";

INSTANTIATE_TEST_SUITE_P(
    Rows, LsoHostile,
    testing::Values(
        HostileRow{"NullsNestedDeep", [] { return A3(a3::Pair("a", NestedAround(999, a3::Array(100000, "", Nulls(100000))))); }, "", 10},
        HostileRow{"MillionNullsThousandDeep",
                   [] { return A3(a3::Pair("a", NestedAround(999, a3::Array(1000000, "", Nulls(1000000))))); }, "", 10},
        HostileRow{"MillionUndefinedsAmf0", [] { return A0(Pair("a", Strict(1000000, std::string(1000000, '\x06')))); }, "", 12},
        HostileRow{"WideObjectOfKeyReferences",
                   [] { return A3(a3::Pair("o", a3::Anonymous(a3::Str("k") + a3::Null() + Repeat(a3::Ref(1) + a3::Null(), 100000)))); },
                   "duplicate key", 16},
        HostileRow{"ManyShortObjects",
                   [] { return A3(a3::Pair("a", a3::Array(200000, "", a3::Anonymous("") + Repeat(U8(0x0A) + U8(0x01) + U8(0x01), 199999)))); },
                   "", 16},
        HostileRow{"IntVectorClaimsMillions", [] { return A3(a3::Pair("v", U8(0x0D) + U29(8000000 << 1 | 1) + U8(0) + U32(1))); },
                   "count 8000000", 1},
        HostileRow{"IntVectorOfAMillion",
                   [] { return A3(a3::Pair("v", U8(0x0D) + U29(1000000 << 1 | 1) + U8(0) + std::string(4000000, '\x01'))); }, "", 4},
        HostileRow{"DictionaryClaimsBillions", [] { return A3(a3::Pair("d", U8(0x11) + U29(0x0FFFFFFF << 1 | 1) + U8(0) + a3::Null())); },
                   "count", 1},
        HostileRow{"ByteArrayClaimsGigabytes", [] { return A3(a3::Pair("b", U8(0x0C) + U29(0x0FFFFFFF << 1 | 1) + "ab")); },
                   "runs past the end", 1},
        HostileRow{"LongStringReferredToOften",
                   [] {
                     return A3(a3::Pair("s", a3::String(std::string(1000, 'x'))) +
                               a3::Pair("r", a3::Array(20000, "", Repeat(a3::StringRef(1), 20000))));
                   },
                   "references copy more than", 60},
        HostileRow{"LongKeyReferredToOften",
                   [] { return A3(a3::Pair(std::string(30000, 'k'), a3::Null()) + Repeat(a3::Ref(0) + a3::Null() + U8(0), 2000)); },
                   "references copy more than", 60},
        HostileRow{"DeepTargetReferredToOften",
                   [] {
                     std::string v = Object("");
                     for (int i = 0; i < 900; ++i) v = Object(Key(std::string(200, 'p')) + v);
                     return A0(Pair("a", v) + Pair("r", Strict(30000, Repeat(Reference(899), 30000))));
                   },
                   "references copy more than", 60},
        HostileRow{"EscapesInEveryField",
                   [] {
                     return File(a3::Pair(kEsc, a3::Anonymous(a3::Str(kEsc) + a3::String(kEsc))) +
                                     a3::Pair("t", a3::Object(kEsc, 1, a3::Str(kEsc), a3::Xml(kEsc), false)) +
                                     a3::Pair("x", a3::Externalizable(kEsc, "")),
                                 3, kEsc);
                   },
                   "externalizable class", 40}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(LsoLimits, TheWritersStopAtTheirLimit) {
  std::string numbers;
  for (int i = 0; i < 6000; ++i) numbers += a3::Integer(100000 + i);
  const Tape tape = Read(A3(a3::Pair("a", a3::Array(3, "", a3::Integer(1) + a3::Array(6000, "", numbers) + a3::Null())) +
                            a3::Pair("b", a3::Null())));
  for (std::size_t limit : {0, 20000, 40000}) {
    SCOPED_TRACE(limit);
    std::vector<Problem> problems = tape.Problems();
    StringSink json;
    WriteJsonValues(tape, json, problems, limit);
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_EQ(problems[0].message, "the JSON form would be larger than 0 MiB; the rest is not written");
    EXPECT_NO_THROW(nlohmann::json::parse(json.text)) << json.text;
    EXPECT_NE(json.text.find("$problem"), std::string::npos);
    StringSink text;
    WriteText(tape, text, 2, problems, limit);
    ASSERT_EQ(problems.size(), 2u);
    EXPECT_NE(text.text.find("<problem: \"the text form would be larger than"), std::string::npos) << text.text;
  }
}

// Each name stands once in a JSON object; the reader says which it renamed and why.
TEST(LsoLimits, CollidingKeysAreRenamedAndReported) {
  const Tape tape = Read(A3(a3::Pair("o", a3::Anonymous(a3::Str("a\xfe") + a3::Integer(1) + a3::Str("a\xff") + a3::Integer(2) +
                                                       a3::Str("a\xef\xbf\xbd (2)") + a3::Integer(3))) +
                            a3::Pair("t", a3::Object("C", 1, a3::Str("$class"), a3::Integer(4), false)) +
                            a3::Pair("o", a3::ObjectRef(0x0A, 0)) +
                            // The same table entries twice: each object is renamed and reported.
                            Repeat(a3::Pair("p", a3::Anonymous(a3::Ref(1) + a3::Integer(5) + a3::Ref(2) + a3::Integer(6))), 2)));
  EXPECT_EQ(Json(tape), "{\"o\":{\"a\xEF\xBF\xBD\":1,\"a\xEF\xBF\xBD (3)\":2,\"a\xEF\xBF\xBD (2)\":3},"
                        "\"t\":{\"$class\":\"C\",\"$class (2)\":4},\"o (2)\":{\"$ref\":\"/values/o\"},"
                        "\"p\":{\"a\xEF\xBF\xBD\":5,\"a\xEF\xBF\xBD (2)\":6},\"p (2)\":{\"a\xEF\xBF\xBD\":5,\"a\xEF\xBF\xBD (2)\":6}}");
  std::vector<std::string> messages;
  for (const Problem& p : tape.Problems()) messages.push_back(p.message);
  EXPECT_EQ(messages, (std::vector<std::string>{
                          "keys \"a\\xFE\" and \"a\\xFF\" read the same in JSON; the later one is written as \"a\xEF\xBF\xBD (3)\"",
                          "key \"$class\" of a typed object stands beside its class name in JSON; the later one is written as \"$class (2)\"",
                          "keys \"a\\xFE\" and \"a\\xFF\" read the same in JSON; the later one is written as \"a\xEF\xBF\xBD (2)\"",
                          "keys \"a\\xFE\" and \"a\\xFF\" read the same in JSON; the later one is written as \"a\xEF\xBF\xBD (2)\"",
                          "duplicate key \"o\"; the later one is written as \"o (2)\"",
                          "duplicate key \"p\"; the later one is written as \"p (2)\""}));
  EXPECT_EQ(tape.JsonKey(tape.Child(tape.Child(kRoot, 0), 1)), "a\xEF\xBF\xBD (3)");
  CheckForms(tape);

  std::string pairs;
  for (int i = 0; i < 300; ++i) pairs += a3::Pair("k", a3::Null());
  const Tape many = Read(A3(pairs));
  EXPECT_EQ(many.ChildCount(kRoot), 300u);
  ASSERT_EQ(many.Problems().size(), 101u);
  EXPECT_EQ(many.Problems()[100].message, "duplicate keys: more than 100, the rest not reported");
  EXPECT_EQ(nlohmann::json::parse(Json(many)).size(), 300u);
}

struct FormRow {
  const char* name;
  friend void PrintTo(const FormRow& row, std::ostream* os) { *os << row.name; }
  std::string file;
  std::string expected;
};

class LsoJson : public testing::TestWithParam<FormRow> {};
TEST_P(LsoJson, WritesTheValues) {
  const Tape tape = Read(GetParam().file);
  EXPECT_EQ(Json(tape), GetParam().expected);
  CheckForms(tape);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, LsoJson,
    testing::Values(
        FormRow{"Numbers",
                A0(Pair("a", Number(42)) + Pair("b", Number(0.1)) + Pair("c", Number(1e300)) + Pair("d", Number(-0.0)) +
                   Pair("e", Number(kNaN)) + Pair("f", Number(kInf)) + Pair("g", Number(-kInf))),
                R"({"a":42,"b":0.1,"c":1e+300,"d":-0,"e":{"$number":"NaN"},"f":{"$number":"Infinity"},)"
                R"("g":{"$number":"-Infinity"}})"},
        FormRow{"Constants", A0(Pair("u", Undefined()) + Pair("x", Unsupported()) + Pair("n", Null()) + Pair("t", Boolean(true))),
                R"({"u":{"$undefined":true},"x":{"$unsupported":true},"n":null,"t":true})"},
        FormRow{"Strings", A0(Pair("a\xff", String("a\xff\xc0\x80" "b")) + Pair("c", String("\x01\n\"\\\x7f")) +
                              Pair("d", String("\xc2\x9b\xe2\x80\xae\xc3\xa9"))),
                "{\"a\xEF\xBF\xBD\":\"a\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD" "b\",\"c\":\"\\u0001\\n\\\"\\\\\\u007f\","
                "\"d\":\"\\u009b\\u202e\xc3\xa9\"}"},
        FormRow{"ClassFirst", A0(Pair("o", Typed("com.X", Key("$class") + Number(1)))),
                R"j({"o":{"$class":"com.X","$class (2)":1}})j"},
        FormRow{"NamedArray", A3(a3::Pair("m", a3::Array(1, a3::Str("a") + a3::Integer(1), a3::Integer(3)))),
                R"({"m":{"$items":[3],"$members":{"a":1}}})"},
        FormRow{"Dates",
                A0(Pair("a", Date(1273861325123)) + Pair("b", Date(-1)) + Pair("c", Date(kNaN)) + Pair("d", Date(1.5)) +
                   Pair("e", Date(1e300))),
                R"({"a":{"$date":"2010-05-14T18:22:05.123Z"},"b":{"$date":"1969-12-31T23:59:59.999Z"},)"
                R"("c":{"$date":{"$number":"NaN"}},"d":{"$date":1.5},"e":{"$date":1e+300}})"},
        FormRow{"BytesAndXml",
                A3(a3::Pair("b", a3::Bytes("\x00\x01\x02\xff"s)) + a3::Pair("c", a3::Bytes("ab")) + a3::Pair("x", a3::Xml("<a/>"))),
                R"({"b":{"$bytes":"AAEC/w=="},"c":{"$bytes":"YWI="},"x":{"$xml":"<a/>"}})"},
        FormRow{"Vectors",
                A3(a3::Pair("i", a3::IntVector(false, {1})) + a3::Pair("f", a3::IntVector(true, {2})) +
                   a3::Pair("o", a3::ObjectVector(false, "com.Foo", 1, a3::Null()))),
                R"({"i":[1],"f":{"$vector":"int","$fixed":true,"$items":[2]},"o":{"$vector":"com.Foo","$items":[null]}})"},
        FormRow{"DictionaryAndReference",
                A3(a3::Pair("d", a3::Dictionary(true, 1, a3::Integer(1) + a3::String("one"))) + a3::Pair("r", a3::ObjectRef(0x11, 0))),
                R"({"d":{"$dictionary":[[1,"one"]],"$weakKeys":true},"r":{"$ref":"/values/d"}})"},
        FormRow{"Problem", A0(kA + Pair("b", U8(0x12))),
                R"({"a":42,"b":{"$problem":"unknown AMF0 type byte 0x12"}})"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(LsoJson, WritesProblemsWithTheirOffsets) {
  const Tape tape = Read(WithLength(A0(kA + Pair("b", U8(0x12))), 7));
  StringSink json;
  WriteJsonProblems(tape.Problems(), json);
  EXPECT_EQ(json.text, R"([{"offset":2,"message":"the header gives 7 bytes after the length field, the file has 38"},)"
                  R"({"offset":42,"message":"unknown AMF0 type byte 0x12"}])");
}

class LsoText : public testing::TestWithParam<FormRow> {};
TEST_P(LsoText, WritesTheValues) { EXPECT_EQ(Text(Read(GetParam().file)), GetParam().expected); }

INSTANTIATE_TEST_SUITE_P(
    Rows, LsoText,
    testing::Values(
        FormRow{"ShortContainersInline",
                A3(a3::Pair("best", a3::Integer(12400)) + a3::Pair("player", a3::String("anna")) +
                   a3::Pair("history", a3::Array(2, "", a3::Integer(1200) + a3::Integer(3400))) +
                   a3::Pair("options", a3::Object("SettingsVO", 2, kSettingsTraits, a3::Boolean(true) + a3::Integer(3), false))),
                "  best = 12400\n  player = \"anna\"\n  history = [1200, 3400]\n"
                "  options = SettingsVO { sound = true, level = 3 }\n"},
        FormRow{"NestedOnesIndented",
                A0(Pair("o", Object(Key("a") + Strict(1, Number(1)) + Key("when") + Date(1273861325123) + Key("e") + Object("")))),
                "  o = {\n    a = [1]\n    when = 2010-05-14 18:22:05.123 UTC\n    e = {}\n  }\n"},
        FormRow{"LongOnesIndented", A0(Pair("a", Strict(9, std::string(9, '\x05')))),
                "  a = [\n    null, null, null, null, null, null, null, null, null\n  ]\n"},
        FormRow{"LongRunsPacked", A3(a3::Pair("a", a3::IntVector(false, {100000, 200000, 300000, 400000, 500000, 600000, 700000,
                                                                         800000, 900000, 1000000, 1100000}))),
                "  a = Vector.<int> [\n    100000, 200000, 300000, 400000, 500000, 600000, 700000, 800000, 900000,\n"
                "    1000000, 1100000\n  ]\n"},
        FormRow{"DeepLinesCarryTheirDepth", A3(a3::Pair("a", NestedAround(10, a3::Array(1, "", a3::Array(0, "", ""))) )),
                [] {
                  std::string s = "  a = [\n";
                  for (int d = 1; d <= 11; ++d)
                    s += std::string(2 + 2 * std::min(d, 8), ' ') + (d > 8 ? std::to_string(d) + "| " : "") + (d < 11 ? "[\n" : "[]\n");
                  for (int d = 10; d >= 1; --d)
                    s += std::string(2 + 2 * std::min(d, 8), ' ') + (d > 8 ? std::to_string(d) + "| " : "") + "]\n";
                  return s + "  ]\n";
                }()},
        FormRow{"ControlsEscaped", A0(Pair("bad key\n", String("a\x1b[31m\t\xc2\x9b\xe2\x80\xae\xff\"\\"))),
                "  \"bad key\\n\" = \"a\\x1B[31m\\t\\u009B\\u202E\\xFF\\\"\\\\\"\n"},
        FormRow{"OtherKinds",
                A3(a3::Pair("d", a3::Dictionary(false, 1, a3::String("k") + a3::Double(kNaN))) +
                   a3::Pair("v", a3::IntVector(true, {1, -2})) + a3::Pair("b", a3::Bytes("\x01\xff"s)) +
                   a3::Pair("x", a3::Xml("<a/>")) + a3::Pair("r", a3::ObjectRef(0x11, 0)) + a3::Pair("t", a3::Date(kNaN)) +
                   a3::Pair("u", a3::Undefined()) + a3::Pair("p", U8(0x20))),
                "  d = Dictionary { \"k\" => NaN }\n  v = Vector.<int> fixed [1, -2]\n  b = bytes(2) 01ff\n"
                "  x = xml \"<a/>\"\n  r = -> \"/values/d\"\n  t = date(NaN ms)\n  u = undefined\n"
                "  p = <problem: \"unknown AMF3 type byte 0x20\">\n"}),
    [](const auto& info) { return std::string(info.param.name); });

// Every input the fuzzer ever failed on, and a few made by hand, must decode and write cleanly.
TEST(LsoCorpus, CrashInputsDecodeAndWrite) {
  std::filesystem::path folder = VESK_LSO_CRASHES;
  std::size_t files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    if (!entry.is_regular_file() || entry.path().filename().string().front() == '.') continue;
    SCOPED_TRACE(entry.path().string());
    std::ifstream in(entry.path(), std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    CheckForms(Read(bytes.str()));
    ++files;
  }
  EXPECT_GT(files, 0u);
}

}  // namespace
}  // namespace vesk::lso

namespace vesk::lso {
namespace {

using namespace vesk::sol;
namespace a3 = vesk::sol::amf3;

// The cells of every row as the window's tree shows them: key, value (cut after 12 characters)
// and type, indented by depth.
std::string Rows(const Tape& tape, NodeId node = kRoot, int depth = 0) {
  std::string out;
  for (std::size_t r = 0; r < tape.ChildCount(node); ++r) {
    const NodeId c = tape.Child(node, r);
    out += std::string(2 * depth, ' ') + KeyText(tape, c) + " | " + ValueText(tape, c, 12) + " | " + TypeText(tape, c) + "\n";
    out += Rows(tape, c, depth + 1);
  }
  return out;
}

TEST(LsoTree, RowsAsTheWindowShowsThem) {
  const std::string file = File(
      a3::Pair("player", a3::Object("PlayerVO", 2, a3::Str("name") + a3::Str("when"),
                                    a3::String("a name longer than twelve") + a3::Date(1273861325123), false)) +
      a3::Pair("mixed", a3::Array(3, a3::Str("k") + a3::Null(), a3::Integer(1) + a3::Double(2.5) + a3::Bytes("\x01\xff"))) +
      a3::Pair("v", a3::IntVector(true, {7, -8})) +
      a3::Pair("d", a3::Dictionary(false, 1, a3::String("key") + a3::Boolean(true))) +
      a3::Pair("ac", a3::Externalizable("flex.messaging.io.ArrayCollection", a3::Array(1, "", a3::Undefined()))) +
      a3::Pair("again", a3::ObjectRef(0x0A, 0)) + a3::Pair("bad", U8(0x20)));
  const Tape tape = Read(file);
  EXPECT_EQ(Rows(tape),
            "player |  | PlayerVO\n"
            "  name | \"a name longe\"... | String\n"
            "  when | 2010-05-14 18:22:05.123 UTC | Date\n"
            "mixed |  | Array\n"
            "  k | null | null\n"
            "  [0] | 1 | int\n"
            "  [1] | 2.5 | Number\n"
            "  [2] | bytes(2) 01ff | ByteArray\n"
            "v |  | Vector.<int>\n"
            "  [0] | 7 | int\n"
            "  [1] | -8 | int\n"
            "d |  | Dictionary\n"
            "  [0] | \"key\" | String\n"
            "  [0] | true | Boolean\n"
            "ac |  | flex.messaging.io.ArrayCollection\n"
            "  [0] |  | Array\n"
            "    [0] | undefined | undefined\n"
            "again | -> \"/values/player\" | \n"
            "bad | <problem: \"unknown AMF3 type byte 0x20\"> | \n");
  EXPECT_EQ(tape.Target(tape.Child(kRoot, 5)), tape.Child(kRoot, 0));
  EXPECT_EQ(tape.Offset(tape.Child(kRoot, 6)), file.size() - 2);
  CheckForms(tape);
}

// The index a large file needs stays a small part of the file; the tree finds any row of it.
TEST(LsoTree, ManyRowsAreFoundQuickly) {
  std::string values;
  for (int i = 0; i < 300000; ++i) values += i % 3 ? a3::Integer(i) : a3::Anonymous(a3::Str("x") + a3::Integer(i));
  const std::string file = A3(a3::Pair("big", a3::Array(300000, "", values)));
  const Tape tape = Read(file);
  ASSERT_TRUE(tape.Problems().empty());
  EXPECT_LE(tape.IndexBytes(), 4 * file.size());
  const NodeId big = tape.Child(kRoot, 0);
  ASSERT_EQ(tape.ChildCount(big), 300000u);
  for (std::size_t row : {0, 1, 2, 3, 150001, 299998, 299999}) {
    const NodeId node = tape.Child(big, row);
    EXPECT_EQ(tape.Parent(node), big);
    EXPECT_EQ(tape.Row(node), row);
    const std::string value = row % 3 ? ValueText(tape, node, 0) : ValueText(tape, tape.Child(node, 0), 0);
    EXPECT_EQ(value, std::to_string(row));
  }
}

}  // namespace
}  // namespace vesk::lso
