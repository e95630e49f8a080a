#include "window/qt/cookie_view.h"

#include <QAccessible>
#include <QApplication>
#include <QBuffer>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QStyleHints>
#include <QTextBoundaryFinder>
#include <QTextDocumentFragment>
#include <QTextDocumentWriter>
#include <QTextLayout>
#include <algorithm>
#include <climits>
#include <cmath>

#include "window/qt/cookie_view_accessible.h"
#include "window/qt/line_starts.h"

namespace vesk::qt {
namespace {

// As QPlainTextEdit places its text: this far from the viewport's edges.
constexpr qreal kMargin = 4;
// Laid-out lines kept for repainting, a few screens' worth.
constexpr std::size_t kCachedLines = 256;

// The characters that end a paragraph, as the text document takes them.
bool IsBreak(QChar c) {
  const char16_t u = c.unicode();
  return u <= u'\r' ? u == u'\n' || u == u'\r' : u == u'\u2029' || u == u'\uFDD0' || u == u'\uFDD1';
}

// The first break at or after `from`, looking no further than `end`.
qsizetype NextBreak(const QString& text, qsizetype from, qsizetype end) {
  const QChar* s = text.constData();
  while (from < end && !IsBreak(s[from])) ++from;
  return from;
}

// Lines are found in pieces of a paragraph this long, so that a paragraph of millions of
// characters is not read to its end to show its start.
constexpr qsizetype kPiece = qsizetype{1} << 16;

// CR LF counts as one break.
qsizetype BreakLength(const QString& text, qsizetype at) {
  return text[at] == u'\r' && at + 1 < text.size() && text[at + 1] == u'\n' ? 2 : 1;
}

bool IsBlank(QChar c) { return c == u' ' || c == u'\t'; }

QTextOption WrapOption() {
  QTextOption option;
  option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
  return option;
}

// What QPlainTextEdit offers when text is copied, made only when a program asks for it.
class CopiedText final : public QMimeData {
 public:
  explicit CopiedText(QString text) : text_(std::move(text)) {}
  QStringList formats() const override {
    return {QStringLiteral("text/plain"), QStringLiteral("text/html"), QStringLiteral("text/markdown"),
            QStringLiteral("application/vnd.oasis.opendocument.text")};
  }
  bool hasFormat(const QString& format) const override { return formats().contains(format); }

 protected:
  QVariant retrieveData(const QString& format, QMetaType type) const override {
    if (!made_) {
      made_ = true;
      auto& self = const_cast<CopiedText&>(*this);
      const QTextDocumentFragment fragment = QTextDocumentFragment::fromPlainText(text_);
      self.setData(QStringLiteral("text/html"), fragment.toHtml().toUtf8());
      self.setData(QStringLiteral("text/markdown"), fragment.toMarkdown().toUtf8());
      QBuffer odf;
      QTextDocumentWriter writer(&odf, "ODF");
      writer.write(fragment);
      self.setData(QStringLiteral("application/vnd.oasis.opendocument.text"), odf.data());
      self.setText(fragment.toPlainText());
    }
    return QMimeData::retrieveData(format, type);
  }

