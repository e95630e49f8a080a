// The .sol reader: every type of both encodings, references, broken files, and the JSON and text
// forms. Trees are compared through a compact notation (Dump) so that each table row stays one
// line of bytes and one line of expected tree.

#include <pthread.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <limits>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "lso/lso.h"
#include "sol_builder.h"

namespace vesk::lso {
namespace {

using namespace vesk::sol;
using namespace std::string_literals;

std::string Dump(const Value& v);

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
// Class{k:v} [items|k:v] V<type,fixed>[items] D{k=>v}|weak
std::string Dump(const Value& v) {
  std::string out;
  auto members = [&](const std::vector<Member>& ms, bool first) {
    for (const Member& m : ms) {
      out += first ? "" : ",";
      first = false;
      out += m.key + ":" + Dump(m.value);
    }
  };
  auto items = [&] {
    for (std::size_t i = 0; i < v.items.size(); ++i) out += (i ? "," : "") + Dump(v.items[i]);
  };
  char number[40];
  switch (v.kind) {
    case Kind::Number: std::snprintf(number, sizeof number, "n%.17g", v.number); return number;
    case Kind::Integer: return "i" + std::to_string(v.integer);
    case Kind::Boolean: return v.boolean ? "true" : "false";
    case Kind::Null: return "null";
    case Kind::Undefined: return "undefined";
    case Kind::Unsupported: return "unsupported";
    case Kind::String: return Raw(v.text);
    case Kind::Date: std::snprintf(number, sizeof number, "d%.17g", v.number); return number;
    case Kind::ByteArray: return "b" + Raw(v.text);
    case Kind::Xml: return "x" + Raw(v.text);
    case Kind::Reference: return "@" + v.text;
    case Kind::Problem: return "!" + v.text;
    case Kind::Object:
      out = v.className + "{";
      members(v.members, true);
      return out + "}";
    case Kind::Array:
      out = "[";
      items();
      if (!v.members.empty()) out += "|";
      members(v.members, true);
      return out + "]";
    case Kind::Vector:
      out = "V<" + v.className + (v.boolean ? ",fixed>[" : ">[");
      items();
      return out + "]";
    case Kind::Dictionary:
      out = "D{";
      for (std::size_t i = 0; i < v.entries.size(); ++i)
        out += (i ? "," : "") + Dump(v.entries[i].key) + "=>" + Dump(v.entries[i].value);
      return out + (v.boolean ? "}|weak" : "}");
  }
  return "?";
}

std::string Dump(const Document& doc) {
  std::string out;
  for (const Member& m : doc.values) out += (out.empty() ? "" : " ") + m.key + ":" + Dump(m.value);
  return out;
}

void CollectReferences(const Value& v, std::vector<std::string>& out) {
  if (v.kind == Kind::Reference) out.push_back(v.text);
  for (const Value& i : v.items) CollectReferences(i, out);
  for (const Member& m : v.members) CollectReferences(m.value, out);
  for (const Entry& e : v.entries) {
    CollectReferences(e.key, out);
    CollectReferences(e.value, out);
  }
}

// The JSON form must parse, and every reference must point at a container in it (unless a name
// appears twice in one object, which makes pointers ambiguous and is reported).
void CheckJson(const Document& doc) {
  std::string json;
  AppendJsonValues(json, doc);
  nlohmann::json values = nlohmann::json::parse(json);  // throws, failing the test, when invalid
  nlohmann::json file = {{"values", values}};
  std::vector<std::string> refs;
  for (const Member& m : doc.values) CollectReferences(m.value, refs);
  for (const Problem& p : doc.problems)
    if (p.message.rfind("duplicate key", 0) == 0) refs.clear();
  for (const std::string& ref : refs) {
    SCOPED_TRACE(ref);
    nlohmann::json target = file.at(nlohmann::json::json_pointer(ref));
    EXPECT_TRUE(target.is_object() || target.is_array()) << target.dump();
  }
  std::string problems;
  AppendJsonProblems(problems, doc);
  EXPECT_EQ(nlohmann::json::parse(problems).size(), doc.problems.size());
}

// DecodeJson writes what Decode and AppendJsonValues write, and finds the same problems;
// DecodeEach with AppendTextPair writes what AppendText writes.
void CheckStreamed(const std::string& file, const Document& doc) {
  std::string streamed, whole, problems, streamedProblems;
  Document rest = DecodeJson(file, streamed);
  AppendJsonValues(whole, doc);
  EXPECT_EQ(streamed, whole);
  EXPECT_TRUE(rest.values.empty());
  AppendJsonProblems(problems, doc);
  AppendJsonProblems(streamedProblems, rest);
  EXPECT_EQ(streamedProblems, problems);
  EXPECT_EQ(rest.name, doc.name);
  EXPECT_EQ(rest.amf, doc.amf);
  std::string text, streamedText;
  AppendText(text, doc, 2);
  DecodeEach(file, [&](const Member& m) { AppendTextPair(streamedText, m, 2); });
  EXPECT_EQ(streamedText, text);
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
  Document doc = Decode(row.file);
  EXPECT_EQ(Dump(doc), row.tree);
  EXPECT_TRUE(doc.problems.empty()) << doc.problems.front().offset << ": " << doc.problems.front().message;
  CheckJson(doc);
  CheckStreamed(row.file, doc);
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
  Document doc = Decode(row.file);
  EXPECT_EQ(Dump(doc), row.tree);
  ASSERT_FALSE(doc.problems.empty());
  std::string message = row.message.empty() ? row.tree.substr(row.tree.rfind('!') + 1) : row.message;
  EXPECT_NE(doc.problems.front().message.find(message), std::string::npos) << doc.problems.front().message;
  EXPECT_EQ(doc.problems.front().offset, row.offset);
  CheckJson(doc);
  CheckStreamed(row.file, doc);
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
                  "a:n42 b:{x:null,x:null} a:n42", 42, "duplicate key x; JSON readers keep only one"},
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
      Document doc = Decode(nested(1000));
      clean = doc.problems.empty();
      AppendJsonValues(json, doc);
      AppendText(text, doc, 0);
    });
    EXPECT_TRUE(clean);
    EXPECT_EQ(nlohmann::json::parse(json).dump().find("problem"), std::string::npos);
    EXPECT_EQ(text.find("problem"), std::string::npos);

    Document deeper = Decode(nested(1001));
    ASSERT_EQ(deeper.problems.size(), 1u);
    EXPECT_EQ(deeper.problems[0].message, "nested deeper than 1000 levels");
    ASSERT_EQ(deeper.values.size(), 1u);  // the pair is kept, cut at the limit
    CheckJson(deeper);
  }
  Document collections = Decode(NestedCollections(1001));
  ASSERT_EQ(collections.problems.size(), 1u);
  EXPECT_EQ(collections.problems[0].message, "nested deeper than 1000 levels");
}

