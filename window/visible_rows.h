#pragma once

// The rows of the Values tree as a flat list numbered from 0, as a list control with owner data
// shows them: a row for every node whose parents are all expanded. Nothing is held per row
// shown, only per expanded node, so a file whose first level holds a million values costs no
// more than one that holds ten; finding the node of a row and the row of a node take a few
// binary searches per level.

#include <cstdint>
#include <optional>
#include <unordered_map>
#include <vector>

#include "window/values.h"

namespace vesk::window {

class VisibleRows {
 public:
  using Node = ValuesModel::Node;

  // The rows of `model` with its first level expanded (ValuesModel::ExpandedAtFirst). The model
  // must outlive this.
  explicit VisibleRows(const ValuesModel& model);

  std::size_t Count() const;
  // The node shown at `row` (< Count()).
  Node NodeAt(std::size_t row) const;
  // The row that shows `node`; nullopt while a parent of it is collapsed.
  std::optional<std::size_t> RowOf(Node node) const;
  // 0 for the first level.
  int Depth(Node node) const;
  bool IsExpanded(Node node) const;
  // Both return false when nothing changed: a node without children or one already so; Expand
  // also for a node hidden below a collapsed parent. A collapsed node keeps what was expanded
  // below it, shown again when it is expanded again.
  bool Expand(Node node);
  bool Collapse(Node node);
  // Expands every parent of `node`, so that it has a row.
  void Reveal(Node node);
  // The memory held besides the model.
  std::size_t MemoryBytes() const;

 private:
  // An expanded child of an expanded node: its row among its siblings, the rows shown below it,
  // and the rows shown below the expanded siblings before it.
  struct Open {
    Node node;
    std::uint32_t row;
    std::uint32_t below;
    std::uint64_t before;
  };
  using Opens = std::vector<Open>;

  // The rows shown below `node` when it is expanded.
  std::size_t Below(Node node) const;
  const Opens* OpensOf(Node node) const;
  // The expanded children of `parent` at or after `row`'s position.
  static Opens::const_iterator Find(const Opens& opens, std::size_t row);
  // `node` (expanded or not) now shows `below` rows: its parents learn it.
  void Update(Node node);

  const ValuesModel& model_;
  // Per node with expanded children: those children, by row. The root is always there.
  std::unordered_map<Node, Opens> opens_;
};

}  // namespace vesk::window