 private:
  QString text_;
  mutable bool made_ = false;
};

}  // namespace

CookieView::CookieView(QWidget* parent) : QAbstractScrollArea(parent) {
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setFocusPolicy(Qt::StrongFocus);
  setAttribute(Qt::WA_InputMethodEnabled);
  viewport()->setCursor(Qt::IBeamCursor);
  viewport()->setBackgroundRole(QPalette::Base);
  viewport()->setAutoFillBackground(false);
  Relayout();
  InstallCookieViewAccessibility();
}

CookieView::~CookieView() = default;

void CookieView::ShowText(const QString& text) {
  text_ = text;
  owned_.clear();  // after text_ no longer points into it
  owned_.shrink_to_fit();
  anchor_ = caret_ = top_ = 0;
  column_ = -1;
  edits_.clear();
  done_ = 0;
  mergeable_ = false;
  ForgetFrom(0);
  viewport()->update();
  TellCaret();
}

void CookieView::ShowText(platform::Utf16String&& text) {
  ShowText(QString());
  owned_ = std::move(text);
  text_ = QString::fromRawData(reinterpret_cast<const QChar*>(owned_.data()), static_cast<qsizetype>(owned_.size()));
}

void CookieView::TakeOwnership() {
  if (owned_.empty()) return;
  text_ = QString(text_.constData(), text_.size());  // a copy of its own before the storage goes
  owned_.clear();
  owned_.shrink_to_fit();
  // The lines stay where they are; what pointed into the old storage goes.
  paragraphStart_ = -1;
  cache_.clear();
}

// Lines ----------------------------------------------------------------------------------------

qreal CookieView::LineWidth() const { return std::max<qreal>(1, viewport()->width() - 2 * kMargin); }

void CookieView::Relayout() {
  QTextLayout probe(QStringLiteral("x"), font());
  probe.beginLayout();
  QTextLine line = probe.createLine();
  probe.endLayout();
  lineHeight_ = std::max<qreal>(1, line.isValid() ? line.height() : QFontMetricsF(font()).height());
  wrapWidth_ = LineWidth();
  paragraphLines_ = std::make_unique<LineStarts>(font(), wrapWidth_, WrapOption());
  ForgetFrom(0);
}

void CookieView::ForgetFrom(qsizetype position) {
  // A line's start follows from the text of the line before it and the word that begins it,
  // which lie within about two lines' width: starts well before the change stay as they were.
  const qsizetype reach = 2 * paragraphLines_->Columns() + 64;
  std::size_t keep = 1;
  while (keep < lines_.size() && lines_[keep] + reach < position) ++keep;
  lines_.resize(keep);
  complete_ = false;
  paragraphStart_ = -1;
  cache_.clear();
}

void CookieView::Need(qsizetype position, qsizetype lineCount) {
  while (!complete_ && (lines_.back() <= position || static_cast<qsizetype>(lines_.size()) < lineCount)) {
    const qsizetype start = lines_.back();
    if (paragraphStart_ < 0) {
      // Lines are found from a known line start to the end of its paragraph, a piece at a time.
      paragraphStart_ = start;
      const qsizetype limit = std::min(text_.size(), start + kPiece);
      paragraphEnd_ = NextBreak(text_, start, limit);
      paragraphCut_ = paragraphEnd_ == limit && limit < text_.size();
      paragraph_ = QString::fromRawData(text_.constData() + start, paragraphEnd_ - start);
      paragraphLines_->SetText(paragraph_);
    }
    qsizetype next = paragraphStart_ + paragraphLines_->Next(start - paragraphStart_);
    // Near the end of a piece that the paragraph goes on after, a line might break otherwise
    // than with the rest in view: find it again with the next piece.
    if (paragraphCut_ && start > paragraphStart_ && next + 4 * paragraphLines_->Columns() + 256 > paragraphEnd_) {
      paragraphStart_ = -1;
      continue;
    }
    if (next >= paragraphEnd_) {
      if (paragraphEnd_ >= text_.size()) {
        complete_ = true;
        break;
      }
      next = paragraphEnd_ + BreakLength(text_, paragraphEnd_);
      paragraphStart_ = -1;
    }
    lines_.push_back(next);
  }
}

const std::vector<qsizetype>& CookieView::AllLineStarts() {
  Need(text_.size(), 0);
  return lines_;
}

qsizetype CookieView::LineOf(qsizetype position) {
  Need(position, 0);
  return static_cast<qsizetype>(std::upper_bound(lines_.begin(), lines_.end(), position) - lines_.begin()) - 1;
}

qsizetype CookieView::LineEnd(qsizetype line) {
  Need(0, line + 2);
  const auto at = static_cast<std::size_t>(line);
  const qsizetype start = lines_[at];
  qsizetype end = at + 1 < lines_.size() ? lines_[at + 1] : text_.size();
  // A line that ends its paragraph ends before the break; no other line ends in one.
  if (end > start && IsBreak(text_.at(end - 1))) {
    --end;
    if (end > start && text_.at(end) == u'\n' && text_.at(end - 1) == u'\r') --end;
  }
  return end;
}

qsizetype CookieView::LastCaretPlace(qsizetype line) {
  const qsizetype end = LineEnd(line);
  // Where a wrapped line ends the next one starts; the caret there stands on the next line.
  const auto next = static_cast<std::size_t>(line) + 1;
  if (next < lines_.size() && end == lines_[next] && end > lines_[static_cast<std::size_t>(line)]) return end - 1;
  return end;
}

QString CookieView::LineText(qsizetype line) {
  Need(0, line + 1);
  if (line >= static_cast<qsizetype>(lines_.size())) return {};
  const qsizetype start = lines_[static_cast<std::size_t>(line)];
  return text_.mid(start, LineEnd(line) - start);
}

qsizetype CookieView::VisibleLines() const {
  return std::max<qsizetype>(1, static_cast<qsizetype>((viewport()->height() - kMargin) / lineHeight_));
}

QTextLayout& CookieView::Layout(qsizetype line) {
  const qsizetype start = lines_[static_cast<std::size_t>(line)];
  const qsizetype end = LineEnd(line);
  for (CachedLine& cached : cache_) {
    if (cached.start == start && cached.end == end) return *cached.layout;
  }
  if (cache_.size() >= kCachedLines) cache_.erase(cache_.begin(), cache_.begin() + kCachedLines / 2);
  // Qt lays out and shapes only this line; where it breaks was decided already.
  auto layout = std::make_unique<QTextLayout>(text_.mid(start, end - start), font());
  QTextOption option;
  option.setWrapMode(QTextOption::NoWrap);
  layout->setTextOption(option);
  layout->setCacheEnabled(true);
  layout->beginLayout();
  layout->createLine();
  layout->endLayout();
  cache_.push_back({start, end, std::move(layout)});
  return *cache_.back().layout;
}

qsizetype CookieView::PositionAt(QPointF point) {
  const qsizetype row = point.y() < kMargin ? -1 : static_cast<qsizetype>((point.y() - kMargin) / lineHeight_);
  const qsizetype wanted = std::max<qsizetype>(0, top_ + row);
  Need(0, wanted + 1);
  const qsizetype line = std::min(wanted, static_cast<qsizetype>(lines_.size()) - 1);
  const qsizetype start = lines_[static_cast<std::size_t>(line)];
  const qsizetype at = start + Layout(line).lineAt(0).xToCursor(point.x() - kMargin);
  return std::clamp(at, start, LastCaretPlace(line));
}

QPointF CookieView::CaretPoint(qsizetype position) {
  const qsizetype line = LineOf(position);
  const qsizetype start = lines_[static_cast<std::size_t>(line)];
  const qreal x = Layout(line).lineAt(0).cursorToX(static_cast<int>(position - start));
  return {kMargin + x, kMargin + static_cast<qreal>(line - top_) * lineHeight_};
}

void CookieView::ScrollTo(qsizetype topLine) {
  Need(0, topLine + VisibleLines() + 1);
  topLine = std::max<qsizetype>(0, topLine);
  if (complete_) {
    // No further than the last line's coming to the bottom.
    topLine = std::min(topLine, std::max<qsizetype>(0, static_cast<qsizetype>(lines_.size()) - VisibleLines()));
  }
  topLine = std::min(topLine, static_cast<qsizetype>(lines_.size()) - 1);
  if (topLine == top_) return;
  top_ = topLine;
  viewport()->update();
}

void CookieView::ShowCaret() {
  const qsizetype line = LineOf(caret_);
  if (line < top_) {
    ScrollTo(line);
  } else if (line >= top_ + VisibleLines()) {
    ScrollTo(line - VisibleLines() + 1);
  }
  RestartBlink();
  updateMicroFocus();
}

// Painting -------------------------------------------------------------------------------------

void CookieView::paintEvent(QPaintEvent* event) {
  QPainter painter(viewport());
  painter.fillRect(event->rect(), palette().brush(QPalette::Base));
  painter.setPen(palette().color(QPalette::Text));
  const qsizetype rows = static_cast<qsizetype>(std::ceil((viewport()->height() - kMargin) / lineHeight_));
  Need(0, top_ + rows + 1);
  const qsizetype from = std::min(anchor_, caret_);
  const qsizetype to = std::max(anchor_, caret_);
  QTextCharFormat selected;
  selected.setBackground(palette().brush(QPalette::Highlight));
  selected.setForeground(palette().brush(QPalette::HighlightedText));
  const bool caretHere = hasFocus() && caretShown_;
  for (qsizetype row = 0; row < rows; ++row) {
    const qsizetype line = top_ + row;
    if (line >= static_cast<qsizetype>(lines_.size())) break;
    const QPointF at(kMargin, kMargin + static_cast<qreal>(row) * lineHeight_);
    if (at.y() > event->rect().bottom() || at.y() + lineHeight_ < event->rect().top()) continue;
    const qsizetype start = lines_[static_cast<std::size_t>(line)];
    const qsizetype end = LineEnd(line);
    QTextLayout& layout = Layout(line);
    QList<QTextLayout::FormatRange> selections;
    if (from < to && from < end && to > start) {
      const qsizetype a = std::max(from, start);
      const qsizetype b = std::min(to, end);
      selections.append({static_cast<int>(a - start), static_cast<int>(b - a), selected});
    }
    layout.draw(&painter, at, selections);
    if (caretHere && caret_ >= start && caret_ <= end && LineOf(caret_) == line) {
      layout.drawCursor(&painter, at, static_cast<int>(caret_ - start), 1);
    }
  }
}

void CookieView::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  if (LineWidth() == wrapWidth_) return;
  // Where the lines break moves; the first character shown stays the first shown.
  const qsizetype first = lines_[static_cast<std::size_t>(std::min<qsizetype>(top_, lines_.size() - 1))];
  Relayout();
  top_ = LineOf(first);
  viewport()->update();
}

