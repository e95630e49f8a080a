// The Qt front end's wiring: each toolkit event reaches the right Form1 handler with the right
// effect on the widgets, over real cookie files in a temporary APPDATA.

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QtTest>
#include <fstream>
#include <memory>
#include <sys/stat.h>

#include "window/language.h"
#include "window/qt/input.h"
#include "window/qt/main_window.h"

using vesk::qt::CookieView;
using vesk::qt::EventList;
using vesk::qt::MainWindow;

namespace {

// The title text itself is the language module's; here only where it goes matters.
const QString kTitle =
    QString::fromStdString(vesk::window::language::TitleText(vesk::platform::Native().ProgramVersion()));

class RecordingShell final : public vesk::window::Shell {
 public:
  void Open(const std::string& address) override { opened.push_back(address); }
  std::vector<std::string> opened;
};

struct SeenBox {
  QString title;
  QString text;
  QMessageBox::StandardButtons buttons;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
};

// The window with its modal parts replaced: menus are recorded and may choose their item, boxes
// are recorded and answered with `answer`.
struct Harness {
  Harness() {
    vesk::qt::ModalRunners runners;
    runners.menu = [this](QMenu& menu) {
      menus.append(menu.title());
      if (chooseItem) menu.actions().first()->trigger();
    };
    runners.box = [this](QMessageBox& box) {
      boxes.append({box.windowTitle(), box.text(), box.standardButtons(), box.icon(),
                    box.defaultButton() ? box.standardButton(box.defaultButton()) : QMessageBox::NoButton});
      return answer;
    };
    window = std::make_unique<MainWindow>(vesk::platform::Native(), shell, std::move(runners));
  }
  RecordingShell shell;
  QStringList menus;
  QList<SeenBox> boxes;
  bool chooseItem = false;
  QMessageBox::StandardButton answer = QMessageBox::No;
  std::unique_ptr<MainWindow> window;
};

QPoint RowCentre(EventList& list, int row) { return list.visualRect(list.Rows().index(row)).center(); }

QString RowText(EventList& list, int row) { return list.Rows().index(row).data().toString(); }

QList<int> SelectedRows(EventList& list) {
  QList<int> rows;
  for (int i = 0; i < list.count(); ++i) {
    if (list.selectionModel()->isSelected(list.Rows().index(i))) rows.append(i);
  }
  return rows;
}

}  // namespace

class WindowTest : public QObject {
  Q_OBJECT

 private slots:
  void init();
  void rightPressKeepsSelectionAndOpensDeleteMenu();
  void ctrlAKeepsFocusSelectsAllAndDeleteRemoves();
  void clickShowsCookieAndCounts();
  void checkBoxRescansDeeper();
  void resizePlacesControlsInPixels();
  void messageBoxFlags_data();
  void messageBoxFlags();
  void programFillsRaiseNoClick();
  void inputCodes();
  void fontsAndTabOrder();
  void languageButtonsAndLabel();
  void oddNamesAreDeletedByTheirExactBytes();
  void rowsKeepTheirBytesAndScrollToTheWidest_data();
  void rowsKeepTheirBytesAndScrollToTheWidest();
  void selectionCountsAndRescanClearsIt();

 private:
  // Loads and shows the window over the tree of init().
  void Start(Harness& h);

  std::unique_ptr<QTemporaryDir> appdata_;
  QStringList cookies_;  // in the store
  QString outside_;      // found by the deeper scan only
};

void WindowTest::init() {
  appdata_ = std::make_unique<QTemporaryDir>();
  QVERIFY(appdata_->isValid());
  qputenv("APPDATA", appdata_->path().toUtf8());
  const QString store = appdata_->path() + "/macromedia/flash player/#sharedobjects/X1/";
  cookies_ = {store + "alpha.example/a.sol", store + "beta.example/deep/b.sol", store + "gamma.example/c.sol"};
  outside_ = appdata_->path() + "/other/d.sol";
  for (const QString& path : cookies_ + QStringList{outside_}) {
    QVERIFY(QDir().mkpath(QFileInfo(path).path()));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("marker-" + QFileInfo(path).baseName().toUtf8());
  }
}

void WindowTest::Start(Harness& h) {
  h.window->Load();
  h.window->show();
  QVERIFY(QTest::qWaitForWindowExposed(h.window.get()));
  QCOMPARE(h.window->List1Widget().count(), 3);
}

