// The text view of the window against a plain QPlainTextEdit set up the same way: whatever it
// holds, it must wrap, copy, edit and read back as the plain one does, cuts or no cuts.

#include <QApplication>
#include <QClipboard>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QtTest>
#include <memory>

#include "window/qt/main_window.h"
#include "window/qt/shell.h"

using vesk::qt::CookieView;

namespace {

// Deterministic texts of the kinds cookie files give, 20,000 characters or so.
QString Repeat(const QString& piece, int length) {
  QString text;
  while (text.size() < length) text += piece;
  return text.left(length);
}

QString Words(int length) {
  const QStringList words = {"player", "a", "score", "xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx", "of",
                             "level", "  ", "volume", "region", "sessionitemscurrency"};
  QString text;
  for (int i = 0; text.size() < length; ++i) text += words[(i * 7) % words.size()] + ' ';
  return text.left(length);
}

QString Mix(int length) {
  QString text;
  for (int i = 0; text.size() < length; ++i) text += QString(1 + i % 9, QChar(0xB7)) + QString("score").left(1 + i % 5);
  return text.left(length);
}

// The lines the view shows, as text, laid out now.
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

struct Pair {
  Pair() : window(vesk::platform::Native(), shell), view(window.Text1Widget()) {
    plain.setFont(view.font());
    plain.setPalette(view.palette());
    plain.setLineWrapMode(view.lineWrapMode());
    plain.setWordWrapMode(view.wordWrapMode());
    plain.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    plain.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  }
  void Show(const QString& text, int width) {
    view.setParent(nullptr);  // on its own, so both can take the same size
    view.resize(width, 200);
    plain.resize(width, 200);
    view.show();
    plain.show();
    view.ShowText(text);
    plain.setPlainText(text);
  }
  vesk::qt::XdgShell shell;
  vesk::qt::MainWindow window;
  CookieView& view;
  QPlainTextEdit plain;
};

QByteArray Copied(QPlainTextEdit& edit, const QString& format) {
  edit.copy();
  const QMimeData* data = QGuiApplication::clipboard()->mimeData();
  return data != nullptr ? data->data(format) : QByteArray("(nothing copied)");
}

}  // namespace

class CookieViewTest : public QObject {
  Q_OBJECT

 private slots:
  void wrapsLikeThePlainView_data();
  void wrapsLikeThePlainView();
  void copyAndEditLikeThePlainView();
  void anEditAmongWordsKeepsUndo();
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
}

void CookieViewTest::wrapsLikeThePlainView() {
  QFETCH(QString, text);
  Pair pair;
  for (const int width : {97, 240, 613}) {
    pair.Show(text, width);
    QCOMPARE(pair.view.TextLength(), text.size());
    QCOMPARE(pair.view.Text(), text);
    QVERIFY2(pair.view.blockCount() > 3, "the text is cut into paragraphs");
    const QStringList lines = ShownLines(pair.view);
    QCOMPARE(lines.size(), ShownLines(pair.plain).size());
    QCOMPARE(lines, ShownLines(pair.plain));

    // A new width moves the cuts to where the lines wrap now.
    pair.view.resize(width + 31, 200);
    pair.plain.resize(width + 31, 200);
    QTRY_COMPARE(ShownLines(pair.view), ShownLines(pair.plain));
    QCOMPARE(pair.view.Text(), text);
  }
}

void CookieViewTest::copyAndEditLikeThePlainView() {
  Pair pair;
  const QString text = Mix(30000) + QString::fromUtf8(" e\u0301 a\u00a0b") + Words(3000);
  pair.Show(text, 240);
  pair.view.selectAll();
  pair.plain.selectAll();
  for (const QString& format : {QStringLiteral("text/plain"), QStringLiteral("text/html"),
                                QStringLiteral("text/markdown"), QStringLiteral("application/vnd.oasis.opendocument.text")}) {
    QCOMPARE(Copied(pair.view, format), Copied(pair.plain, format));
  }

  // Backspace at the start of a paragraph after a cut, typing, and arrows across a cut.
  const QTextBlock second = pair.view.document()->begin().next();
  const qsizetype atCut = second.position() - 1;  // in the text, where the second paragraph starts
  for (QPlainTextEdit* edit : {static_cast<QPlainTextEdit*>(&pair.view), &pair.plain}) {
    QTextCursor cursor = edit->textCursor();
    cursor.setPosition(static_cast<int>(edit == &pair.view ? atCut + 1 : atCut));
    edit->setTextCursor(cursor);
    QTest::keyClick(edit, Qt::Key_Backspace);
    QTest::keyClicks(edit, "ab");
    QTest::keyClick(edit, Qt::Key_Right);
    QTest::keyClick(edit, Qt::Key_Left);
    QTest::keyClick(edit, Qt::Key_Left);
    QTest::keyClick(edit, Qt::Key_Delete);
  }
  QCOMPARE(pair.view.Text(), pair.plain.document()->toRawText());
  QTRY_COMPARE(ShownLines(pair.view), ShownLines(pair.plain));
  pair.view.selectAll();
  pair.plain.selectAll();
  QCOMPARE(Copied(pair.view, "text/plain"), Copied(pair.plain, "text/plain"));
}

void CookieViewTest::anEditAmongWordsKeepsUndo() {
  // Typing in the middle of a paragraph of words moves no cut, so the text is not cut again
  // and the edit can be undone; in a run without blanks every later line moves and it is.
  for (const QString& text : {Words(30000), Repeat("abcdefghijklmnopqrstuvwxyz", 30000)}) {
    Pair pair;
    pair.Show(text, 240);
    // Seven characters into a paragraph in the middle; every separator before it is a cut.
    const QTextBlock block = pair.view.document()->findBlock(static_cast<int>(text.size() / 2));
    QVERIFY(block.blockNumber() > 1);
    const int inView = block.position() + 7;
    for (QPlainTextEdit* edit : {static_cast<QPlainTextEdit*>(&pair.view), &pair.plain}) {
      QTextCursor cursor = edit->textCursor();
      cursor.setPosition(edit == &pair.view ? inView : inView - block.blockNumber());
      edit->setTextCursor(cursor);
      // Keys come one at a time, each handled to its end; then two at once.
      QTest::keyClick(edit, Qt::Key_X);
      QCoreApplication::processEvents();
      QTest::keyClick(edit, Qt::Key_Y);
      QCoreApplication::processEvents();
      QTest::keyClicks(edit, "zz");
      QCoreApplication::processEvents();
    }
    QCOMPARE(pair.view.Text(), pair.plain.document()->toRawText());
    QCOMPARE(ShownLines(pair.view), ShownLines(pair.plain));
    const bool amongWords = text.contains(' ');
    QCOMPARE(pair.view.document()->isUndoAvailable(), amongWords);
    if (amongWords) {
      for (int i = 0; i < 4; ++i) QTest::keyClick(&pair.view, Qt::Key_Z, Qt::ControlModifier);
      QCOMPARE(pair.view.Text(), text);
    }
  }
}

QTEST_MAIN(CookieViewTest)
#include "cookie_view_test.moc"
