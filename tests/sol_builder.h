#pragma once

// Builds the bytes of .sol files for tests, the fuzzer's seeds and the benchmark: small functions
// that return the encoding of one piece, joined with +.

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace vesk::sol {

inline std::string U8(unsigned v) { return std::string(1, static_cast<char>(v & 0xFF)); }
inline std::string U16(unsigned v) { return U8(v >> 8) + U8(v); }
inline std::string U32(std::uint32_t v) { return U16(v >> 16) + U16(v & 0xFFFF); }
inline std::string F64(double d) {
  std::uint64_t bits;
  std::memcpy(&bits, &d, sizeof bits);
  return U32(static_cast<std::uint32_t>(bits >> 32)) + U32(static_cast<std::uint32_t>(bits));
}
// AMF3's variable-length 29-bit number.
inline std::string U29(std::uint32_t v) {
  v &= 0x1FFFFFFF;
  if (v < 0x80) return U8(v);
  if (v < 0x4000) return U8(v >> 7 | 0x80) + U8(v & 0x7F);
  if (v < 0x200000) return U8(v >> 14 | 0x80) + U8((v >> 7) | 0x80) + U8(v & 0x7F);
  return U8(v >> 22 | 0x80) + U8((v >> 15) | 0x80) + U8((v >> 8) | 0x80) + U8(v);
}

// A whole file: header (with the right length field) and body.
inline std::string File(std::string_view body, int amf = 3, std::string_view name = "test") {
  std::string rest = "TCSO" + std::string("\0\4\0\0\0\0", 6) + U16(static_cast<unsigned>(name.size())) +
                     std::string(name) + std::string("\0\0\0", 3) + U8(static_cast<unsigned>(amf)) +
                     std::string(body);
  return std::string("\x00\xBF", 2) + U32(static_cast<std::uint32_t>(rest.size())) + rest;
}

namespace amf0 {
inline std::string Key(std::string_view k) { return U16(static_cast<unsigned>(k.size())) + std::string(k); }
inline std::string Number(double d) { return U8(0x00) + F64(d); }
inline std::string Boolean(bool b) { return U8(0x01) + U8(b); }
inline std::string String(std::string_view s) { return U8(0x02) + Key(s); }
inline std::string LongString(std::string_view s) {
  return U8(0x0C) + U32(static_cast<std::uint32_t>(s.size())) + std::string(s);
}
inline std::string Xml(std::string_view s) {
  return U8(0x0F) + U32(static_cast<std::uint32_t>(s.size())) + std::string(s);
}
inline std::string Null() { return U8(0x05); }
inline std::string Undefined() { return U8(0x06); }
inline std::string Unsupported() { return U8(0x0D); }
inline std::string Reference(unsigned index) { return U8(0x07) + U16(index); }
inline std::string Date(double ms) { return U8(0x0B) + F64(ms) + U16(0); }
inline std::string End() { return U16(0) + U8(0x09); }
// `members` is Key + value, repeated.
inline std::string Object(std::string_view members) { return U8(0x03) + std::string(members) + End(); }
inline std::string Typed(std::string_view cls, std::string_view members) {
  return U8(0x10) + Key(cls) + std::string(members) + End();
}
inline std::string Ecma(std::uint32_t hint, std::string_view members) {
  return U8(0x08) + U32(hint) + std::string(members) + End();
}
inline std::string Strict(std::uint32_t count, std::string_view values) {
  return U8(0x0A) + U32(count) + std::string(values);
}
inline std::string Pair(std::string_view key, std::string_view value) { return Key(key) + std::string(value) + U8(0); }
}  // namespace amf0

namespace amf3 {
// An inline string without a type byte (a key, a class name); Ref for a string reference.
inline std::string Str(std::string_view s) {
  return U29(static_cast<std::uint32_t>(s.size()) << 1 | 1) + std::string(s);
}
inline std::string Ref(std::uint32_t index) { return U29(index << 1); }
inline std::string Undefined() { return U8(0x00); }
inline std::string Null() { return U8(0x01); }
inline std::string Boolean(bool b) { return U8(b ? 0x03 : 0x02); }
inline std::string Integer(std::int32_t i) { return U8(0x04) + U29(static_cast<std::uint32_t>(i)); }
inline std::string Double(double d) { return U8(0x05) + F64(d); }
inline std::string String(std::string_view s) { return U8(0x06) + Str(s); }
inline std::string StringRef(std::uint32_t index) { return U8(0x06) + Ref(index); }
inline std::string XmlDoc(std::string_view s) { return U8(0x07) + Str(s); }
inline std::string Xml(std::string_view s) { return U8(0x0B) + Str(s); }
inline std::string Date(double ms) { return U8(0x08) + U8(0x01) + F64(ms); }
inline std::string Bytes(std::string_view b) { return U8(0x0C) + Str(b); }
// A reference into the object table, written with the type byte of the value it stands for.
inline std::string ObjectRef(unsigned type, std::uint32_t index) { return U8(type) + Ref(index); }
// `named` is Str(key) + value, repeated; the empty string ends it here.
inline std::string Array(std::uint32_t dense, std::string_view named, std::string_view values) {
  return U8(0x09) + U29(dense << 1 | 1) + std::string(named) + U8(0x01) + std::string(values);
}
// An object with inline traits: class name, sealed names (already encoded), sealed values, and
// for a dynamic one the Str(key) + value pairs, ended here.
inline std::string Object(std::string_view cls, std::uint32_t sealedCount, std::string_view sealedNames,
                          std::string_view sealedValues, bool dynamic, std::string_view dynamicMembers = "") {
  std::string s = U8(0x0A) + U29(sealedCount << 4 | (dynamic ? 0x08 : 0) | 0x03) + Str(cls) +
                  std::string(sealedNames) + std::string(sealedValues);
  if (dynamic) s += std::string(dynamicMembers) + U8(0x01);
  return s;
}
// An anonymous dynamic object: Str(key) + value pairs.
inline std::string Anonymous(std::string_view members) { return Object("", 0, "", "", true, members); }
// An object whose traits are entry `traits` of the traits table.
inline std::string ObjectWithTraits(std::uint32_t traits, std::string_view sealedValues, bool dynamic,
                                    std::string_view dynamicMembers = "") {
  std::string s = U8(0x0A) + U29(traits << 2 | 0x01) + std::string(sealedValues);
  if (dynamic) s += std::string(dynamicMembers) + U8(0x01);
  return s;
}
inline std::string Externalizable(std::string_view cls, std::string_view data) {
  return U8(0x0A) + U8(0x07) + Str(cls) + std::string(data);
}
inline std::string IntVector(bool fixed, std::initializer_list<std::int32_t> v) {
  std::string s = U8(0x0D) + U29(static_cast<std::uint32_t>(v.size()) << 1 | 1) + U8(fixed);
  for (std::int32_t i : v) s += U32(static_cast<std::uint32_t>(i));
  return s;
}
inline std::string UintVector(bool fixed, std::initializer_list<std::uint32_t> v) {
  std::string s = U8(0x0E) + U29(static_cast<std::uint32_t>(v.size()) << 1 | 1) + U8(fixed);
  for (std::uint32_t i : v) s += U32(i);
  return s;
}
inline std::string DoubleVector(bool fixed, std::initializer_list<double> v) {
  std::string s = U8(0x0F) + U29(static_cast<std::uint32_t>(v.size()) << 1 | 1) + U8(fixed);
  for (double d : v) s += F64(d);
  return s;
}
inline std::string ObjectVector(bool fixed, std::string_view typeName, std::uint32_t count, std::string_view values) {
  return U8(0x10) + U29(count << 1 | 1) + U8(fixed) + Str(typeName) + std::string(values);
}
// `entries` is key value, repeated `count` times.
inline std::string Dictionary(bool weak, std::uint32_t count, std::string_view entries) {
  return U8(0x11) + U29(count << 1 | 1) + U8(weak) + std::string(entries);
}
inline std::string Pair(std::string_view key, std::string_view value) { return Str(key) + std::string(value) + U8(0); }
}  // namespace amf3

}  // namespace vesk::sol
