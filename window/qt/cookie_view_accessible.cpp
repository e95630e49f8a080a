#include "window/qt/cookie_view_accessible.h"

#include <QAccessibleWidget>
#include <QScrollBar>
#include <algorithm>
#include <climits>

#include "window/qt/cookie_view.h"

namespace vesk::qt {

// What a plain text edit tells assistive technology: its text, the caret and the selection, and
// where each character is on screen. Offsets are ints there; a text longer than that is told up
// to INT_MAX characters.
class CookieViewAccessible final : public QAccessibleWidget, public QAccessibleTextInterface {
 public:
  explicit CookieViewAccessible(CookieView* view) : QAccessibleWidget(view, QAccessible::EditableText) {}

  void* interface_cast(QAccessible::InterfaceType type) override {
    if (type == QAccessible::TextInterface) return static_cast<QAccessibleTextInterface*>(this);
    return QAccessibleWidget::interface_cast(type);
  }

  QAccessible::State state() const override {
    QAccessible::State state = QAccessibleWidget::state();
    state.editable = true;
    state.multiLine = true;
    state.selectableText = true;
    return state;
  }

  QString text(QAccessible::Text which) const override {
    if (which == QAccessible::Value) return View().Text();  // shares the string, copies nothing
    return QAccessibleWidget::text(which);
  }

  void selection(int index, int* start, int* end) const override {
    *start = *end = 0;
    if (index != 0 || selectionCount() == 0) return;
    *start = Offset(std::min(View().Anchor(), View().Caret()));
    *end = Offset(std::max(View().Anchor(), View().Caret()));
  }
  int selectionCount() const override { return View().Anchor() != View().Caret() ? 1 : 0; }
  void addSelection(int start, int end) override { setSelection(0, start, end); }
  void removeSelection(int index) override {
    if (index == 0) View().SetSelection(View().Caret(), View().Caret());
  }
  void setSelection(int index, int start, int end) override {
    if (index == 0) View().SetSelection(start, end);
  }

  int cursorPosition() const override { return Offset(View().Caret()); }
  void setCursorPosition(int position) override { View().SetSelection(position, position); }

  QString text(int start, int end) const override {
    const qsizetype size = View().TextLength();
    const qsizetype from = std::clamp<qsizetype>(start, 0, size);
    const qsizetype to = end < 0 ? size : std::clamp<qsizetype>(end, from, size);
    return View().Text().mid(from, to - from);
  }
  int characterCount() const override { return Offset(View().TextLength()); }

  QRect characterRect(int offset) const override {
    CookieView& view = View();
    if (offset < 0 || offset > view.TextLength()) return {};
    const QPointF at = view.CaretPoint(offset);
    const qreal width = offset < view.TextLength() ? view.fontMetrics().horizontalAdvance(view.Text()[offset]) : 1;
    const QRectF box(at, QSizeF(width, view.lineHeight_));
    return QRect(view.viewport()->mapToGlobal(box.topLeft().toPoint()), box.size().toSize());
  }
  int offsetAtPoint(const QPoint& point) const override {
    CookieView& view = View();
    const QPoint at = view.viewport()->mapFromGlobal(point);
    if (!view.viewport()->rect().contains(at)) return -1;
    return Offset(view.PositionAt(at));
  }
  void scrollToSubstring(int start, int /*end*/) override {
    CookieView& view = View();
    view.ScrollTo(view.LineOf(std::clamp<qsizetype>(start, 0, view.TextLength())));
  }
  QString attributes(int offset, int* start, int* end) const override {
    // Plain text: one run without attributes.
    *start = 0;
    *end = characterCount();
    (void)offset;
    return {};
  }

 private:
  CookieView& View() const { return *static_cast<CookieView*>(widget()); }
  static int Offset(qsizetype position) { return static_cast<int>(std::min<qsizetype>(position, INT_MAX)); }
};

namespace {

QAccessibleInterface* Factory(const QString& /*className*/, QObject* object) {
  if (auto* view = dynamic_cast<CookieView*>(object)) return new CookieViewAccessible(view);
  return nullptr;
}

}  // namespace

void InstallCookieViewAccessibility() {
  static const bool installed = [] {
    QAccessible::installFactory(Factory);
    return true;
  }();
  (void)installed;
}

}  // namespace vesk::qt
