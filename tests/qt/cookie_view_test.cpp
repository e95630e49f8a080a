// The text view of the window against a plain QPlainTextEdit set up the same way: whatever it
// holds, it must wrap, copy, edit and read back as the plain one does, while it finds and lays
// out only the lines it shows.

#include <QApplication>
#include <QClipboard>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QtTest>
#include <memory>

#include "cookies/details.h"
#include "window/qt/line_starts.h"
#include "window/qt/main_window.h"
#include "window/qt/shell.h"

using vesk::qt::CookieView;

namespace {

// Deterministic texts of the kinds cookie files give.
QString Repeat(const QString& piece, qsizetype length) {
  QString text;
  while (text.size() < length) text += piece;
  return text.left(length);
}

QString Words(qsizetype length) {
  const QStringList words = {"player", "a", "score", "xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx", "of",
                             "level", "  ", "volume", "region", "sessionitemscurrency"};
  QString text;
  for (int i = 0; text.size() < length; ++i) text += words[(i * 7) % words.size()] + ' ';
  return text.left(length);
}

QString Mix(qsizetype length) {
  QString text;
  for (int i = 0; text.size() < length; ++i) text += QString(1 + i % 9, QChar(0xB7)) + QString("score").left(1 + i % 5);
  return text.left(length);
}

// The lines a QPlainTextEdit shows, as text, laid out now.
QStringList ShownLines(QPlainTextEdit& view) {
  QStringList lines;
  QTextDocument& document = *view.document();
  for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
    document.documentLayout()->blockBoundingRect(block);  // lays the block out
    const QTextLayout* layout = block.layout();
    for (int i = 0; i < layout->lineCount(); ++i) {
      lines.append(block.text().mid(layout->lineAt(i).textStart(), layout->lineAt(i).textLength()));
    }
  }
  return lines;
}

// The lines the view shows, all of them.
QStringList ShownLines(CookieView& view) {
  QStringList lines;
  const qsizetype count = static_cast<qsizetype>(view.AllLineStarts().size());
  for (qsizetype i = 0; i < count; ++i) lines.append(view.LineText(i));
  return lines;
}

struct Pair {
  Pair() : window(vesk::platform::Native(), shell), view(window.Text1Widget()) {
    plain.setFont(view.font());
    plain.setPalette(view.palette());
    plain.setLineWrapMode(QPlainTextEdit::WidgetWidth);
    plain.setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    plain.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    plain.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    view.setParent(nullptr);  // on its own, so both can take the same size
  }
  void Resize(int width, int height = 200) {
    view.resize(width, height);
    plain.resize(width, height);
    view.show();
    plain.show();
  }
  void Show(const QString& text, int width, int height = 200) {
    Resize(width, height);
    view.ShowText(text);
    plain.setPlainText(text);
  }
  vesk::qt::XdgShell shell;
  vesk::qt::MainWindow window;
  CookieView& view;
  QPlainTextEdit plain;
};

QByteArray Copied(const QString& format) {
  const QMimeData* data = QGuiApplication::clipboard()->mimeData();
  return data != nullptr ? data->data(format) : QByteArray("(nothing copied)");
}

vesk::platform::Utf16String Utf16(const QString& text) {
  return {reinterpret_cast<const char16_t*>(text.constData()), static_cast<std::size_t>(text.size())};
}

}  // namespace

class CookieViewTest : public QObject {
  Q_OBJECT

 private slots:
  void wrapsLikeThePlainView_data();
  void wrapsLikeThePlainView();
  void findsAndLaysOutOnlyWhatIsShown_data();
  void findsAndLaysOutOnlyWhatIsShown();
  void aParagraphLongerThanAPieceWrapsAsOne();
  void selectsAndCopiesTheWholeText();
  void scrollsToTheEnd();
  void editsLikeThePlainView();
  void anEditMovesOnlyTheLinesAfterIt();
  void undoAndRedo();
};

