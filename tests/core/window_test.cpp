// The language tables and the window layout.

#include <array>
#include <functional>
#include <map>

#include <gtest/gtest.h>

#include "tests/core/test_support.h"
#include "window/form1.h"
#include "window/language.h"
#include "window/layout.h"

namespace vesk::test {
namespace {

const std::string kTitle = std::string("Vesk_") + "0.5.2" + "     " + "vesk.example.org" + "      " + "*Freeware*";

struct Window {
  PlatformWrapper system;
  FakeControls fakes;
  FakeShell shell;
  window::Form1 form{fakes.Bundle(), system, shell};
};

struct LanguageCase {
  int button;
  std::map<int, std::string> slots;
  std::string label, toolTip, killCookie, check;
};

const std::string kPage = "http://www.macromedia.com/support/documentation/";

const LanguageCase kGerman = {
    0,
    {{0, "Zuerst Cookies auswählen."},
     {1, "Nichts zu löschen."},
     {10, "Markierte Cookies löschen?"},
     {11, "Flashcookie löschen?"},
     {20, "Datei\t"},
     {21, "Von\t"},
     {22, "Bytes\t"},
     {30, "besuche "},
     {40, kPage + "de/flashplayer/help/settings_manager02.html"},
     {50, kTitle}},
    "Adobe Einstellungsmanager aufrufen",
    "Rechstklicken für Menü",
    "Cookie löschen [Entf]",
    "erweitertes suchen"};

const LanguageCase kEnglish = {
    1,
    {{0, "Select cookies first."},
     {1, "Nothing to delete."},
     {10, "Delete selected cookies??"},
     {11, "Delete flashcookie?"},
     {20, "File\t"},
     {21, "From\t"},
     {22, "Bytes\t"},
     {30, "visit "},
     {40, kPage + "en/flashplayer/help/settings_manager02.html"},
     {50, kTitle}},
    "Visit Adobe Settings Manager",
    "Rightklick for menu",
    "delete cookie [del]",
    "deeper scan"};

TEST(LanguageTexts, EverySlotAndCaptionExact) {
  for (const auto& lang : {kGerman, kEnglish}) {
    Window w;
    w.fakes.form.title = "design";
    w.form.Command1_Click(lang.button);
    for (int slot = 0; slot < 101; ++slot) {
      const auto it = lang.slots.find(slot);
      EXPECT_EQ(w.form.LangText[slot], it == lang.slots.end() ? "" : it->second) << lang.button << " slot " << slot;
    }
    EXPECT_EQ(w.fakes.form.title, kTitle);
    EXPECT_EQ(w.fakes.Label1.caption, lang.label);
    EXPECT_EQ(w.fakes.List1.toolTip, lang.toolTip);
    EXPECT_EQ(w.fakes.KillCookie.caption, lang.killCookie);
    EXPECT_EQ(w.fakes.Check1.caption, lang.check);
  }
}

TEST(LanguageTexts, SwitchingBackGivesTheStateOfOneSwitch) {
  Window once, thrice;
  once.form.Command1_Click(1);
  for (const int button : {1, 0, 1}) thrice.form.Command1_Click(button);
  EXPECT_EQ(thrice.form.LangText, once.form.LangText);
  EXPECT_EQ(thrice.fakes.form.title, once.fakes.form.title);
  EXPECT_EQ(thrice.fakes.Label1.caption, once.fakes.Label1.caption);
  EXPECT_EQ(thrice.fakes.List1.toolTip, once.fakes.List1.toolTip);
  EXPECT_EQ(thrice.fakes.KillCookie.caption, once.fakes.KillCookie.caption);
  EXPECT_EQ(thrice.fakes.Check1.caption, once.fakes.Check1.caption);
}

TEST(LanguageTexts, StartsInGermanOnlyForTheSuffixAtTheEnd) {
  const std::vector<std::pair<std::string, bool>> cases = {
      {"[GER]", true},     {"vesk[ger]", true}, {"Vesk[gEr]", true},  {"vesk", false}, {"", false},
      {"GER]", false},     {"[GER]x", false},   {"vesk[GER] ", false}, {"vesk(GER)", false}};
  for (const auto& [name, german] : cases) EXPECT_EQ(window::language::StartsInGerman(name), german) << name;
}

TEST(LanguageTexts, TitleWritesVersionNumbersPlainly) {
  EXPECT_EQ(window::language::TitleText({0, 5, 2}), kTitle);
  EXPECT_EQ(window::language::TitleText({1, 20, 300}),
            std::string("Vesk_1.20.300") + "     " + "vesk.example.org" + "      " + "*Freeware*");
}

using Box = std::array<float, 4>;  // left, top, width, height

template <class C>
Box Geometry(const C& c) {
  return {c.left, c.top, c.width, c.height};
}

// Controls with the sizes they had before the first layout: 100 x 100 buttons, a check box 40
// high and a label 20 high.
void Prepare(FakeControls& f, float width, float height) {
  f.form.innerWidth = width;
  f.form.innerHeight = height;
  for (auto* button : {&f.Command1_0, &f.Command1_1, &f.Command2}) button->width = button->height = 100;
  f.Check1.height = 40;
  f.Label1.height = 20;
}

TEST(LayoutPlacement, ExampleWindowAndOddSizes) {
  struct Case {
    float width, height;
    std::vector<Box> expected;  // List1, Text1, List2, Check1, Label1, Command1(0), Command1(1), Command2
  };
  const std::vector<Case> cases = {
      {960, 800,
       {{0, 0, 960, 400}, {0, 400, 480, 400}, {480, 400, 480, 200}, {480, 630, 480, 40}, {480, 730, 480, 20},
        {580, 700, 100, 100}, {680, 700, 100, 100}, {860, 700, 100, 100}}},
      {961, 801,
       {{0, 0, 961, 400.5f}, {0, 400.5f, 480.5f, 400.5f}, {480.5f, 400.5f, 480.5f, 200.25f},
        {480.5f, 630.75f, 480.5f, 40}, {480.5f, 730.75f, 480.5f, 20}, {580.5f, 701, 100, 100},
        {680.5f, 701, 100, 100}, {861, 701, 100, 100}}},
      {0, 0,
       {{0, 0, 0, 0}, {0, 0, 0, 0}, {0, 0, 0, 0}, {0, 30, 0, 40}, {0, 130, 0, 20}, {100, -100, 100, 100},
        {200, -100, 100, 100}, {-100, -100, 100, 100}}},
      {960, 50,
       {{0, 0, 960, 25}, {0, 25, 480, 25}, {480, 25, 480, 12.5f}, {480, 67.5f, 480, 40}, {480, 167.5f, 480, 20},
        {580, -50, 100, 100}, {680, -50, 100, 100}, {860, -50, 100, 100}}},
  };
  // One set of controls for every size: each layout starts from what the last one left.
  FakeControls f;
  for (const auto& c : cases) {
    Prepare(f, c.width, c.height);
    window::LayOut(f.Bundle());
    const std::vector<Box> got = {Geometry(f.List1),  Geometry(f.Text1),      Geometry(f.List2),
                                  Geometry(f.Check1), Geometry(f.Label1),     Geometry(f.Command1_0),
                                  Geometry(f.Command1_1), Geometry(f.Command2)};
    EXPECT_EQ(got, c.expected) << c.width << " x " << c.height;
  }
  // What is kept is not handed to the move at all.
  EXPECT_FALSE(f.Check1.moves.back().height.has_value());
  EXPECT_FALSE(f.Label1.moves.back().height.has_value());
  for (const auto* button : {&f.Command1_0, &f.Command1_1, &f.Command2}) {
    EXPECT_FALSE(button->moves.back().width.has_value());
    EXPECT_FALSE(button->moves.back().height.has_value());
  }
}

TEST(LayoutPlacement, LaterStepsUseTheSizesTheToolkitReallyGave) {
  const auto wholeLines = [](float h) { return static_cast<float>(static_cast<int>(h / 30) * 30); };
  struct Case {
    const char* name;
    std::function<void(FakeControls&)> toolkit;
    float list2Height, checkTop, labelTop;
  };
  const std::vector<Case> cases = {
      {"exact", [](FakeControls&) {}, 200, 630, 730},
      {"List2 whole lines", [&](FakeControls& f) { f.List2.adjustHeight = wholeLines; }, 180, 610, 710},
      {"Text1 whole lines", [&](FakeControls& f) { f.Text1.adjustHeight = wholeLines; }, 195, 625, 725},
      {"List1 whole lines", [&](FakeControls& f) { f.List1.adjustHeight = wholeLines; }, 200, 630, 730},
  };
  for (const auto& c : cases) {
    FakeControls f;
    Prepare(f, 960, 800);
    c.toolkit(f);
    window::LayOut(f.Bundle());
    EXPECT_EQ(f.List2.height, c.list2Height) << c.name;
    EXPECT_EQ(f.Check1.top, c.checkTop) << c.name;
    EXPECT_EQ(f.Label1.top, c.labelTop) << c.name;
  }
}

TEST(LayoutPlacement, LanguageButtonsFollowTheFirstButtonsSize) {
  Window w;
  Prepare(w.fakes, 960, 800);
  w.fakes.Command1_1.width = 150;
  w.fakes.Command1_1.height = 130;
  w.form.Form_Resize();
  EXPECT_EQ(Geometry(w.fakes.Command1_1), (Box{680, 700, 150, 130}));

  w.fakes.Command1_0.width = 120;
  w.fakes.Command1_0.height = 80;
  w.form.Form_Resize();
  EXPECT_EQ(Geometry(w.fakes.Command1_0), (Box{600, 720, 120, 80}));
  EXPECT_EQ(Geometry(w.fakes.Command1_1), (Box{720, 720, 150, 130}));
  EXPECT_EQ(Geometry(w.fakes.Command2), (Box{860, 700, 100, 100}));
}

}  // namespace
}  // namespace vesk::test