void WindowTest::rightPressKeepsSelectionAndOpensDeleteMenu() {
  Harness h;
  Start(h);
  EventList& list = h.window->List1Widget();
  QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, RowCentre(list, 0));
  QTest::mouseClick(list.viewport(), Qt::LeftButton, Qt::ControlModifier, RowCentre(list, 2));
  QCOMPARE(SelectedRows(list), (QList<int>{0, 2}));
  QCOMPARE(list.currentRow(), 2);

  h.chooseItem = true;  // choose "delete" in the menu, then answer No
  QTest::mousePress(list.viewport(), Qt::RightButton, {}, RowCentre(list, 1));
  QCOMPARE(h.menus, QStringList{"list_1"});
  QCOMPARE(SelectedRows(list), (QList<int>{0, 2}));
  QCOMPARE(list.currentRow(), 2);
  // The delete saw the selection: it asked to confirm instead of saying there is nothing.
  QCOMPARE(h.boxes.size(), 1);
  QCOMPARE(h.boxes[0].title, QStringLiteral("Delete flashcookie?"));
  for (const QString& path : cookies_) QVERIFY(QFile::exists(path));
  QTest::mouseRelease(list.viewport(), Qt::RightButton, {}, RowCentre(list, 1));
  QCOMPARE(SelectedRows(list), (QList<int>{0, 2}));
  QCOMPARE(h.window->windowTitle(), kTitle + " [3/2]");
}

void WindowTest::ctrlAKeepsFocusSelectsAllAndDeleteRemoves() {
  Harness h;
  Start(h);
  h.window->activateWindow();
  QVERIFY(QTest::qWaitForWindowActive(h.window.get()));
  EventList& list = h.window->List1Widget();
  QCOMPARE(QApplication::focusWidget(), &list);

  QTest::keyClick(&list, Qt::Key_A, Qt::ControlModifier);
  QCOMPARE(SelectedRows(list), (QList<int>{0, 1, 2}));
  QCOMPARE(QApplication::focusWidget(), &list);  // so the Delete key that follows reaches it
  QCOMPARE(h.window->windowTitle(), kTitle + " [3/3]");
  QVERIFY(h.window->Text1Widget().toPlainText().isEmpty());  // select-all shows no cookie

  h.answer = QMessageBox::Yes;
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Delete);
  QCOMPARE(h.boxes.size(), 1);
  for (const QString& path : cookies_) QVERIFY2(!QFile::exists(path), qPrintable(path));
  QVERIFY(QFile::exists(outside_));
  QCOMPARE(list.count(), 0);
  QCOMPARE(h.window->windowTitle(), kTitle + " [0/0]");
}

void WindowTest::clickShowsCookieAndCounts() {
  Harness h;
  Start(h);
  EventList& list = h.window->List1Widget();
  CookieView& text = h.window->Text1Widget();
  const auto& details = h.window->Form().Ctl().List2;
  QCOMPARE(h.window->windowTitle(), kTitle);

  QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, RowCentre(list, 1));
  const QString path = QString::fromStdString(h.window->Form().Ctl().List1.List(1));
  const QString name = QFileInfo(path).fileName();
  const QString folder = QFileInfo(path).dir().dirName();
  QVERIFY2(text.toPlainText().contains("marker-" + QFileInfo(path).baseName()), qPrintable(text.toPlainText()));
  QCOMPARE(h.window->windowTitle(), kTitle + " [3/1]");
  // The row keeps its TAB for the program and shows blanks instead.
  QCOMPARE(QString::fromStdString(details.List(0)), "File\t" + name);
  QCOMPARE(RowText(h.window->List2Widget(), 0), "File    " + name);

  // The same item clicked again is shown again.
  text.setPlainText("typed");
  QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, RowCentre(list, 1));
  QVERIFY(text.toPlainText().startsWith("marker-"));

  // The keyboard moving the current item shows the new one.
  QTest::keyClick(&list, Qt::Key_Down);
  QCOMPARE(list.currentRow(), 2);
  const QString next = QString::fromStdString(h.window->Form().Ctl().List1.List(2));
  QVERIFY(text.toPlainText().contains("marker-" + QFileInfo(next).baseName()));

  // A right press in the details opens their menu, whose item visits the shown cookie's folder.
  h.chooseItem = true;
  QTest::mousePress(h.window->List2Widget().viewport(), Qt::RightButton, {}, QPoint(5, 5));
  QCOMPARE(h.menus, QStringList{"list_2"});
  const QString nextFolder = QFileInfo(next).dir().dirName();
  QCOMPARE(h.window->PopupWidget(vesk::window::PopupMenu::List2).actions().first()->text(), "visit " + nextFolder);
  QCOMPARE(h.shell.opened, std::vector<std::string>{"http://" + nextFolder.toStdString()});
  QVERIFY(folder != nextFolder);
}

