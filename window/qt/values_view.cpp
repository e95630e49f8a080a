#include "window/qt/values_view.h"

#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScopedValueRollback>
#include <QSignalBlocker>
#include <QStyle>
#include <QTabWidget>
#include <algorithm>
#include <climits>

#include "window/qt/input.h"
#include "window/qt/twips.h"
#include "window/qt/widgets.h"

namespace vesk::qt {
namespace {

using Node = window::ValuesModel::Node;
static_assert(sizeof(quintptr) >= sizeof(Node), "an index's internal id holds a whole node");

int Clamped(std::size_t n) { return static_cast<int>(std::min<std::size_t>(n, INT_MAX)); }

QString FromUtf8(const std::string& text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

// Where a row stands in the tree, from the top, for putting rows in the order shown.
std::vector<int> PathOf(QModelIndex index) {
  std::vector<int> path;
  for (; index.isValid(); index = index.parent()) path.push_back(index.row());
  std::reverse(path.begin(), path.end());
  return path;
}

// What the name and value columns take of the width until the user sizes a column; the type
// column has the rest.
constexpr std::array<double, 2> kShares = {0.4, 0.35};

}  // namespace

void ValuesItemModel::SetValues(const window::ValuesModel* values) {
  beginResetModel();
  values_ = values;
  endResetModel();
}

void ValuesItemModel::SetCaptions(const std::array<QString, 3>& captions) {
  captions_ = captions;
  emit headerDataChanged(Qt::Horizontal, 0, 2);
}

void ValuesItemModel::Retell() {
  // Only the first level has rows that are not values; deeper rows are asked for afresh when
  // they are painted.
  const int rows = rowCount();
  if (rows > 0) emit dataChanged(index(0, 0), index(rows - 1, 2));
}

Node ValuesItemModel::NodeOf(const QModelIndex& index) {
  return index.isValid() ? static_cast<Node>(index.internalId()) : window::ValuesModel::kRoot;
}

QModelIndex ValuesItemModel::IndexOf(Node node) const {
  if (!values_ || node == window::ValuesModel::kRoot) return {};
  return createIndex(Clamped(values_->Row(node)), 0, static_cast<quintptr>(node));
}

QModelIndex ValuesItemModel::index(int row, int column, const QModelIndex& parent) const {
  if (!values_ || row < 0 || column < 0 || column > 2 || parent.column() > 0) return {};
  const Node up = NodeOf(parent);
  if (static_cast<std::size_t>(row) >= values_->RowCount(up)) return {};
  return createIndex(row, column, static_cast<quintptr>(values_->Child(up, static_cast<std::size_t>(row))));
}

QModelIndex ValuesItemModel::parent(const QModelIndex& child) const {
  if (!values_ || !child.isValid()) return {};
  return IndexOf(values_->Parent(NodeOf(child)));
}

int ValuesItemModel::rowCount(const QModelIndex& parent) const {
  if (!values_ || parent.column() > 0) return 0;
  return Clamped(values_->RowCount(NodeOf(parent)));
}

int ValuesItemModel::columnCount(const QModelIndex& /*parent*/) const { return 3; }

bool ValuesItemModel::hasChildren(const QModelIndex& parent) const {
  if (!values_ || parent.column() > 0) return false;
  return values_->HasChildren(NodeOf(parent));
}

QVariant ValuesItemModel::data(const QModelIndex& index, int role) const {
  if (!values_ || !index.isValid()) return {};
  const Node node = NodeOf(index);
  switch (role) {
    case Qt::DisplayRole:
      return FromUtf8(values_->Text(node, static_cast<window::ValuesModel::Column>(index.column())));
    case Qt::ToolTipRole: {
      const std::string whole = values_->ToolTip(node);
      if (!whole.empty()) return FromUtf8(whole);
      return {};
    }
    case Qt::DecorationRole:
      // Problems carry the style's own warning sign, in whatever colours the desktop uses.
      if (index.column() == 0 && values_->IsProblem(node)) {
        return QApplication::style()->standardIcon(QStyle::SP_MessageBoxWarning);
      }
      return {};
    default: return {};
  }
}

QVariant ValuesItemModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section > 2) return {};
  return captions_[static_cast<std::size_t>(section)];
}

Qt::ItemFlags ValuesItemModel::flags(const QModelIndex& index) const {
  if (!values_ || !index.isValid()) return Qt::NoItemFlags;
  Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
  // Saves the view asking a leaf for its children again and again.
  if (!values_->HasChildren(NodeOf(index))) flags |= Qt::ItemNeverHasChildren;
  return flags;
}

ValuesTree::ValuesTree(QWidget* parent) : QTreeView(parent), rows_(this) {
  // One height for all rows: the view never measures rows one by one, so a file of 100,000
  // values is laid out as fast as a small one.
  setUniformRowHeights(true);
  setSelectionMode(QAbstractItemView::ExtendedSelection);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setAllColumnsShowFocus(true);
  setModel(&rows_);
  header()->setStretchLastSection(false);
  header()->setSectionResizeMode(QHeaderView::Interactive);
  connect(header(), &QHeaderView::sectionResized, this, [this] {
    if (!fitting_) columnsMoved_ = true;
  });
}