void CookieView::changeEvent(QEvent* event) {
  QAbstractScrollArea::changeEvent(event);
  if (event->type() == QEvent::FontChange) {
    Relayout();
    top_ = 0;
    viewport()->update();
  }
}

void CookieView::RestartBlink() {
  caretShown_ = true;
  const int period = QGuiApplication::styleHints()->cursorFlashTime() / 2;
  if (hasFocus() && period > 0) {
    blink_.start(period, this);
  } else {
    blink_.stop();
  }
  viewport()->update();
}

void CookieView::timerEvent(QTimerEvent* event) {
  if (event->timerId() != blink_.timerId()) {
    QAbstractScrollArea::timerEvent(event);
    return;
  }
  caretShown_ = !caretShown_;
  viewport()->update();
}

void CookieView::focusInEvent(QFocusEvent* event) {
  QAbstractScrollArea::focusInEvent(event);
  RestartBlink();
}

void CookieView::focusOutEvent(QFocusEvent* event) {
  QAbstractScrollArea::focusOutEvent(event);
  blink_.stop();
  viewport()->update();
}

// Editing --------------------------------------------------------------------------------------

void CookieView::SetSelection(qsizetype anchor, qsizetype caret, bool showCaret) {
  anchor_ = std::clamp<qsizetype>(anchor, 0, text_.size());
  caret_ = std::clamp<qsizetype>(caret, 0, text_.size());
  mergeable_ = false;
  TellCaret();
  if (showCaret) {
    ShowCaret();
  } else {
    RestartBlink();
  }
}

