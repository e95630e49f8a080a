// Form1 against fake controls, over a cookie store in a temporary folder.

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <tuple>

#include <gtest/gtest.h>

#include "cli/commands.h"
#include "tests/core/cli_support.h"
#include "tests/core/test_support.h"
#include "tests/sol_builder.h"
#include "window/form1.h"
#include "window/www.h"

namespace vesk::test {
namespace {

using window::PopupMenu;

// Built from its pieces on purpose: the title is part of what users and scripts see.
const std::string kTitle = std::string("Vesk_") + "0.5.2" + "     " + "vesk.example.org" + "      " + "*Freeware*";
const std::string kStoreSuffix = "/macromedia/flash player/#sharedobjects/";

// One window with its fakes and a platform whose APPDATA points at `appData`.
struct Rig {
  explicit Rig(const std::string& appData, const std::string& executable = "vesk") {
    system.env["APPDATA"] = appData;
    system.executableName = executable;
  }
  PlatformWrapper system;
  FakeControls fakes;
  FakeShell shell;
  window::Form1 form{fakes.Bundle(), system, shell};
};

std::vector<std::string> Sorted(std::vector<std::string> v) {
  std::sort(v.begin(), v.end());
  return v;
}

class Form1Test : public ::testing::Test {
 protected:
  TempDir tmp;
  const std::string appData = tmp / "appdata";
  const std::string store = appData + kStoreSuffix;
  Rig rig{appData};
  FakeControls& c = rig.fakes;
  window::Form1& form = rig.form;
  PlatformWrapper& system = rig.system;

