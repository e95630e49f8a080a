#include "window/qt/main_window.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCursor>
#include <QKeyEvent>
#include <QMenu>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QTabBar>
#include <QTabWidget>
#include <algorithm>
#include <array>
#include <vector>

#include "window/language.h"
#include "window/qt/input.h"

// The pictures are C arrays; this is the only file that includes them.
#include "resources/flag_de.xpm"
#include "resources/flag_us.xpm"
#include "resources/hand.xpm"
#include "resources/power.xpm"
#include "resources/vesk16.xpm"
#include "resources/vesk32.xpm"

namespace vesk::qt {
namespace {

constexpr float kInnerWidth = 7215;
constexpr float kInnerHeight = 5070;

void RunMenuAtPointer(QMenu& menu) { menu.exec(QCursor::pos()); }

QMessageBox::StandardButton RunBox(QMessageBox& box) {
  return static_cast<QMessageBox::StandardButton>(box.exec());
}

QFont FontWithFallback(const QString& family, int points, QFont::StyleHint hint, const QString& fallback) {
  QFont font(family, points, QFont::Normal, false);
  font.setStyleHint(hint);
  // Where the first face is missing, its metric-compatible Liberation face stands in.
  font.setFamilies({family, fallback});
  return font;
}

void WhiteOnBlack(QWidget& widget) {
  QPalette palette = widget.palette();
  palette.setColor(QPalette::Base, Qt::black);
  palette.setColor(QPalette::Text, Qt::white);
  widget.setPalette(palette);
}

QPushButton* PictureButton(QWidget* parent, const char* const* xpm) {
  auto* button = new QPushButton(parent);
  button->setIcon(QIcon(QPixmap(xpm)));
  button->setIconSize(QSize(32, 32));
  button->setAutoDefault(false);
  return button;
}

}  // namespace

MainWindow::MainWindow(platform::System& system, window::Shell& shell, ModalRunners runners)
    : runners_(std::move(runners)),
      list1_(new EventList(this)),
      tabs_(new QTabWidget(this)),
      text1_(new CookieView(tabs_)),
      values_(new ValuesTree(tabs_)),
      list2_(new EventList(this)),
      check1_(new QCheckBox(this)),
      german_(PictureButton(this, flag_de_xpm)),
      english_(PictureButton(this, flag_us_xpm)),
      exit_(PictureButton(this, power_xpm)),
      label1_(new ClickLabel(this)),
      list1Menu_(new QMenu(QStringLiteral("list_1"), this)),
      list2Menu_(new QMenu(QStringLiteral("list_2"), this)),
      killCookie_(list1Menu_->addAction(QString::fromUtf8(window::language::kDesignKillCookie))),
      visitHomepage_(list2Menu_->addAction(QString::fromUtf8(window::language::kDesignVisitHomepage))),
      valuesMenu_(new QMenu(QStringLiteral("values"), this)),
      copyValue_(valuesMenu_->addAction(QString())),
      copyAllJson_(valuesMenu_->addAction(QString())),
      list1Control_(*list1_),
      text1Control_(*text1_, *tabs_),
      list2Control_(*list2_),
      check1Control_(*check1_),
      germanControl_(*german_),
      englishControl_(*english_),
      exitControl_(*exit_),
      label1Control_(*label1_),
      killCookieItem_(*killCookie_),
      visitHomepageItem_(*visitHomepage_),
      tabsControl_(*tabs_),
      valuesControl_(*values_),
      copyValueItem_(*copyValue_),
      copyAllJsonItem_(*copyAllJson_),
      form_(std::make_unique<window::Form1>(
          window::Controls{*this, list1Control_, text1Control_, list2Control_, check1Control_,
                           germanControl_, englishControl_, exitControl_, label1Control_,
                           killCookieItem_, visitHomepageItem_},
          system, shell)) {
  if (!runners_.menu) runners_.menu = RunMenuAtPointer;
  if (!runners_.box) runners_.box = RunBox;
  SetDesign();
  Wire();
  form_->AttachValues(window::ValuesControls{tabsControl_, valuesControl_, copyValueItem_, copyAllJsonItem_,
                                             clipboard_, *this, *this});
}

MainWindow::~MainWindow() {
  QApplication::instance()->removeEventFilter(this);
  // Form1 first: it waits for a file still being read, whose result would be posted to us.
  form_.reset();
}

void MainWindow::SetDesign() {
  QIcon icon;
  icon.addPixmap(QPixmap(icon_16_xpm));
  icon.addPixmap(QPixmap(icon_32_xpm));
  setWindowIcon(icon);

  list1_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  list2_->setSelectionMode(QAbstractItemView::SingleSelection);
  WhiteOnBlack(*list2_);

  text1_->setFont(FontWithFallback(QStringLiteral("Courier New"), 12, QFont::TypeWriter,
                                   QStringLiteral("Liberation Mono")));
  WhiteOnBlack(*text1_);
  text1_->setPlainText(QStringLiteral("Text1"));

  check1_->setFont(FontWithFallback(QStringLiteral("Arial"), 9, QFont::SansSerif,
                                    QStringLiteral("Liberation Sans")));

  QPalette blue = label1_->palette();
  blue.setColor(QPalette::WindowText, QColor(0, 0, 255));
  label1_->setPalette(blue);
  label1_->setTextFormat(Qt::PlainText);
  label1_->setCursor(QCursor(QPixmap(hand_xpm), 13, 5));

  // Geometry until the first layout. A check box or label of the design height would cut the
  // platform font's descenders, so they are at least as tall as the toolkit wants them.
  list1Control_.Move(135, 180, 3525, 1230);
  text1Control_.Move(135, 1890, 3525, 1230);
  list2Control_.Move(3825, 1890, 1185, 255);
  check1Control_.Move(3780, 2520, 2985, 240);
  label1Control_.Move(3780, 2835, 3030, 195);
  check1_->resize(check1_->width(), std::max(check1_->height(), check1_->sizeHint().height()));
  label1_->resize(label1_->width(), std::max(label1_->height(), label1_->sizeHint().height()));
  germanControl_.Move(3870, 3105, 555, 555);
  englishControl_.Move(4500, 3105, 555, 555);
  exitControl_.Move(5310, 3105, 555, 555);

  setTabOrder(list1_, text1_);
  setTabOrder(text1_, list2_);
  setTabOrder(list2_, check1_);
  setTabOrder(check1_, german_);
  setTabOrder(german_, english_);
  setTabOrder(english_, exit_);
  list1_->setFocus(Qt::OtherFocusReason);

  // Text1's area holds two tabs; the text is the first and is shown at start. The tabs are
  // plain (no frame of their own), so the text view fills the area as before, less the tab row.
  tabs_->setDocumentMode(true);
  tabs_->addTab(text1_, QStringLiteral("Text"));
  tabs_->addTab(values_, QStringLiteral("Values"));
  tabs_->setCurrentIndex(0);
  // The tabs come last in the tab order, so that the keys walk the controls as they always did.
  setTabOrder(text1_, values_);
  setTabOrder(values_, list2_);
  setTabOrder(exit_, tabs_->tabBar());

  resize(TwipsToPixels(kInnerWidth, logicalDpiX()), TwipsToPixels(kInnerHeight, logicalDpiY()));
  if (const QScreen* where = screen()) move(where->availableGeometry().center() - rect().center());
}

void MainWindow::Wire() {
  window::Form1& f = *form_;
  list1_->keyDown = [&f](int key, int shift) { f.List1_KeyDown(key, shift); };
  list1_->mouseDown = [&f](int b, int s, float x, float y) { f.List1_MouseDown(b, s, x, y); };
  list1_->mouseUp = [&f](int b, int s, float x, float y) { f.List1_MouseUp(b, s, x, y); };
  list1_->click = [&f] { f.List1_Click(); };
  list2_->mouseDown = [&f](int b, int s, float x, float y) { f.List2_MouseDown(b, s, x, y); };
  label1_->clicked = [&f] { f.Label1_Click(); };
  connect(check1_, &QCheckBox::clicked, this, [&f] { f.Check1_Click(); });
  connect(german_, &QPushButton::clicked, this, [&f] { f.Command1_Click(0); });
  connect(english_, &QPushButton::clicked, this, [&f] { f.Command1_Click(1); });
  connect(exit_, &QPushButton::clicked, this, [&f] { f.Command2_Click(); });
  connect(killCookie_, &QAction::triggered, this, [&f] { f.KillCookie_Click(); });
  connect(visitHomepage_, &QAction::triggered, this, [&f] { f.VisitHomepage_Click(); });

  connect(tabs_, &QTabWidget::currentChanged, this, [&f](int index) { f.Tabs_Click(index); });
  values_->keyDown = [&f](int key, int shift) { f.Values_KeyDown(key, shift); };
  values_->mouseDown = [&f](int b, int s, float x, float y) { f.Values_MouseDown(b, s, x, y); };
  values_->doubleClick = [&f] { f.Values_DblClick(); };
  connect(copyValue_, &QAction::triggered, this, [&f] { f.CopyValue_Click(); });
  connect(copyAllJson_, &QAction::triggered, this, [&f] { f.CopyAllJson_Click(); });
  QApplication::instance()->installEventFilter(this);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::KeyPress || !watched->isWidgetType() || static_cast<QWidget*>(watched)->window() != this) {
    return false;
  }
  const auto* key = static_cast<QKeyEvent*>(event);
  return form_->Form_KeyPreview(VirtualKey(key->key()), ShiftState(key->modifiers()));
}