void WindowTest::checkBoxRescansDeeper() {
  Harness h;
  Start(h);
  QCheckBox& box = h.window->Check1Widget();
  const QPoint indicator(6, box.height() / 2);
  QTest::mouseClick(&box, Qt::LeftButton, {}, indicator);
  QCOMPARE(h.window->List1Widget().count(), 4);
  QCOMPARE(h.window->windowTitle(), kTitle + " [4/0]");
  QTest::mouseClick(&box, Qt::LeftButton, {}, indicator);
  QCOMPARE(h.window->List1Widget().count(), 3);
  QCOMPARE(h.window->windowTitle(), kTitle + " [3/0]");
}

void WindowTest::resizePlacesControlsInPixels() {
  Harness h;
  Start(h);
  MainWindow& w = *h.window;
  if (w.logicalDpiX() != 96 || w.logicalDpiY() != 96) QSKIP("expected pixels are for 96 dpi");
  w.resize(600, 400);
  QTRY_COMPARE(w.size(), QSize(600, 400));
  QCOMPARE(w.List1Widget().geometry(), QRect(0, 0, 600, 200));
  // Text1's place is the tabs'; the text view fills their page below the tab row.
  QCOMPARE(w.TabsWidget().geometry(), QRect(0, 200, 300, 200));
  const QRect text(w.Text1Widget().mapTo(&w, QPoint(0, 0)), w.Text1Widget().size());
  QCOMPARE(text.bottomRight(), QPoint(299, 399));
  QVERIFY2(text.top() > 200 && text.top() < 250, qPrintable(QString::number(text.top())));
  w.Form().Tabs_Click(1);
  QTRY_COMPARE(w.ValuesWidget().geometry(), w.Text1Widget().geometry());
  w.Form().Tabs_Click(0);
  QCOMPARE(w.List2Widget().geometry(), QRect(300, 200, 300, 100));
  QCOMPARE(w.Check1Widget().pos(), QPoint(300, 302));  // 30 twips are 2 pixels
  QCOMPARE(w.Check1Widget().width(), 300);
  QCOMPARE(w.Label1Widget().pos(), QPoint(300, 306 + w.Check1Widget().height()));
  // Buttons of 555 twips are 37 pixels.
  QCOMPARE(w.Command1Widget(0).geometry(), QRect(337, 363, 37, 37));
  QCOMPARE(w.Command1Widget(1).geometry(), QRect(374, 363, 37, 37));
  QCOMPARE(w.Command2Widget().geometry(), QRect(563, 363, 37, 37));
  QCOMPARE(w.ScaleWidth(), 9000.0f);
}

void WindowTest::messageBoxFlags_data() {
  QTest::addColumn<int>("flags");
  QTest::addColumn<QMessageBox::StandardButton>("answer");
  QTest::addColumn<int>("buttons");
  QTest::addColumn<int>("icon");
  QTest::addColumn<QMessageBox::StandardButton>("defaultButton");
  QTest::addColumn<int>("code");
  const int yesNo = QMessageBox::Yes | QMessageBox::No;
  QTest::newRow("OK only") << 0 << QMessageBox::Ok << int(QMessageBox::Ok) << int(QMessageBox::NoIcon)
                           << QMessageBox::Ok << 1;
  QTest::newRow("confirm, Yes") << 292 << QMessageBox::Yes << yesNo << int(QMessageBox::Question)
                                << QMessageBox::No << 6;
  QTest::newRow("confirm, No") << 292 << QMessageBox::No << yesNo << int(QMessageBox::Question)
                               << QMessageBox::No << 7;
  QTest::newRow("Yes/No, first default") << 4 << QMessageBox::No << yesNo << int(QMessageBox::NoIcon)
                                         << QMessageBox::Yes << 7;
}

void WindowTest::messageBoxFlags() {
  QFETCH(int, flags);
  QFETCH(QMessageBox::StandardButton, answer);
  Harness h;
  h.answer = answer;
  const int code = h.window->MsgBox("Löschen?", flags, "Titel");
  QCOMPARE(h.boxes.size(), 1);
  QCOMPARE(h.boxes[0].title, QStringLiteral("Titel"));
  QCOMPARE(h.boxes[0].text, QStringLiteral("Löschen?"));
  QTEST(int(h.boxes[0].buttons), "buttons");
  QTEST(int(h.boxes[0].icon), "icon");
  QTEST(h.boxes[0].defaultButton, "defaultButton");
  QTEST(code, "code");
}