TEST(LsoLimits, WritersStopAtTheLimitOnTreesBuiltByHand) {
  Document doc;
  doc.values.push_back(Member{"top", {}});
  Value* v = &doc.values[0].value;
  for (int i = 0; i < 1005; ++i) {
    v->kind = Kind::Array;
    v->items.emplace_back();
    v = &v->items.back();
  }
  std::string json, text;
  AppendJsonValues(json, doc);
  AppendText(text, doc, 0);
  EXPECT_NE(json.find(R"({"$problem":"nested deeper than 1000 levels"})"), std::string::npos);
  EXPECT_NE(text.find("<problem: nested deeper than 1000 levels>"), std::string::npos);
  EXPECT_NO_THROW(nlohmann::json::parse(json));
}

// One long string and many references to it: the copies would grow with the square of the size.
TEST(LsoLimits, CopiesForReferencesHaveABudget) {
  std::string refs;
  for (int i = 0; i < 20000; ++i) refs += a3::StringRef(1);
  std::string file = A3(a3::Pair("s", a3::String(std::string(1000, 'x'))) + a3::Pair("r", a3::Array(20000, "", refs)));
  Document doc = Decode(file);
  ASSERT_EQ(doc.problems.size(), 1u);
  EXPECT_NE(doc.problems[0].message.find("references copy more than"), std::string::npos);
  std::size_t copied = 0;
  for (const Value& item : doc.values.at(1).value.items) copied += item.text.size();
  EXPECT_LE(copied, (std::size_t{1} << 20) + 4 * file.size());
  EXPECT_EQ(doc.values.at(1).value.items.back().kind, Kind::Problem);
}

