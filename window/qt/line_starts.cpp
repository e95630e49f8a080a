#include "window/qt/line_starts.h"

#include <QRawFont>
#include <QTextLayout>
#include <algorithm>
#include <cmath>

namespace vesk::qt {
namespace {

// Qt measures lines in 26.6 fixed point.
qint64 Fixed(qreal value) { return std::llround(value * 64); }

// Symbols that take part in words as letters do: no break opportunity before or after them.
bool IsLetterLikeSymbol(char16_t c) {
  switch (c) {
    case u'#': case u'&': case u'*': case u'@': case u'^': case u'_': case u'`': case u'~':
    case u'<': case u'=': case u'>': case u'\u00B7':
      return true;
    default:
      return false;
  }
}

qreal CommonAdvance(const QRawFont& raw) {
  const QList<quint32> glyphs = raw.glyphIndexesForString(QStringLiteral("x"));
  return raw.isValid() && !glyphs.isEmpty() ? raw.advancesForGlyphIndexes(glyphs).value(0).x() : 0;
}

qsizetype ColumnsOf(qreal advance, qreal lineWidth) {
  const qint64 step = Fixed(advance);
  return step > 0 ? std::max<qint64>(1, Fixed(lineWidth) / step) : 0;
}

}  // namespace

LineStarts::LineStarts(const QFont& font, qreal lineWidth, const QTextOption& option)
    : font_(font), lineWidth_(lineWidth), option_(option), raw_(std::make_unique<QRawFont>(QRawFont::fromFont(font))),
      advance_(CommonAdvance(*raw_)), columns_(ColumnsOf(advance_, lineWidth)) {}

LineStarts::LineStarts(const QString& text, const QFont& font, qreal lineWidth, const QTextOption& option)
    : LineStarts(font, lineWidth, option) {
  SetText(text);
}

void LineStarts::SetText(const QString& text) {
  text_ = &text;
  data_ = text.constData();
  size_ = text.size();
  breaks_.reset();
  known_.clear();
  plainStart_ = plainEnd_ = 0;
}

qsizetype LineStarts::ColumnsFor(const QFont& font, qreal lineWidth) {
  return ColumnsOf(CommonAdvance(QRawFont::fromFont(font)), lineWidth);
}

LineStarts::~LineStarts() = default;

LineStarts::Kind LineStarts::Classify(QChar c) {
  Kind& kind = kinds_[c.unicode()];
  kind = kComplex;
  if (c == u' ') {
    kind = kBlank;
    return kind;
  }
  // Only characters the face itself draws at its common width, left to right, and that neither
  // join nor vanish, can be counted in columns.
  if (c.isSurrogate() || c.isMark() || c.isSpace() || c.category() == QChar::Other_Format ||
      c.category() == QChar::Other_Control || c.category() == QChar::Other_NotAssigned ||
      c.category() == QChar::Other_PrivateUse || !raw_->supportsCharacter(c)) {
    return kind;
  }
  switch (c.direction()) {
    case QChar::DirL: case QChar::DirEN: case QChar::DirES: case QChar::DirET: case QChar::DirCS:
    case QChar::DirON:
      break;
    default:
      return kind;
  }
  const QList<quint32> glyphs = raw_->glyphIndexesForString(QString(c));
  if (glyphs.size() != 1 || raw_->advancesForGlyphIndexes(glyphs).value(0).x() != advance_) return kind;
  const bool letterLike = (c.unicode() < 0x0250 || (c.unicode() >= 0x0370 && c.unicode() < 0x0500))
                              ? c.isLetter() || (c >= u'0' && c <= u'9')
                              : false;
  kind = letterLike || IsLetterLikeSymbol(c.unicode()) ? kPlain : kOther;
  return kind;
}

bool LineStarts::BreakBefore(qsizetype i) {
  // Qt's rules over a stretch of text around `i`, not the whole text: they look only a few
  // characters either way, and a cookie's text can be millions of characters long.
  constexpr qsizetype kContext = 256;
  constexpr qsizetype kStretch = 8192;
  const bool inside = breaks_ && (i - breaksFrom_ >= kContext || breaksFrom_ == 0) &&
                      (breaksTo_ - i >= kContext || breaksTo_ == size_);
  if (!inside) {
    breaksFrom_ = std::max<qsizetype>(0, i - kContext);
    breaksTo_ = std::min(size_, breaksFrom_ + kStretch);
    breaksText_ = QString::fromRawData(data_ + breaksFrom_, breaksTo_ - breaksFrom_);
    breaks_ = std::make_unique<QTextBoundaryFinder>(QTextBoundaryFinder::Line, breaksText_);
  }
  breaks_->setPosition(i - breaksFrom_);
  return breaks_->isAtBoundary();
}

qsizetype LineStarts::Next(qsizetype start) {
  const qsizetype end = size_;
  if (start >= end) return end;
  while (!known_.empty() && known_.front() <= start) known_.pop_front();
  if (!known_.empty()) return known_.front();
  const qsizetype next = columns_ > 0 ? Simulate(start) : -1;
  return next >= 0 ? next : FromLayout(start);
}

// One line, as Qt's line breaking lays it out: words end at a blank or a break opportunity;
// a word goes on the line when its last character still fits (blanks after it hang over the
// edge); a word that does not fit moves to the next line, and one too long for a line of its
// own fills the line and goes on in the next. -1 when a character cannot be counted.
qsizetype LineStarts::Simulate(qsizetype start) {
  const qsizetype end = size_;
  const QChar* s = data_;
  Kind kind = KindAt(start);
  if (kind != kPlain && kind != kOther) return -1;  // blanks at a line start
  // Inside a run without any break opportunity that is longer than a line, every line is full.
  if (kind == kPlain) {
    if (start >= plainEnd_ || start < plainStart_) {
      plainStart_ = start;
      plainEnd_ = start;
      while (plainEnd_ < end && KindAt(plainEnd_) == kPlain) ++plainEnd_;
    }
    if (plainEnd_ - start > columns_) return start + columns_;
  }
  qsizetype used = 0;    // columns up to the end of the last word on the line
  qsizetype blanks = 0;  // blanks after it
  bool first = true;
  qsizetype i = start;
  while (true) {
    qsizetype j = i;
    Kind previous = kBlank;
    while (j < end) {
      kind = KindAt(j);
      if (kind == kBlank) break;
      if (kind == kComplex) return -1;
      if (j > i && (kind == kOther || previous == kOther) && BreakBefore(j)) break;
      previous = kind;
      ++j;
      // A word longer than the line decides the line before its end is seen.
      if (first && j - i > columns_) return start + columns_;
      if (!first && used + blanks + (j - i) > columns_) return i;
    }
    used += blanks + (j - i);
    first = false;
    qsizetype k = j;
    while (k < end && s[k] == u' ') ++k;
    if (k >= end) return end;
    blanks = k - j;
    i = k;
  }
}

// Qt lays out a few lines from `start`. The text after the window is cut off, so only lines that
// start well before its end are taken: what decides their start lies inside the window.
qsizetype LineStarts::FromLayout(qsizetype start) {
  const qsizetype end = size_;
  const qsizetype margin = std::max<qsizetype>(columns_, 16) + 2;
  for (qsizetype window = std::max<qsizetype>(512, 8 * margin);; window *= 2) {
    const qsizetype stop = std::min(end, start + window);
    QTextLayout layout(text_->mid(start, stop - start), font_);
    layout.setTextOption(option_);
    layout.setCacheEnabled(false);
    const bool whole = stop >= end;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
      line.setLineWidth(lineWidth_);
      const qsizetype next = start + line.textStart() + line.textLength();
      if (!whole && next > stop - margin) break;
      if (next > start) known_.push_back(next);
    }
    layout.endLayout();
    if (!known_.empty()) return known_.front();
    if (whole) return end;
  }
}

}  // namespace vesk::qt
