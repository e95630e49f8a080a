// The Values tab's Qt model and tree against the window logic's values model: every row Qt can
// reach is the model's row, with its parent, its cells and its roles; the tree opens with the
// first level as the model says.

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QHeaderView>
#include <QIcon>
#include <QtTest>
#include <functional>

#include "sol_builder.h"
#include "window/qt/values_view.h"

using vesk::qt::ValuesItemModel;
using vesk::qt::ValuesTree;
using vesk::window::ValuesModel;
using Node = ValuesModel::Node;
namespace a0 = vesk::sol::amf0;
namespace a3 = vesk::sol::amf3;

namespace {

const vesk::window::ValuesTexts kTexts{"cookie", "bytes", "problem", "at byte", "not a .sol file",
                                       "cannot be read", "reference", "key", "value"};

std::string Records(int count, int children) {
  std::string members;
  for (int i = 0; i < children; ++i) members += a3::Str("m" + std::to_string(i)) + a3::Integer(i);
  std::string body;
  for (int i = 0; i < count; ++i) body += a3::Pair("r" + std::to_string(i), a3::Anonymous(members));
  return vesk::sol::File(body);
}

// The files of the table: what players write, what a cut or hostile file holds.
std::vector<std::pair<const char*, std::string>> Files() {
  using vesk::sol::File;
  using vesk::sol::U8;
  const std::string amf0 =
      File(a0::Pair("player", a0::Object(a0::Key("name") + a0::String("Anna") + a0::Key("scores") +
                                         a0::Strict(2, a0::Number(1200) + a0::Number(3400)))) +
               a0::Pair("when", a0::Date(1273861325123.0)) + a0::Pair("again", a0::Reference(1)),
           0, "amf0");
  // A class with traits written once and referred to, an object and a string by reference, an
  // ArrayCollection and a reference to the array it wraps, a dictionary, a vector, bytes.
  const std::string amf3 = File(
      a3::Pair("p1", a3::Object("PlayerVO", 2, a3::Str("name") + a3::Str("level"), a3::String("Anna") + a3::Integer(3),
                                false)) +
          a3::Pair("p2", a3::ObjectWithTraits(0, a3::StringRef(3) + a3::Integer(4), false)) +
          a3::Pair("again", a3::ObjectRef(0x0A, 0)) +
          a3::Pair("list", a3::Externalizable("flex.messaging.io.ArrayCollection",
                                              a3::Array(2, "", a3::String("forest") + a3::String("caves")))) +
          a3::Pair("wrapped", a3::ObjectRef(0x09, 3)) +
          a3::Pair("dict", a3::Dictionary(false, 1, a3::String("k") + a3::Integer(7))) +
          a3::Pair("ints", a3::IntVector(false, {1, 2, 3})) + a3::Pair("bytes", a3::Bytes("\x01\xff")),
      3, "save");
  const std::string cut = amf3.substr(0, amf3.size() - 9);
  const std::string hostile = File(
      a3::Pair("\x1b[31mred\x07", a3::String("\xe2\x80\xae" "evil\r\nline\x01" + std::string(300, 'x'))) +
          a3::Pair("deep", a3::Array(1, "", a3::Array(1, "", a3::Array(1, "", a3::Null())))) +
          a3::Pair("bad", a3::ObjectRef(0x0A, 40)),
      3, "\x1b]0;title\x07");
  return {{"AMF0 nested, date, reference", amf0},
          {"AMF3 traits, references, externalizable, dictionary", amf3},
          {"cut file", cut},
          {"hostile: controls, bidi, bad reference", hostile},
          {"not a .sol file", "plain text\n"},
          {"a wide first level", Records(400, 4)}};
}

struct Values {
  explicit Values(const std::string& bytes) : model(vesk::lso::Read(bytes), kTexts) {}
  ValuesModel model;
};

// Visits every row under `parent`, depth first.
void Walk(const QAbstractItemModel& model, const QModelIndex& parent, const std::function<void(const QModelIndex&)>& visit) {
  for (int row = 0; row < model.rowCount(parent); ++row) {
    const QModelIndex index = model.index(row, 0, parent);
    visit(index);
    Walk(model, index, visit);
  }
}

}  // namespace

