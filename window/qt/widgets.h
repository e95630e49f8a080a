#pragma once

// The Qt widgets behind the abstract controls of window/controls.h: widgets that report their
// input through callbacks, and one adapter per control kind.

#include <QAbstractListModel>
#include <QLabel>
#include <QListView>
#include <QStyledItemDelegate>
#include <functional>
#include <string>
#include <vector>

#include "window/controls.h"
#include "window/qt/twips.h"

class QAction;
class QCheckBox;

namespace vesk::qt {

class CookieView;

// The rows of a list box. Each keeps the exact bytes it was given (a path need not be valid
// UTF-8); what it shows is a lossy UTF-8 reading with TABs expanded, made when it is drawn.
class RowModel final : public QAbstractListModel {
 public:
  int rowCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  void Clear();
  void Append(const std::vector<std::string>& rows);
  const std::string& Bytes(int row) const { return rows_[static_cast<std::size_t>(row)]; }

 private:
  std::vector<std::string> rows_;
};

// Draws rows as the standard delegate does, but gives every row the width of the widest, so a
// view of uniform rows still scrolls to the end of the longest one.
class WidestRowDelegate final : public QStyledItemDelegate {
 public:
  explicit WidestRowDelegate(QObject* parent) : QStyledItemDelegate(parent) {}
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
  QSize OwnSize(const QStyleOptionViewItem& option, const QModelIndex& index) const {
    return QStyledItemDelegate::sizeHint(option, index);
  }
  int widest = 0;
};

// A list box that reports key and mouse input with the window logic's codes (positions in
// twips). The key report comes before the list applies the key; the list still applies it.
// `click` is the user making an item current by mouse or keyboard: changes made by the program
// (clearing, filling, select-all) never raise it.
// All rows have one height, so the view never measures them one by one: filling 100,000 rows
// costs only the few that are measured for the widest.
class EventList final : public QListView {
 public:
  explicit EventList(QWidget* parent);

  std::function<void(int keyCode, int shift)> keyDown;
  std::function<void(int button, int shift, float x, float y)> mouseDown;
  std::function<void(int button, int shift, float x, float y)> mouseUp;
  std::function<void()> click;

  RowModel& Rows() { return rows_; }
  const RowModel& Rows() const { return rows_; }
  int count() const { return rows_.rowCount(); }
  int currentRow() const { return currentIndex().row(); }
  // Appends rows, widening the rows when one of them is the new widest.
  void Append(const std::vector<std::string>& rows);
  void Clear();

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  void ReportMouse(const std::function<void(int, int, float, float)>& report, const QMouseEvent& event);
  void ClickIfCurrentMoved(int before);

  RowModel rows_;
  WidestRowDelegate* delegate_;
};

// A label that reports a left click (press and release on it).
class ClickLabel final : public QLabel {
 public:
  explicit ClickLabel(QWidget* parent);
  std::function<void()> clicked;

 protected:
  void mouseReleaseEvent(QMouseEvent* event) override;
};

// Move and size in twips for any control interface.
template <class Interface>
class Placed : public Interface {
 public:
  explicit Placed(QWidget& widget) : widget_(widget) {}
  void Move(float left, std::optional<float> top, std::optional<float> width,
            std::optional<float> height) override {
    MoveInTwips(widget_, left, top, width, height);
  }
  float Width() const override { return WidthInTwips(widget_); }
  float Height() const override { return HeightInTwips(widget_); }

 private:
  QWidget& widget_;
};

class QtListBox final : public Placed<window::ListBox> {
 public:
  explicit QtListBox(EventList& list) : Placed(list), list_(list) {}
  void Clear() override;
  void AddItem(const std::string& text) override { AddItems({text}); }
  void AddItems(const std::vector<std::string>& texts) override;
  int ListCount() const override;
  int ListIndex() const override;
  std::string List(int index) const override;
  bool Selected(int index) const override;
  void SetSelected(int index, bool selected) override;
  void SelectAll() override;
  int SelCount() const override;
  void SetVisible(bool visible) override;
  void SetToolTip(const std::string& text) override;

 private:
  EventList& list_;
  bool focusBeforeHiding_ = false;
};

// The text view; `placed` is what the layout moves, the view itself or what holds it.
class QtTextBox final : public Placed<window::TextBox> {
 public:
  QtTextBox(CookieView& edit, QWidget& placed);
  void SetText(const std::string& text) override;
  void SetText(platform::Utf16String&& text) override;
  // The number of characters the view holds, as the user would copy them.
  qsizetype ShownLength() const;

 private:
  CookieView& edit_;
};

class QtCheckBox final : public Placed<window::CheckBox> {
 public:
  explicit QtCheckBox(QCheckBox& box);
  int Value() const override;
  void SetCaption(const std::string& text) override;

 private:
  QCheckBox& box_;
};

class QtLabel final : public Placed<window::Label> {
 public:
  explicit QtLabel(QLabel& label) : Placed(label), label_(label) {}
  void SetCaption(const std::string& text) override;

 private:
  QLabel& label_;
};

class QtMenuItem final : public window::MenuItem {
 public:
  explicit QtMenuItem(QAction& action) : action_(action) {}
  void SetCaption(const std::string& text) override;

 private:
  QAction& action_;
};

// The text a row shows: TABs become blanks up to the next eighth column, as a list box without
// tab stops cannot align them.
QString ShownText(const std::string& text);
// A caption where '&' stands for itself instead of marking a mnemonic.
QString LiteralCaption(const std::string& text);

}  // namespace vesk::qt
