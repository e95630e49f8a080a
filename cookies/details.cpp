#include "cookies/details.h"

#include <algorithm>
#include <array>
#include <cstdint>

#include "base/utf8.h"

namespace vesk::cookies {
namespace {

// Windows-1252 code points of the bytes 0x80 to 0x9F; 0 where the code page leaves a hole.
constexpr std::array<std::uint16_t, 32> kCp1252High = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

constexpr char32_t kControlMark = 0x00B7;  // MIDDLE DOT

bool IsControl(char32_t c) { return c < 0x20 || (c >= 0x7F && c <= 0x9F); }

// What a byte is when it starts a character: ASCII is shown as itself, taken out as a field
// delimiter, or marked as a control; every byte from 0x80 on needs decoding.
enum class ByteClass : unsigned char { Plain, Delimiter, Control, High };

constexpr std::array<ByteClass, 256> kByteClasses = [] {
  std::array<ByteClass, 256> classes{};
  for (int b = 0; b < 256; ++b) {
    classes[b] = b >= 0x80 ? ByteClass::High
                 : b == ',' || b == '\r' || b == '\n' ? ByteClass::Delimiter
                 : b < 0x20 || b == 0x7F ? ByteClass::Control
                                         : ByteClass::Plain;
  }
  return classes;
}();

// Where the shown text goes: UTF-8 bytes, or UTF-16 code units for the window's toolkit. Each
// takes runs of ASCII bytes, delimiters and controls among them, and single decoded characters.
struct Utf8Sink {
  std::string& out;
  void Ascii(const char* from, const char* to) {
    while (from < to) {
      const ByteClass kind = kByteClasses[static_cast<unsigned char>(*from)];
      const char* run = from + 1;
      while (run < to && kByteClasses[static_cast<unsigned char>(*run)] == kind) ++run;
      if (kind == ByteClass::Plain) {
        out.append(from, run);
      } else if (kind == ByteClass::Control) {
        Marks(static_cast<std::size_t>(run - from));
      }
      from = run;
    }
  }
  // Many marks at a time.
  void Marks(std::size_t count) {
    static const std::string kMarks = [] {
      std::string marks;
      for (int i = 0; i < 512; ++i) base::AppendCodePoint(marks, kControlMark);
      return marks;
    }();
    const std::size_t markLength = kMarks.size() / 512;
    while (count > 0) {
      const std::size_t now = count < 512 ? count : 512;
      out.append(kMarks, 0, now * markLength);
      count -= now;
    }
  }
  void Character(char32_t c) { base::AppendCodePoint(out, c); }
};

// The UTF-16 unit each ASCII byte shows as; 0 for a delimiter, which is dropped (NUL shows as a
// mark, so 0 is never shown).
constexpr std::array<char16_t, 128> kAsciiUnits = [] {
  std::array<char16_t, 128> units{};
  for (int b = 0; b < 128; ++b) {
    const ByteClass kind = kByteClasses[b];
    units[b] = kind == ByteClass::Delimiter ? 0
               : kind == ByteClass::Control ? static_cast<char16_t>(kControlMark)
                                            : static_cast<char16_t>(b);
  }
  return units;
}();

// Appends without writing anything twice: the text's room is reserved, not filled beforehand,
// and ASCII runs are turned into units through a small buffer.
struct Utf16Sink {
  platform::Utf16String& out;
  using Unit = platform::Utf16String::value_type;
  // A unit a byte from the table, with no branch that depends on the byte: binary cookies are
  // short runs of letters between control bytes, on which run-by-run copying mispredicted at
  // every change (16 MiB took 110-140 ms instead of 20-30).
  void Ascii(const char* from, const char* to) {
    Unit widened[1024];
    while (from < to) {
      const auto now = std::min<std::ptrdiff_t>(to - from, std::size(widened));
      std::size_t kept = 0;
      for (std::ptrdiff_t i = 0; i < now; ++i) {
        const char16_t unit = kAsciiUnits[static_cast<unsigned char>(from[i])];
        widened[kept] = static_cast<Unit>(unit);
        kept += unit != 0;
      }
      out.append(widened, kept);
      from += now;
    }
  }
  void Character(char32_t c) {
    if (c < 0x10000) {
      out += static_cast<Unit>(c);
    } else {
      out += static_cast<Unit>(0xD800 + ((c - 0x10000) >> 10));
      out += static_cast<Unit>(0xDC00 + ((c - 0x10000) & 0x3FF));
    }
  }
};

// The file is read as comma- and line-separated fields that are shown joined with nothing
// between them, so the text is the file with its delimiters taken out:
//  - a field ends at a comma or a line end (CR LF, a lone CR or a lone LF); the delimiter is
//    dropped, and nothing else is: blanks around a field and quotation marks stay;
//  - a valid UTF-8 sequence shows as its character; any other byte as its Windows-1252
//    character;
//  - cookie files are binary: every control character (NUL and all others below 32, TAB
//    included since in a cookie it is a length or type byte, DEL, and 0x80-0x9F, the holes of
//    Windows-1252 among them) shows as a middle dot "·", so the view never stops early and
//    keeps every printable character in its place.
template <class Sink>
void ShowBytes(std::string_view bytes, Sink& sink) {
  const char* const end = bytes.data() + bytes.size();
  const char* p = bytes.data();
  // Cookies up to the read cap are shown, so ASCII, most of any cookie, goes a run at a time.
  while (p < end) {
    const auto b = static_cast<unsigned char>(*p);
    if (b < 0x80) {
      const char* run = p + 1;
      while (run < end && static_cast<unsigned char>(*run) < 0x80) ++run;
      sink.Ascii(p, run);
      p = run;
      continue;
    }
    char32_t c;
    std::size_t length = base::DecodeUtf8(std::string_view(p, static_cast<std::size_t>(end - p)), c);
    if (length == 0) {
      c = b <= 0x9F ? kCp1252High[b - 0x80] : b;
      length = 1;
    }
    sink.Character(IsControl(c) ? kControlMark : c);
    p += length;
  }
}

template <class Text, class Sink>
Text Shown(std::string_view bytes) {
  Text text;
  // Enough for plain text; for UTF-16 always, as no byte gives more than one unit (a pair of
  // units comes from four bytes).
  text.reserve(bytes.size());
  Sink sink{text};
  ShowBytes(bytes, sink);
  return text;
}

std::optional<platform::LargeString> ReadShownBytes(platform::System& system, const std::string& path) {
  platform::LargeString bytes;
  if (!system.ReadLargeFileHead(path, kMaxShownBytes, bytes).ok()) return std::nullopt;
  return bytes;
}

}  // namespace

std::string CookieText(std::string_view bytes) { return Shown<std::string, Utf8Sink>(bytes); }

platform::Utf16String CookieTextUtf16(std::string_view bytes) { return Shown<platform::Utf16String, Utf16Sink>(bytes); }

std::optional<platform::Utf16String> ReadCookieTextUtf16(platform::System& system, const std::string& path) {
  const auto bytes = ReadShownBytes(system, path);
  return bytes ? std::optional(CookieTextUtf16(*bytes)) : std::nullopt;
}

}  // namespace vesk::cookies
