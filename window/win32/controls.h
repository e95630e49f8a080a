#pragma once

// One small wrapper per Win32 control, each implementing its interface of window/controls.h.
// They only translate: every event goes out through a callback member, and the window decides
// what it means.

#include <windows.h>

#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "window/controls.h"
#include "window/win32/accessible.h"
#include "window/win32/twips.h"

namespace vesk::win32 {

// Move and size in twips for any wrapped window.
template <class Interface>
class Placed : public Interface {
 public:
  void Move(float left, std::optional<float> top = std::nullopt, std::optional<float> width = std::nullopt,
            std::optional<float> height = std::nullopt) override {
    MoveInTwips(hwnd_, left, top, width, height);
  }
  float Width() const override { return WidthInTwips(hwnd_); }
  float Height() const override { return HeightInTwips(hwnd_); }
  HWND Hwnd() const { return hwnd_; }

 protected:
  HWND hwnd_ = nullptr;
};

// Creates a child window at a position and size in twips; the parent's DPI converts them.
HWND CreateChild(HWND parent, const wchar_t* className, DWORD style, DWORD exStyle, int id, float left, float top,
                 float width, float height);

// Mouse button and modifier codes of the window logic.
int ShiftState();                   // from the keyboard state
int MouseShiftState(WPARAM wParam);  // from a mouse message's key flags

class ListBoxControl final : public Placed<window::ListBox>, public AccessibleSource {
 public:
  // Key and mouse events, delivered before the list box acts on them. x and y are twips.
  std::function<void(int keyCode, int shift)> onKeyDown;
  std::function<void(int button, int shift, float x, float y)> onMouseDown;
  std::function<void(int button, int shift, float x, float y)> onMouseUp;

  ListBoxControl() = default;
  ~ListBoxControl() override;
  ListBoxControl(const ListBoxControl&) = delete;
  ListBoxControl& operator=(const ListBoxControl&) = delete;

  void Create(HWND parent, int id, bool multiSelect, DWORD extraStyle, float left, float top, float width,
              float height);

  void Clear() override;
  void AddItem(const std::string& text) override;
  void AddItems(const std::vector<std::string>& texts) override;
  int ListCount() const override;
  int ListIndex() const override;
  std::string List(int index) const override;
  bool Selected(int index) const override;
  void SetSelected(int index, bool selected) override;
  void SelectAll() override;
  int SelCount() const override;
  void SetVisible(bool visible) override;
  void SetToolTip(const std::string& text) override;
  // Draws a row of a list created with LBS_NODATA | LBS_OWNERDRAWFIXED, which keeps its texts
  // here: filling it is one message, however many rows.
  void DrawItem(const DRAWITEMSTRUCT& item) const;
  // Names the list in the timing log (timing_log.h); unnamed lists log nothing.
  void SetTimingName(const char* name) { timingName_ = name; }
  void SetAccessibleName(const std::wstring& name) { Rename(hwnd_, name); }

  // AccessibleSource: the rows' texts come from here, where the list box holds none.
  long AccessibleRole() const override { return ROLE_SYSTEM_LIST; }
  bool HasItems() const override { return true; }
  long ItemCount() const override { return ListCount(); }
  AccessibleItem Item(long index) const override;
  bool ItemRect(long index, RECT& client) const override;
  long ItemAt(POINT client) const override;
  long FocusedItem() const override;

 private:
  static LRESULT CALLBACK Subclass(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                   DWORD_PTR self);
  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
  // The widest of `texts` in the list's font, in pixels.
  int WidestText(const std::vector<std::wstring>& texts) const;
  void SyncExtent();  // tells the list box extent_ where that shows or hides its scroll bar
  void TypeAhead(wchar_t typed);

  bool multiSelect_ = false;
  bool ownerData_ = false;
  std::vector<std::string> items_;  // the rows' texts when the list box holds none
  bool hadFocus_ = false;
  int extent_ = 0;      // widest item in pixels
  int sentExtent_ = 0;  // the horizontal extent the list box was last given (it starts with none)
  HWND toolTip_ = nullptr;
  const char* timingName_ = nullptr;
};

class TextBoxControl final : public Placed<window::TextBox>, public AccessibleSource {
 public:
  void Create(HWND parent, int id, float left, float top, float width, float height);
  void SetText(const std::string& text) override;
  void SetText(platform::Utf16String&& text) override;
  void SetAccessibleName(const std::wstring& name) { Rename(hwnd_, name); }

  long AccessibleRole() const override { return ROLE_SYSTEM_TEXT; }
  std::wstring AccessibleValue() const override;
};

class CheckBoxControl final : public Placed<window::CheckBox> {
 public:
  void Create(HWND parent, int id, float left, float top, float width, float height);
  int Value() const override;
  void SetCaption(const std::string& text) override;
};

class LabelControl final : public Placed<window::Label> {
 public:
  void Create(HWND parent, int id, float left, float top, float width, float height);
  void SetCaption(const std::string& text) override;
};

// A push button that shows a picture instead of a caption. Its name for screen readers is kept
// as its window text too, which the picture hides.
class PictureButtonControl final : public Placed<window::Control>, public AccessibleSource {
 public:
  void Create(HWND parent, int id, float left, float top, float width, float height);
  void SetPicture(HBITMAP picture);
  void SetAccessibleName(const std::wstring& name);

  long AccessibleRole() const override { return ROLE_SYSTEM_PUSHBUTTON; }
};

// The single item of a popup menu.
class MenuItemControl final : public window::MenuItem {
 public:
  void Create(HMENU menu, int id, const std::string& caption);
  void SetCaption(const std::string& text) override;
  int Id() const { return id_; }
  std::string Caption() const;

 private:
  HMENU menu_ = nullptr;
  int id_ = 0;
};

// Text put on the clipboard as Unicode text, lines ended with CR LF as Windows programs expect.
class ClipboardControl final : public window::Clipboard {
 public:
  void Create(HWND owner) { owner_ = owner; }
  void SetText(const std::string& text) override;

 private:
  HWND owner_ = nullptr;
};

// Tasks for the window's thread, posted from any thread: each one a private message to the
// window, run in order by RunWaiting when it arrives. Once the window is closed they are dropped.
class WindowTasks final : public window::TaskQueue {
 public:
  static constexpr UINT kMessage = WM_APP + 1;
  void Open(HWND window);
  void Close();
  void Post(std::function<void()> task) override;
  // On the window's thread, for kMessage.
  void RunWaiting();

 private:
  std::mutex mutex_;
  HWND window_ = nullptr;
  std::deque<std::function<void()>> tasks_;
};

}  // namespace vesk::win32
