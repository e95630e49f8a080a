#pragma once

// The controls as the window logic sees them: only the operations it needs. Fakes implement
// them in tests, Qt widgets on Linux, Win32 windows on Windows. Text is UTF-8; positions and
// sizes are twips measured from the top-left corner of the window's inner area.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace vesk::window {

class Control {
 public:
  virtual ~Control() = default;
  // Moves in one operation; a value not given stays as it is.
  virtual void Move(float left, std::optional<float> top = std::nullopt,
                    std::optional<float> width = std::nullopt,
                    std::optional<float> height = std::nullopt) = 0;
  // The size the control really has, which may differ from the one last asked for.
  virtual float Width() const = 0;
  virtual float Height() const = 0;
};

class ListBox : public Control {
 public:
  virtual void Clear() = 0;
  virtual void AddItem(const std::string& text) = 0;
  // Appends many items at once; toolkits can do that much faster than one by one.
  virtual void AddItems(const std::vector<std::string>& texts) {
    for (const auto& text : texts) AddItem(text);
  }
  virtual int ListCount() const = 0;
  // The current item, or -1 when there is none.
  virtual int ListIndex() const = 0;
  // The item's text; empty for an index outside the list.
  virtual std::string List(int index) const = 0;
  virtual bool Selected(int index) const = 0;
  virtual void SetSelected(int index, bool selected) = 0;
  // Selects every item in one operation, raising no click notification.
  virtual void SelectAll() {
    for (int i = 0, n = ListCount(); i < n; ++i) SetSelected(i, true);
  }
  virtual int SelCount() const = 0;
  // Showing a list again that had the keyboard focus when it was hidden gives the focus back.
  virtual void SetVisible(bool visible) = 0;
  virtual void SetToolTip(const std::string& text) = 0;
};

class TextBox : public Control {
 public:
  virtual void SetText(const std::string& text) = 0;
  // The same from UTF-16 text, which the control takes over: a cookie's text can be tens of
  // megabytes, and the toolkits hold UTF-16.
  virtual void SetText(platform::Utf16String&& text) = 0;
};

class CheckBox : public Control {
 public:
  // 1 when checked, 0 when not.
  virtual int Value() const = 0;
  virtual void SetCaption(const std::string& text) = 0;
};

class Label : public Control {
 public:
  virtual void SetCaption(const std::string& text) = 0;
};

class MenuItem {
 public:
  virtual ~MenuItem() = default;
  virtual void SetCaption(const std::string& text) = 0;
};

enum class PopupMenu { List1, List2, Values };  // the menus list_1 and list_2, and the Values tab's

// Message box flags and answers, with the values of the Windows API.
inline constexpr int kMbOk = 0;
inline constexpr int kMbYesNo = 4;
inline constexpr int kMbIconQuestion = 32;
inline constexpr int kMbDefButton2 = 256;
inline constexpr int kIdOk = 1;
inline constexpr int kIdYes = 6;
inline constexpr int kIdNo = 7;

class Window {
 public:
  virtual ~Window() = default;
  virtual void SetTitle(const std::string& text) = 0;
  virtual float ScaleWidth() const = 0;  // inner width in twips
  virtual float ScaleHeight() const = 0;
  // Opens the menu at the mouse pointer and returns when it has closed; the chosen item's
  // handler has run by then.
  virtual void Popup(PopupMenu menu) = 0;
  // A modal message box; returns the button pressed (kIdOk, kIdYes, kIdNo...).
  virtual int MsgBox(const std::string& text, int flags, const std::string& title) = 0;
  // Shows or ends the busy cursor around long work.
  virtual void SetBusy(bool busy) = 0;
  // Closes the window and ends the program.
  virtual void Unload() = 0;
};

// The desktop shell's open action; the program neither waits for it nor reads a result.
class Shell {
 public:
  virtual ~Shell() = default;
  virtual void Open(const std::string& address) = 0;
};

// Everything Form1 works on. The controls outlive the Form1 that uses them.
struct Controls {
  Window& form;
  ListBox& List1;
  TextBox& Text1;
  ListBox& List2;
  CheckBox& Check1;
  Control& Command1_0;  // German
  Control& Command1_1;  // English
  Control& Command2;    // exit
  Label& Label1;
  MenuItem& KillCookie;
  MenuItem& VisitHomepage;
};

// ---- Beside the original window: the Values tab, copies, accessible names ----

class ValuesModel;

// Runs a task later on the window's thread, after the events already waiting; a task still
// waiting when the window is gone is dropped.
class TaskQueue {
 public:
  virtual ~TaskQueue() = default;
  virtual void Post(std::function<void()> task) = 0;
};

// The two tabs of the lower-left area: 0 Text (Text1), 1 Values.
class TabBar {
 public:
  virtual ~TabBar() = default;
  virtual void SetCaptions(const std::string& text, const std::string& values) = 0;
  // Shows tab `index` and its page.
  virtual void SetCurrent(int index) = 0;
};

// The tree of the Values tab, over a model the window logic owns.
class ValuesView {
 public:
  using Node = std::uint64_t;
  virtual ~ValuesView() = default;
  // Shows the rows of `model`, its first level expanded; nullptr empties the view. The model
  // stays alive until the next call.
  virtual void SetModel(const ValuesModel* model) = 0;
  // Empties the view for a file that is being read. A front end whose repaints are slow may leave
  // the old rows on screen a moment (drawn from nothing, the model being gone), so that a file
  // read quickly replaces them with one repaint instead of two. Told again before a model came,
  // the first wait holds.
  virtual void AwaitModel() { SetModel(nullptr); }
  virtual void SetColumnCaptions(const std::string& name, const std::string& value, const std::string& type) = 0;
  // The selected rows in the order shown.
  virtual std::vector<Node> SelectedRows() const = 0;
  // The row with the keyboard focus, if any.
  virtual std::optional<Node> CurrentRow() const = 0;
  // Makes `node` the current and only selected row, its parents expanded, scrolled into view.
  virtual void SelectRow(Node node) = 0;
  // The texts of the rows changed (another language): show them again.
  virtual void Refresh() = 0;
};

class Clipboard {
 public:
  virtual ~Clipboard() = default;
  virtual void SetText(const std::string& text) = 0;
};

// What a screen reader says for each control (the picture buttons and lists have no caption).
struct AccessibleNames {
  std::string List1, Text1, List2, Command1_0, Command1_1, Command2, Tabs, Values;
};
class Accessibility {
 public:
  virtual ~Accessibility() = default;
  virtual void SetNames(const AccessibleNames& names) = 0;
};

// The controls of the Values tab, attached to Form1 by a front end that has them.
struct ValuesControls {
  TabBar& Tabs;
  ValuesView& Values;
  MenuItem& CopyValue;    // items of PopupMenu::Values
  MenuItem& CopyAllJson;
  Clipboard& clipboard;
  TaskQueue& tasks;
  Accessibility& accessibility;
};

// Argument codes of the handlers, whatever the toolkit.
inline constexpr int kLeftButton = 1;
inline constexpr int kRightButton = 2;
inline constexpr int kMiddleButton = 4;
inline constexpr int kShiftMask = 1;
inline constexpr int kCtrlMask = 2;
inline constexpr int kAltMask = 4;
inline constexpr int kKeyDelete = 46;
inline constexpr int kKeyA = 65;
inline constexpr int kKeyTab = 9;
inline constexpr int kKeyEnter = 13;
inline constexpr int kKeyPageUp = 33;
inline constexpr int kKeyPageDown = 34;
inline constexpr int kKeyC = 67;

}  // namespace vesk::window