void CookieViewTest::wrapsLikeThePlainView_data() {
  QTest::addColumn<QString>("text");
  const int n = 20000;
  QTest::newRow("control marks") << QString(n, QChar(0xB7));
  QTest::newRow("words with blanks") << Words(n);
  QTest::newRow("binary mix") << Mix(n);
  QTest::newRow("one run of letters") << Repeat("abcdefghijklmnopqrstuvwxyz", n);
  QTest::newRow("punctuation") << Repeat("http://site.example/a/b?x=1&y=2 (a)[b]{c} \"q\" 'r' a-b-c 12.5% $3 #_@~<=>! ;:,", n);
  QTest::newRow("other scripts and marks")
      << Repeat(QString::fromUtf8("日本語のテキスト e\u0301t\u00e9 a\u00a0b so\u00adft \U0001F600 سلام ·····"), n);
  QTest::newRow("line breaks and leading blanks")
      << Repeat("     lead" + QString(300, 'z') + "\n" + Mix(700) + "\r\n" + Mix(5000) + QChar(0x2029) + "x\ry", n);
  QTest::newRow("empty lines and a break at the end") << QString("\n\na\n\n") + Words(3000) + "\n";
}

void CookieViewTest::wrapsLikeThePlainView() {
  QFETCH(QString, text);
  Pair pair;
  for (const int width : {97, 240, 613}) {
    pair.Show(text, width);
    QCOMPARE(pair.view.TextLength(), text.size());
    QCOMPARE(pair.view.Text(), text);
    QCOMPARE(ShownLines(pair.view), ShownLines(pair.plain));

    // A new width moves the lines to where they wrap now.
    pair.Resize(width + 31);
    QCOMPARE(ShownLines(pair.view), ShownLines(pair.plain));
    QCOMPARE(pair.view.Text(), text);
  }
}

void CookieViewTest::findsAndLaysOutOnlyWhatIsShown_data() {
  QTest::addColumn<QByteArray>("bytes");
  const int size = 16 << 20;
  QByteArray words, mix, run(size, 'q');
  while (words.size() < size) words += "player score level ";
  while (mix.size() < size) mix += QByteArray("\0\0\x03\x1f", 4) + "score" + QByteArray(7, '\0') + "name";
  QTest::newRow("16 MiB of NUL bytes") << QByteArray(size, '\0');
  QTest::newRow("16 MiB of words") << words.left(size);
  QTest::newRow("16 MiB of a binary mix") << mix.left(size);
  QTest::newRow("16 MiB without a break") << run;
}

void CookieViewTest::findsAndLaysOutOnlyWhatIsShown() {
  QFETCH(QByteArray, bytes);
  Pair pair;
  pair.Resize(240, 200);
  vesk::platform::Utf16String text = vesk::cookies::CookieTextUtf16(std::string_view(bytes.data(), bytes.size()));
  const qsizetype length = static_cast<qsizetype>(text.size());
  pair.view.ShowText(std::move(text));
  pair.view.viewport()->repaint();
  QCOMPARE(pair.view.TextLength(), length);
  // The lines on screen and one more are known, no further.
  QVERIFY2(static_cast<qsizetype>(pair.view.KnownLineStarts().size()) <= pair.view.VisibleLines() + 3,
           qPrintable(QString::number(pair.view.KnownLineStarts().size())));
  // And they are the plain view's lines of the same start.
  pair.plain.setPlainText(pair.view.Text().left(4000));
  const QStringList plainLines = ShownLines(pair.plain);
  for (qsizetype i = 0; i < pair.view.VisibleLines(); ++i) QCOMPARE(pair.view.LineText(i), plainLines[i]);
}

void CookieViewTest::aParagraphLongerThanAPieceWrapsAsOne() {
  // The view finds lines a piece of a paragraph at a time; across the pieces the lines must be
  // those of the paragraph as a whole.
  for (const QString& text : {Words(300000), Mix(300000), Repeat("http://a.example/x?y=1&z=2 ", 300000)}) {
    Pair pair;
    pair.Resize(240);
    pair.view.ShowText(text);
    vesk::qt::LineStarts whole(text, pair.view.font(), pair.view.viewport()->width() - 8,
                               [] {
                                 QTextOption option;
                                 option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
                                 return option;
                               }());
    std::vector<qsizetype> expected{0};
    for (qsizetype at = whole.Next(0); at < text.size(); at = whole.Next(at)) expected.push_back(at);
    QCOMPARE(pair.view.AllLineStarts(), expected);
  }
}