void CookieView::MoveTo(qsizetype position, bool extend, bool keepColumn) {
  const qreal column = column_;
  SetSelection(extend ? anchor_ : position, position);
  if (keepColumn) column_ = column;
  if (!keepColumn) column_ = -1;
}

void CookieView::Replace(qsizetype from, qsizetype to, const QString& with, bool mergeTyping) {
  if (from == to && with.isEmpty()) return;
  TakeOwnership();
  edits_.resize(done_);
  // Characters typed one after another are undone together.
  if (mergeTyping && mergeable_ && !edits_.empty() && from == to &&
      edits_.back().at + edits_.back().inserted.size() == from) {
    edits_.back().inserted += with;
  } else {
    edits_.push_back({from, text_.mid(from, to - from), with, anchor_, caret_});
  }
  done_ = edits_.size();
  const QString removed = QAccessible::isActive() ? text_.mid(from, to - from) : QString();
  text_.replace(from, to - from, with);
  ForgetFrom(from);
  anchor_ = caret_ = from + with.size();
  column_ = -1;
  if (QAccessible::isActive()) {
    QAccessibleTextUpdateEvent event(this, static_cast<int>(std::min<qsizetype>(from, INT_MAX)), removed, with);
    QAccessible::updateAccessibility(&event);
  }
  ShowCaret();
  TellCaret();
  mergeable_ = mergeTyping;
}

