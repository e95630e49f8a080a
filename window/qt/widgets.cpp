#include "window/qt/widgets.h"

#include <QAction>
#include <QCheckBox>
#include <QKeyEvent>
#include <QMouseEvent>

#include "window/qt/cookie_view.h"
#include "window/qt/input.h"

namespace vesk::qt {

EventList::EventList(QWidget* parent) : QListWidget(parent) {}

void EventList::keyPressEvent(QKeyEvent* event) {
  if (keyDown) keyDown(VirtualKey(event->key()), ShiftState(event->modifiers()));
  // Read after the report: a deletion it ran may have refilled the list, which is no user move.
  const int before = currentRow();
  QListWidget::keyPressEvent(event);
  ClickIfCurrentMoved(before);
}

void EventList::mousePressEvent(QMouseEvent* event) {
  ReportMouse(mouseDown, *event);
  // Only the left button selects: a right press must leave the selection and the current item
  // as they were, so the popup's delete acts on what the user had selected.
  if (event->button() != Qt::LeftButton) {
    event->accept();
    return;
  }
  const bool onItem = itemAt(event->position().toPoint()) != nullptr;
  QListWidget::mousePressEvent(event);
  // Also a press on the item that is already current shows it again.
  if (onItem && currentRow() >= 0 && click) click();
}

void EventList::mouseDoubleClickEvent(QMouseEvent* event) {
  // Qt turns the second press of a double click into this event; it is a press all the same.
  mousePressEvent(event);
}

void EventList::mouseMoveEvent(QMouseEvent* event) {
  // Dragging with the left button moves the current item along; a drag with the right or middle
  // button held must not select, as their presses did not.
  const int before = currentRow();
  if ((event->buttons() & (Qt::RightButton | Qt::MiddleButton)) == Qt::NoButton) {
    QListWidget::mouseMoveEvent(event);
  }
  ClickIfCurrentMoved(before);
}

void EventList::mouseReleaseEvent(QMouseEvent* event) {
  // The list may settle its selection on release; the report must count the settled one.
  if (event->button() == Qt::LeftButton) QListWidget::mouseReleaseEvent(event);
  ReportMouse(mouseUp, *event);
}

void EventList::ReportMouse(const std::function<void(int, int, float, float)>& report,
                            const QMouseEvent& event) {
  if (!report) return;
  const QPoint at = viewport()->mapTo(this, event.position().toPoint());
  report(ButtonCode(event.button()), ShiftState(event.modifiers()), PixelsToTwips(at.x(), logicalDpiX()),
         PixelsToTwips(at.y(), logicalDpiY()));
}

void EventList::ClickIfCurrentMoved(int before) {
  if (currentRow() != before && currentRow() >= 0 && click) click();
}

ClickLabel::ClickLabel(QWidget* parent) : QLabel(parent) {}

void ClickLabel::mouseReleaseEvent(QMouseEvent* event) {
  QLabel::mouseReleaseEvent(event);
  if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()) && clicked) {
    clicked();
  }
}

QString ShownText(const std::string& text) {
  QString shown = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
  for (qsizetype i = shown.indexOf(QLatin1Char('\t')); i >= 0; i = shown.indexOf(QLatin1Char('\t'), i)) {
    const qsizetype lineStart = shown.lastIndexOf(QLatin1Char('\n'), i) + 1;
    const qsizetype blanks = 8 - (i - lineStart) % 8;
    shown.replace(i, 1, QString(blanks, QLatin1Char(' ')));
  }
  return shown;
}

QString LiteralCaption(const std::string& text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()))
      .replace(QLatin1Char('&'), QLatin1String("&&"));
}

void QtListBox::Clear() { list_.clear(); }

void QtListBox::AddItems(const std::vector<std::string>& texts) {
  if (texts.empty()) return;
  const int first = list_.count();
  QStringList shown;
  shown.reserve(static_cast<qsizetype>(texts.size()));
  for (const auto& text : texts) shown.append(ShownText(text));
  // One insertion for all rows; the exact bytes follow row by row.
  list_.addItems(shown);
  for (std::size_t i = 0; i < texts.size(); ++i) {
    list_.item(first + static_cast<int>(i))
        ->setData(Qt::UserRole, QByteArray(texts[i].data(), static_cast<qsizetype>(texts[i].size())));
  }
}

int QtListBox::ListCount() const { return list_.count(); }

int QtListBox::ListIndex() const { return list_.currentRow(); }

std::string QtListBox::List(int index) const {
  const QListWidgetItem* item = list_.item(index);
  if (item == nullptr) return {};
  return item->data(Qt::UserRole).toByteArray().toStdString();
}

bool QtListBox::Selected(int index) const {
  const QListWidgetItem* item = list_.item(index);
  return item != nullptr && item->isSelected();
}

void QtListBox::SetSelected(int index, bool selected) {
  if (QListWidgetItem* item = list_.item(index)) item->setSelected(selected);
}

void QtListBox::SelectAll() { list_.selectAll(); }

int QtListBox::SelCount() const {
  return static_cast<int>(list_.selectionModel()->selectedRows().size());
}

void QtListBox::SetVisible(bool visible) {
  if (!visible) {
    // Hiding a focused widget hands the focus on; remember to take it back when shown.
    focusBeforeHiding_ = list_.hasFocus() || list_.window()->focusWidget() == &list_;
    list_.hide();
    return;
  }
  list_.show();
  if (focusBeforeHiding_) list_.setFocus(Qt::OtherFocusReason);
  focusBeforeHiding_ = false;
}

void QtListBox::SetToolTip(const std::string& text) { list_.setToolTip(QString::fromUtf8(text)); }

QtTextBox::QtTextBox(CookieView& edit) : Placed(edit), edit_(edit) {}

void QtTextBox::SetText(const std::string& text) {
  edit_.ShowText(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
}

qsizetype QtTextBox::ShownLength() const { return edit_.TextLength(); }

QtCheckBox::QtCheckBox(QCheckBox& box) : Placed(box), box_(box) {}

int QtCheckBox::Value() const { return box_.isChecked() ? 1 : 0; }

void QtCheckBox::SetCaption(const std::string& text) { box_.setText(LiteralCaption(text)); }

void QtLabel::SetCaption(const std::string& text) { label_.setText(QString::fromUtf8(text)); }

void QtMenuItem::SetCaption(const std::string& text) { action_.setText(LiteralCaption(text)); }

}  // namespace vesk::qt
