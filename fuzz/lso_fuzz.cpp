// libFuzzer target: any bytes through the reader, both writers and the tree. The JSON form must
// parse with each member name once per object and every reference in it must resolve; the text
// form must hold no control byte but the line end and stay within its bound; every node of the
// tree must be found again from its parent and row.

#include <cstdint>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "lso/lso.h"

namespace {

using namespace vesk::lso;

void Check(bool ok) {
  if (!ok) std::abort();
}

struct UniqueNames : nlohmann::json_sax<nlohmann::json> {
  std::vector<std::set<std::string>> open;
  bool null() override { return true; }
  bool boolean(bool) override { return true; }
  bool number_integer(number_integer_t) override { return true; }
  bool number_unsigned(number_unsigned_t) override { return true; }
  bool number_float(number_float_t, const string_t&) override { return true; }
  bool string(string_t&) override { return true; }
  bool binary(binary_t&) override { return true; }
  bool start_object(std::size_t) override {
    open.emplace_back();
    return true;
  }
  bool key(string_t& k) override { return open.back().insert(k).second; }
  bool end_object() override {
    open.pop_back();
    return true;
  }
  bool start_array(std::size_t) override { return true; }
  bool end_array() override { return true; }
  bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) override { return false; }
};

void Walk(const Tape& tape, NodeId node, const nlohmann::json& file, int depth) {
  Check(depth <= 1002);
  if (tape.KindOf(node) == Kind::Reference) Check(file.contains(nlohmann::json::json_pointer(std::string(tape.Pointer(node)))));
  for (std::size_t r = 0, n = tape.ChildCount(node); r < n; ++r) {
    const NodeId child = tape.Child(node, r);
    Check(tape.Parent(child) == node && tape.Row(child) == r);
    Walk(tape, child, file, depth + 1);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const Tape tape = Read(std::string(reinterpret_cast<const char*>(data), size));

  std::vector<Problem> problems = tape.Problems();
  StringSink json;
  WriteJsonValues(tape, json, problems);
  UniqueNames names;
  Check(nlohmann::json::sax_parse(json.text, &names));
  const nlohmann::json file = {{"values", nlohmann::json::parse(json.text)}};
  Walk(tape, kRoot, file, 0);

  StringSink problemsJson;
  WriteJsonProblems(problems, problemsJson);
  const nlohmann::json parsed = nlohmann::json::parse(problemsJson.text, nullptr, false);
  Check(!parsed.is_discarded() && parsed.size() == problems.size());

  StringSink text;
  WriteText(tape, text, 2, problems);
  Check(text.text.size() <= OutputLimit(tape) + 1024);
  for (unsigned char c : text.text) Check(c == '\n' || (c >= 0x20 && c != 0x7F));
  return 0;
}
