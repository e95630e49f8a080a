#pragma once

// Names as UTF-16 units, their WTF-8 form and what is shown of them: every surrogate case, for
// the conversion on its own and for the Windows platform layer that uses it.

#include <string>
#include <vector>

namespace vesk::test {

struct Wtf8Case {
  const char* name;
  std::u16string units;
  std::string wtf8;
  std::string shown;  // UTF-8, each unpaired surrogate as U+FFFD
};

inline const std::vector<Wtf8Case>& Wtf8Cases() {
  static const std::vector<Wtf8Case> cases = {
      {"empty", u"", "", ""},
      {"ASCII", u"a.sol", "a.sol", "a.sol"},
      {"two and three bytes", u"\u00e4\u20ac", "\xc3\xa4\xe2\x82\xac", "\xc3\xa4\xe2\x82\xac"},
      {"pair", u"\U0001F600", "\xf0\x9f\x98\x80", "\xf0\x9f\x98\x80"},
      {"last code point", u"\U0010FFFF", "\xf4\x8f\xbf\xbf", "\xf4\x8f\xbf\xbf"},
      {"replacement character", u"\ufffd", "\xef\xbf\xbd", "\xef\xbf\xbd"},
      {"lone high", {u'a', 0xD800, u'b'}, "a\xed\xa0\x80" "b", "a\xef\xbf\xbd" "b"},
      {"lone low", {0xDC00, u'.'}, "\xed\xb0\x80.", "\xef\xbf\xbd."},
      {"high at the end", {u'x', 0xDBFF}, "x\xed\xaf\xbf", "x\xef\xbf\xbd"},
      {"low at the start", {0xDFFF, u'x'}, "\xed\xbf\xbfx", "\xef\xbf\xbdx"},
      {"low then high", {0xDC00, 0xD800}, "\xed\xb0\x80\xed\xa0\x80", "\xef\xbf\xbd\xef\xbf\xbd"},
      {"two highs", {0xD800, 0xD800}, "\xed\xa0\x80\xed\xa0\x80", "\xef\xbf\xbd\xef\xbf\xbd"},
      {"high before a pair", {0xD83D, 0xD83D, 0xDE00}, "\xed\xa0\xbd\xf0\x9f\x98\x80",
       "\xef\xbf\xbd\xf0\x9f\x98\x80"},
      {"pair before a low", {0xD83D, 0xDE00, 0xDE00}, "\xf0\x9f\x98\x80\xed\xb8\x80",
       "\xf0\x9f\x98\x80\xef\xbf\xbd"},
  };
  return cases;
}

}  // namespace vesk::test