  // Creates a cookie below the store and returns its path.
  std::string Cookie(const std::string& relative, const std::string& bytes = "x") {
    WriteFile(store + relative, bytes);
    return store + relative;
  }
  std::vector<std::string> Cookies(int count) {
    std::vector<std::string> paths;
    for (int i = 0; i < count; ++i) paths.push_back(Cookie("K7Q2/site" + std::to_string(i) + ".example/c.sol"));
    return paths;
  }
  // A user click on the item naming `path`, as the toolkit reports it.
  void Show(const std::string& path) {
    const int index = c.List1.IndexOf(path);
    ASSERT_GE(index, 0) << path;
    c.List1.ClickItem(index);
    form.List1_Click();
  }
};

TEST_F(Form1Test, StartUpEmptiesViewsListsCookiesAndSetsTitle) {
  const auto a = Cookie("K7Q2/site.example/a.sol");
  const auto b = Cookie("K7Q2/other.example/b.SOL");
  Cookie("K7Q2/other.example/notes.txt");
  WriteFile(appData + "/outside/c.sol");
  c.Text1.text = "Text1";
  c.List1.AddItem("stale");
  std::vector<bool> busyWhileScanning;
  system.onOpenFolder = [&](const std::string&) { busyWhileScanning.push_back(c.form.busy); };

  form.Form_Load();

  EXPECT_EQ(c.Text1.text, "");
  EXPECT_EQ(Sorted(c.List1.items), Sorted({a, b}));
  EXPECT_EQ(c.List1.SelCount(), 0);
  EXPECT_EQ(form.ScanRoot, store);
  EXPECT_EQ(c.form.title, kTitle);
  EXPECT_EQ(form.LangText[0], "Select cookies first.");
  ASSERT_FALSE(busyWhileScanning.empty());
  EXPECT_EQ(std::count(busyWhileScanning.begin(), busyWhileScanning.end(), false), 0);
  EXPECT_EQ(c.form.busyHistory, (std::vector<bool>{true, false}));
}

TEST_F(Form1Test, StartUpLanguageFollowsExecutableName) {
  const std::vector<std::pair<std::string, bool>> cases = {
      {"vesk", false},       {"vesk[GER]", true}, {"VESK[ger]", true}, {"[GER]", true}, {"vesk[Ger]", true},
      {"vesk[GER]x", false}, {"GER]", false},     {"", false},         {"[GER] vesk", false}};
  for (const auto& [name, german] : cases) {
    Rig r(appData, name);
    r.form.Form_Load();
    EXPECT_EQ(r.form.LangText[0], german ? "Zuerst Cookies auswählen." : "Select cookies first.") << name;
    EXPECT_EQ(r.fakes.Check1.caption, german ? "erweitertes suchen" : "deeper scan") << name;
    EXPECT_EQ(r.fakes.form.title, kTitle) << name;
  }
}

TEST_F(Form1Test, ListEventsWriteTheCountIntoTheTitle) {
  Cookies(3);
  form.Form_Load();
  const std::vector<std::pair<const char*, std::function<void()>>> events = {
      {"List1 mouse up", [&] { form.List1_MouseUp(window::kLeftButton, 0, 10, 10); }},
      {"List1 left down", [&] { form.List1_MouseDown(window::kLeftButton, 0, 10, 10); }},
      {"List1 middle down", [&] { form.List1_MouseDown(window::kMiddleButton, 0, 10, 10); }},
      {"List2 left down", [&] { form.List2_MouseDown(window::kLeftButton, 0, 10, 10); }},
      {"List1 arrow key", [&] { form.List1_KeyDown(40, window::kShiftMask); }},
  };
  int selected = 0;
  for (const auto& [name, event] : events) {
    std::vector<int> indexes;
    for (int i = 0; i < selected; ++i) indexes.push_back(i);
    c.List1.UserSelect(indexes);
    c.form.title = "";
    event();
    EXPECT_EQ(c.form.title, kTitle + " [3/" + std::to_string(selected) + "]") << name;
    EXPECT_TRUE(c.form.popups.empty()) << name;
    selected = (selected + 1) % 4;
  }
}

TEST_F(Form1Test, CtrlAloneWithASelectsAllWhileTheListIsHidden) {
  Cookies(3);
  form.Form_Load();
  const std::vector<std::pair<int, bool>> cases = {{window::kCtrlMask, true},
                                                   {0, false},
                                                   {window::kShiftMask, false},
                                                   {window::kCtrlMask | window::kShiftMask, false},
                                                   {window::kCtrlMask | window::kAltMask, false}};
  for (const auto& [shift, selectsAll] : cases) {
    c.List1.UserSelect({});
    c.List1.visibleWhileSelecting.clear();
    form.List1_KeyDown(window::kKeyA, shift);
    const int expected = selectsAll ? 3 : 0;
    EXPECT_EQ(c.List1.SelCount(), expected) << shift;
    EXPECT_EQ(c.form.title, kTitle + " [3/" + std::to_string(expected) + "]") << shift;
    EXPECT_TRUE(c.List1.visible) << shift;
    EXPECT_EQ(c.List1.visibleWhileSelecting.empty(), !selectsAll) << shift;
    for (const bool visible : c.List1.visibleWhileSelecting) EXPECT_FALSE(visible) << shift;
  }
}

TEST_F(Form1Test, CtrlAOnAnEmptyList) {
  form.Form_Load();
  ASSERT_EQ(c.List1.ListCount(), 0);
  form.List1_KeyDown(window::kKeyA, window::kCtrlMask);
  EXPECT_EQ(c.form.title, kTitle + " [0/0]");
  EXPECT_TRUE(c.List1.visible);
}

TEST_F(Form1Test, CheckBoxSwitchesRootAndBack) {
  const auto inside = Cookies(2);
  const std::string outside = appData + "/elsewhere/x.sol";
  WriteFile(outside);
  form.Form_Load();
  const std::string startRoot = form.ScanRoot;

  Show(inside[0]);
  c.Check1.value = 1;
  form.Check1_Click();
  EXPECT_EQ(form.ScanRoot, appData + "/");
  EXPECT_EQ(Sorted(c.List1.items), Sorted({inside[0], inside[1], outside}));
  EXPECT_EQ(c.form.title, kTitle + " [3/0]");
  EXPECT_TRUE(c.List2.items.empty());
  EXPECT_EQ(c.Text1.text, "");

  Show(outside);
  ASSERT_FALSE(c.List2.items.empty());
  c.Check1.value = 0;
  form.Check1_Click();
  EXPECT_EQ(form.ScanRoot, startRoot);
  EXPECT_EQ(Sorted(c.List1.items), Sorted(inside));
  EXPECT_TRUE(c.List2.items.empty());
  EXPECT_EQ(c.Text1.text, "");
  EXPECT_EQ(c.form.title, kTitle + " [2/0]");
  EXPECT_EQ(c.form.busyHistory, (std::vector<bool>{true, false, true, false, true, false}));
}

TEST_F(Form1Test, LanguageButtonsDropTheCountAndOtherIndexesDoNothing) {
  Cookies(2);
  form.Form_Load();
  form.List1_MouseUp(window::kLeftButton, 0, 0, 0);
  ASSERT_EQ(c.form.title, kTitle + " [2/0]");

  const auto texts = form.LangText;
  for (const int index : {5, -1, 2}) form.Command1_Click(index);
  EXPECT_EQ(c.form.title, kTitle + " [2/0]");
  EXPECT_EQ(form.LangText, texts);
  EXPECT_EQ(c.Label1.caption, "Visit Adobe Settings Manager");

  form.Command1_Click(0);
  EXPECT_EQ(c.form.title, kTitle);
  EXPECT_EQ(form.LangText[0], "Zuerst Cookies auswählen.");
  form.List1_MouseUp(window::kLeftButton, 0, 0, 0);
  form.Command1_Click(1);
  EXPECT_EQ(c.form.title, kTitle);
  EXPECT_EQ(form.LangText, texts);
}

TEST_F(Form1Test, ClickShowsRowsTextAndVisitCaptionInEachLanguage) {
  struct Case {
    const char* executable;
    const char* file;
    const char* from;
    const char* visit;
  };
  for (const auto& lang : {Case{"vesk", "File\t", "From\t", "visit "}, Case{"vesk[GER]", "Datei\t", "Von\t", "besuche "}}) {
    Rig r(appData, lang.executable);
    const auto path = Cookie("K7Q2/site.example/a.sol", "a,b\r\nc");
    r.form.Form_Load();
    const int index = r.fakes.List1.IndexOf(path);
    ASSERT_GE(index, 0);
    r.fakes.List1.ClickItem(index);
    r.form.List1_Click();
    EXPECT_EQ(r.fakes.Text1.text, "abc");
    EXPECT_EQ(r.fakes.List2.items,
              (std::vector<std::string>{lang.file + std::string("a.sol"), lang.from + std::string("site.example"),
                                        "Bytes\t6"}));
    EXPECT_EQ(r.form.VisitTarget, "site.example");
    EXPECT_EQ(r.fakes.VisitHomepage.caption, lang.visit + std::string("site.example"));
  }
}

TEST_F(Form1Test, EachStepOfShowingStandsAlone) {
  const auto gone = Cookie("K7Q2/gone.example/a.sol", "data");
  const auto empty = Cookie("K7Q2/empty.example/e.sol", "");
  const auto locked = Cookie("K7Q2/locked.example/l.sol", "secret");
  system.refusedReads = {locked};
  form.Form_Load();

  Show(empty);
  EXPECT_EQ(c.Text1.text, "");
  EXPECT_EQ(c.List2.items, (std::vector<std::string>{"File\te.sol", "From\tempty.example", "Bytes\t0"}));

  unlink(gone.c_str());
  c.Text1.text = "old";
  Show(gone);
  EXPECT_EQ(c.Text1.text, "");
  EXPECT_EQ(c.List2.items, (std::vector<std::string>{"File\ta.sol", "From\tgone.example"}));
  EXPECT_EQ(c.VisitHomepage.caption, "visit gone.example");

  Show(locked);
  EXPECT_EQ(c.Text1.text, "");
  EXPECT_EQ(c.List2.items, (std::vector<std::string>{"File\tl.sol", "From\tlocked.example", "Bytes\t6"}));

  c.List1.current = -1;  // no current item: the views are emptied and stay so
  form.List1_Click();
  EXPECT_TRUE(c.List2.items.empty());
  EXPECT_EQ(form.VisitTarget, "locked.example");
}

TEST_F(Form1Test, ShownRowsKeepTheirLanguageUntilTheNextClick) {
  const auto path = Cookie("K7Q2/site.example/a.sol", "abc");
  form.Form_Load();
  Show(path);
  const auto rows = c.List2.items;
  form.Command1_Click(0);
  EXPECT_EQ(c.List2.items, rows);
  EXPECT_EQ(c.VisitHomepage.caption, "visit site.example");
  form.List1_Click();
  EXPECT_EQ(c.List2.items, (std::vector<std::string>{"Datei\ta.sol", "Von\tsite.example", "Bytes\t3"}));
  EXPECT_EQ(c.VisitHomepage.caption, "besuche site.example");
}

TEST_F(Form1Test, VisitTargetAndCaptionOutliveRescanAndDeletion) {
  const auto shown = Cookie("K7Q2/site.example/a.sol");
  Cookie("K7Q2/next.example/b.sol");
  form.Form_Load();
  Show(shown);
  form.Check1_Click();
  EXPECT_EQ(form.VisitTarget, "site.example");
  EXPECT_EQ(c.VisitHomepage.caption, "visit site.example");

  c.List1.ClickItem(c.List1.IndexOf(shown));
  c.form.answers = {window::kIdYes};
  form.KillCookie_Click();
  ASSERT_FALSE(Exists(shown));
  EXPECT_EQ(form.VisitTarget, "site.example");
  EXPECT_EQ(c.VisitHomepage.caption, "visit site.example");
  EXPECT_TRUE(c.List2.items.empty());
}

TEST_F(Form1Test, DeletionWithNothingSelectedOnlyExplains) {
  Cookies(2);
  form.Form_Load();
  const auto before = c.List1.items;
  const auto late = Cookie("late.example/n.sol");  // a rescan would list it
  form.KillCookie_Click();
  EXPECT_EQ(c.form.boxes, (std::vector<MsgBoxCall>{{"Select cookies first.", 0, "Nothing to delete."}}));
  EXPECT_EQ(c.List1.items, before);
  EXPECT_EQ(c.form.title, kTitle);
  EXPECT_TRUE(system.removeCalls.empty());

  form.List1_KeyDown(window::kKeyDelete, 0);  // the key handler still counts afterwards
  EXPECT_EQ(c.form.boxes.size(), 2u);
  EXPECT_EQ(c.form.title, kTitle + " [2/0]");
  EXPECT_TRUE(Exists(late));
}

TEST_F(Form1Test, AnythingButYesDeletesNothing) {
  const auto paths = Cookies(5);
  form.Form_Load();
  for (const int answer : {window::kIdNo, window::kIdOk, 2}) {
    c.List1.UserSelect({1, 4});
    const auto chosen = c.List1.SelectedItems();
    c.form.boxes.clear();
    c.form.answers = {answer};
    form.KillCookie_Click();
    EXPECT_EQ(c.form.boxes, (std::vector<MsgBoxCall>{{"Delete selected cookies??", 292, "Delete flashcookie?"}}));
    EXPECT_EQ(c.List1.SelectedItems(), chosen) << answer;
    EXPECT_EQ(c.form.title, kTitle + " [5/2]") << answer;
  }
  for (const auto& path : paths) EXPECT_TRUE(Exists(path)) << path;
  EXPECT_TRUE(system.removeCalls.empty());
}

TEST_F(Form1Test, YesDeletesExactlyTheSelectedItems) {
  Cookies(5);
  form.Form_Load();
  const auto all = c.List1.items;
  c.List1.UserSelect({1, 3});
  c.form.answers = {window::kIdYes};
  form.KillCookie_Click();
  for (int i = 0; i < 5; ++i) EXPECT_EQ(Exists(all[i]), i != 1 && i != 3) << all[i];
  EXPECT_EQ(Sorted(c.List1.items), Sorted({all[0], all[2], all[4]}));
  EXPECT_EQ(c.List1.SelCount(), 0);
  EXPECT_EQ(c.form.title, kTitle + " [3/0]");
}

TEST_F(Form1Test, FilesThatCannotGoAreSkippedAndListedAgain) {
  const auto readOnly = Cookie("ro.example/a.sol");
  chmod(readOnly.c_str(), 0444);
  const auto vanished = Cookie("gone.example/b.sol");
  const auto plain = Cookies(2);
  form.Form_Load();
  unlink(vanished.c_str());
  c.List1.UserSelect({0, 1, 2, 3});
  c.form.answers = {window::kIdYes};
  form.List1_KeyDown(window::kKeyDelete, 0);
  EXPECT_TRUE(Exists(readOnly));
  for (const auto& path : plain) EXPECT_FALSE(Exists(path)) << path;
  EXPECT_EQ(c.List1.items, std::vector<std::string>{readOnly});
  EXPECT_EQ(c.form.title, kTitle + " [1/0]");
}

TEST_F(Form1Test, RightPressOpensTheListsMenuAndOthersDoNot) {
  Cookies(1);
  form.Form_Load();
  struct Case {
    bool list1;
    int button;
    std::vector<PopupMenu> popups;
  };
  const std::vector<Case> cases = {{true, window::kRightButton, {PopupMenu::List1}},
                                   {true, window::kLeftButton, {}},
                                   {true, window::kMiddleButton, {}},
                                   {false, window::kRightButton, {PopupMenu::List2}},
                                   {false, window::kLeftButton, {}},
                                   {false, window::kMiddleButton, {}}};
  for (const auto& k : cases) {
    c.form.popups.clear();
    c.form.title = "";
    k.list1 ? form.List1_MouseDown(k.button, 0, 5, 5) : form.List2_MouseDown(k.button, 0, 5, 5);
    EXPECT_EQ(c.form.popups, k.popups) << k.list1 << " " << k.button;
    EXPECT_EQ(c.form.title, kTitle + " [1/0]");
  }
}

TEST_F(Form1Test, KillCookieFromTheMenuDeletesTheSelectionThatStood) {
  Cookies(3);
  form.Form_Load();
  const auto all = c.List1.items;
  c.List1.UserSelect({0, 2});
  c.form.answers = {window::kIdYes};
  c.form.onPopup = [&](PopupMenu menu) {
    if (menu == PopupMenu::List1) form.KillCookie_Click();
  };
  form.List1_MouseDown(window::kRightButton, 0, 5, 5);
  EXPECT_FALSE(Exists(all[0]));
  EXPECT_TRUE(Exists(all[1]));
  EXPECT_FALSE(Exists(all[2]));
  EXPECT_EQ(c.form.title, kTitle + " [1/0]");
}

TEST_F(Form1Test, VisitHomepageOpensOnlyLongerNamesAsWebAddresses) {
  const std::vector<std::pair<std::string, std::vector<std::string>>> cases = {
      {"", {}},
      {"a.de", {}},
      {"ä.de", {}},  // five bytes, four characters
      {"ab.de", {"http://ab.de"}},
      {"a b.example", {"http://a%20b.example"}},
      {"müller.de", {"http://m%C3%BCller.de"}},
      {"x/../y:z", {"http://x%2F..%2Fy%3Az"}},
      {"-_.~Az9", {"http://-_.~Az9"}},
      {"calc?&#", {"http://calc%3F%26%23"}},
  };
  for (const auto& [target, opened] : cases) {
    rig.shell.opened.clear();
    form.VisitTarget = target;
    form.VisitHomepage_Click();
    EXPECT_EQ(rig.shell.opened, opened) << target;
  }

  rig.shell.opened.clear();
  const auto path = Cookie("K7Q2/www.site.example/a.sol");
  form.Form_Load();
  Show(path);
  form.VisitHomepage_Click();
  EXPECT_EQ(rig.shell.opened, std::vector<std::string>{"http://www.site.example"});
}

// The visit item names the site where the cookie lies in a store's layout, and the holding folder
// elsewhere; the "From" row always names the holding folder.
TEST_F(Form1Test, VisitTargetIsTheSiteOfTheStoreLayout) {
  struct Case {
    std::string relative;  // below the application-data folder, listed by the deeper scan
    std::string from;
    std::string visit;
  };
  const std::vector<Case> cases = {
      {"macromedia/flash player/#sharedobjects/K3XQ/games.example/tetris.swf/highscore.sol", "tetris.swf", "games.example"},
      {"macromedia/flash player/#sharedobjects/K3XQ/games.example/a/b/c.swf/d.sol", "c.swf", "games.example"},
      {"macromedia/flash player/#sharedobjects/K3XQ/#localWithNet/g.swf/d.sol", "g.swf", "#localWithNet"},
      {"macromedia/flash player/#sharedobjects/K3XQ/nosite.sol", "K3XQ", "K3XQ"},
      {"ruffle/SharedObjects/play.example/tetris.swf/hi.sol", "tetris.swf", "play.example"},
      {"com.example.Game.0123456789ABCDEF0123456789ABCDEF01234567.1/Local Store/#SharedObjects/Game.swf/s.sol",
       "Game.swf", "com.example.Game"},
      {"macromedia/flash player/macromedia.com/support/flashplayer/sys/#www.example.org/settings.sol",
       "#www.example.org", "www.example.org"},
      {"macromedia/flash player/macromedia.com/support/flashplayer/sys/settings.sol", "sys", "sys"},
      {"elsewhere/game.swf/a.sol", "game.swf", "game.swf"},
  };
  for (const auto& c : cases) WriteFile(appData + "/" + c.relative, "abc");
  form.Form_Load();
  c.Check1.value = 1;
  form.Check1_Click();
  for (const auto& test : cases) {
    Show(appData + "/" + test.relative);
    EXPECT_EQ(c.List2.items, (std::vector<std::string>{"File\t" + test.relative.substr(test.relative.rfind('/') + 1),
                                                       "From\t" + test.from, "Bytes\t3"}))
        << test.relative;
    EXPECT_EQ(form.VisitTarget, test.visit) << test.relative;
    EXPECT_EQ(c.VisitHomepage.caption, "visit " + test.visit) << test.relative;
    rig.shell.opened.clear();
    form.VisitHomepage_Click();
    const std::vector<std::string> opened =
        test.visit.size() > 4 ? std::vector<std::string>{window::SiteAddress(test.visit)} : std::vector<std::string>{};
    EXPECT_EQ(rig.shell.opened, opened) << test.relative;
  }
}

TEST_F(Form1Test, LabelOpensTheSettingsPageOfTheLanguageAndExitUnloads) {
  form.Form_Load();
  form.Label1_Click();
  form.Command1_Click(0);
  form.Label1_Click();
  const std::string page = "http://www.macromedia.com/support/documentation/";
  EXPECT_EQ(rig.shell.opened, (std::vector<std::string>{page + "en/flashplayer/help/settings_manager02.html",
                                                         page + "de/flashplayer/help/settings_manager02.html"}));
  EXPECT_FALSE(c.form.unloaded);
  form.Command2_Click();
  EXPECT_TRUE(c.form.unloaded);
}

}  // namespace
}  // namespace vesk::test