QMenu& MainWindow::PopupWidget(window::PopupMenu menu) {
  switch (menu) {
    case window::PopupMenu::List1: return *list1Menu_;
    case window::PopupMenu::List2: return *list2Menu_;
    case window::PopupMenu::Values: break;
  }
  return *valuesMenu_;
}

void MainWindow::Post(std::function<void()> task) {
  QMetaObject::invokeMethod(this, std::move(task), Qt::QueuedConnection);
}

void MainWindow::SetNames(const window::AccessibleNames& names) {
  const auto set = [](QWidget& widget, const std::string& name) { widget.setAccessibleName(QString::fromUtf8(name)); };
  set(*list1_, names.List1);
  set(*text1_, names.Text1);
  set(*list2_, names.List2);
  set(*german_, names.Command1_0);
  set(*english_, names.Command1_1);
  set(*exit_, names.Command2);
  set(*tabs_, names.Tabs);
  set(*tabs_->tabBar(), names.Tabs);
  set(*values_, names.Values);
}

void MainWindow::Load() { form_->Form_Load(); }

void MainWindow::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  form_->Form_Resize();
}

void MainWindow::SetTitle(const std::string& text) { setWindowTitle(QString::fromUtf8(text)); }

float MainWindow::ScaleWidth() const { return WidthInTwips(*this); }

