#include "window/qt/cookie_view.h"

#include <QBuffer>
#include <QKeyEvent>
#include <QMimeData>
#include <QScopedValueRollback>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocumentFragment>
#include <QTextDocumentWriter>
#include <QTimer>
#include <algorithm>
#include <array>
#include <string_view>
#include <vector>

#include "window/qt/line_starts.h"

namespace vesk::qt {
namespace {

// A block's state tells what ended the block before it: one of our cuts, or which of the line
// breaks the document splits at (it keeps none of them), so the text reads back as it was given.
// A block split by Enter keeps its state in its first half, where that separator still is; the
// new half has Qt's -1, a line feed.
constexpr int kAfterCut = 1;
constexpr int kAfterBreak = 16;  // plus the index in kBreaks
constexpr std::array<std::u16string_view, 6> kBreaks = {u"\n", u"\r", u"\r\n", u"\u2029", u"\uFDD0", u"\uFDD1"};

// What the separator before a block of this state stands for in the text.
std::u16string_view SeparatorText(int state) {
  if (state == kAfterCut) return {};
  if (state >= kAfterBreak && state < kAfterBreak + static_cast<int>(kBreaks.size())) {
    return kBreaks[static_cast<std::size_t>(state - kAfterBreak)];
  }
  return kBreaks[0];
}

int BreakState(QStringView separator) {
  for (std::size_t i = 0; i < kBreaks.size(); ++i) {
    if (separator == QStringView(kBreaks[i])) return kAfterBreak + static_cast<int>(i);
  }
  return -1;
}
// Paragraphs of this size cost little to lay out and there are few enough of them.
constexpr qsizetype kParagraph = 4096;

// The characters the document takes as the end of a paragraph.
bool IsBreak(char16_t c) {
  return c <= u'\r' ? c == u'\n' || c == u'\r' : c == u'\u2029' || c == u'\uFDD0' || c == u'\uFDD1';
}

qsizetype NextBreak(const QString& text, qsizetype from) {
  const char16_t* s = reinterpret_cast<const char16_t*>(text.constData());
  const qsizetype end = text.size();
  while (from < end && !IsBreak(s[from])) ++from;
  return from;
}

// What the default copy of a QPlainTextEdit offers, made from the text without the cuts, and only
// when a program asks for it.
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

CookieView::CookieView(QWidget* parent) : QPlainTextEdit(parent) {
  // An edit moves the places where the following lines wrap; the cuts must follow them.
  // An edit inside one paragraph mostly leaves the lines after it where they were; only when
  // the cuts around it are no longer line starts is the whole text cut again, which also drops
  // the undo history.
  connect(document(), &QTextDocument::contentsChange, this, [this](int position, int, int added) {
    if (showing_ || cutColumns_ == 0) return;
    if (!recutPending_ && !editPending_) {
      editPending_ = true;
      editFrom_ = position;
      editTo_ = position + added;
    } else if (editPending_ && document()->findBlock(position) == document()->findBlock(editFrom_)) {
      editFrom_ = std::min(editFrom_, position);  // keys that arrived together, in one paragraph
      editTo_ = std::max(editTo_, position + added);
    } else {
      wholeRecut_ = true;
    }
    RecutSoon();
  });
  // The cursor never rests on the end of a block before a cut: that place is the same as the
  // start of the next line, and the arrow keys must not need two presses to get across.
  connect(this, &QPlainTextEdit::cursorPositionChanged, this, [this] {
    QTextCursor cursor = textCursor();
    const int at = cursor.position();
    if (IsCut(at)) {
      // Left across the cut goes on to the character before it; anything else, an edit
      // included, lands on the start of the next line.
      const int to = lastPosition_ == at + 1 && at > 0 ? at - 1 : at + 1;
      cursor.setPosition(to, cursor.hasSelection() ? QTextCursor::KeepAnchor : QTextCursor::MoveAnchor);
      lastPosition_ = to;
      setTextCursor(cursor);
      return;
    }
    lastPosition_ = at;
  });
}

qreal CookieView::LineWidth() const {
  // As QPlainTextDocumentLayout measures its lines.
  return viewport()->width() - 2 * document()->documentMargin();
}

qsizetype CookieView::ColumnsNow() const { return LineStarts::ColumnsFor(font(), LineWidth()); }

void CookieView::ShowText(const QString& text) {
  const QScopedValueRollback<bool> showing(showing_, true);
  cutColumns_ = 0;
  QString cut;
  cut.reserve(text.size() + text.size() / kParagraph * 2 + 16);
  std::vector<int> states;  // per block after the first
  bool anyCut = false;
  const QTextOption option = document()->defaultTextOption();
  const qsizetype end = text.size();
  qsizetype paragraph = 0;
  while (paragraph <= end) {
    const qsizetype stop = NextBreak(text, paragraph);
    if (stop - paragraph > kParagraph) {
      const QString own = stop - paragraph == end ? QString() : text.mid(paragraph, stop - paragraph);
      const QString& part = own.isNull() ? text : own;
      LineStarts lines(part, font(), LineWidth(), option);
      qsizetype last = 0;
      qsizetype previous = 0;
      for (qsizetype line = lines.Next(0); line < part.size(); line = lines.Next(line)) {
        if (line - last > kParagraph) {
          const qsizetype at = previous > last ? previous : line;
          cut.append(QStringView(part).mid(last, at - last));
          cut.append(u'\n');
          states.push_back(kAfterCut);
          anyCut = true;
          last = at;
        }
        previous = line;
      }
      cut.append(QStringView(part).mid(last));
    } else {
      cut.append(QStringView(text).mid(paragraph, stop - paragraph));
    }
    if (stop >= end) break;
    // A line break of the text stays one; CR LF counts once, as the document reads it.
    const qsizetype next = text[stop] == u'\r' && stop + 1 < end && text[stop + 1] == u'\n' ? stop + 2 : stop + 1;
    cut.append(QStringView(text).mid(stop, next - stop));
    states.push_back(BreakState(QStringView(text).mid(stop, next - stop)));
    paragraph = next;
  }
  setPlainText(anyCut ? cut : text);
  if (document()->blockCount() != static_cast<int>(states.size()) + 1) {
    if (anyCut) setPlainText(text);  // the document split it otherwise than expected: show it uncut
    return;
  }
  std::size_t i = 0;
  for (QTextBlock block = document()->begin().next(); block.isValid(); block = block.next()) {
    block.setUserState(states[i++]);
  }
  if (anyCut) cutColumns_ = ColumnsNow();
}

bool CookieView::IsCut(int position) const {
  if (cutColumns_ == 0) return false;
  const QTextBlock block = document()->findBlock(position);
  return block.isValid() && position == block.position() + block.length() - 1 && block.next().isValid() &&
         block.next().userState() == kAfterCut;
}

QString CookieView::TextBetween(int from, int to) const {
  QString text;
  for (QTextBlock block = document()->findBlock(from); block.isValid() && block.position() < to;
       block = block.next()) {
    const int start = block.position();
    const int stop = start + block.length() - 1;  // the block's separator
    const int first = std::max(from, start);
    text.append(QStringView(block.text()).mid(first - start, std::min(to, stop) - first));
    if (stop < to && block.next().isValid()) text.append(SeparatorText(block.next().userState()));
  }
  return text;
}

QString CookieView::Text() const { return TextBetween(0, document()->characterCount() - 1); }

qsizetype CookieView::TextLength() const {
  qsizetype length = 0;
  for (QTextBlock block = document()->begin(); block.isValid(); block = block.next()) {
    length += block.length() - 1;
    if (block.next().isValid()) length += static_cast<qsizetype>(SeparatorText(block.next().userState()).size());
  }
  return length;
}

QMimeData* CookieView::createMimeDataFromSelection() const {
  const QTextCursor cursor = textCursor();
  if (cutColumns_ == 0) return QPlainTextEdit::createMimeDataFromSelection();
  return new CopiedText(TextBetween(cursor.selectionStart(), cursor.selectionEnd()));
}

void CookieView::keyPressEvent(QKeyEvent* event) {
  // Backspace at the start of a line after a cut, and Delete before one, act on the character
  // beyond it, as they would without the cut.
  QTextCursor cursor = textCursor();
  if (cutColumns_ != 0 && !cursor.hasSelection()) {
    const bool back = event->matches(QKeySequence::DeleteStartOfWord) || event->key() == Qt::Key_Backspace;
    const bool forward = event->matches(QKeySequence::DeleteEndOfWord) || event->key() == Qt::Key_Delete;
    const int at = cursor.position();
    int across = -1;
    if (back && at > 0 && IsCut(at - 1)) across = at - 1;
    if (forward && IsCut(at)) across = at + 1;
    if (across >= 0) {
      const QSignalBlocker quiet(this);
      cursor.setPosition(across);
      setTextCursor(cursor);
    }
  }
  QPlainTextEdit::keyPressEvent(event);
}

void CookieView::resizeEvent(QResizeEvent* event) {
  QPlainTextEdit::resizeEvent(event);
  if (cutColumns_ != 0 && ColumnsNow() != cutColumns_) {
    wholeRecut_ = true;
    RecutSoon();
  }
}

void CookieView::RecutSoon() {
  // Once after the resizes or keys that arrive together, not once per step.
  if (recutPending_) return;
  recutPending_ = true;
  QTimer::singleShot(0, this, [this] {
    const bool whole = wholeRecut_ || !editPending_ || !CutsStillWrap(editFrom_, editTo_);
    recutPending_ = editPending_ = wholeRecut_ = false;
    if (cutColumns_ != 0 && whole) Recut();
  });
}

bool CookieView::CutsStillWrap(int from, int to) const {
  const QTextBlock edited = document()->findBlock(from);
  if (!edited.isValid() || edited != document()->findBlock(to)) return false;
  // From the paragraph before the edited one, which starts a line whatever the edit did, to two
  // after it: enough text to decide whether the cuts at both ends of the edited one still are
  // where lines start.
  const QTextBlock begin = edited.previous().isValid() ? edited.previous() : edited;
  QString text;
  std::vector<qsizetype> cuts;
  for (QTextBlock block = begin; block.isValid() && block.blockNumber() <= edited.blockNumber() + 2;
       block = block.next()) {
    if (block != begin) {
      if (block.userState() != kAfterCut) break;  // a line break of the text ends the lines anyway
      if (block.blockNumber() <= edited.blockNumber() + 1) cuts.push_back(text.size());
    }
    text += block.text();
  }
  LineStarts lines(text, font(), LineWidth(), document()->defaultTextOption());
  qsizetype line = 0;
  for (const qsizetype cut : cuts) {
    while (line < cut) line = lines.Next(line);
    if (line != cut) return false;
  }
  return true;
}

namespace {

// How much further a block starts in the document than in the text: its separator is one
// character there, and as many as it stands for in the text.
int Shift(const QTextBlock& block) {
  return block.blockNumber() == 0 ? 0 : 1 - static_cast<int>(SeparatorText(block.userState()).size());
}

}  // namespace

int CookieView::TextOffset(int position) const {
  int shift = 0;
  for (QTextBlock block = document()->begin(); block.isValid() && block.position() <= position;
       block = block.next()) {
    shift += Shift(block);
  }
  return position - shift;
}

int CookieView::Position(int textOffset) const {
  // The last block whose text starts at or before the offset; a place on a cut is the start of
  // the line after it.
  int shift = 0;
  for (QTextBlock block = document()->begin(); block.isValid(); block = block.next()) {
    const int withThis = shift + Shift(block);
    if (block.position() - withThis > textOffset) break;
    shift = withThis;
  }
  return textOffset + shift;
}

void CookieView::Recut() {
  const QTextCursor before = textCursor();
  const int anchor = TextOffset(before.anchor());
  const int position = TextOffset(before.position());
  const int top = TextOffset(firstVisibleBlock().position());
  ShowText(Text());
  QTextCursor after(document());
  after.setPosition(Position(anchor));
  after.setPosition(Position(position), QTextCursor::KeepAnchor);
  setTextCursor(after);
  verticalScrollBar()->setValue(document()->findBlock(Position(top)).firstLineNumber());
}

}  // namespace vesk::qt