void WindowTest::programFillsRaiseNoClick() {
  Harness h;
  Start(h);
  EventList& list = h.window->List1Widget();
  CookieView& text = h.window->Text1Widget();
  QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, RowCentre(list, 0));
  QVERIFY(!text.toPlainText().isEmpty());
  text.clear();

  auto& control = h.window->Form().Ctl().List1;
  control.Clear();
  const std::string odd = "/tmp/odd\xff\tname.sol";  // not UTF-8, with a TAB
  control.AddItems({odd, "/tmp/x.sol"});
  control.SelectAll();
  QVERIFY(text.toPlainText().isEmpty());
  QCOMPARE(control.SelCount(), 2);
  QCOMPARE(control.List(0), odd);  // the exact bytes come back
  QVERIFY(!RowText(list, 0).contains('\t'));
}

void WindowTest::inputCodes() {
  using namespace vesk::qt;
  QCOMPARE(VirtualKey(Qt::Key_A), 65);
  QCOMPARE(VirtualKey(Qt::Key_Z), 90);
  QCOMPARE(VirtualKey(Qt::Key_Delete), 46);
  QCOMPARE(VirtualKey(Qt::Key_Down), 40);
  QCOMPARE(VirtualKey(Qt::Key_F2), 113);
  QCOMPARE(ShiftState(Qt::ControlModifier), 2);
  QCOMPARE(ShiftState(Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier), 7);
  QCOMPARE(ButtonCode(Qt::RightButton), 2);
  QCOMPARE(ButtonCode(Qt::MiddleButton), 4);
}

void WindowTest::fontsAndTabOrder() {
  Harness h;
  Start(h);
  MainWindow& w = *h.window;
  const QFontInfo text(w.Text1Widget().font());
  QVERIFY2(text.fixedPitch(), qPrintable(text.family()));
  QCOMPARE(text.pointSize(), 12);
  QCOMPARE(QFontInfo(w.Check1Widget().font()).pointSize(), 9);
  qInfo("Text1 face %s, Check1 face %s", qPrintable(text.family()),
        qPrintable(QFontInfo(w.Check1Widget().font()).family()));

  w.activateWindow();
  QVERIFY(QTest::qWaitForWindowActive(&w));
  // The tabs, added beside the text, come last.
  const QList<QWidget*> order = {&w.Text1Widget(), &w.List2Widget(), &w.Check1Widget(),
                                 &w.Command1Widget(0), &w.Command1Widget(1), &w.Command2Widget(),
                                 w.TabsWidget().tabBar(), &w.List1Widget()};
  QCOMPARE(QApplication::focusWidget(), &w.List1Widget());
  for (QWidget* next : order) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), next);
  }
}

void WindowTest::languageButtonsAndLabel() {
  Harness h;
  Start(h);
  MainWindow& w = *h.window;
  QTest::mouseClick(&w.Command1Widget(0), Qt::LeftButton);
  QCOMPARE(w.Check1Widget().text(), QStringLiteral("erweitertes suchen"));
  QTest::mouseClick(&w.Label1Widget(), Qt::LeftButton);
  QCOMPARE(h.shell.opened.size(), std::size_t{1});
  QVERIFY(QString::fromStdString(h.shell.opened[0]).endsWith("/de/flashplayer/help/settings_manager02.html"));
  QTest::mouseClick(&w.Command1Widget(1), Qt::LeftButton);
  QCOMPARE(w.Check1Widget().text(), QStringLiteral("deeper scan"));
}


void WindowTest::oddNamesAreDeletedByTheirExactBytes() {
  // Names that do not survive a round trip through QString: invalid UTF-8, and a leading blank.
  const std::string store = appdata_->path().toStdString() + "/macromedia/flash player/#sharedobjects/X1/";
  const std::string invalid = store + "alpha.example/\xff\xfe.sol";
  const std::string blank = store + "alpha.example/ lead.sol";
  std::ofstream(invalid) << "invalid";
  std::ofstream(blank) << "blank";
  Harness h;
  h.window->Load();
  h.window->show();
  QVERIFY(QTest::qWaitForWindowExposed(h.window.get()));
  EventList& list = h.window->List1Widget();
  QCOMPARE(list.count(), 5);

  auto& list1 = h.window->Form().Ctl().List1;
  int row = -1;
  for (int i = 0; i < list1.ListCount(); ++i) {
    if (list1.List(i) == invalid) row = i;
  }
  QVERIFY2(row >= 0, "the invalid name is listed by its bytes");
  QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, RowCentre(list, row));
  QCOMPARE(h.window->Text1Widget().toPlainText(), QStringLiteral("invalid"));

  h.answer = QMessageBox::Yes;
  QTest::keyClick(&list, Qt::Key_Delete);
  struct stat st {};
  QVERIFY(stat(invalid.c_str(), &st) != 0);
  QVERIFY(stat(blank.c_str(), &st) == 0);  // not selected
  QCOMPARE(list.count(), 4);
}

