#pragma once

// A check of the reader's JSON form that nlohmann's parser does not make: each member name once
// per object (the parser keeps the last of two silently).

#include <nlohmann/json.hpp>
#include <set>
#include <string>
#include <vector>

namespace vesk::test {

// True when `json` parses and no object in it holds a name twice.
inline bool HasUniqueNames(const std::string& json) {
  struct Names : nlohmann::json_sax<nlohmann::json> {
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
  } names;
  return nlohmann::json::sax_parse(json, &names);
}

}  // namespace vesk::test
