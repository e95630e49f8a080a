// The rules written once: UTF-8 and WTF-8, base64, the civil date, the terminal escape, and the
// platform layer's path splitting.

#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "base/base64.h"
#include "base/civil_time.h"
#include "base/escape.h"
#include "base/utf8.h"
#include "base/wtf8.h"
#include "platform/platform.h"
#include "tests/wtf8_cases.h"

namespace vesk::test {
namespace {

using namespace std::string_literals;

TEST(BaseCivilTime, WholeSecondsInBothForms) {
  struct Case {
    std::int64_t seconds;
    const char* iso;
    const char* text;
  };
  const std::vector<Case> cases = {
      {0, "1970-01-01T00:00:00Z", "1970-01-01 00:00:00 UTC"},
      {1273861325, "2010-05-14T18:22:05Z", "2010-05-14 18:22:05 UTC"},
      {-1, "1969-12-31T23:59:59Z", "1969-12-31 23:59:59 UTC"},
      {951782400, "2000-02-29T00:00:00Z", "2000-02-29 00:00:00 UTC"},
      {4107542400, "2100-03-01T00:00:00Z", "2100-03-01 00:00:00 UTC"},  // 2100 is no leap year
      {-2203891201, "1900-02-28T23:59:59Z", "1900-02-28 23:59:59 UTC"},
      {-11644473600, "1601-01-01T00:00:00Z", "1601-01-01 00:00:00 UTC"},  // the Windows epoch
      {253402300799, "9999-12-31T23:59:59Z", "9999-12-31 23:59:59 UTC"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(base::UtcIso(c.seconds), c.iso) << c.seconds;
    EXPECT_EQ(base::UtcText(c.seconds), c.text) << c.seconds;
  }
}

TEST(BaseUtf8, CheckRejectsEveryMalformedSequence) {
  const std::vector<std::pair<std::string, bool>> cases = {
      {"", true}, {"plain", true}, {"\xc3\xa4", true}, {"\xe2\x82\xac", true}, {"\xf0\x9f\x98\x80", true},
      {"\xef\xbf\xbd", true}, {"\xf4\x8f\xbf\xbf", true},
      {"\xff", false}, {"\x80", false}, {"\xc3", false}, {"a\xe2\x82", false},
      {"\xc0\xaf", false},          // overlong "/"
      {"\xe0\x80\xaf", false},      // overlong
      {"\xf0\x80\x80\xaf", false},  // overlong
      {"\xed\xa0\x80", false},      // a surrogate
      {"\xf4\x90\x80\x80", false},  // past U+10FFFF
      {"\xc3\x28", false},          // no continuation byte
  };
  for (const auto& [text, valid] : cases) EXPECT_EQ(base::IsUtf8(text), valid) << ::testing::PrintToString(text);
}

TEST(BaseBase64, TheStandardVectors) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"", ""}, {"f", "Zg=="}, {"fo", "Zm8="}, {"foo", "Zm9v"}, {"foob", "Zm9vYg=="},
      {"fooba", "Zm9vYmE="}, {"foobar", "Zm9vYmFy"}, {"\xff\xfe\x00"s, "//4A"}, {"\xfb\xff"s, "+/8="},
  };
  for (const auto& [bytes, text] : cases) EXPECT_EQ(base::Base64(bytes), text);
}

TEST(BaseCivilTime, MillisecondsWithinTheYearsADateCanSay) {
  struct Case {
    double ms;
    const char* iso;  // nullptr: refused
    const char* text;
  };
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double infinity = std::numeric_limits<double>::infinity();
  const std::vector<Case> cases = {
      {0, "1970-01-01T00:00:00.000Z", "1970-01-01 00:00:00.000 UTC"},
      {1273861325123, "2010-05-14T18:22:05.123Z", "2010-05-14 18:22:05.123 UTC"},
      {-1, "1969-12-31T23:59:59.999Z", "1969-12-31 23:59:59.999 UTC"},
      {-62167219200000, "0000-01-01T00:00:00.000Z", "0000-01-01 00:00:00.000 UTC"},
      {253402300799999, "9999-12-31T23:59:59.999Z", "9999-12-31 23:59:59.999 UTC"},
      {253402300800000, nullptr, nullptr},
      {-62167219200001, nullptr, nullptr},
      {0.5, nullptr, nullptr},
      {nan, nullptr, nullptr},
      {infinity, nullptr, nullptr},
  };
  for (const auto& c : cases) {
    std::string iso = "x", text = "x";
    EXPECT_EQ(base::AppendUtcMilliseconds(iso, c.ms, base::TimeForm::kIso), c.iso != nullptr) << c.ms;
    EXPECT_EQ(base::AppendUtcMilliseconds(text, c.ms, base::TimeForm::kText), c.text != nullptr) << c.ms;
    EXPECT_EQ(iso, c.iso ? "x"s + c.iso : "x") << c.ms;
    EXPECT_EQ(text, c.text ? "x"s + c.text : "x") << c.ms;
  }
  // The start of the algorithm's eras: 0000-03-01, and 400 years (146,097 days) before it.
  for (const auto& [days, year] : {std::pair<std::int64_t, std::int64_t>{-719468, 0}, {-719468 - 146097, -400}}) {
    const base::CivilDate date = base::CivilFromDays(days);
    EXPECT_EQ(date.year, year);
    EXPECT_EQ(date.month, 3u);
    EXPECT_EQ(date.day, 1u);
  }
}