// ---- Beside the original window: the Values tab ----

namespace vesk::test {
namespace {

using namespace vesk::sol;
namespace a3 = vesk::sol::amf3;
using Node = window::ValuesModel::Node;

// A cookie a game would write: an object with a class, a long string, a reference, a cut end.
const std::string kSave = File(
    a3::Pair("player", a3::Object("PlayerVO", 2, a3::Str("name") + a3::Str("history"),
                                  a3::String(std::string(300, 'n')) + a3::Array(2, "", a3::Integer(1200) + a3::Integer(3400)),
                                  false)) +
        a3::Pair("again", a3::ObjectRef(0x0A, 0)) + a3::Str("cut") + U8(0x05) + "\x01\x02",
    3, "save");

class ValuesTabTest : public Form1Test {
 protected:
  void SetUp() override { form.AttachValues(c.ValuesBundle()); }
  // Waits for the values of the cookie shown, read off the window's thread, running what the
  // reader posts (results that came too late among it).
  void Settle() {
    for (int i = 0; i < 100 && !c.Values.model; ++i) c.tasks.RunUntilIdle(50);
    ASSERT_NE(c.Values.model, nullptr);
  }
  std::vector<std::string> FirstLevel() const {
    std::vector<std::string> rows;
    const window::ValuesModel& m = *c.Values.model;
    for (std::size_t r = 0; r < m.RowCount(window::ValuesModel::kRoot); ++r) {
      const Node n = m.Child(window::ValuesModel::kRoot, r);
      rows.push_back(m.Text(n, m.kName) + " | " + m.Text(n, m.kValue) + " | " + m.Text(n, m.kType));
    }
    return rows;
  }
  // The `values` member of `vesk-cli show --format json FILE`, as it wrote it.
  std::string ShowJsonValues(const std::string& path) {
    RecordingOutput output;
    cli::RunShow(cli::ShowOptions{cli::Format::Json, {path}}, system, output);
    const std::size_t begin = output.out.find("\"values\":") + 9;
    return output.out.substr(begin, output.out.rfind(",\"problems\":") - begin);
  }
};

TEST_F(ValuesTabTest, TheTabFollowsClicksRescansDeletionsAndKeys) {
  const auto save = Cookie("K7Q2/games.example/tetris.swf/save.sol", kSave);
  const auto other = Cookie("K7Q2/news.example/prefs.sol", File(a3::Pair("dark", a3::Boolean(true))));
  form.Form_Load();
  EXPECT_EQ(c.Tabs.current, 0);
  EXPECT_EQ(c.Tabs.valuesCaption, "Values");
  EXPECT_EQ(c.Values.valueCaption, "Value");
  EXPECT_EQ(c.CopyAllJson.caption, "Copy all as JSON");
  EXPECT_EQ(c.accessibility.names.Command2, "Exit");

  // On the Text tab nothing is decoded; the Values tab decodes the cookie shown.
  Show(save);
  EXPECT_EQ(c.tasks.Waiting(), 0u);
  EXPECT_EQ(c.Values.model, nullptr);
  form.Tabs_Click(1);
  EXPECT_EQ(c.Tabs.current, 1);
  Settle();
  ASSERT_NE(c.Values.model, nullptr);
  EXPECT_EQ(FirstLevel(), (std::vector<std::string>{
                              "cookie | \"save\", AMF3, " + std::to_string(kSave.size()) + " bytes | ",
                              "problem | value cut off by the end of the file | at byte " + std::to_string(kSave.size() - 2),
                              "player | {2} | PlayerVO",
                              "again | -> \"/values/player\" | reference",
                              "cut | <problem: \"value cut off by the end of the file\"> | problem"}));
  EXPECT_EQ(c.Text1.text.empty(), false) << "the Text tab's view is filled as before";

  // A click on another cookie keeps the tab and empties the view until its values are read.
  Show(other);
  EXPECT_EQ(c.Values.model, nullptr);
  EXPECT_EQ(c.Values.awaited, 1);
  Settle();
  EXPECT_EQ(FirstLevel().back(), "dark | true | Boolean");
  EXPECT_EQ(c.Text1.text, "") << "behind the Values tab the text waits for its tab";

  // Keys anywhere switch tabs; others are left to the control with the focus.
  const std::vector<std::tuple<int, int, bool, int>> keys = {
      {window::kKeyTab, window::kCtrlMask, true, 0},
      {window::kKeyPageUp, window::kCtrlMask, true, 1},
      {window::kKeyPageDown, window::kCtrlMask, true, 0},
      {window::kKeyTab, window::kCtrlMask | window::kShiftMask, true, 1},
      {window::kKeyTab, 0, false, 1},
      {window::kKeyPageDown, 0, false, 1},
      {window::kKeyTab, window::kAltMask | window::kCtrlMask, false, 1},
  };
  for (const auto& [key, shift, used, tab] : keys) {
    EXPECT_EQ(form.Form_KeyPreview(key, shift), used) << key << " " << shift;
    EXPECT_EQ(form.Tab, tab) << key << " " << shift;
    EXPECT_EQ(c.Tabs.current, tab) << key << " " << shift;
  }
  EXPECT_NE(c.Values.model, nullptr) << "switching tabs keeps what the Values tab holds";
  EXPECT_NE(c.Text1.text.find("dark"), std::string::npos) << "the Text tab, once shown, has its text";

  // A language switch renames the tabs and the rows that are not values.
  form.Command1_Click(0);
  EXPECT_EQ(c.Tabs.valuesCaption, "Werte");
  EXPECT_EQ(c.accessibility.names.Command2, "Beenden");
  EXPECT_GT(c.Values.refreshes, 0);
  EXPECT_EQ(FirstLevel().front().substr(0, 9), "Cookie | ");

  // A rescan and a deletion empty the view, at once: nothing is read for it.
  form.Check1_Click();
  EXPECT_EQ(c.Values.model, nullptr);
  EXPECT_EQ(c.Values.awaited, 1);
  Show(save);
  Settle();
  ASSERT_NE(c.Values.model, nullptr);
  c.List1.UserSelect({c.List1.IndexOf(save)});
  c.form.answers = {window::kIdYes};
  form.KillCookie_Click();
  EXPECT_EQ(c.Values.model, nullptr);
  EXPECT_EQ(c.Values.awaited, 1);
  EXPECT_EQ(c.tasks.Waiting(), 0u);
  // So does a rescan while a file is read for it: the view waits no longer.
  Show(other);
  Settle();
  Show(other);
  EXPECT_EQ(c.Values.awaited, 2);
  const int set = c.Values.modelsSet;
  form.Check1_Click();
  EXPECT_EQ(c.Values.modelsSet, set + 1);
  c.tasks.RunUntilIdle(200);
  EXPECT_EQ(c.Values.model, nullptr) << "the file read meanwhile is dropped";
  // And the text waiting for the Text tab.
  form.Tabs_Click(0);
  EXPECT_EQ(c.Text1.text, "");
}

TEST_F(ValuesTabTest, ACookieReadMeanwhileIsDroppedForTheOneClickedLast) {
  const auto save = Cookie("K7Q2/games.example/save.sol", kSave);
  const auto other = Cookie("K7Q2/news.example/prefs.sol", File(a3::Pair("dark", a3::Boolean(true))));
  const auto broken = Cookie("K7Q2/news.example/notes.sol", "plain text");
  form.Form_Load();
  form.Tabs_Click(1);
  Show(save);
  Show(broken);
  Show(other);
  Settle();
  EXPECT_EQ(FirstLevel().back(), "dark | true | Boolean");
  EXPECT_EQ(c.Text1.text, "") << "behind the Values tab the text waits for its tab";
  EXPECT_EQ(c.Values.modelsSet, 1);  // only the cookie clicked last was shown
  Show(broken);
  Settle();
  EXPECT_EQ(FirstLevel(), (std::vector<std::string>{"not a .sol file | not a .sol file: it does not begin with 00 BF | "}));
  EXPECT_TRUE(c.Values.model->IsProblem(c.Values.model->Child(window::ValuesModel::kRoot, 0)));
  unlink(broken.c_str());
  Show(broken);
  Settle();
  EXPECT_EQ(FirstLevel(), (std::vector<std::string>{"cannot be read |  | "}));
}

TEST_F(ValuesTabTest, CopiesAreTheTextAndJsonFormsOfVeskCli) {
  const auto save = Cookie("K7Q2/games.example/save.sol", kSave);
  form.Form_Load();
  form.Tabs_Click(1);
  Show(save);
  Settle();
  const window::ValuesModel& m = *c.Values.model;
  const Node history = c.Values.Find({"player", "history"});
  const Node name = c.Values.Find({"player", "name"});
  const Node again = c.Values.Find({"again"});

  // A long string is cut in the cell and whole in the tool tip and the copies.
  EXPECT_EQ(m.Text(name, m.kValue), "\"" + std::string(200, 'n') + "\"...");
  EXPECT_EQ(m.ToolTip(name), "\"" + std::string(300, 'n') + "\"");

  const std::vector<std::tuple<std::string, std::function<void()>, std::string>> copies = {
      {"Ctrl+C, two rows", [&] { c.Values.selected = {history, name}; form.Values_KeyDown(window::kKeyC, window::kCtrlMask); },
       "history = [1200, 3400]\nname = \"" + std::string(300, 'n') + "\"\n"},
      {"copy value", [&] { c.Values.current = history; form.CopyValue_Click(); }, "[1200, 3400]"},
      {"Ctrl+Shift+C", [&] { form.Values_KeyDown(window::kKeyC, window::kCtrlMask | window::kShiftMask); },
       ShowJsonValues(save)},
      {"copy all as JSON", [&] { form.CopyAllJson_Click(); }, ShowJsonValues(save)},
  };
  for (const auto& [what, copy, expected] : copies) {
    c.clipboard.text.clear();
    copy();
    EXPECT_EQ(c.clipboard.text, expected) << what;
  }

  // Enter and a double click follow a reference; the menu opens on a right press only.
  c.Values.current = again;
  form.Values_KeyDown(window::kKeyEnter, 0);
  EXPECT_EQ(c.Values.current, c.Values.Find({"player"}));
  c.Values.current = again;
  form.Values_DblClick();
  EXPECT_EQ(c.Values.selected, std::vector<Node>{c.Values.Find({"player"})});
  form.Values_MouseDown(window::kLeftButton, 0, 1, 1);
  form.Values_MouseDown(window::kRightButton, 0, 1, 1);
  EXPECT_EQ(c.form.popups, std::vector<PopupMenu>{PopupMenu::Values});
}

TEST_F(ValuesTabTest, ReferencesIntoAWrapperSelectItsRowAndBigFirstLevelsOpenCollapsed) {
  // The array an ArrayCollection wraps is written after the wrapper and can be referred to; the
  // tree shows it as the wrapper's row.
  const auto wrapped = Cookie(
      "K7Q2/games.example/list.sol",
      File(a3::Pair("list", a3::Externalizable("flex.messaging.io.ArrayCollection", a3::Array(1, "", a3::String("forest")))) +
           a3::Pair("same", a3::ObjectRef(0x09, 1))));
  form.Form_Load();
  form.Tabs_Click(1);
  Show(wrapped);
  Settle();
  c.Values.current = c.Values.Find({"same"});
  form.Values_KeyDown(window::kKeyEnter, 0);
  EXPECT_EQ(c.Values.current, c.Values.Find({"list"}));
  EXPECT_EQ(c.Values.model->Text(*c.Values.current, window::ValuesModel::kValue), "[1]");

  // The first level opens as long as its rows fit the budget; a container that would not fit
  // stays collapsed and the ones after it still open.
  const auto members = [](int count) {
    std::string m;
    for (int i = 0; i < count; ++i) m += a3::Str("k" + std::to_string(i)) + a3::Null();
    return a3::Anonymous(m);
  };
  const std::size_t budget = window::ValuesModel::kExpandedRows;
  const std::vector<std::tuple<std::string, std::string, std::vector<std::string>>> cases = {
      {"small ones", a3::Pair("a", members(3)) + a3::Pair("n", a3::Integer(1)) + a3::Pair("e", members(0)), {"a"}},
      {"one exactly the budget", a3::Pair("a", members(static_cast<int>(budget))), {"a"}},
      {"one past it, then a small one",
       a3::Pair("big", members(static_cast<int>(budget) + 1)) + a3::Pair("b", members(2)), {"b"}},
      {"the budget shared", a3::Pair("a", members(600)) + a3::Pair("b", members(600)) + a3::Pair("c", members(400)),
       {"a", "c"}},
  };
  for (const auto& [what, body, expected] : cases) {
    const window::ValuesModel m(lso::Read(File(body)), form.More.values);
    std::vector<std::string> opened;
    for (std::size_t row = 0; row < m.RowCount(window::ValuesModel::kRoot); ++row) {
      const Node node = m.Child(window::ValuesModel::kRoot, row);
      if (m.ExpandedAtFirst(node)) opened.push_back(m.Text(node, window::ValuesModel::kName));
      for (std::size_t inner = 0; inner < m.RowCount(node); ++inner) EXPECT_FALSE(m.ExpandedAtFirst(m.Child(node, inner)));
    }
    EXPECT_EQ(opened, expected) << what;
  }
}

}  // namespace
}  // namespace vesk::test