void CookieViewTest::selectsAndCopiesTheWholeText() {
  Pair pair;
  const QString text = Mix(30000) + QString::fromUtf8(" e\u0301 a\u00a0b\n") + Words(3000);
  pair.Show(text, 240);
  pair.view.selectAll();
  pair.plain.selectAll();
  pair.view.viewport()->repaint();  // paints the selection without reading the lines off screen
  QVERIFY(static_cast<qsizetype>(pair.view.KnownLineStarts().size()) <= pair.view.VisibleLines() + 3);
  for (const QString& format : {QStringLiteral("text/plain"), QStringLiteral("text/html"),
                                QStringLiteral("text/markdown"), QStringLiteral("application/vnd.oasis.opendocument.text")}) {
    pair.view.copy();
    const QByteArray fromView = Copied(format);
    pair.plain.copy();
    QCOMPARE(fromView, Copied(format));
  }

  // A text of 16 MiB, selected with the keys and copied whole.
  const QString big = Mix(16 << 20);
  pair.view.ShowText(Utf16(big));
  pair.view.setFocus();
  QTest::keyClick(&pair.view, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClick(&pair.view, Qt::Key_C, Qt::ControlModifier);
  QCOMPARE(QGuiApplication::clipboard()->text(), big);
  // Part of it, from a place in the middle to the end.
  pair.view.SetSelection(big.size() / 2, big.size() / 2);
  QTest::keyClick(&pair.view, Qt::Key_End, Qt::ControlModifier | Qt::ShiftModifier);
  pair.view.copy();
  QCOMPARE(QGuiApplication::clipboard()->text(), big.mid(big.size() / 2));
}

void CookieViewTest::scrollsToTheEnd() {
  const QString text = Words(200000) + "\nlast words of the text";
  Pair pair;
  pair.Show(text, 240);
  pair.view.setFocus();
  QTest::keyClick(&pair.view, Qt::Key_End, Qt::ControlModifier);
  QCOMPARE(pair.view.Caret(), text.size());
  const QStringList plainLines = ShownLines(pair.plain);
  const qsizetype lines = static_cast<qsizetype>(pair.view.KnownLineStarts().size());
  QCOMPARE(lines, plainLines.size());
  // The last line comes to the bottom, and the lines shown are the plain view's last ones.
  QCOMPARE(pair.view.TopLine(), lines - pair.view.VisibleLines());
  for (qsizetype i = pair.view.TopLine(); i < lines; ++i) QCOMPARE(pair.view.LineText(i), plainLines[i]);
  QCOMPARE(pair.view.LineText(lines - 1), QStringLiteral("last words of the text"));
  // The wheel goes no further; Ctrl+Home goes back to the start.
  QWheelEvent wheel(QPointF(5, 5), pair.view.mapToGlobal(QPointF(5, 5)), {}, QPoint(0, -120 * 3), Qt::NoButton,
                    Qt::NoModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(pair.view.viewport(), &wheel);
  QCOMPARE(pair.view.TopLine(), lines - pair.view.VisibleLines());
  QTest::keyClick(&pair.view, Qt::Key_Home, Qt::ControlModifier);
  QCOMPARE(pair.view.TopLine(), 0);
  QCOMPARE(pair.view.Caret(), 0);
}

void CookieViewTest::editsLikeThePlainView() {
  // The same keys on both views give the same text and the same caret.
  const QString text = Mix(3000) + QString::fromUtf8(" e\u0301 a\u00a0b \U0001F600 x") + "\n" + Words(3000);
  struct Key {
    Qt::Key key;
    Qt::KeyboardModifiers modifiers = Qt::NoModifier;
    QString typed = {};
  };
  const std::vector<Key> keys = {
      {Qt::Key_Right},     {Qt::Key_Right},     {Qt::Key_Backspace}, {Qt::Key_A, {}, "a"},
      {Qt::Key_B, {}, "b"}, {Qt::Key_Left},     {Qt::Key_Delete},    {Qt::Key_Left, Qt::ShiftModifier},
      {Qt::Key_Left, Qt::ShiftModifier},        {Qt::Key_Z, {}, "z"}, {Qt::Key_Return},
      {Qt::Key_End, Qt::ControlModifier},       {Qt::Key_Backspace}, {Qt::Key_Left},
      {Qt::Key_Left},      {Qt::Key_Left},      {Qt::Key_Backspace}, {Qt::Key_Home, Qt::ControlModifier},
      {Qt::Key_Delete},    {Qt::Key_Y, {}, "y"}, {Qt::Key_A, Qt::ControlModifier}, {Qt::Key_Q, {}, "q"},
  };
  Pair pair;
  pair.Show(text, 240);
  // Into the middle of the text, beside the emoji and the combining mark.
  const qsizetype middle = text.indexOf(QChar(0xD83D)) + 2;
  pair.view.SetSelection(middle, middle);
  QTextCursor cursor = pair.plain.textCursor();
  cursor.setPosition(static_cast<int>(middle));
  pair.plain.setTextCursor(cursor);
  for (const Key& key : keys) {
    QTest::keyClick(&pair.view, key.key, key.modifiers);
    QTest::keyClick(&pair.plain, key.key, key.modifiers);
    // The document's own text, but for the paragraph separators it keeps for line feeds.
    QCOMPARE(pair.view.Text(), pair.plain.document()->toRawText().replace(QChar::ParagraphSeparator, u'\n'));
    QCOMPARE(pair.view.Caret(), pair.plain.textCursor().position());
    QCOMPARE(ShownLines(pair.view), ShownLines(pair.plain));
  }
}

void CookieViewTest::anEditMovesOnlyTheLinesAfterIt() {
  // After edits here and there, the lines are those of the edited text shown afresh.
  Pair pair;
  pair.Resize(240);
  const QString text = Words(60000) + Mix(60000);
  pair.view.ShowText(Utf16(text));
  pair.view.setFocus();
  pair.view.AllLineStarts();
  for (const qsizetype at : {qsizetype{70000}, qsizetype{5}, qsizetype{30011}, qsizetype{119990}}) {
    pair.view.SetSelection(at, at);
    QTest::keyClicks(&pair.view, "wordthatwraps ");
    QTest::keyClick(&pair.view, Qt::Key_Backspace);
    QTest::keyClick(&pair.view, Qt::Key_Delete);
    const std::vector<qsizetype> edited = pair.view.AllLineStarts();
    CookieView fresh(nullptr);
    fresh.setFont(pair.view.font());
    fresh.resize(pair.view.size());
    fresh.show();
    fresh.ShowText(pair.view.Text());
    QCOMPARE(edited, fresh.AllLineStarts());
  }
}

void CookieViewTest::undoAndRedo() {
  Pair pair;
  const QString text = Words(5000);
  pair.Show(text, 240);
  pair.view.setFocus();
  pair.view.SetSelection(100, 100);
  QTest::keyClicks(&pair.view, "typed");  // undone at once, as a plain view does
  pair.view.SetSelection(10, 20);
  QTest::keyClick(&pair.view, Qt::Key_Delete);
  const QString edited = pair.view.Text();
  QCOMPARE(edited, text.left(10) + text.mid(20, 80) + "typed" + text.mid(100));
  QVERIFY(pair.view.IsUndoAvailable());
  QTest::keyClick(&pair.view, Qt::Key_Z, Qt::ControlModifier);
  QCOMPARE(pair.view.Text(), text.left(100) + "typed" + text.mid(100));
  QTest::keyClick(&pair.view, Qt::Key_Z, Qt::ControlModifier);
  QCOMPARE(pair.view.Text(), text);
  QVERIFY(!pair.view.IsUndoAvailable());
  QTest::keyClick(&pair.view, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
  QTest::keyClick(&pair.view, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
  QCOMPARE(pair.view.Text(), edited);
  // A new text forgets the edits.
  pair.view.ShowText(QStringLiteral("other"));
  QVERIFY(!pair.view.IsUndoAvailable());
}

QTEST_MAIN(CookieViewTest)
#include "cookie_view_test.moc"
