#include "window/language.h"

#include "base/build_config.h"
#include "window/form1.h"

namespace vesk::window::language {
namespace {

struct Table {
  const char* selectFirst;      // 0
  const char* nothingToDelete;  // 1
  const char* confirmDelete;    // 10
  const char* confirmTitle;     // 11
  const char* fileRow;          // 20
  const char* fromRow;          // 21
  const char* bytesRow;         // 22
  const char* visitPrefix;      // 30
  const char* languageFolder;   // in slot 40
  const char* label;
  const char* toolTip;
  const char* killCookie;
  const char* deeperScan;
};

constexpr Table kGerman = {
    "Zuerst Cookies auswählen.",
    "Nichts zu löschen.",
    "Markierte Cookies löschen?",
    "Flashcookie löschen?",
    "Datei\t",
    "Von\t",
    "Bytes\t",
    "besuche ",
    "de",
    "Adobe Einstellungsmanager aufrufen",
    "Rechstklicken für Menü",
    "Cookie löschen [Entf]",
    "erweitertes suchen",
};

constexpr Table kEnglish = {
    "Select cookies first.",
    "Nothing to delete.",
    "Delete selected cookies??",
    "Delete flashcookie?",
    "File\t",
    "From\t",
    "Bytes\t",
    "visit ",
    "en",
    "Visit Adobe Settings Manager",
    "Rightklick for menu",
    "delete cookie [del]",
    "deeper scan",
};

struct More {
  const char* textTab;
  const char* valuesTab;
  const char* nameColumn;
  const char* valueColumn;
  const char* typeColumn;
  const char* copyValue;
  const char* copyAllJson;
  ValuesTexts values;
  AccessibleNames accessible;
};

const More kGermanMore = {
    "Text", "Werte", "Name", "Wert", "Typ", "Wert kopieren", "Alles als JSON kopieren",
    {"Cookie", "Bytes", "Problem", "bei Byte", "keine .sol-Datei", "nicht lesbar", "Verweis", "Schlüssel", "Wert"},
    {"Cookies", "Cookie-Text", "Details", "Deutsch", "English", "Beenden", "Ansichten", "Werte"},
};

const More kEnglishMore = {
    "Text", "Values", "Name", "Value", "Type", "Copy value", "Copy all as JSON",
    {"cookie", "bytes", "problem", "at byte", "not a .sol file", "cannot be read", "reference", "key", "value"},
    {"Cookies", "Cookie text", "Details", "Deutsch", "English", "Exit", "Views", "Values"},
};

void ApplyMore(Form1& form, const More& more) {
  MoreTexts& texts = form.More;
  texts.textTab = more.textTab;
  texts.valuesTab = more.valuesTab;
  texts.nameColumn = more.nameColumn;
  texts.valueColumn = more.valueColumn;
  texts.typeColumn = more.typeColumn;
  texts.copyValue = more.copyValue;
  texts.copyAllJson = more.copyAllJson;
  texts.values = more.values;
  texts.accessible = more.accessible;
  const ValuesControls* v = form.Values();
  if (!v) return;
  v->Tabs.SetCaptions(texts.textTab, texts.valuesTab);
  v->Values.SetColumnCaptions(texts.nameColumn, texts.valueColumn, texts.typeColumn);
  v->CopyValue.SetCaption(texts.copyValue);
  v->CopyAllJson.SetCaption(texts.copyAllJson);
  v->accessibility.SetNames(texts.accessible);
  v->Values.Refresh();  // the rows that are not values speak the language too
}

void Apply(Form1& form, const Table& table) {
  Texts& slots = form.LangText;
  slots[0] = table.selectFirst;
  slots[1] = table.nothingToDelete;
  slots[10] = table.confirmDelete;
  slots[11] = table.confirmTitle;
  slots[20] = table.fileRow;
  slots[21] = table.fromRow;
  slots[22] = table.bytesRow;
  slots[30] = table.visitPrefix;
  slots[40] = std::string("http://") + build::kSettingsHost + "/support/documentation/" +
              table.languageFolder + "/flashplayer/help/settings_manager02.html";
  // The version is read afresh each time, as the executable reports it.
  slots[50] = TitleText(form.Platform().ProgramVersion());

  const Controls& c = form.Ctl();
  c.form.SetTitle(slots[50]);
  c.Label1.SetCaption(table.label);
  c.List1.SetToolTip(table.toolTip);
  c.KillCookie.SetCaption(table.killCookie);
  c.Check1.SetCaption(table.deeperScan);
}

}  // namespace

void SetGerman(Form1& form) {
  Apply(form, kGerman);
  ApplyMore(form, kGermanMore);
}

void SetEnglish(Form1& form) {
  Apply(form, kEnglish);
  ApplyMore(form, kEnglishMore);
}

bool StartsInGerman(const std::string& executableName) {
  constexpr std::string_view suffix = "[GER]";
  if (executableName.size() < suffix.size()) return false;
  const std::string_view tail = std::string_view(executableName).substr(executableName.size() - suffix.size());
  for (std::size_t i = 0; i < suffix.size(); ++i) {
    char c = tail[i];
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (c != suffix[i]) return false;
  }
  return true;
}

std::string TitleText(const platform::Version& version) {
  return "Vesk_" + std::to_string(version.major) + "." + std::to_string(version.minor) + "." +
         std::to_string(version.revision) + "     " + build::kMakerHost + "      *Freeware*";
}

}  // namespace vesk::window::language