void CookieView::TellCaret() {
  // A screen reader follows the caret and reads the line it lands on.
  if (!QAccessible::isActive()) return;
  QAccessibleTextCursorEvent event(this, static_cast<int>(std::min<qsizetype>(caret_, INT_MAX)));
  QAccessible::updateAccessibility(&event);
}

void CookieView::ReplaceSelection(const QString& with, bool typing) {
  Replace(std::min(anchor_, caret_), std::max(anchor_, caret_), with, typing && anchor_ == caret_);
}

void CookieView::undo() {
  if (done_ == 0) return;
  const Edit& edit = edits_[--done_];
  text_.replace(edit.at, edit.inserted.size(), edit.removed);
  ForgetFrom(edit.at);
  mergeable_ = false;
  SetSelection(edit.anchorBefore, edit.caretBefore);
}

void CookieView::redo() {
  if (done_ == edits_.size()) return;
  const Edit& edit = edits_[done_++];
  text_.replace(edit.at, edit.removed.size(), edit.inserted);
  ForgetFrom(edit.at);
  mergeable_ = false;
  const qsizetype after = edit.at + edit.inserted.size();
  SetSelection(after, after);
}

qsizetype CookieView::Grapheme(qsizetype position, bool forward) const {
  // Qt's rule for a user-perceived character, over its neighbourhood only.
  constexpr qsizetype kAround = 32;
  const qsizetype from = std::max<qsizetype>(0, position - kAround);
  const qsizetype to = std::min(text_.size(), position + kAround);
  QTextBoundaryFinder characters(QTextBoundaryFinder::Grapheme, text_.constData() + from, to - from);
  characters.setPosition(position - from);
  const qsizetype next = forward ? characters.toNextBoundary() : characters.toPreviousBoundary();
  if (next < 0) return forward ? to : from;
  qsizetype at = from + next;
  // CR LF counts as one.
  if (forward && at < text_.size() && at > 0 && text_.at(at - 1) == u'\r' && text_.at(at) == u'\n') ++at;
  if (!forward && at > 0 && text_.at(at) == u'\n' && text_.at(at - 1) == u'\r') --at;
  return at;
}

qsizetype CookieView::PreviousCodePoint(qsizetype position) const {
  if (position <= 0) return 0;
  qsizetype at = position - 1;
  if (at > 0 && text_.at(at).isLowSurrogate() && text_.at(at - 1).isHighSurrogate()) --at;
  if (at > 0 && text_.at(at) == u'\n' && text_.at(at - 1) == u'\r') --at;
  return at;
}

qsizetype CookieView::Left(qsizetype position, bool word) const {
  if (position <= 0) return 0;
  if (!word) return Grapheme(position, false);
  qsizetype at = position;
  while (at > 0 && IsBlank(text_.at(at - 1))) --at;
  while (at > 0 && !IsBlank(text_.at(at - 1)) && !IsBreak(text_.at(at - 1))) --at;
  return at;
}

qsizetype CookieView::Right(qsizetype position, bool word) const {
  const qsizetype n = text_.size();
  if (position >= n) return n;
  if (!word) return Grapheme(position, true);
  qsizetype at = position;
  while (at < n && !IsBlank(text_.at(at)) && !IsBreak(text_.at(at))) ++at;
  while (at < n && IsBlank(text_.at(at))) ++at;
  return at == position ? Right(position, false) : at;
}