Q_DECLARE_METATYPE(std::string)

class ValuesViewTest : public QObject {
  Q_OBJECT

 private slots:
  void modelAgreesWithTheValues_data();
  void modelAgreesWithTheValues();
  void rolesAndCaptions();
  void treeOpensTheFirstLevelAsTheModelSays();
};

void ValuesViewTest::modelAgreesWithTheValues_data() {
  QTest::addColumn<std::string>("bytes");
  for (const auto& [name, bytes] : Files()) QTest::newRow(name) << bytes;
}

void ValuesViewTest::modelAgreesWithTheValues() {
  QFETCH(std::string, bytes);
  const Values values(bytes);
  const ValuesModel& m = values.model;
  ValuesItemModel rows(nullptr);
  // Qt's own checks of a model's consistency, on every change and every row it is asked for.
  QAbstractItemModelTester tester(&rows, QAbstractItemModelTester::FailureReportingMode::QtTest);
  rows.SetValues(&m);
  QCOMPARE(rows.rowCount(), static_cast<int>(m.RowCount(ValuesModel::kRoot)));

  int seen = 0;
  Walk(rows, {}, [&](const QModelIndex& index) {
    ++seen;
    const Node node = ValuesItemModel::NodeOf(index);
    QCOMPARE(rows.rowCount(index), static_cast<int>(m.RowCount(node)));
    QCOMPARE(rows.hasChildren(index), m.HasChildren(node));
    QCOMPARE(rows.IndexOf(node), index);
    for (int column = 0; column < 3; ++column) {
      const QString shown = rows.index(index.row(), column, index.parent()).data().toString();
      QCOMPARE(shown, QString::fromStdString(m.Text(node, static_cast<ValuesModel::Column>(column))));
      for (const QChar c : shown) QVERIFY2(c.unicode() >= 0x20 && c.unicode() != 0x7f, qPrintable(shown));
    }
    // A reference leads to a row of the tree: the index made for its target is that row's.
    if (const std::optional<Node> target = m.Target(node)) {
      const QModelIndex to = rows.IndexOf(*target);
      QVERIFY2(to.isValid(), qPrintable(index.data().toString()));
      QCOMPARE(ValuesItemModel::NodeOf(rows.index(to.row(), 0, to.parent())), *target);
    }
  });
  QVERIFY(seen >= rows.rowCount());
  rows.SetValues(nullptr);
  QCOMPARE(rows.rowCount(), 0);
}