void ValuesTree::Show(const window::ValuesModel* values) {
  // A new model resets the header's sections; the widths stay.
  std::array<int, 3> widths{};
  for (int i = 0; i < 3; ++i) widths[static_cast<std::size_t>(i)] = header()->sectionSize(i);
  {
    const QScopedValueRollback fitting(fitting_, true);
    rows_.SetValues(values);
    for (int i = 0; i < 3; ++i) header()->resizeSection(i, widths[static_cast<std::size_t>(i)]);
  }
  if (!values) return;
  // Expanded before the next layout, which then lays the whole first level out in one pass.
  scheduleDelayedItemsLayout();
  const std::size_t rows = std::min<std::size_t>(values->RowCount(window::ValuesModel::kRoot), INT_MAX);
  for (std::size_t row = 0; row < rows; ++row) {
    const Node node = values->Child(window::ValuesModel::kRoot, row);
    if (values->ExpandedAtFirst(node)) expand(rows_.index(static_cast<int>(row), 0));
  }
}

void ValuesTree::keyPressEvent(QKeyEvent* event) {
  if (keyDown) keyDown(VirtualKey(event->key()), ShiftState(event->modifiers()));
  // The tree's own copy would take the current cell alone; the window logic copied already.
  if (event->matches(QKeySequence::Copy)) {
    event->accept();
    return;
  }
  QTreeView::keyPressEvent(event);
}

void ValuesTree::mousePressEvent(QMouseEvent* event) {
  QTreeView::mousePressEvent(event);
  if (!mouseDown) return;
  const QPoint at = viewport()->mapTo(this, event->position().toPoint());
  mouseDown(ButtonCode(event->button()), ShiftState(event->modifiers()), PixelsToTwips(at.x(), logicalDpiX()),
            PixelsToTwips(at.y(), logicalDpiY()));
}

void ValuesTree::mouseDoubleClickEvent(QMouseEvent* event) {
  QTreeView::mouseDoubleClickEvent(event);
  if (event->button() == Qt::LeftButton && indexAt(event->position().toPoint()).isValid() && doubleClick) {
    doubleClick();
  }
}

bool ValuesTree::viewportEvent(QEvent* event) {
  // The viewport, not the tree, changes width when a scroll bar comes or goes.
  if (event->type() == QEvent::Resize) FitColumns();
  return QTreeView::viewportEvent(event);
}

void ValuesTree::FitColumns() {
  if (columnsMoved_) return;
  const QScopedValueRollback fitting(fitting_, true);
  const int width = viewport()->width();
  int rest = width;
  for (int i = 0; i < 2; ++i) {
    const int share = static_cast<int>(width * kShares[static_cast<std::size_t>(i)]);
    header()->resizeSection(i, share);
    rest -= share;
  }
  header()->resizeSection(2, std::max(rest, header()->minimumSectionSize()));
}

void QtValuesView::SetColumnCaptions(const std::string& name, const std::string& value, const std::string& type) {
  tree_.Rows().SetCaptions({FromUtf8(name), FromUtf8(value), FromUtf8(type)});
}

std::vector<QtValuesView::Node> QtValuesView::SelectedRows() const {
  std::vector<std::pair<std::vector<int>, Node>> rows;
  for (const QModelIndex& index : tree_.selectionModel()->selectedRows(0)) {
    rows.emplace_back(PathOf(index), ValuesItemModel::NodeOf(index));
  }
  std::sort(rows.begin(), rows.end());
  std::vector<Node> nodes;
  nodes.reserve(rows.size());
  for (const auto& row : rows) nodes.push_back(row.second);
  return nodes;
}

std::optional<QtValuesView::Node> QtValuesView::CurrentRow() const {
  const QModelIndex current = tree_.currentIndex();
  if (!current.isValid()) return std::nullopt;
  return ValuesItemModel::NodeOf(current);
}

void QtValuesView::SelectRow(Node node) {
  const QModelIndex index = tree_.Rows().IndexOf(node);
  if (!index.isValid()) return;
  for (QModelIndex up = index.parent(); up.isValid(); up = up.parent()) tree_.expand(up);
  tree_.selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  tree_.scrollTo(index);
}

void QtTabBar::SetCaptions(const std::string& text, const std::string& values) {
  tabs_.setTabText(0, LiteralCaption(text));
  tabs_.setTabText(1, LiteralCaption(values));
}

void QtTabBar::SetCurrent(int index) {
  const QSignalBlocker programChange(tabs_);
  tabs_.setCurrentIndex(index);
}

void QtClipboard::SetText(const std::string& text) { QGuiApplication::clipboard()->setText(FromUtf8(text)); }

}  // namespace vesk::qt
