// Reading a cookie for the text view, and deleting cookie files.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <future>
#include <memory>
#include <random>
#include <thread>

#include <gtest/gtest.h>

#include "base/utf8.h"
#include "cookies/deletion.h"
#include "base/wtf8.h"
#include "cookies/details.h"
#include "tests/core/test_support.h"

namespace vesk::test {
namespace {

using namespace std::string_literals;

TEST(DetailsCookieText, DropsDelimitersAndShowsEveryOtherByte) {
  const std::string dot = "\u00b7";
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"a,b\r\nc", "abc"},
      {"a\rb\nc\r\n,,", "abc"},
      {" x , \"q\"\t", " x  \"q\"" + dot},    // blanks and quotes stay; TAB is binary too
      {"a\0b\0\0c"s, "a" + dot + "b" + dot + dot + "c"},  // NUL does not end the text
      {"\x01\x1f\x7f", dot + dot + dot},
      {"\xc3\xa4 \xe2\x82\xac \xf0\x9f\x98\x80", "ä € 😀"},  // valid UTF-8 as itself
      {"\xc2\x85", dot},                       // a valid sequence that is a control character
      {"\x80", "€"},
      {"\xe4x", "äx"},
      {"\x9f\xff", "Ÿÿ"},
      {"\x81\x8d\x8f\x90\x9d", dot + dot + dot + dot + dot},  // the holes of Windows-1252
      {"\xc0\xaf", "À¯"},                      // overlong "/"
      {"\xe0\x80\xaf", "à€¯"},                 // overlong, three bytes
      {"\xed\xa0\x80", "í\u00a0€"},            // a surrogate
      {"\xf4\x90\x80\x80", "ô" + dot + "€€"},  // beyond U+10FFFF
      {"ab\xc3", "abÃ"},                       // a sequence cut off at the end
      {"\xc3,\xa4", "Ã¤"},                     // a comma inside a sequence breaks it
      {"", ""},
  };
  for (const auto& [bytes, text] : cases) {
    EXPECT_EQ(cookies::CookieText(bytes), text) << bytes;
    EXPECT_EQ(base::Wtf8FromUtf16(cookies::CookieTextUtf16(bytes)), text) << bytes;
  }

  // Long runs are handled a run at a time: their lengths and what follows them must survive.
  auto dots = [&](std::size_t n) {
    std::string s;
    for (std::size_t i = 0; i < n; ++i) s += dot;
    return s;
  };
  for (const std::size_t n : {511u, 512u, 513u, 5000u}) {
    EXPECT_EQ(cookies::CookieText(std::string(n, '\0') + "a\x01,b"), dots(n) + "a" + dot + "b") << n;
    EXPECT_EQ(cookies::CookieText(std::string(n, 'x') + "\xe4\n"), std::string(n, 'x') + "ä") << n;
    EXPECT_EQ(base::Wtf8FromUtf16(cookies::CookieTextUtf16(std::string(n, '\0') + "a\x01,b")), dots(n) + "a" + dot + "b")
        << n;
    EXPECT_EQ(cookies::CookieTextUtf16(std::string(n, 'x') + "\xe4\xf0\x9f\x98\x80\n").substr(n), u"ä\U0001F600") << n;
  }

  // The two forms go through ASCII differently (runs, and a table a buffer at a time): random
  // bytes, mostly ASCII with delimiters, controls and high bytes among them, across the
  // buffer's edges, must read the same in both.
  std::mt19937 random(7);
  for (const std::size_t length : {1u, 1023u, 1024u, 1025u, 3000u, 70000u}) {
    std::string bytes(length, '\0');
    for (char& byte : bytes) {
      const unsigned pick = random() % 16;
      byte = static_cast<char>(pick < 10 ? 'a' + pick : pick == 10 ? ',' : pick == 11 ? '\n' : pick == 12 ? 0xC3 : random() % 256);
    }
    EXPECT_EQ(base::Wtf8FromUtf16(cookies::CookieTextUtf16(bytes)), cookies::CookieText(bytes)) << length;
  }
}

