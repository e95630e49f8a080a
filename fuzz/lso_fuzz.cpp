// libFuzzer target: any bytes through the reader and both writers. The JSON form must parse and
// every reference in it must resolve; the text form must hold no control byte but the line end.

#include <cstdint>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

#include "lso/lso.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

void CheckReferences(const vesk::lso::Value& v, const nlohmann::json& file) {
  using vesk::lso::Kind;
  if (v.kind == Kind::Reference) Check(file.contains(nlohmann::json::json_pointer(v.text)));
  for (const auto& item : v.items) CheckReferences(item, file);
  for (const auto& m : v.members) CheckReferences(m.value, file);
  for (const auto& e : v.entries) {
    CheckReferences(e.key, file);
    CheckReferences(e.value, file);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  vesk::lso::Document doc = vesk::lso::Decode(bytes);

  std::string json;
  vesk::lso::AppendJsonValues(json, doc);
  nlohmann::json values = nlohmann::json::parse(json, nullptr, false);
  Check(!values.is_discarded());
  nlohmann::json file = {{"values", std::move(values)}};
  // Through an object with a name twice a pointer is ambiguous; the reader reports those.
  bool duplicates = false;
  for (const auto& p : doc.problems) duplicates |= p.message.rfind("duplicate key", 0) == 0;
  if (!duplicates)
    for (const auto& m : doc.values) CheckReferences(m.value, file);

  std::string problems;
  vesk::lso::AppendJsonProblems(problems, doc);
  nlohmann::json parsed = nlohmann::json::parse(problems, nullptr, false);
  Check(!parsed.is_discarded() && parsed.size() == doc.problems.size());

  // The streaming form writes the same.
  std::string streamed;
  vesk::lso::Document rest = vesk::lso::DecodeJson(bytes, streamed);
  Check(streamed == json && rest.problems.size() == doc.problems.size() && rest.values.empty());

  std::string text;
  vesk::lso::AppendText(text, doc, 2);
  for (unsigned char c : text) Check(c == '\n' || (c >= 0x20 && c != 0x7F));
  return 0;
}