void ValuesViewTest::rolesAndCaptions() {
  // A long string, a problem after it, and a leaf beside a container.
  const std::string bytes = vesk::sol::File(a3::Pair("long", a3::String(std::string(300, 'n'))) +
                                            a3::Pair("box", a3::Anonymous(a3::Str("x") + a3::Integer(1))) +
                                            a3::Str("cut") + vesk::sol::U8(0x06) + "\x7f");
  const Values values(bytes);
  ValuesItemModel rows(nullptr);
  rows.SetValues(&values.model);
  rows.SetCaptions({QStringLiteral("Name"), QStringLiteral("Wert"), QStringLiteral("Typ")});
  QCOMPARE(rows.headerData(1, Qt::Horizontal, Qt::DisplayRole).toString(), QStringLiteral("Wert"));
  QVERIFY(!rows.headerData(1, Qt::Vertical, Qt::DisplayRole).isValid());

  QStringList names;
  for (int row = 0; row < rows.rowCount(); ++row) names << rows.index(row, 0).data().toString();
  QCOMPARE(names, (QStringList{"cookie", "problem", "long", "box", "cut"}));
  const QModelIndex header = rows.index(0, 0), problem = rows.index(1, 0), text = rows.index(2, 1),
                    box = rows.index(3, 0), cut = rows.index(4, 0);

  // The cell is cut; the tool tip holds all of it, on every cell of the row.
  QVERIFY(text.data().toString().endsWith(QStringLiteral("...")));
  QCOMPARE(text.data(Qt::ToolTipRole).toString(), "\"" + QString(300, 'n') + "\"");
  QCOMPARE(rows.index(2, 0).data(Qt::ToolTipRole), text.data(Qt::ToolTipRole));
  QVERIFY(!rows.index(3, 1).data(Qt::ToolTipRole).isValid());

  // Problems carry the style's warning sign in their first cell, and nothing else does.
  for (const QModelIndex& marked : {problem, cut}) {
    QVERIFY(!marked.data(Qt::DecorationRole).value<QIcon>().isNull());
    QVERIFY(!rows.index(marked.row(), 1).data(Qt::DecorationRole).isValid());
  }
  for (const QModelIndex& plain : {header, box, rows.index(2, 0)}) QVERIFY(!plain.data(Qt::DecorationRole).isValid());

  // Leaves say so, which spares the tree asking them for children.
  QVERIFY(rows.flags(rows.index(2, 0)) & Qt::ItemNeverHasChildren);
  QVERIFY(!(rows.flags(box) & Qt::ItemNeverHasChildren));
  QVERIFY(!(rows.flags(box) & Qt::ItemIsEditable));
  QVERIFY(!rows.index(0, 0, rows.index(0, 1)).isValid());  // only the first column has children
  QVERIFY(!rows.index(rows.rowCount(), 0).isValid());
}

void ValuesViewTest::treeOpensTheFirstLevelAsTheModelSays() {
  // A small record, a number, one of 2,000 members, then 600 of two: "big" never fits, and the
  // small ones fit until a thousand rows are reached.
  std::string big;
  for (int i = 0; i < 2000; ++i) big += a3::Str("k" + std::to_string(i)) + a3::Null();
  std::string body = a3::Pair("a", a3::Anonymous(a3::Str("x") + a3::Integer(1))) + a3::Pair("n", a3::Integer(5)) +
                     a3::Pair("big", a3::Anonymous(big));
  for (int i = 0; i < 600; ++i) body += a3::Pair("r" + std::to_string(i), a3::Array(2, "", a3::Null() + a3::Null()));
  const Values values(vesk::sol::File(body));
  const ValuesModel& m = values.model;

  ValuesTree tree(nullptr);
  tree.resize(400, 300);
  tree.show();
  QVERIFY(QTest::qWaitForWindowExposed(&tree));
  tree.Show(&m);
  int expanded = 0;
  for (int row = 0; row < tree.Rows().rowCount(); ++row) {
    const QModelIndex index = tree.Rows().index(row, 0);
    QCOMPARE(tree.isExpanded(index), m.ExpandedAtFirst(ValuesItemModel::NodeOf(index)));
    expanded += tree.isExpanded(index) ? 1 : 0;
  }
  // "a" and the records until the thousand rows are reached; never "big" nor a scalar.
  QCOMPARE(expanded, 1 + 499);
  QVERIFY(!tree.isExpanded(tree.Rows().index(3, 0)));  // header, "a", "n", then "big"
  QCOMPARE(tree.Rows().index(3, 0).data().toString(), QStringLiteral("big"));
  QVERIFY(tree.isExpanded(tree.Rows().index(4, 0)));

  // The columns share the width until the user sizes one; then they stay as the user left them.
  QHeaderView& header = *tree.header();
  QCOMPARE(header.sectionSize(0) + header.sectionSize(1) + header.sectionSize(2), tree.viewport()->width());
  header.resizeSection(0, 50);
  tree.Show(nullptr);
  QCOMPARE(tree.Rows().rowCount(), 0);
  tree.Show(&m);
  tree.resize(500, 300);
  QTRY_COMPARE(header.sectionSize(0), 50);
}

QTEST_MAIN(ValuesViewTest)
#include "values_view_test.moc"
