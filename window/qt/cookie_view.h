#pragma once

// The text view of Text1. A cookie's text is mostly one paragraph of up to 16 MiB, which a
// QPlainTextEdit lays out in full on every paint. The view cuts it into paragraphs of a few
// thousand characters exactly where its lines wrap anyway, so it looks as the uncut text would
// and only the paragraphs on screen get laid out. The cuts are the view's own business: they are
// left out of what the user copies or drags, of what Text() reads back, and of what the editing
// keys act on, and they move when the line width or the text changes.

#include <QPlainTextEdit>
#include <QString>

namespace vesk::qt {

class CookieView final : public QPlainTextEdit {
 public:
  explicit CookieView(QWidget* parent);

  void ShowText(const QString& text);
  // The whole text, as the user would copy it when all is selected.
  QString Text() const;
  qsizetype TextLength() const;

 protected:
  QMimeData* createMimeDataFromSelection() const override;
  void keyPressEvent(QKeyEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  qreal LineWidth() const;
  qsizetype ColumnsNow() const;
  bool IsCut(int position) const;  // a cut of ours ends the block at `position`
  QString TextBetween(int from, int to) const;
  int TextOffset(int position) const;
  int Position(int textOffset) const;
  void RecutSoon();
  bool CutsStillWrap(int from, int to) const;
  void Recut();

  qsizetype cutColumns_ = 0;  // line width in columns the cuts were made for; 0: none made
  bool recutPending_ = false;
  bool editPending_ = false;  // one edit since the last check, between these positions
  bool wholeRecut_ = false;
  int editFrom_ = 0;
  int editTo_ = 0;
  bool showing_ = false;
  int lastPosition_ = 0;
};

}  // namespace vesk::qt