void CookieView::copy() const {
  if (anchor_ == caret_) return;
  const qsizetype from = std::min(anchor_, caret_);
  QGuiApplication::clipboard()->setMimeData(new CopiedText(text_.mid(from, std::max(anchor_, caret_) - from)));
}

void CookieView::cut() {
  copy();
  ReplaceSelection(QString());
}

void CookieView::paste() {
  const QString pasted = QGuiApplication::clipboard()->text();
  if (!pasted.isEmpty()) ReplaceSelection(pasted);
}

void CookieView::keyPressEvent(QKeyEvent* event) {
  const auto is = [event](QKeySequence::StandardKey key) { return event->matches(key); };
  const qsizetype line = LineOf(caret_);
  const auto upDown = [&](qsizetype lines, bool extend) {
    if (column_ < 0) column_ = CaretPoint(caret_).x();
    const qsizetype target = std::max<qsizetype>(0, line + lines);
    Need(0, target + 1);
    const qsizetype to = std::min(target, static_cast<qsizetype>(lines_.size()) - 1);
    const qsizetype start = lines_[static_cast<std::size_t>(to)];
    const qsizetype at = start + Layout(to).lineAt(0).xToCursor(column_ - kMargin);
    MoveTo(std::clamp(at, start, LastCaretPlace(to)), extend, true);
  };
  const bool hasSelection = anchor_ != caret_;
  // The delete keys take the selection, where there is one, else [from, to).
  const auto erase = [&](qsizetype from, qsizetype to) {
    if (hasSelection) {
      ReplaceSelection(QString());
    } else {
      Replace(from, to, QString(), false);
    }
  };
  const std::pair<QKeySequence::StandardKey, void (*)(CookieView&)> commands[] = {
      {QKeySequence::SelectAll, [](CookieView& view) { view.selectAll(); }},
      {QKeySequence::Copy, [](CookieView& view) { view.copy(); }},
      {QKeySequence::Cut, [](CookieView& view) { view.cut(); }},
      {QKeySequence::Paste, [](CookieView& view) { view.paste(); }},
      {QKeySequence::Undo, [](CookieView& view) { view.undo(); }},
      {QKeySequence::Redo, [](CookieView& view) { view.redo(); }},
  };
  for (const auto& [key, run] : commands) {
    if (is(key)) {
      run(*this);
      event->accept();
      return;
    }
  }
  if (is(QKeySequence::MoveToNextChar)) {
    MoveTo(hasSelection ? std::max(anchor_, caret_) : Right(caret_, false), false);
  } else if (is(QKeySequence::MoveToPreviousChar)) {
    MoveTo(hasSelection ? std::min(anchor_, caret_) : Left(caret_, false), false);
  } else if (is(QKeySequence::SelectNextChar)) {
    MoveTo(Right(caret_, false), true);
  } else if (is(QKeySequence::SelectPreviousChar)) {
    MoveTo(Left(caret_, false), true);
  } else if (is(QKeySequence::MoveToNextWord) || is(QKeySequence::SelectNextWord)) {
    MoveTo(Right(caret_, true), is(QKeySequence::SelectNextWord));
  } else if (is(QKeySequence::MoveToPreviousWord) || is(QKeySequence::SelectPreviousWord)) {
    MoveTo(Left(caret_, true), is(QKeySequence::SelectPreviousWord));
  } else if (is(QKeySequence::MoveToNextLine) || is(QKeySequence::SelectNextLine)) {
    upDown(1, is(QKeySequence::SelectNextLine));
  } else if (is(QKeySequence::MoveToPreviousLine) || is(QKeySequence::SelectPreviousLine)) {
    upDown(-1, is(QKeySequence::SelectPreviousLine));
  } else if (is(QKeySequence::MoveToNextPage) || is(QKeySequence::SelectNextPage)) {
    ScrollTo(top_ + VisibleLines());
    upDown(VisibleLines(), is(QKeySequence::SelectNextPage));
  } else if (is(QKeySequence::MoveToPreviousPage) || is(QKeySequence::SelectPreviousPage)) {
    ScrollTo(top_ - VisibleLines());
    upDown(-VisibleLines(), is(QKeySequence::SelectPreviousPage));
  } else if (is(QKeySequence::MoveToStartOfLine) || is(QKeySequence::SelectStartOfLine) ||
             is(QKeySequence::MoveToStartOfBlock) || is(QKeySequence::SelectStartOfBlock)) {
    MoveTo(lines_[static_cast<std::size_t>(line)], is(QKeySequence::SelectStartOfLine) || is(QKeySequence::SelectStartOfBlock));
  } else if (is(QKeySequence::MoveToEndOfLine) || is(QKeySequence::SelectEndOfLine) ||
             is(QKeySequence::MoveToEndOfBlock) || is(QKeySequence::SelectEndOfBlock)) {
    MoveTo(LastCaretPlace(line), is(QKeySequence::SelectEndOfLine) || is(QKeySequence::SelectEndOfBlock));
  } else if (is(QKeySequence::MoveToStartOfDocument) || is(QKeySequence::SelectStartOfDocument)) {
    MoveTo(0, is(QKeySequence::SelectStartOfDocument));
  } else if (is(QKeySequence::MoveToEndOfDocument) || is(QKeySequence::SelectEndOfDocument)) {
    MoveTo(text_.size(), is(QKeySequence::SelectEndOfDocument));
  } else if (is(QKeySequence::Delete)) {
    erase(caret_, Right(caret_, false));
  } else if (is(QKeySequence::DeleteEndOfWord)) {
    erase(caret_, Right(caret_, true));
  } else if (is(QKeySequence::DeleteStartOfWord)) {
    erase(Left(caret_, true), caret_);
  } else if (event->key() == Qt::Key_Backspace && !(event->modifiers() & ~Qt::ShiftModifier)) {
    // As a plain text edit: one code point back, a combining mark without its base.
    erase(PreviousCodePoint(caret_), caret_);
  } else if (is(QKeySequence::InsertParagraphSeparator)) {
    ReplaceSelection(QStringLiteral("\n"));
  } else if (is(QKeySequence::InsertLineSeparator)) {
    ReplaceSelection(QString(QChar::LineSeparator));
  } else {
    const QString typed = event->text();
    const bool printable = !typed.isEmpty() && std::none_of(typed.begin(), typed.end(), [](QChar c) {
      return c.category() == QChar::Other_Control && c != u'\t';
    });
    // Ctrl and Alt combinations are shortcuts, except AltGr (both at once) on some keyboards.
    const auto modifiers = event->modifiers() & (Qt::ControlModifier | Qt::AltModifier);
    if (printable && (modifiers == Qt::NoModifier || modifiers == (Qt::ControlModifier | Qt::AltModifier))) {
      ReplaceSelection(typed, true);
    } else {
      event->ignore();
      return;
    }
  }
  event->accept();
}

