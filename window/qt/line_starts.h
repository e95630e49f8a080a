#pragma once

// Where a text view that wraps at word boundaries, and breaks a word longer than the line
// anywhere (QTextOption::WrapAtWordBoundaryOrAnywhere), starts the lines of one paragraph.
// Qt finds that out in time that grows with the square of a run without a break opportunity;
// cookie texts are mostly such runs. Here it is found in one pass for text in the view's own
// monospaced face, and through Qt's own layout of a few lines around anything else, so the
// answer is always Qt's.

#include <QFont>
#include <QString>
#include <QTextBoundaryFinder>
#include <QTextOption>
#include <array>
#include <cstdint>
#include <deque>
#include <memory>

class QRawFont;

namespace vesk::qt {

class LineStarts {
 public:
  // `lineWidth` is the width the view gives each line. SetText gives the text.
  LineStarts(const QFont& font, qreal lineWidth, const QTextOption& option);
  // `text` must outlive this object; `lineWidth` is the width the view gives each line.
  LineStarts(const QString& text, const QFont& font, qreal lineWidth, const QTextOption& option);
  ~LineStarts();

  // Finds the lines of `text` from here on (what was learnt about characters is kept); `text`
  // must outlive its use here, and its first character starts a line.
  void SetText(const QString& text);
  LineStarts(const LineStarts&) = delete;
  LineStarts& operator=(const LineStarts&) = delete;

  // The start of the line that follows the line starting at `start` (a line start itself);
  // the text's length after the last line.
  qsizetype Next(qsizetype start);

  // Characters of the face's common width that fit on one line.
  qsizetype Columns() const { return columns_; }
  static qsizetype ColumnsFor(const QFont& font, qreal lineWidth);

 private:
  enum Kind : std::uint8_t { kUnknown, kPlain, kBlank, kOther, kComplex };
  Kind KindAt(qsizetype i) {
    const Kind kind = kinds_[data_[i].unicode()];
    return kind != kUnknown ? kind : Classify(data_[i]);
  }
  Kind Classify(QChar c);
  bool BreakBefore(qsizetype i);
  qsizetype Simulate(qsizetype start);
  qsizetype FromLayout(qsizetype start);

  const QString* text_ = nullptr;
  const QChar* data_ = nullptr;
  qsizetype size_ = 0;
  QFont font_;
  qreal lineWidth_;
  QTextOption option_;
  std::unique_ptr<QRawFont> raw_;
  qreal advance_ = 0;
  qsizetype columns_ = 0;
  std::array<Kind, 65536> kinds_{};
  std::unique_ptr<QTextBoundaryFinder> breaks_;  // over [breaksFrom_, breaksTo_), once a character needs it
  QString breaksText_;
  qsizetype breaksFrom_ = 0, breaksTo_ = 0;
  std::deque<qsizetype> known_;                  // line starts Qt's layout gave, in order
  qsizetype plainStart_ = 0;                     // the run without break opportunities last seen
  qsizetype plainEnd_ = 0;
};

}  // namespace vesk::qt