void WindowTest::rowsKeepTheirBytesAndScrollToTheWidest_data() {
  QTest::addColumn<std::vector<std::string>>("rows");
  std::vector<std::string> many;
  const std::string store = "/home/user/.macromedia/Flash_Player/#SharedObjects/K3XQ2Z7M/site";
  for (int i = 0; i < 5000; ++i) many.push_back(store + std::to_string(i) + ".example/c.sol");
  std::vector<std::string> wideLetters = many;
  wideLetters[1234] = store + "WWWW.example/c.sol";  // no longer, but wider
  std::vector<std::string> odd = many;
  odd[17] = "/tmp/\xff\xfe\tname\xc3\xa4\xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e\xe6\x97\xa5\xe6\x9c\xac.sol";
  QTest::newRow("equal lengths") << many;
  QTest::newRow("a wide row among long ones") << wideLetters;
  QTest::newRow("invalid UTF-8, TAB, other scripts") << odd;
  QTest::newRow("one row") << std::vector<std::string>{"/x.sol"};
}

void WindowTest::rowsKeepTheirBytesAndScrollToTheWidest() {
  QFETCH(std::vector<std::string>, rows);
  Harness h;
  Start(h);
  EventList& list = h.window->List1Widget();
  auto& control = h.window->Form().Ctl().List1;
  for (int round = 0; round < 2; ++round) {
    // The second round appends a longer row to the filled list.
    if (round == 1) rows.push_back(rows.front() + "/and/a/longer/tail.sol");
    control.Clear();
    control.AddItems(round == 0 ? rows : std::vector<std::string>(rows.begin(), rows.end() - 1));
    if (round == 1) control.AddItem(rows.back());
    QCOMPARE(control.ListCount(), static_cast<int>(rows.size()));
    int widest = 0;
    QStyleOptionViewItem option;
    option.initFrom(&list);
    option.font = list.font();
    for (int i = 0; i < control.ListCount(); ++i) {
      QCOMPARE(control.List(i), rows[static_cast<std::size_t>(i)]);
      widest = std::max(widest, QStyledItemDelegate().sizeHint(option, list.Rows().index(i)).width());
    }
    QTRY_COMPARE(list.horizontalScrollBar()->maximum() + list.viewport()->width(),
                 std::max(widest, list.viewport()->width()));
  }
}

void WindowTest::selectionCountsAndRescanClearsIt() {
  Harness h;
  Start(h);
  EventList& list = h.window->List1Widget();
  auto& control = h.window->Form().Ctl().List1;
  QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, RowCentre(list, 0));
  QTest::mouseClick(list.viewport(), Qt::LeftButton, Qt::ShiftModifier, RowCentre(list, 2));
  QTest::mouseClick(list.viewport(), Qt::LeftButton, Qt::ControlModifier, RowCentre(list, 1));
  QCOMPARE(SelectedRows(list), (QList<int>{0, 2}));
  QCOMPARE(control.SelCount(), 2);
  control.SetSelected(1, true);
  control.SetSelected(2, true);  // already selected: counted once
  QCOMPARE(control.SelCount(), 3);
  control.SetSelected(0, false);
  QCOMPARE(control.SelCount(), 2);
  QVERIFY(!control.Selected(0) && control.Selected(1) && control.Selected(2));

  QTest::keyClick(&list, Qt::Key_A, Qt::ControlModifier);
  QCOMPARE(SelectedRows(list), (QList<int>{0, 1, 2}));
  QCOMPARE(h.window->windowTitle(), kTitle + " [3/3]");

  QTest::mouseClick(&h.window->Check1Widget(), Qt::LeftButton, {}, QPoint(6, h.window->Check1Widget().height() / 2));
  QCOMPARE(control.ListCount(), 4);
  QCOMPARE(control.SelCount(), 0);
  QCOMPARE(SelectedRows(list), QList<int>{});
  QCOMPARE(control.ListIndex(), -1);
  QCOMPARE(h.window->windowTitle(), kTitle + " [4/0]");
}

QTEST_MAIN(WindowTest)
#include "window_test.moc"