TEST(BaseUtf8, EachBadByteBecomesOneReplacement) {
  const std::string r = "\xef\xbf\xbd";
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"", ""},
      {"plain \xc3\xa4\xf0\x9f\x98\x80", "plain \xc3\xa4\xf0\x9f\x98\x80"},
      {"a\xfe" "b", "a" + r + "b"},
      {"\xc0\xaf", r + r},
      {"\xed\xa0\x80", r + r + r},  // a surrogate is no UTF-8
      {"ab\xe2\x82", "ab" + r + r},
      {"\xe2\x82\xe2\x82\xac", r + r + "\xe2\x82\xac"},  // a cut-off sequence spoils no other
  };
  for (const auto& [bytes, text] : cases) {
    std::string out = ">";
    base::AppendUtf8(out, bytes);
    EXPECT_EQ(out, ">" + text) << ::testing::PrintToString(bytes);
    EXPECT_EQ(base::CharacterCount(bytes), base::CharacterCount(text)) << ::testing::PrintToString(bytes);
  }
}

TEST(BaseUtf8, CharacterCountCountsCodePointsAndStrayBytes) {
  const std::vector<std::pair<std::string, std::size_t>> cases = {
      {"", 0},       {"a.de", 4},    {"ä.de", 4},        {"müll.de", 7}, {"😀€", 2},
      {"\xff\xfe", 2}, {"\xe2\x82", 2}, {"\xc0\xaf", 2},  {"\xed\xa0\x80", 3}};
  for (const auto& [text, count] : cases) EXPECT_EQ(base::CharacterCount(text), count) << text;
}

TEST(BaseWtf8, EverySurrogateCaseRoundTrips) {
  for (const Wtf8Case& c : Wtf8Cases()) {
    EXPECT_EQ(base::Wtf8FromUtf16(c.units), c.wtf8) << c.name;
    EXPECT_TRUE(base::Utf16FromWtf8(c.wtf8) == c.units) << c.name;
    EXPECT_TRUE(base::IsUtf8(c.shown)) << c.name;
    EXPECT_TRUE(base::Utf16FromWtf8(c.wtf8, base::Surrogates::kReplace) == base::Utf16FromWtf8(c.shown)) << c.name;
  }
}

TEST(BaseWtf8, TextFromOutsideThatIsNoWtf8) {
  struct Case {
    const char* name;
    std::string bytes;
    std::u16string units;  // the same whether surrogates are kept or replaced
  };
  const std::vector<Case> cases = {
      {"stray byte", "a\xff", {u'a', 0xFFFD}},
      {"cut-off surrogate", "\xed\xa0", {0xFFFD, 0xFFFD}},
      {"overlong", "\xc0\xaf", {0xFFFD, 0xFFFD}},
      {"long ASCII run", "0123456789abcdef\xfe", u"0123456789abcdef\ufffd"},
      // Two surrogate sequences that make a pair are that character, however they were written.
      {"pair in halves", "\xed\xa0\xbd\xed\xb8\x80", u"\U0001F600"},
  };
  for (const Case& c : cases) {
    EXPECT_TRUE(base::Utf16FromWtf8(c.bytes) == c.units) << c.name;
    EXPECT_TRUE(base::Utf16FromWtf8(c.bytes, base::Surrogates::kReplace) == c.units) << c.name;
  }
}