TEST(DetailsRead, ReadsRegularFilesAndRefusesEverythingElse) {
  TempDir tmp;
  WriteFile(tmp / "a.sol", "x,y\n\0z"s);
  MakeFolders(tmp / "folder.sol");
  PlatformWrapper system;
  EXPECT_EQ(cookies::ReadCookieTextUtf16(system, tmp / "a.sol"), u"xy\u00b7z");
  EXPECT_EQ(cookies::ReadCookieTextUtf16(system, tmp / "folder.sol"), std::nullopt);
  EXPECT_EQ(cookies::ReadCookieTextUtf16(system, tmp / "gone.sol"), std::nullopt);
  EXPECT_EQ(cookies::ReadCookieTextUtf16(system, ""), std::nullopt);
}

TEST(DetailsRead, FifoIsRefusedWithoutBlocking) {
  TempDir tmp;
  const std::string fifo = tmp / "pipe.sol";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
  // The reader runs on its own thread so that a reader that blocks fails the test instead of
  // hanging it; opening the other end then releases the reader.
  auto result = std::make_shared<std::promise<std::optional<platform::Utf16String>>>();
  auto done = result->get_future();
  std::thread([result, fifo] {
    PlatformWrapper system;
    result->set_value(cookies::ReadCookieTextUtf16(system, fifo));
  }).detach();
  if (done.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
    ADD_FAILURE() << "reading a FIFO blocked";
    const int writer = open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
    if (writer >= 0) close(writer);
    done.wait();
    return;
  }
  EXPECT_EQ(done.get(), std::nullopt);
}

TEST(DetailsRead, ShowsOnlyTheStartOfAHugeFile) {
  TempDir tmp;
  const std::string path = tmp / "huge.sol";
  WriteFile(path);
  const int fd = open(path.c_str(), O_WRONLY);
  ASSERT_GE(fd, 0);
  // Sparse: zeros everywhere except a mark on each side of the limit.
  ASSERT_EQ(ftruncate(fd, 17 << 20), 0);
  ASSERT_EQ(pwrite(fd, "X", 1, static_cast<off_t>(cookies::kMaxShownBytes - 1)), 1);
  ASSERT_EQ(pwrite(fd, "Y", 1, static_cast<off_t>(cookies::kMaxShownBytes)), 1);
  close(fd);

  PlatformWrapper system;
  const auto text = cookies::ReadCookieTextUtf16(system, path);
  ASSERT_TRUE(text.has_value());
  EXPECT_EQ(text->size(), cookies::kMaxShownBytes);
  EXPECT_EQ(text->back(), u'X');
  EXPECT_EQ(text->find(u'Y'), platform::Utf16String::npos);
  EXPECT_EQ(system.FileLength(path), std::int64_t{17} << 20);
}

// The warmer never touches what the writer may be writing (a page it warmed is written zero),
// nor anything once stopped (the array may go then: AddressSanitizer sees a touch after), and
// ThreadSanitizer finds the writer's writes ordered after its own.
TEST(DetailsRead, PageWarmerLeavesWhatTheWriterWrote) {
  constexpr std::size_t kSize = std::size_t{12} << 20;
  constexpr std::size_t kStep = platform::PageWarmer::kReach;
  platform::PageWarmer warmer;
  auto block = std::make_unique<unsigned char[]>(kSize);  // zeroed, as fresh pages are
  for (std::size_t at = 0; at < kSize; at += kStep) {
    warmer.Filled(block.get(), at, kSize);
    std::memset(block.get() + at, 0xAB, kStep);  // as far as it may
    std::this_thread::sleep_for(std::chrono::microseconds(100));  // the warmer's turn
  }
  warmer.Stop();
  EXPECT_EQ(std::count(block.get(), block.get() + kSize, 0xAB), static_cast<std::ptrdiff_t>(kSize));
  block.reset();
  warmer.Filled(nullptr, 0, 0);
}

