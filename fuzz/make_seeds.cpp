// Writes the fuzzer's seed corpus: one small file per type of both encodings, and a few that mix
// references, traits, class names and nesting, so that mutations start from every branch.

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "sol_builder.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
    return 2;
  }
  using namespace vesk::sol;
  namespace a0 = vesk::sol::amf0;
  namespace a3 = vesk::sol::amf3;
  std::vector<std::string> seeds = {
      File(a0::Pair("n", a0::Number(42)) + a0::Pair("b", a0::Boolean(true)) + a0::Pair("s", a0::String("hi")), 0),
      File(a0::Pair("l", a0::LongString("long")) + a0::Pair("x", a0::Xml("<a/>")) + a0::Pair("d", a0::Date(1e12)), 0),
      File(a0::Pair("n", a0::Null()) + a0::Pair("u", a0::Undefined()) + a0::Pair("z", a0::Unsupported()), 0),
      File(a0::Pair("o", a0::Object(a0::Key("self") + a0::Reference(0) + a0::Key("k") + a0::Number(1))), 0),
      File(a0::Pair("t", a0::Typed("com.X", a0::Key("a") + a0::Strict(2, a0::Null() + a0::Object("")))) +
               a0::Pair("r", a0::Reference(1)) + a0::Pair("e", a0::Ecma(1, a0::Key("0") + a0::String("v"))),
           0),
      File(a0::Pair("s", U8(0x11) + a3::Anonymous(a3::Str("k") + a3::Integer(-5))) +
               a0::Pair("t", U8(0x11) + a3::ObjectRef(0x0A, 0)),
           0),
      File(a3::Pair("u", a3::Undefined()) + a3::Pair("n", a3::Null()) + a3::Pair("f", a3::Boolean(false)) +
           a3::Pair("i", a3::Integer(-268435456)) + a3::Pair("d", a3::Double(0.1)) + a3::Pair("s", a3::String("anna")) +
           a3::Ref(0) + a3::StringRef(5) + U8(0)),
      File(a3::Pair("x", a3::XmlDoc("<a/>")) + a3::Pair("y", a3::Xml("<b/>")) + a3::Pair("d", a3::Date(1.2e12)) +
           a3::Pair("b", a3::Bytes("\x01\x02\x03")) + a3::Pair("r", a3::ObjectRef(0x08, 2))),
      File(a3::Pair("a", a3::Array(2, a3::Str("m") + a3::Anonymous(""), a3::Integer(1) + a3::Anonymous(""))) +
           a3::Pair("r", a3::ObjectRef(0x0A, 1))),
      File(a3::Pair("o", a3::Object("SettingsVO", 2, a3::Str("sound") + a3::Str("level"),
                                    a3::Boolean(true) + a3::Integer(3), true, a3::Str("more") + a3::ObjectRef(0x0A, 0))) +
           a3::Pair("p", a3::ObjectWithTraits(0, a3::Boolean(false) + a3::Integer(1), true))),
      File(a3::Pair("ac", a3::Externalizable("flex.messaging.io.ArrayCollection",
                                             a3::Array(1, "", a3::Externalizable("flex.messaging.io.ObjectProxy",
                                                                                 a3::Anonymous(a3::Str("k") + a3::Null())))))),
      File(a3::Pair("x", a3::Externalizable("com.Secret", "\x01\x02"))),
      File(a3::Pair("i", a3::IntVector(false, {1, -2})) + a3::Pair("u", a3::UintVector(true, {3})) +
           a3::Pair("d", a3::DoubleVector(false, {0.5})) +
           a3::Pair("o", a3::ObjectVector(false, "com.Foo", 2, a3::Null() + a3::ObjectRef(0x10, 3)))),
      File(a3::Pair("d", a3::Dictionary(true, 2, a3::String("k") + a3::Integer(1) + a3::Anonymous("") +
                                                   a3::ObjectRef(0x11, 0)))),
  };
  std::string deep0 = a0::Object(""), deep3 = a3::Array(0, "", "");
  for (int i = 0; i < 50; ++i) {
    deep0 = a0::Object(a0::Key("a") + deep0);
    deep3 = a3::Array(1, "", deep3);
  }
  seeds.push_back(File(a0::Pair("deep", deep0), 0));
  seeds.push_back(File(a3::Pair("deep", deep3)));

  // Small cousins of the hostile files of the reader's tests: nulls nested deep, keys and long
  // strings by reference, colliding keys, claims of counts the file cannot hold, escapes.
  std::string nulls = a3::Array(200, "", std::string(200, '\x01'));
  for (int i = 0; i < 40; ++i) nulls = a3::Array(1, "", nulls);
  seeds.push_back(File(a3::Pair("n", nulls)));
  std::string refs;
  for (int i = 0; i < 100; ++i) refs += a3::Ref(1) + a3::StringRef(2);
  seeds.push_back(File(a3::Pair("o", a3::Anonymous(a3::Str("k") + a3::String(std::string(100, 'x')) + refs))));
  seeds.push_back(File(a3::Pair("o", a3::Anonymous(a3::Str("a\xfe") + a3::Null() + a3::Str("a\xff") + a3::Null())) +
                       a3::Pair("t", a3::Object("C", 1, a3::Str("$class"), a3::Null(), false)) + a3::Pair("o", a3::Null())));
  seeds.push_back(File(a3::Pair("v", U8(0x0D) + U29(0x0FFFFFFF) + U8(0) + U32(1)) +
                       a3::Pair("d", U8(0x11) + U29(0x0FFFFFFF) + U8(1) + a3::Null()) +
                       a3::Pair("b", U8(0x0C) + U29(0x0FFFFFFF) + "ab")));
  const std::string esc = "a\x1b[31m\xe2\x80\xae\xc2\x9b";
  seeds.push_back(File(a3::Pair(esc, a3::Object(esc, 1, a3::Str(esc), a3::Xml(esc), true, a3::Str(esc) + a3::String(esc))) +
                           a3::Pair("x", a3::Externalizable(esc, "")),
                       3, esc));

  for (std::size_t i = 0; i < seeds.size(); ++i) {
    std::string path = std::string(argv[1]) + "/seed-" + std::to_string(i) + ".sol";
    std::ofstream out(path, std::ios::binary);
    out << seeds[i];
    if (!out) {
      std::fprintf(stderr, "cannot write %s\n", path.c_str());
      return 1;
    }
  }
  return 0;
}
