// The flat rows of the Values tree against a plain walk of the model: after every expand and
// collapse, each row's node, each node's row, the count and the depths must agree.

#include "window/visible_rows.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <set>

#include "sol_builder.h"

namespace vesk::test {
namespace {

using namespace sol;
namespace a3 = sol::amf3;
using window::ValuesModel;
using window::VisibleRows;
using Node = ValuesModel::Node;

const window::ValuesTexts kTexts{"cookie", "bytes", "problem", "at byte", "not a .sol file", "cannot be read",
                                 "reference", "key", "value"};

// Every kind that expands, nested, beside scalars, a problem row (the cut value) and a wrapper.
const std::string kNested = File(
    a3::Pair("list", a3::Array(3, a3::Str("named") + a3::Integer(7),
                               a3::Integer(1) + a3::Anonymous(a3::Str("x") + a3::Integer(2) + a3::Str("deep") +
                                                              a3::Array(2, "", a3::Null() + a3::Anonymous(a3::Str("z") + a3::Boolean(true)))) +
                                   a3::Array(0, "", ""))) +
        a3::Pair("n", a3::Integer(5)) +
        a3::Pair("ac", a3::Externalizable("flex.messaging.io.ArrayCollection",
                                          a3::Array(2, "", a3::Anonymous(a3::Str("q") + a3::Integer(1)) + a3::Integer(9)))) +
        a3::Pair("v", a3::IntVector(false, {4, 5, 6})) +
        a3::Pair("d", a3::Dictionary(false, 2, a3::String("k") + a3::Anonymous(a3::Str("w") + a3::Null()) + a3::Integer(3) +
                                                   a3::Array(1, "", a3::Integer(8)))) +
        a3::Pair("empty", a3::Anonymous("")) + a3::Str("cut") + U8(0x09) + "\x07",
    3, "nested");

// The rows a plain walk gives: every child of an expanded node, depth first.
void Walk(const ValuesModel& model, const std::set<Node>& expanded, Node parent, int depth,
          std::vector<std::pair<Node, int>>& rows) {
  for (std::size_t r = 0; r < model.RowCount(parent); ++r) {
    const Node node = model.Child(parent, r);
    rows.emplace_back(node, depth);
    if (expanded.count(node)) Walk(model, expanded, node, depth + 1, rows);
  }
}

// Every node of the model, shown or not.
void AllNodes(const ValuesModel& model, Node parent, std::vector<Node>& nodes) {
  for (std::size_t r = 0; r < model.RowCount(parent); ++r) {
    nodes.push_back(model.Child(parent, r));
    AllNodes(model, nodes.back(), nodes);
  }
}

void ExpectSame(const ValuesModel& model, const VisibleRows& rows, const std::set<Node>& expanded,
                const std::string& step) {
  std::vector<std::pair<Node, int>> walked;
  Walk(model, expanded, ValuesModel::kRoot, 0, walked);
  ASSERT_EQ(rows.Count(), walked.size()) << step;
  std::map<Node, std::size_t> rowOf;
  for (std::size_t i = 0; i < walked.size(); ++i) {
    EXPECT_EQ(rows.NodeAt(i), walked[i].first) << step << ", row " << i;
    EXPECT_EQ(rows.Depth(walked[i].first), walked[i].second) << step << ", row " << i;
    rowOf[walked[i].first] = i;
  }
  std::vector<Node> all;
  AllNodes(model, ValuesModel::kRoot, all);
  for (const Node node : all) {
    const auto it = rowOf.find(node);
    EXPECT_EQ(rows.RowOf(node), it == rowOf.end() ? std::nullopt : std::optional<std::size_t>(it->second))
        << step << ", node " << model.Text(node, ValuesModel::kName);
    EXPECT_EQ(rows.IsExpanded(node), expanded.count(node) > 0) << step << ", node " << model.Text(node, ValuesModel::kName);
  }
}

TEST(VisibleRows, AgreeWithAPlainWalkThroughExpandsAndCollapses) {
  const ValuesModel model(lso::Read(kNested), kTexts);
  VisibleRows rows(model);
  std::vector<Node> all;
  AllNodes(model, ValuesModel::kRoot, all);
  ASSERT_GT(all.size(), 25u);

  // At first: the first level's containers (the empty object has no rows to show).
  std::set<Node> expanded;
  for (const Node node : all)
    if (model.Parent(node) == ValuesModel::kRoot && model.HasChildren(node)) expanded.insert(node);
  ASSERT_EQ(expanded.size(), 4u) << "list, ac, v, d";
  ExpectSame(model, rows, expanded, "at first");
  ASSERT_TRUE(model.IsProblem(rows.NodeAt(rows.Count() - 1))) << "the cut value is the last row";

  // Random expands and collapses, hidden nodes included, against the same operations on a set:
  // a collapse keeps what lies expanded below, an expand of a hidden node does nothing.
  std::mt19937 random(17);
  for (int step = 0; step < 400; ++step) {
    const Node node = all[random() % all.size()];
    const bool expand = random() % 2 == 0;
    bool visible = true;
    for (Node up = model.Parent(node); up != ValuesModel::kRoot; up = model.Parent(up)) visible = visible && expanded.count(up);
    const bool changes = expand ? visible && model.HasChildren(node) && !expanded.count(node) : expanded.count(node) > 0;
    EXPECT_EQ(expand ? rows.Expand(node) : rows.Collapse(node), changes) << step;
    if (changes && expand) expanded.insert(node);
    if (changes && !expand) expanded.erase(node);
    ExpectSame(model, rows, expanded, "step " + std::to_string(step));
    if (HasFailure()) return;
  }

  // Reveal opens the whole way down to the deepest row.
  for (const Node node : all) rows.Collapse(node);
  expanded.clear();
  const Node deepest = *std::max_element(all.begin(), all.end(), [&](Node a, Node b) { return rows.Depth(a) < rows.Depth(b); });
  EXPECT_EQ(rows.RowOf(deepest), std::nullopt);
  rows.Reveal(deepest);
  for (Node up = model.Parent(deepest); up != ValuesModel::kRoot; up = model.Parent(up)) expanded.insert(up);
  ExpectSame(model, rows, expanded, "revealed");
  EXPECT_EQ(rows.Depth(deepest), 4) << "list, its object, deep, its object, z";
}

TEST(VisibleRows, AMillionValuesCostOnlyTheirExpandedParents) {
  // One first-level array of a million nulls and a thousand small objects: the first level opens
  // within a thousand rows, so the nulls stay closed until expanded; then two expanded nodes,
  // however many rows.
  std::string nulls;
  for (int i = 0; i < 1000000; ++i) nulls += a3::Null();
  std::string objects;
  for (int i = 0; i < 1000; ++i) objects += a3::Anonymous(a3::Str("k") + a3::Integer(i));
  const ValuesModel model(lso::Read(File(a3::Pair("nulls", a3::Array(1000000, "", nulls)) +
                                         a3::Pair("objects", a3::Array(1000, "", objects)))),
                          kTexts);
  VisibleRows rows(model);
  EXPECT_EQ(rows.Count(), 1u + 2 + 1000);
  ASSERT_TRUE(rows.Expand(rows.NodeAt(1)));
  EXPECT_EQ(rows.Count(), 1u + 2 + 1000000 + 1000);
  EXPECT_LT(rows.MemoryBytes(), 1024u);
  const Node last = rows.NodeAt(rows.Count() - 1);
  EXPECT_EQ(model.Text(last, ValuesModel::kName), "[999]");
  EXPECT_EQ(rows.RowOf(last), rows.Count() - 1);

  // Expanding all thousand objects holds one entry each.
  const Node objectsNode = rows.NodeAt(1 + 1 + 1000000);
  for (std::size_t i = 0; i < 1000; ++i) ASSERT_TRUE(rows.Expand(model.Child(objectsNode, i)));
  EXPECT_EQ(rows.Count(), 1u + 2 + 1000000 + 2000);
  EXPECT_LT(rows.MemoryBytes(), 1000u * 64);
  EXPECT_EQ(model.Text(rows.NodeAt(rows.Count() - 1), ValuesModel::kName), "k");
}

}  // namespace
}  // namespace vesk::test