void CookieView::inputMethodEvent(QInputMethodEvent* event) {
  if (!event->commitString().isEmpty()) ReplaceSelection(event->commitString(), true);
  event->accept();
}

QVariant CookieView::inputMethodQuery(Qt::InputMethodQuery query) const {
  auto& self = const_cast<CookieView&>(*this);
  switch (query) {
    case Qt::ImEnabled:
      return true;
    case Qt::ImCursorRectangle: {
      const QPointF at = self.CaretPoint(caret_) + QPointF(viewport()->pos());
      return QRectF(at, QSizeF(1, lineHeight_)).toRect();
    }
    case Qt::ImCursorPosition:
      return static_cast<int>(caret_);
    case Qt::ImAnchorPosition:
      return static_cast<int>(anchor_);
    case Qt::ImCurrentSelection:
      return text_.mid(std::min(anchor_, caret_), std::abs(anchor_ - caret_));
    default:
      return QAbstractScrollArea::inputMethodQuery(query);
  }
}

// Mouse ----------------------------------------------------------------------------------------

void CookieView::mousePressEvent(QMouseEvent* event) {
  const qsizetype at = PositionAt(event->position());
  if (event->button() == Qt::LeftButton) {
    MoveTo(at, (event->modifiers() & Qt::ShiftModifier) != 0);
    dragging_ = true;
  } else if (event->button() == Qt::MiddleButton && QGuiApplication::clipboard()->supportsSelection()) {
    // The X selection, pasted where the middle button went down.
    const QString pasted = QGuiApplication::clipboard()->text(QClipboard::Selection);
    SetSelection(at, at);
    if (!pasted.isEmpty()) ReplaceSelection(pasted);
  }
  event->accept();
}

