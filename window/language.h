#pragma once

// The German and English texts. LangText has 101 slots, read by slot number when a text is
// built; slots 0, 1, 10, 11, 20, 21, 22, 30, 40 and 50 are used, the others stay empty.

#include <array>
#include <string>

#include "platform/platform.h"
#include "window/controls.h"
#include "window/values.h"

namespace vesk::window {

class Form1;

namespace language {

using Texts = std::array<std::string, 101>;

// The texts of what goes beyond the original window (the Values tab, its menu, the accessible
// names), kept beside LangText so that its slots stay as they are. The language procedures set
// them with the rest.
struct MoreTexts {
  std::string textTab, valuesTab;
  std::string nameColumn, valueColumn, typeColumn;
  std::string copyValue, copyAllJson;
  ValuesTexts values;
  AccessibleNames accessible;
};

// Fill LangText with the language's texts, set the window title to the title text (slot 50) and
// set the captions of Label1, Check1 and KillCookie and the tool tip of List1; then the texts
// beside them (MoreTexts) and, where the Values tab is attached, its captions.
void SetGerman(Form1& form);
void SetEnglish(Form1& form);

// The popup items' captions from the window's design: the delete item's is replaced at start-up,
// the visit item's stays until the first cookie is shown.
inline constexpr const char* kDesignKillCookie = "Kill selected cookies";
inline constexpr const char* kDesignVisitHomepage = "visit";

// True when the executable's base name ends in "[GER]" in any case.
bool StartsInGerman(const std::string& executableName);

// "Vesk_" + version + five blanks + maker's host + six blanks + "*Freeware*".
std::string TitleText(const platform::Version& version);

}  // namespace language
}  // namespace vesk::window
