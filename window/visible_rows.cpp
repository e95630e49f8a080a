#include "window/visible_rows.h"

#include <algorithm>

namespace vesk::window {

// Rows and counts fit 32 bits: a file the reader takes (at most 32 MiB) holds fewer values than
// that, each of at least one byte.
static_assert(lso::kMaxFileBytes < (std::uint64_t{1} << 32));

VisibleRows::VisibleRows(const ValuesModel& model) : model_(model) {
  Opens& first = opens_[ValuesModel::kRoot];
  const std::size_t count = model_.RowCount(ValuesModel::kRoot);
  std::uint64_t before = 0;
  for (std::size_t row = 0; row < count; ++row) {
    const Node node = model_.Child(ValuesModel::kRoot, row);
    if (!model_.ExpandedAtFirst(node)) continue;
    const auto below = static_cast<std::uint32_t>(model_.RowCount(node));
    first.push_back({node, static_cast<std::uint32_t>(row), below, before});
    before += below;
  }
  first.shrink_to_fit();
}

const VisibleRows::Opens* VisibleRows::OpensOf(Node node) const {
  const auto it = opens_.find(node);
  return it == opens_.end() ? nullptr : &it->second;
}

VisibleRows::Opens::const_iterator VisibleRows::Find(const Opens& opens, std::size_t row) {
  return std::lower_bound(opens.begin(), opens.end(), row, [](const Open& open, std::size_t r) { return open.row < r; });
}

std::size_t VisibleRows::Below(Node node) const {
  std::size_t below = model_.RowCount(node);
  if (const Opens* opens = OpensOf(node); opens && !opens->empty()) below += opens->back().before + opens->back().below;
  return below;
}

std::size_t VisibleRows::Count() const { return Below(ValuesModel::kRoot); }

VisibleRows::Node VisibleRows::NodeAt(std::size_t row) const {
  Node parent = ValuesModel::kRoot;
  while (true) {
    const Opens* opens = OpensOf(parent);
    if (!opens || opens->empty()) return model_.Child(parent, row);
    // The last expanded child whose own row is at or before `row`.
    auto it = std::upper_bound(opens->begin(), opens->end(), row,
                               [](std::size_t r, const Open& open) { return r < open.row + open.before; });
    if (it == opens->begin()) return model_.Child(parent, row);
    --it;
    const std::size_t at = it->row + it->before;
    if (row == at) return it->node;
    if (row <= at + it->below) {
      parent = it->node;
      row -= at + 1;
      continue;
    }
    return model_.Child(parent, row - it->before - it->below);
  }
}

std::optional<std::size_t> VisibleRows::RowOf(Node node) const {
  if (node == ValuesModel::kRoot) return std::nullopt;
  std::vector<Node> path{node};
  for (Node up = model_.Parent(node); up != ValuesModel::kRoot; up = model_.Parent(up)) path.push_back(up);
  std::size_t first = 0;  // the row of the parent's first child
  Node parent = ValuesModel::kRoot;
  for (auto step = path.rbegin(); step != path.rend(); ++step) {
    const std::size_t row = model_.Row(*step);
    const Opens* opens = OpensOf(parent);
    std::size_t at = first + row;
    Opens::const_iterator it;
    if (opens) {
      it = Find(*opens, row);
      if (it != opens->begin()) at += std::prev(it)->before + std::prev(it)->below;
    }
    if (*step == node) return at;
    if (!opens || it == opens->end() || it->node != *step) return std::nullopt;  // collapsed on the way
    first = at + 1;
    parent = *step;
  }
  return std::nullopt;
}

int VisibleRows::Depth(Node node) const {
  int depth = 0;
  for (Node up = model_.Parent(node); up != ValuesModel::kRoot; up = model_.Parent(up)) ++depth;
  return depth;
}

bool VisibleRows::IsExpanded(Node node) const {
  if (node == ValuesModel::kRoot) return true;
  const Opens* opens = OpensOf(model_.Parent(node));
  if (!opens) return false;
  const auto it = Find(*opens, model_.Row(node));
  return it != opens->end() && it->node == node;
}

bool VisibleRows::Expand(Node node) {
  if (node == ValuesModel::kRoot || !model_.HasChildren(node) || IsExpanded(node) || !RowOf(node)) return false;
  const Node parent = model_.Parent(node);
  Opens& opens = opens_[parent];
  const std::size_t row = model_.Row(node);
  const auto at = opens.begin() + (Find(opens, row) - opens.begin());
  opens.insert(at, {node, static_cast<std::uint32_t>(row), static_cast<std::uint32_t>(Below(node)), 0});
  Update(node);
  return true;
}

bool VisibleRows::Collapse(Node node) {
  if (node == ValuesModel::kRoot || !IsExpanded(node)) return false;
  const Node parent = model_.Parent(node);
  Opens& opens = opens_[parent];
  const auto at = opens.begin() + (Find(opens, model_.Row(node)) - opens.begin());
  const std::size_t index = static_cast<std::size_t>(at - opens.begin());
  opens.erase(at);
  for (std::size_t i = index; i < opens.size(); ++i)
    opens[i].before = i == 0 ? 0 : opens[i - 1].before + opens[i - 1].below;
  if (opens.empty() && parent != ValuesModel::kRoot) opens_.erase(parent);
  Update(parent);
  return true;
}

void VisibleRows::Update(Node node) {
  // Walk up while the node is expanded in its parent: only there are its rows counted.
  while (node != ValuesModel::kRoot) {
    const Node parent = model_.Parent(node);
    const auto found = opens_.find(parent);
    if (found == opens_.end()) return;
    Opens& opens = found->second;
    const auto at = Find(opens, model_.Row(node));
    if (at == opens.end() || at->node != node) return;
    const std::size_t index = static_cast<std::size_t>(at - opens.begin());
    opens[index].below = static_cast<std::uint32_t>(Below(node));
    for (std::size_t i = index; i < opens.size(); ++i)
      opens[i].before = i == 0 ? 0 : opens[i - 1].before + opens[i - 1].below;
    node = parent;
  }
}

void VisibleRows::Reveal(Node node) {
  std::vector<Node> parents;
  for (Node up = model_.Parent(node); up != ValuesModel::kRoot; up = model_.Parent(up)) parents.push_back(up);
  for (auto it = parents.rbegin(); it != parents.rend(); ++it) Expand(*it);
}

std::size_t VisibleRows::MemoryBytes() const {
  std::size_t bytes = opens_.bucket_count() * sizeof(void*);
  for (const auto& [node, opens] : opens_) bytes += sizeof(node) + sizeof(opens) + 2 * sizeof(void*) + opens.capacity() * sizeof(Open);
  return bytes;
}

}  // namespace vesk::window