// A click on a big cookie needs a buffer for its bytes and one for its text; the two given back
// last are kept for the next ones that fit, the smallest that fits first, as fresh pages cost a
// page fault each.
TEST(DetailsRead, BigBuffersAreTakenAgainFromTheLastTwoGivenBack) {
  constexpr std::size_t kMiB = std::size_t{1} << 20;
  char* a = platform::TakeLargeBuffer(3 * kMiB);  // 4 MiB, in whole huge pages
  char* b = platform::TakeLargeBuffer(5 * kMiB);  // 6 MiB
  ASSERT_NE(a, b);
  a[3 * kMiB - 1] = 'a';
  b[5 * kMiB - 1] = 'b';
  platform::GiveBackLargeBuffer(a);
  platform::GiveBackLargeBuffer(b);
  EXPECT_EQ(platform::TakeLargeBuffer(5 * kMiB), b);
  EXPECT_EQ(platform::TakeLargeBuffer(3 * kMiB), a);  // not b, which was taken anyway
  char* c = platform::TakeLargeBuffer(7 * kMiB);
  platform::GiveBackLargeBuffer(a);
  platform::GiveBackLargeBuffer(b);
  platform::GiveBackLargeBuffer(c);  // the oldest, a, goes back to the system
  EXPECT_EQ(platform::TakeLargeBuffer(7 * kMiB), c);
  char* fresh = platform::TakeLargeBuffer(3 * kMiB);
  EXPECT_NE(fresh, b);  // a is gone, and 6 MiB for 4 would leave a quarter unused
  EXPECT_EQ(platform::TakeLargeBuffer(5 * kMiB - 1), b);
  platform::GiveBackLargeBuffer(fresh);
  platform::GiveBackLargeBuffer(b);
  platform::GiveBackLargeBuffer(c);

  // And so a cookie read again takes the buffers of the one before.
  TempDir tmp;
  const std::string path = tmp / "big.sol";
  WriteFile(path, std::string(20 * kMiB, '\0'));
  PlatformWrapper system;
  const char16_t* first = nullptr;
  {
    const auto text = cookies::ReadCookieTextUtf16(system, path);
    ASSERT_TRUE(text.has_value());
    first = text->data();
  }
  const auto again = cookies::ReadCookieTextUtf16(system, path);
  ASSERT_TRUE(again.has_value());
  EXPECT_EQ(again->data(), first);
  EXPECT_EQ(again->size(), cookies::kMaxShownBytes);
}

TEST(DeletionRemoveFileBelow, TakesNoWildcardsAndKeepsNameBytes) {
  TempDir tmp;
  const std::vector<std::string> names = {"a*.sol", "ab.sol", "a?.sol", "ac.sol", "\xff\xfe.sol", "\xff.sol", "*"};
  for (const auto& name : names) WriteFile(tmp / name);
  for (const std::string victim : {"a*.sol", "a?.sol", "\xff\xfe.sol"}) {
    EXPECT_EQ(platform::Native().RemoveFileBelow(tmp.Path(), tmp / victim).outcome, platform::Removal::kDeleted)
        << victim;
  }
  // Names nothing: its folder was read and the name is not there.
  EXPECT_EQ(platform::Native().RemoveFileBelow(tmp.Path(), tmp / "*.sol").outcome, platform::Removal::kGone);
  for (const auto& name : names) {
    const bool victim = name == "a*.sol" || name == "a?.sol" || name == "\xff\xfe.sol";
    EXPECT_EQ(Exists(tmp / name), !victim) << name;
  }
}

TEST(DeletionDeleteCookieFiles, SkipsFailuresAndCountsTheRest) {
  TempDir tmp;
  WriteFile(tmp / "a.sol");
  WriteFile(tmp / "ro.sol");
  chmod((tmp / "ro.sol").c_str(), 0444);
  WriteFile(tmp / "dir.sol/in.sol");
  WriteFile(tmp / "refused.sol");
  WriteFile(tmp / "z.sol");
  PlatformWrapper system;
  system.refusedRemovals = {tmp / "refused.sol"};
  const std::vector<std::string> paths = {tmp / "a.sol",       tmp / "ro.sol", tmp / "gone.sol", tmp / "dir.sol",
                                          tmp / "refused.sol", tmp / "z.sol", tmp / "no-folder/b.sol"};
  // a.sol, gone.sol and z.sol; not b.sol, whose folder could not be looked into.
  EXPECT_EQ(cookies::DeleteCookieFiles(tmp.Path(), paths, system), 3);
  EXPECT_EQ(system.removeCalls, paths);
  EXPECT_FALSE(Exists(tmp / "a.sol"));
  EXPECT_FALSE(Exists(tmp / "z.sol"));
  EXPECT_TRUE(Exists(tmp / "ro.sol"));
  EXPECT_TRUE(Exists(tmp / "dir.sol/in.sol"));
  EXPECT_TRUE(Exists(tmp / "refused.sol"));
  EXPECT_EQ(cookies::DeleteCookieFiles(tmp.Path(), {}, system), 0);
}

}  // namespace
}  // namespace vesk::test
