#pragma once

// What the JSON and text writers share: walking the tape, writing to the sink in pieces, and
// the limit on how much they write.

#include <algorithm>
#include <string>
#include <vector>

#include "lso/lso.h"
#include "lso/tape_internal.h"

namespace vesk::lso::detail {

class Writer {
 public:
  Writer(const Tape& tape, Sink& sink, std::vector<Problem>& problems, std::size_t limit)
      : t_(tape.impl()), sink_(sink), problems_(problems), limit_(limit) {}

  // Writes what is left.
  void Finish() {
    if (!out_.empty()) sink_.Write(out_);
    written_ += out_.size();
    out_.clear();
  }

 protected:
  static constexpr std::size_t kPiece = 64 * 1024;
  // Room kept below the limit for the problem that says so and the brackets that close.
  static constexpr std::size_t kReserve = 16 * 1024;

  struct Span {
    std::uint32_t first, end;
  };
  Span Children(std::uint32_t container) const {
    if (container == kNoItem) return {0, static_cast<std::uint32_t>(t_.items.size())};
    return {container + 1, t_.items[container].aux};
  }
  // The value an externalizable wrapper stands for (itself when it wraps nothing); wrappers may be
  // nested a thousand deep, so this is a loop, not a recursion.
  std::uint32_t Unwrap(std::uint32_t i) const {
    while (t_.items[i].tag() == Tag::External && i + 1 < t_.items[i].aux) ++i;
    return i;
  }
  std::uint32_t Rows(std::uint32_t i) const { return t_.items[i].tag() == Tag::Run ? t_.items[i].payload() : 1; }
  std::size_t Offset(std::uint32_t i) const {
    return t_.items[i].tag() == Tag::Problem ? t_.problems[t_.items[i].aux].offset : t_.ValueAt(i);
  }
  std::string_view Pointer(std::uint32_t reference) const {
    const std::uint32_t target = t_.items[reference].aux;
    auto it = std::lower_bound(t_.pointers.begin(), t_.pointers.end(), target,
                               [](const auto& p, std::uint32_t item) { return p.first < item; });
    return it != t_.pointers.end() && it->first == target ? std::string_view(it->second) : std::string_view();
  }

  void Flush() {
    if (out_.size() < kPiece) return;
    sink_.Write(out_);
    written_ += out_.size();
    out_.clear();
  }
  std::size_t Written() const { return written_ + out_.size(); }

  // Records that the output reached its limit at the value at `offset`.
  void Cut(std::size_t offset, const char* form) {
    cut_ = true;
    problems_.push_back(Problem{offset, std::string(form) + " would be larger than " + std::to_string(limit_ >> 20) +
                                            " MiB; the rest is not written"});
  }

  const Tape::Impl& t_;
  Sink& sink_;
  std::vector<Problem>& problems_;
  std::string out_;
  std::size_t written_ = 0;
  std::size_t limit_;
  bool cut_ = false;
};

}  // namespace vesk::lso::detail
