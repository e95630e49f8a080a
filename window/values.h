#pragma once

// What the Values tab shows of one cookie: its decoded values as the rows of a tree, three
// columns each (name, value, type), read lazily from the reader's index so that a file of any
// size costs little more than its bytes. A first row gives the header; the problems follow as
// rows of their own, then the pairs. Nothing read from the file reaches a cell as a control
// character. Front ends show it; they decide nothing.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "lso/lso.h"

namespace vesk::window {

// The words of the rows that are not values, in the current language (language.cpp).
struct ValuesTexts {
  std::string header;      // first row's name: "cookie"
  std::string bytes;       // after the size: "bytes"
  std::string problem;     // a problem row's name
  std::string atByte;      // before a problem's offset: "at byte"
  std::string notSol;      // the one row of a file that is no .sol file
  std::string unreadable;  // the one row of a file that cannot be read
  std::string reference;   // a reference's type
  std::string key;         // a dictionary entry's key: "[0] key"
  std::string value;       // and its value: "[0] value"
};

class ValuesModel {
 public:
  using Node = std::uint64_t;
  static constexpr Node kRoot = 0;
  enum Column { kName = 0, kValue = 1, kType = 2 };

  // The values of a file read whole; `texts` must outlive the model (the window keeps them, and a
  // change of language shows at the next repaint).
  ValuesModel(lso::Tape tape, const ValuesTexts& texts);
  // A file that could not be read.
  explicit ValuesModel(const ValuesTexts& texts);

  std::size_t RowCount(Node parent) const;
  Node Child(Node parent, std::size_t row) const;
  Node Parent(Node node) const;
  std::size_t Row(Node node) const;
  bool HasChildren(Node node) const;
  // Rows of the first level that are expanded when the values are first shown: in file order,
  // each whose rows still fit within kExpandedRows in all. A tree lays out every row it shows
  // expanded (Qt keeps about 100 bytes a row), so a file of a hundred thousand records opens
  // with them collapsed, while the rows of any cookie a player writes fit many times over.
  static constexpr std::size_t kExpandedRows = 1000;
  bool ExpandedAtFirst(Node node) const;
  bool IsProblem(Node node) const;

  // A cell's text; long strings are cut.
  std::string Text(Node node, Column column) const;
  // The whole value, for the tool tip; empty where the cell already shows all.
  std::string ToolTip(Node node) const;
  // The row a reference points at; nullopt for any other row.
  std::optional<Node> Target(Node node) const;

  // One "name = value" line a row as vesk-cli show's text form writes it, a container with
  // its contents on the lines that follow; strings whole.
  std::string CopyLines(const std::vector<Node>& nodes) const;
  // The value of one row alone, whole.
  std::string CopyValue(Node node) const;
  // The `values` member vesk-cli show --format json writes for the file, byte for byte.
  std::string AllJson() const;

  // What the model holds besides the file's bytes, and the bytes themselves.
  std::size_t MemoryBytes() const;

 private:
  enum class RowKind { kHeader, kProblem, kValue, kMessage };
  RowKind KindOf(Node node) const;
  std::size_t FirstValueRow() const;
  // What an externalizable wrapper stands for (its children are the wrapper's rows).
  Node Unwrap(Node node) const;

  lso::Tape tape_;
  const ValuesTexts& texts_;
  bool readable_ = true;
  bool headerRead_ = true;
  std::vector<Node> expandedAtFirst_;  // sorted
};

}  // namespace vesk::window
