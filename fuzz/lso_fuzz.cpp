// libFuzzer target: any bytes through the reader, both writers and the tree. The JSON form must
// parse with each member name once per object and every reference in it must resolve; the text
// form must hold no control byte but the line end and stay within its bound; every node of the
// tree must be found again from its parent and row.

#include <cstdint>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>
#include <vector>

#include "json_checks.h"
#include "lso/lso.h"

namespace {

using namespace vesk::lso;

void Check(bool ok) {
  if (!ok) std::abort();
}

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
  Check(vesk::test::HasUniqueNames(json.text));
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
