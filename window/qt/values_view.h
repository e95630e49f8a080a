#pragma once

// The Values tab in Qt: an item model read straight from the window logic's ValuesModel (nothing
// is copied: Qt asks for the rows it lays out and the cells it paints), the tree view that shows
// it and reports its input with the window logic's codes, and the adapters behind the Values
// controls of window/controls.h.

#include <QAbstractItemModel>
#include <QTreeView>
#include <array>
#include <functional>
#include <string>
#include <vector>

#include "window/controls.h"
#include "window/values.h"

class QTabWidget;

namespace vesk::qt {

// The rows of a ValuesModel as a Qt model. An index's internal id is the model's Node, so a
// row's parent and children come from the model without any table of our own.
class ValuesItemModel final : public QAbstractItemModel {
 public:
  explicit ValuesItemModel(QObject* parent) : QAbstractItemModel(parent) {}

  // Shows `values` (nullptr: nothing); it must stay alive until the next call.
  void SetValues(const window::ValuesModel* values);
  const window::ValuesModel* Values() const { return values_; }
  void SetCaptions(const std::array<QString, 3>& captions);
  // The texts of the rows changed with the language.
  void Retell();

  QModelIndex IndexOf(window::ValuesModel::Node node) const;
  static window::ValuesModel::Node NodeOf(const QModelIndex& index);

  QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
  QModelIndex parent(const QModelIndex& child) const override;
  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  bool hasChildren(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

 private:
  const window::ValuesModel* values_ = nullptr;
  std::array<QString, 3> captions_;
};

// The tree of the Values tab. Keys are reported before the tree applies them (Ctrl+C is the
// window logic's, not the tree's own copy of one cell); presses after the tree has made the row
// under the pointer current, so the menu's copy acts on the row clicked.
class ValuesTree final : public QTreeView {
 public:
  explicit ValuesTree(QWidget* parent);

  std::function<void(int keyCode, int shift)> keyDown;
  std::function<void(int button, int shift, float x, float y)> mouseDown;
  std::function<void()> doubleClick;

  ValuesItemModel& Rows() { return rows_; }
  // Shows `values` with its first level expanded.
  void Show(const window::ValuesModel* values);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  bool viewportEvent(QEvent* event) override;

 private:
  void FitColumns();

  ValuesItemModel rows_;
  bool columnsMoved_ = false;  // the user sized a column: leave the widths alone
  bool fitting_ = false;
};

class QtValuesView final : public window::ValuesView {
 public:
  explicit QtValuesView(ValuesTree& tree) : tree_(tree) {}
  void SetModel(const window::ValuesModel* model) override { tree_.Show(model); }
  void SetColumnCaptions(const std::string& name, const std::string& value, const std::string& type) override;
  std::vector<Node> SelectedRows() const override;
  std::optional<Node> CurrentRow() const override;
  void SelectRow(Node node) override;
  void Refresh() override { tree_.Rows().Retell(); }

 private:
  ValuesTree& tree_;
};

// The tabs of the lower-left area. Only the user's changes of the tab are reported.
class QtTabBar final : public window::TabBar {
 public:
  explicit QtTabBar(QTabWidget& tabs) : tabs_(tabs) {}
  void SetCaptions(const std::string& text, const std::string& values) override;
  void SetCurrent(int index) override;

 private:
  QTabWidget& tabs_;
};

class QtClipboard final : public window::Clipboard {
 public:
  void SetText(const std::string& text) override;
};

}  // namespace vesk::qt