// A million nulls in one array pass the budget (64 MiB + 64 x 1 MB at 192 bytes a value: about
// 700,000); the same nulls spread over pairs of 1,000 fit when each pair is dropped once written.
TEST(LsoLimits, TheTreeHasAMemoryBudget) {
  Document doc = Decode(A3(a3::Pair("a", a3::Array(1000000, "", std::string(1000000, '\x01')))));
  ASSERT_EQ(doc.problems.size(), 1u);
  EXPECT_NE(doc.problems[0].message.find("MiB of memory; the rest is not read"), std::string::npos);
  EXPECT_EQ(doc.values.at(0).value.items.back().kind, Kind::Problem);

  std::string pairs;
  for (int i = 0; i < 1000; ++i) pairs += a3::Pair("p" + std::to_string(i), a3::Array(1000, "", std::string(1000, '\x01')));
  std::string file = A3(pairs), json;
  EXPECT_FALSE(Decode(file).problems.empty());
  EXPECT_TRUE(DecodeJson(file, json).problems.empty());
  EXPECT_EQ(nlohmann::json::parse(json).size(), 1000u);
}

TEST(LsoLimits, DuplicateKeysAreReportedUpToAHundred) {
  std::string pairs;
  for (int i = 0; i < 300; ++i) pairs += a3::Pair("k", a3::Null());
  Document doc = Decode(A3(pairs));
  EXPECT_EQ(doc.values.size(), 300u);
  ASSERT_EQ(doc.problems.size(), 101u);
  EXPECT_EQ(doc.problems[0].message, "duplicate key k; JSON readers keep only one of them");
  EXPECT_EQ(doc.problems[100].message, "duplicate keys: more than 100, the rest not reported");
}

struct FormRow {
  const char* name;
  friend void PrintTo(const FormRow& row, std::ostream* os) { *os << row.name; }
  std::string file;
  std::string expected;
};

class LsoJson : public testing::TestWithParam<FormRow> {};
TEST_P(LsoJson, WritesTheValues) {
  Document doc = Decode(GetParam().file);
  std::string json;
  AppendJsonValues(json, doc);
  EXPECT_EQ(json, GetParam().expected);
  CheckJson(doc);
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
        FormRow{"Strings", A0(Pair("a\xff", String("a\xff\xc0\x80" "b")) + Pair("c", String("\x01\n\"\\\x7f"))),
                "{\"a\xEF\xBF\xBD\":\"a\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD" "b\",\"c\":\"\\u0001\\n\\\"\\\\\\u007f\"}"},
        FormRow{"ClassFirst", A0(Pair("o", Typed("com.X", Key("$class") + Number(1)))),
                R"({"o":{"$class":"com.X","$class":1}})"},
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
  Document doc = Decode(WithLength(A0(kA + Pair("b", U8(0x12))), 7));
  std::string json;
  AppendJsonProblems(json, doc);
  EXPECT_EQ(json, R"([{"offset":2,"message":"the header gives 7 bytes after the length field, the file has 38"},)"
                  R"({"offset":42,"message":"unknown AMF0 type byte 0x12"}])");
}

class LsoText : public testing::TestWithParam<FormRow> {};
TEST_P(LsoText, WritesTheValues) {
  std::string text;
  AppendText(text, Decode(GetParam().file), 2);
  EXPECT_EQ(text, GetParam().expected);
}

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
                "  a = [\n" + [] { std::string s; for (int i = 0; i < 9; ++i) s += "    null\n"; return s; }() + "  ]\n"},
        FormRow{"ControlsEscaped", A0(Pair("bad key\n", String("a\x1b[31m\t\xc2\x9b\xe2\x80\xae\xff\"\\"))),
                "  \"bad key\\n\" = \"a\\x1b[31m\\t\\u{9b}\\u{202e}\\xff\\\"\\\\\"\n"},
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
    Document doc = Decode(bytes.str());
    CheckJson(doc);
    std::string text;
    AppendText(text, doc, 2);
    ++files;
  }
  EXPECT_GT(files, 0u);
}

}  // namespace
}  // namespace vesk::lso
