#pragma once

// The text view of Text1: multi-line, wrapping at word boundaries (and anywhere in a word longer
// than a line), editable, for cookie texts of tens of megabytes. QPlainTextEdit builds a document
// of the whole text and lays paragraphs out whole, which takes seconds for a cookie of 16 MiB
// that is one paragraph. This view keeps the text as one string, finds where lines start only as
// far as the screen or the caret needs (line_starts.h: the same places Qt's own layout would
// break them), and lays out with Qt's text layout only the lines on screen. It answers the keys,
// mouse, clipboard and context menu of a plain text edit; what the user copies is exactly the
// text.

#include <QAbstractScrollArea>
#include <QBasicTimer>
#include <QString>
#include <memory>
#include <vector>

#include "platform/platform.h"

class QMenu;
class QTextLayout;

namespace vesk::qt {

class LineStarts;

class CookieView final : public QAbstractScrollArea {
 public:
  explicit CookieView(QWidget* parent);
  ~CookieView() override;

  // Shows `text` from its start, with nothing selected and nothing to undo.
  void ShowText(const QString& text);
  // The same without a copy: the view keeps `text` as its own until the first edit.
  void ShowText(platform::Utf16String&& text);
  const QString& Text() const { return text_; }
  qsizetype TextLength() const { return text_.size(); }
  // As a plain text edit names them.
  QString toPlainText() const { return text_; }
  void setPlainText(const QString& text) { ShowText(text); }
  void clear() { ShowText(QString()); }

  // The selection runs from `anchor` to the caret (positions in the text, 0 to its length);
  // the view scrolls to the caret unless told not to, as select-all does not.
  void SetSelection(qsizetype anchor, qsizetype caret, bool showCaret = true);
  qsizetype Anchor() const { return anchor_; }
  qsizetype Caret() const { return caret_; }
  void selectAll() { SetSelection(0, text_.size(), false); }
  void copy() const;
  void cut();
  void paste();
  void undo();
  void redo();
  bool IsUndoAvailable() const { return done_ > 0; }

  // What is on screen: the first line shown, and where lines start as far as they are known.
  // Tests read them; the view itself knows no more lines than it had to find.
  qsizetype TopLine() const { return top_; }
  qsizetype VisibleLines() const;
  const std::vector<qsizetype>& KnownLineStarts() const { return lines_; }
  // Every line's start, finding them to the end of the text.
  const std::vector<qsizetype>& AllLineStarts();
  // The text of line `line`, without the line break that may end it.
  QString LineText(qsizetype line);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void changeEvent(QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void inputMethodEvent(QInputMethodEvent* event) override;
  QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void timerEvent(QTimerEvent* event) override;

 private:
  friend class CookieViewAccessible;  // reads lines and places as the view finds them

  // Lines.
  void Relayout();
  void Need(qsizetype position, qsizetype lineCount);
  qsizetype LineOf(qsizetype position);
  qsizetype LineEnd(qsizetype line);  // before the break that ends its paragraph, if any
  qsizetype LastCaretPlace(qsizetype line);
  void ForgetFrom(qsizetype position);
  qreal LineWidth() const;
  QTextLayout& Layout(qsizetype line);
  qsizetype PositionAt(QPointF point);
  QPointF CaretPoint(qsizetype position);
  void ScrollTo(qsizetype topLine);
  void ShowCaret();
  void TellCaret();

  // Editing.
  void Replace(qsizetype from, qsizetype to, const QString& with, bool mergeTyping);
  void ReplaceSelection(const QString& with, bool typing = false);
  qsizetype Grapheme(qsizetype position, bool forward) const;  // the next or previous character's edge
  qsizetype PreviousCodePoint(qsizetype position) const;
  qsizetype Left(qsizetype position, bool word) const;
  qsizetype Right(qsizetype position, bool word) const;
  void MoveTo(qsizetype position, bool extend, bool keepColumn = false);
  void TakeOwnership();
  QMenu* ContextMenu();
  void RestartBlink();

  QString text_;
  platform::Utf16String owned_;  // the text's storage while it is unedited (ShowText without a copy)
  std::vector<qsizetype> lines_{0};
  bool complete_ = false;
  // The paragraph whose lines are being found.
  qsizetype paragraphStart_ = -1, paragraphEnd_ = 0;
  bool paragraphCut_ = false;  // the piece ends before the paragraph does
  QString paragraph_;
  std::unique_ptr<LineStarts> paragraphLines_;
  qreal lineHeight_ = 1;
  qreal wrapWidth_ = 0;  // the line width the lines were found for

  struct CachedLine {
    qsizetype start = -1, end = -1;
    std::unique_ptr<QTextLayout> layout;
  };
  std::vector<CachedLine> cache_;  // laid-out lines, a few screens' worth

  qsizetype top_ = 0;
  qsizetype anchor_ = 0;
  qsizetype caret_ = 0;
  qreal column_ = -1;  // the x that Up and Down keep; negative: the caret's own
  bool dragging_ = false;
  bool caretShown_ = true;
  QBasicTimer blink_;

  struct Edit {
    qsizetype at;
    QString removed, inserted;
    qsizetype anchorBefore, caretBefore;
  };
  std::vector<Edit> edits_;
  std::size_t done_ = 0;  // edits_[0, done_) are done; the rest can be redone
  bool mergeable_ = false;
};

}  // namespace vesk::qt