TEST(BaseEscape, NothingATerminalActsOnGetsThrough) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"", ""},
      {"/home/u/site/a b.sol", "/home/u/site/a b.sol"},
      {"\xc3\xa4\xe2\x82\xac\xf0\x9f\x98\x80", "\xc3\xa4\xe2\x82\xac\xf0\x9f\x98\x80"},
      {"a\x1b[31mRED\x1b[0m", "a\\x1B[31mRED\\x1B[0m"},
      {"line\nfeed\r\ttab", "line\\nfeed\\r\\ttab"},
      {"\x01\x7f"s + '\0', "\\x01\\x7F\\x00"},
      {"\xc2\x85\xc2\x9b", "\\u0085\\u009B"},  // C1: next line, CSI
      {"\xe2\x80\xaegnp.exe", "\\u202Egnp.exe"},  // right-to-left override
      {"\xe2\x80\xaa\xe2\x80\xad\xe2\x81\xa6\xe2\x81\xa9", "\\u202A\\u202D\\u2066\\u2069"},
      {"\xd8\x9c\xe2\x80\x8e\xe2\x80\x8f\xe2\x80\xa8\xe2\x80\xa9", "\\u061C\\u200E\\u200F\\u2028\\u2029"},
      {"\xfe", "\\xFE"},
      {"a\xc3", "a\\xC3"},
      {"\xc0\xaf", "\\xC0\\xAF"},
      {"\xed\xa0\x80", "\\xED\\xA0\\x80"},  // an unpaired surrogate's WTF-8
      // Next to the escaped ones, and kept: no-break spaces, an unassigned neighbour.
      {"\xc2\xa0\xe2\x80\xaf\xe2\x81\xa5\xc2\xa1", "\xc2\xa0\xe2\x80\xaf\xe2\x81\xa5\xc2\xa1"},
      {"a\\x1B'", "a\\x1B'"},  // a backslash of the name stays unless the caller asks
  };
  for (const auto& [text, escaped] : cases) {
    std::string out = ">";
    base::AppendEscaped(out, text);
    EXPECT_EQ(out, ">" + escaped) << ::testing::PrintToString(text);
    EXPECT_EQ(base::NeedsEscape(text), escaped != text) << ::testing::PrintToString(text);
  }
  std::string quoted;
  base::AppendEscaped(quoted, "it's a\\b\x1b\"", "\\'");
  EXPECT_EQ(quoted, "it\\'s a\\\\b\\x1B\"");
}

TEST(PlatformPaths, SplitProperAndBelow) {
  using Parts = std::vector<std::string_view>;
  const std::vector<std::pair<std::string, Parts>> splits = {
      {"", {}},
      {"a", {"a"}},
      {"/x/y/z.sol", {"", "x", "y", "z.sol"}},
      {"a//b/", {"a", "", "b", ""}},
      {"/", {"", ""}},
      {" a /b ", {" a ", "b "}},
  };
  for (const auto& [path, parts] : splits) EXPECT_EQ(platform::SplitPath(path), parts) << path;

  const std::vector<std::pair<std::string, std::string>> proper = {
      {"", "/"}, {"a", "a/"}, {"a/", "a/"}, {"a//", "a//"}, {"/x/y", "/x/y/"}, {"a/b ", "a/b /"}};
  for (const auto& [in, out] : proper) EXPECT_EQ(platform::ProperPath(in), out) << '"' << in << '"';

  struct Below {
    std::string root, path;
    std::optional<std::vector<std::string>> folders;
    std::string file;
  };
  const std::vector<Below> below = {
      {"/r", "/r/a/b/c.sol", std::vector<std::string>{"a", "b"}, "c.sol"},
      {"/r/", "/r/c.sol", std::vector<std::string>{}, "c.sol"},
      {"", "/x/c.sol", std::vector<std::string>{"x"}, "c.sol"},
      {"/r", "/r/", std::nullopt, ""},
      {"/r", "/rx/c.sol", std::nullopt, ""},
      {"/r", "/r/a//c.sol", std::nullopt, ""},
      {"/r", "/r/a/../c.sol", std::nullopt, ""},
      {"/r", "/r/./c.sol", std::nullopt, ""},
  };
  for (const auto& c : below) {
    const auto split = platform::SplitBelow(c.root, c.path);
    ASSERT_EQ(split.has_value(), c.folders.has_value()) << c.path;
    if (!split) continue;
    EXPECT_EQ(split->folders, *c.folders) << c.path;
    EXPECT_EQ(split->file, c.file) << c.path;
  }
}

}  // namespace
}  // namespace vesk::test