float MainWindow::ScaleHeight() const { return HeightInTwips(*this); }

void MainWindow::Popup(window::PopupMenu menu) { runners_.menu(PopupWidget(menu)); }

int MainWindow::MsgBox(const std::string& text, int flags, const std::string& title) {
  QMessageBox box(this);
  box.setWindowTitle(QString::fromUtf8(title));
  box.setTextFormat(Qt::PlainText);
  box.setText(QString::fromUtf8(text));
  ConfigureMessageBox(box, flags);
  return AnswerCode(runners_.box(box));
}

void MainWindow::SetBusy(bool busy) {
  if (busy) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
  } else {
    QApplication::restoreOverrideCursor();
  }
}

void MainWindow::Unload() {
  close();
  QCoreApplication::quit();
}

void ConfigureMessageBox(QMessageBox& box, int flags) {
  using B = QMessageBox::StandardButton;
  // The button sets of MB_OK .. MB_RETRYCANCEL, in the order the default-button bits count.
  static const std::array<std::vector<B>, 6> kSets = {{
      {B::Ok},
      {B::Ok, B::Cancel},
      {B::Abort, B::Retry, B::Ignore},
      {B::Yes, B::No, B::Cancel},
      {B::Yes, B::No},
      {B::Retry, B::Cancel},
  }};
  const auto set = static_cast<std::size_t>(flags & 0x7);
  const std::vector<B>& buttons = kSets[set < kSets.size() ? set : 0];
  QMessageBox::StandardButtons all;
  for (const B b : buttons) all |= b;
  box.setStandardButtons(all);

  switch (flags & 0x70) {
    case 16: box.setIcon(QMessageBox::Critical); break;
    case 32: box.setIcon(QMessageBox::Question); break;
    case 48: box.setIcon(QMessageBox::Warning); break;
    case 64: box.setIcon(QMessageBox::Information); break;
    default: box.setIcon(QMessageBox::NoIcon); break;
  }
  const auto defaultIndex = static_cast<std::size_t>((flags >> 8) & 0x3);
  box.setDefaultButton(buttons[std::min(defaultIndex, buttons.size() - 1)]);
}

int AnswerCode(QMessageBox::StandardButton button) {
  switch (button) {
    case QMessageBox::Ok: return window::kIdOk;
    case QMessageBox::Cancel: return 2;
    case QMessageBox::Abort: return 3;
    case QMessageBox::Retry: return 4;
    case QMessageBox::Ignore: return 5;
    case QMessageBox::Yes: return window::kIdYes;
    case QMessageBox::No: return window::kIdNo;
    default: return 2;  // closed without a button: taken as cancel
  }
}

}  // namespace vesk::qt