void CookieView::mouseMoveEvent(QMouseEvent* event) {
  if (!dragging_) return;
  const QPointF point = event->position();
  if (point.y() < 0) ScrollTo(top_ - 1);
  if (point.y() > viewport()->height()) ScrollTo(top_ + 1);
  MoveTo(PositionAt(point), true);
}

void CookieView::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && dragging_) {
    dragging_ = false;
    if (anchor_ != caret_ && QGuiApplication::clipboard()->supportsSelection()) {
      QGuiApplication::clipboard()->setText(text_.mid(std::min(anchor_, caret_), std::abs(anchor_ - caret_)),
                                            QClipboard::Selection);
    }
  }
}

void CookieView::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  const qsizetype at = PositionAt(event->position());
  // The word under the pointer by Qt's rules, looked up in its neighbourhood only.
  const qsizetype from = std::max<qsizetype>(0, at - 256);
  const QString around = text_.mid(from, std::min<qsizetype>(text_.size(), at + 256) - from);
  QTextBoundaryFinder words(QTextBoundaryFinder::Word, around);
  words.setPosition(at - from);
  qsizetype start = at;
  if (!words.isAtBoundary() || !(words.boundaryReasons() & QTextBoundaryFinder::StartOfItem)) {
    const qsizetype previous = words.toPreviousBoundary();
    if (previous >= 0) start = from + previous;
  }
  words.setPosition(start - from);
  const qsizetype next = words.toNextBoundary();
  qsizetype end = next >= 0 ? from + next : at;
  if (end <= start) end = Right(start, false);
  SetSelection(start, end);
}

void CookieView::wheelEvent(QWheelEvent* event) {
  const int notches = event->angleDelta().y() / 120;
  ScrollTo(top_ - static_cast<qsizetype>(notches) * QApplication::wheelScrollLines());
  event->accept();
}

QMenu* CookieView::ContextMenu() {
  // The entries, texts and shortcuts of QPlainTextEdit's own menu, in the desktop's language.
  auto* menu = new QMenu(this);
  const auto add = [&](const char* text, QKeySequence::StandardKey key, bool enabled, auto slot) {
    QAction* action = menu->addAction(QCoreApplication::translate("QWidgetTextControl", text));
    connect(action, &QAction::triggered, this, slot);
    action->setShortcut(key);
    action->setEnabled(enabled);
  };
  const bool selection = anchor_ != caret_;
  add("&Undo", QKeySequence::Undo, done_ > 0, [this] { undo(); });
  add("&Redo", QKeySequence::Redo, done_ < edits_.size(), [this] { redo(); });
  menu->addSeparator();
  add("Cu&t", QKeySequence::Cut, selection, [this] { cut(); });
  add("&Copy", QKeySequence::Copy, selection, [this] { copy(); });
  add("&Paste", QKeySequence::Paste, !QGuiApplication::clipboard()->text().isEmpty(), [this] { paste(); });
  add("Delete", QKeySequence::UnknownKey, selection, [this] { ReplaceSelection(QString()); });
  menu->addSeparator();
  add("Select All", QKeySequence::SelectAll, !text_.isEmpty(), [this] { selectAll(); });
  return menu;
}

void CookieView::contextMenuEvent(QContextMenuEvent* event) {
  QMenu* menu = ContextMenu();
  menu->setAttribute(Qt::WA_DeleteOnClose);
  menu->popup(event->globalPos());
}

}  // namespace vesk::qt
