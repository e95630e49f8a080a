// Writes an AMF3 .sol file of about the given size (default 16 MiB) made of nested values, encoded
// as a player writes them: repeated keys and texts by string reference, class traits by traits
// reference. Each pair is a PlayerVO with a name, a score, a history, a date and options nested
// four levels deep. With a KIND, a hostile file of that size instead (see Hostile below).
//   vesk_make_sol FILE [MiB, fractions too] [KIND]

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <unordered_map>

#include "sol_builder.h"

namespace {

using namespace vesk::sol;
namespace a3 = vesk::sol::amf3;

class Writer {
 public:
  std::string S(const std::string& s) {
    if (s.empty()) return U8(0x01);
    auto it = table_.find(s);
    if (it != table_.end()) return a3::Ref(it->second);
    table_.emplace(s, next_++);
    return a3::Str(s);
  }
  std::string String(const std::string& s) { return U8(0x06) + S(s); }

  std::string Options(int depth, long i) {
    std::string o = U8(0x0A);
    if (anonymous_) {
      o += U29(1 << 2 | 1);  // the anonymous dynamic traits, entry 1
    } else {
      o += U29(0x0B) + S("");
      anonymous_ = true;
    }
    // One table lookup a statement: the order of the operands of + is not fixed, that of the table is.
    o += S("sound");
    o += a3::Boolean(i % 2);
    o += S("level");
    o += a3::Integer(static_cast<int>(i % 10 + depth));
    o += S("title");
    o += String("level " + std::to_string(i % 977) + " of the " + std::to_string(depth) + "th tower");
    o += S("tags");
    o += U8(0x09) + U29(3 << 1 | 1) + U8(0x01);
    for (const char* tag : {"red", "green", "blue"}) o += String(tag);
    o += S("nested");
    o += depth < 4 ? Options(depth + 1, i) : a3::Null();
    return o + U8(0x01);
  }

  std::string Record(long i) {
    std::string r = U8(0x0A);
    if (i == 0) {
      r += U29(5 << 4 | 0x03);
      for (const char* name : {"PlayerVO", "name", "score", "history", "when", "options"}) r += S(name);
    } else {
      r += U29(0 << 2 | 1);
    }
    r += String("player " + std::to_string(i) + " of the spring league, team " + std::to_string(i % 31));
    r += a3::Double(static_cast<double>(i) * 1.25);
    r += U8(0x09) + U29(8 << 1 | 1) + U8(0x01);
    for (int k = 0; k < 8; ++k) r += a3::Integer(static_cast<int>((i * 7 + k * 1009) % 100000));
    r += a3::Date(1273861325123.0 + static_cast<double>(i) * 1000);
    r += Options(1, i);
    return r;
  }

 private:
  std::unordered_map<std::string, std::uint32_t> table_;
  std::uint32_t next_ = 0;
  bool anonymous_ = false;
};

// Bodies made to blow up a reader or its writers, of about `target` bytes.
std::string Hostile(const std::string& kind, std::size_t target) {
  auto nested = [](int levels, std::string v) {
    for (int i = 0; i < levels; ++i) v = a3::Array(1, "", v);
    return v;
  };
  auto repeat = [&](const std::string& piece, std::size_t overhead) {
    std::string s;
    s.reserve(target);
    while (s.size() + piece.size() + overhead < target) s += piece;
    return s;
  };
  if (kind == "nulls") {  // one-byte nulls in an array nested a thousand deep
    const std::string nulls = repeat(a3::Null(), 4096);
    return a3::Pair("a", nested(999, a3::Array(static_cast<std::uint32_t>(nulls.size()), "", nulls)));
  }
  if (kind == "undefined") {  // AMF3 undefined: the longest JSON form of one byte
    const std::string values = repeat(a3::Undefined(), 64);
    return a3::Pair("u", a3::Array(static_cast<std::uint32_t>(values.size()), "", values));
  }
  if (kind == "keys") {  // one object of a key by reference and a null, repeated: every name a duplicate
    return a3::Pair("o", a3::Anonymous(a3::Str("k") + a3::Null() + repeat(a3::Ref(1) + a3::Null(), 64)));
  }
  if (kind == "objects") {  // empty objects: the smallest complex values
    const std::string objects = repeat(U8(0x0A) + U8(0x01) + U8(0x01), 64);
    return a3::Pair("a", a3::Array(static_cast<std::uint32_t>(objects.size() / 3 + 1), "", a3::Anonymous("") + objects));
  }
  if (kind == "refs") {  // a 64 KiB string referred to again and again
    const std::string refs = repeat(a3::StringRef(1), 1 << 17);
    return a3::Pair("s", a3::String(std::string(1 << 16, 'x'))) +
           a3::Pair("r", a3::Array(static_cast<std::uint32_t>(refs.size() / 2), "", refs));
  }
  if (kind == "escapes") {  // strings of control bytes: four bytes of text each
    const std::string s = repeat(std::string("\x1b\x01\x02\x7f"), 64);
    return a3::Pair("e", a3::String(s));
  }
  if (kind == "vector") {  // Vector.<int> of millions
    const std::size_t count = (target - 64) / 4;
    return a3::Pair("v", U8(0x0D) + U29(static_cast<std::uint32_t>(count) << 1 | 1) + U8(0) + std::string(count * 4, '\x01'));
  }
  return {};
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || argc > 4) {
    std::fprintf(stderr, "usage: %s FILE [MiB] [nulls|undefined|keys|objects|refs|escapes|vector]\n", argv[0]);
    return 2;
  }
  // A fraction of a MiB too (0.03 for 30 KiB).
  const double mib = argc >= 3 ? std::strtod(argv[2], nullptr) : 16.0;
  if (!(mib >= 1.0 / 1024 && mib <= 1024)) {
    std::fprintf(stderr, "a file of 1 KiB to 1 GiB (%s MiB asked for)\n", argv[2]);
    return 2;
  }
  const auto target = static_cast<std::size_t>(mib * (1 << 20));
  if (argc == 4) {
    const std::string body = Hostile(argv[3], target);
    if (body.empty()) {
      std::fprintf(stderr, "unknown kind %s\n", argv[3]);
      return 2;
    }
    std::ofstream out(argv[1], std::ios::binary);
    out << File(body, 3, "hostile");
    std::printf("%s: %s, %zu bytes\n", argv[1], argv[3], body.size() + 26);
    return out ? 0 : 1;
  }
  Writer w;
  std::string body;
  long pairs = 0;
  for (; body.size() < target - 64; ++pairs) {
    body += w.S("record" + std::to_string(pairs));
    body += w.Record(pairs) + U8(0);
  }
  std::ofstream out(argv[1], std::ios::binary);
  out << File(body, 3, "bench");
  if (!out) {
    std::fprintf(stderr, "cannot write %s\n", argv[1]);
    return 1;
  }
  std::printf("%s: %ld pairs, %zu bytes\n", argv[1], pairs, body.size() + 26);
  return 0;
}
