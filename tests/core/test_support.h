#pragma once

// Shared pieces of the core tests: a scratch folder on disk, a platform that forwards to the real
// one except where a test replaces a single operation, and controls that remember what the window
// logic did to them.

#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "base/wtf8.h"
#include "platform/platform.h"
#include "window/controls.h"
#include "window/values.h"

namespace vesk::test {

// A fresh folder below /tmp, removed with everything in it when the test ends. Removal works
// relative to open folders, so trees deeper than PATH_MAX and read-only files go too.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  // The folder, without a trailing separator.
  const std::string& Path() const { return path_; }
  // Path() + "/" + relative.
  std::string operator/(const std::string& relative) const { return path_ + "/" + relative; }

 private:
  std::string path_;
};

// Writes `bytes` to `path`, creating every missing folder on the way.
void WriteFile(const std::string& path, const std::string& bytes = "");
void MakeFolders(const std::string& path);
bool Exists(const std::string& path);  // without following a final link
void RemoveTree(const std::string& path);

// platform::Native() with single operations replaceable by a test.
class PlatformWrapper : public platform::System {
 public:
  // Variables not in the map read as empty; nothing comes from the real environment.
  std::map<std::string, std::string> env;
  // Runs before every GetEnv with the variable's name: a test can throw from here.
  std::function<void(const std::string&)> onGetEnv;
  std::string executableName = "vesk";
  // Folders (with or without trailing separator) whose enumeration is refused.
  std::set<std::string> refusedFolders;
  // Files whose removal is refused; refuseAllRemovals refuses every one.
  std::set<std::string> refusedRemovals;
  bool refuseAllRemovals = false;
  // Files that cannot be read, as without access rights.
  std::set<std::string> refusedReads;
  // Runs before every folder is opened, root or child; gets the folder's path. The scan opens
  // folders on several threads; calls are serialized, one at a time.
  std::function<void(const std::string&)> onOpenFolder;
  // Every path handed to RemoveFileBelow, in order.
  std::vector<std::string> removeCalls;
  // Runs before every RemoveFileBelow, with the root and path, before the real removal: a test
  // can change the disk between listing and deleting here.
  std::function<void(const std::string&, const std::string&)> onRemoveBelow;
  // The roots handed to RemoveFileBelow, in order.
  std::vector<std::string> removeRoots;

  // Runs before each operation on the target side of a copy with the operation's name ("child",
  // "look", "create", "write", "finish", "read", "move", "remove") and the name it works on (for
  // "write" and "finish" the new file's name); a non-zero return fails it with that code. A
  // failed "write" first writes half of the bytes, as a disk that fills up on the way.
  std::function<int(const std::string& operation, const std::string& name)> targetFault;
  // Runs before every ReadFileHead with its path (after the real reads have been counted).
  std::function<void(const std::string&)> onRead;

  std::string GetEnv(const std::string& name) override;
  std::unique_ptr<platform::Folder> OpenFolder(const std::string& folder,
                                               const std::string& pattern) override;
  platform::Result ReadFileHead(const std::string& path, std::size_t maxBytes,
                                std::string& bytes) override;
  std::optional<std::int64_t> FileLength(const std::string& path) override;
  std::optional<platform::FileStatus> GetFileStatus(const std::string& path) override;
  platform::Result CheckFolder(const std::string& folder) override;
  platform::RemoveResult RemoveFileBelow(const std::string& root, const std::string& path) override;
  std::optional<platform::FileDetails> GetFileDetails(const std::string& path) override {
    return platform::Native().GetFileDetails(path);
  }
  platform::Result OpenTargetBase(const std::string& folder, std::unique_ptr<platform::TargetFolder>& base) override;
  std::string ExecutableName() override { return executableName; }
  platform::Version ProgramVersion() override;

  // Wraps a real enumeration so that its children are checked against refusedFolders too.
  std::unique_ptr<platform::Folder> Wrap(std::unique_ptr<platform::Folder> folder);
  bool Refused(const std::string& folder) const;
  void RunOpenHook(const std::string& folder);

 private:
  std::mutex hookMutex_;
};

// A control's geometry as the toolkit would hold it. `adjustHeight` lets a test play a toolkit
// that does not apply a requested height exactly.
struct MoveCall {
  float left = 0;
  std::optional<float> top, width, height;
};

template <class Base>
class FakeGeometry : public Base {
 public:
  float left = 0, top = 0, width = 0, height = 0;
  std::function<float(float)> adjustHeight;
  std::vector<MoveCall> moves;

  void Move(float l, std::optional<float> t = std::nullopt, std::optional<float> w = std::nullopt,
            std::optional<float> h = std::nullopt) override {
    moves.push_back({l, t, w, h});
    left = l;
    if (t) top = *t;
    if (w) width = *w;
    if (h) height = adjustHeight ? adjustHeight(*h) : *h;
  }
  float Width() const override { return width; }
  float Height() const override { return height; }
};

using FakeControl = FakeGeometry<window::Control>;

class FakeList : public FakeGeometry<window::ListBox> {
 public:
  std::vector<std::string> items;
  std::vector<bool> selected;
  int current = -1;
  bool visible = true;
  std::string toolTip;
  // The visible flag at each moment an item was selected by the program (SelectAll or
  // SetSelected), so a test can tell whether the list was hidden meanwhile.
  std::vector<bool> visibleWhileSelecting;

  void Clear() override;
  void AddItem(const std::string& text) override;
  int ListCount() const override { return static_cast<int>(items.size()); }
  int ListIndex() const override { return current; }
  std::string List(int index) const override;
  bool Selected(int index) const override;
  void SetSelected(int index, bool value) override;
  void SelectAll() override;
  int SelCount() const override;
  void SetVisible(bool value) override { visible = value; }
  void SetToolTip(const std::string& text) override { toolTip = text; }

  // What a user click does: the item becomes current and the only selected one.
  void ClickItem(int index);
  // What Ctrl+clicks do: exactly these items selected, the last one current.
  void UserSelect(const std::vector<int>& indexes);
  int IndexOf(const std::string& text) const;  // -1 when absent
  std::vector<std::string> SelectedItems() const;
};

class FakeText : public FakeGeometry<window::TextBox> {
 public:
  std::string text;
  void SetText(const std::string& value) override { text = value; }
  void SetText(platform::Utf16String&& value) override { text = base::Wtf8FromUtf16(value); }
};

class FakeCheck : public FakeGeometry<window::CheckBox> {
 public:
  int value = 0;
  std::string caption;
  int Value() const override { return value; }
  void SetCaption(const std::string& text) override { caption = text; }
};

class FakeLabel : public FakeGeometry<window::Label> {
 public:
  std::string caption;
  void SetCaption(const std::string& text) override { caption = text; }
};

class FakeMenuItem : public window::MenuItem {
 public:
  std::string caption;
  void SetCaption(const std::string& text) override { caption = text; }
};

struct MsgBoxCall {
  std::string text;
  int flags = 0;
  std::string title;
  bool operator==(const MsgBoxCall&) const = default;
};

class FakeWindow : public window::Window {
 public:
  std::string title;
  float innerWidth = 0, innerHeight = 0;
  std::deque<int> answers;  // given out in order; kIdOk once they run out
  std::vector<MsgBoxCall> boxes;
  std::vector<window::PopupMenu> popups;
  std::function<void(window::PopupMenu)> onPopup;  // the item chosen while a menu is open
  std::vector<bool> busyHistory;
  bool busy = false;
  bool unloaded = false;

  void SetTitle(const std::string& text) override { title = text; }
  float ScaleWidth() const override { return innerWidth; }
  float ScaleHeight() const override { return innerHeight; }
  void Popup(window::PopupMenu menu) override;
  int MsgBox(const std::string& text, int flags, const std::string& title) override;
  void SetBusy(bool value) override;
  void Unload() override { unloaded = true; }
};

class FakeShell : public window::Shell {
 public:
  std::vector<std::string> opened;
  void Open(const std::string& address) override { opened.push_back(address); }
};

// ---- The Values tab's controls ----

class FakeTabs : public window::TabBar {
 public:
  std::string textCaption, valuesCaption;
  int current = -1;
  void SetCaptions(const std::string& text, const std::string& values) override {
    textCaption = text;
    valuesCaption = values;
  }
  void SetCurrent(int index) override { current = index; }
};

// A tree view: keeps the model it is given, and the rows a user selected.
class FakeValuesView : public window::ValuesView {
 public:
  const window::ValuesModel* model = nullptr;
  int modelsSet = 0;
  int awaited = 0;  // emptied for a file being read
  std::string nameCaption, valueCaption, typeCaption;
  std::vector<Node> selected;
  std::optional<Node> current;
  int refreshes = 0;
  void SetModel(const window::ValuesModel* m) override {
    model = m;
    ++modelsSet;
    selected.clear();
    current.reset();
  }
  void AwaitModel() override {
    model = nullptr;
    ++awaited;
    selected.clear();
    current.reset();
  }
  void SetColumnCaptions(const std::string& name, const std::string& value, const std::string& type) override {
    nameCaption = name;
    valueCaption = value;
    typeCaption = type;
  }
  std::vector<Node> SelectedRows() const override { return selected; }
  std::optional<Node> CurrentRow() const override { return current; }
  void SelectRow(Node node) override {
    selected = {node};
    current = node;
  }
  void Refresh() override { ++refreshes; }
  // The row a user reaches by the names of the rows on the way, e.g. {"player", "name"}.
  Node Find(const std::vector<std::string>& names) const;
};

class FakeClipboard : public window::Clipboard {
 public:
  std::string text;
  void SetText(const std::string& value) override { text = value; }
};

// Tasks wait until the test runs them, as events wait for the window's loop.
class FakeTasks : public window::TaskQueue {
 public:
  void Post(std::function<void()> task) override;
  // Runs the tasks posted until none is waiting or `timeout` passed with none; false then.
  bool RunUntilIdle(int timeoutMs = 5000);
  std::size_t Waiting();

 private:
  std::mutex mutex_;
  std::condition_variable posted_;
  std::deque<std::function<void()>> tasks_;
};

class FakeAccessibility : public window::Accessibility {
 public:
  window::AccessibleNames names;
  void SetNames(const window::AccessibleNames& value) override { names = value; }
};

// One set of fake controls, wired into a Controls bundle.
struct FakeControls {
  FakeWindow form;
  FakeList List1;
  FakeText Text1;
  FakeList List2;
  FakeCheck Check1;
  FakeControl Command1_0;
  FakeControl Command1_1;
  FakeControl Command2;
  FakeLabel Label1;
  FakeMenuItem KillCookie;
  FakeMenuItem VisitHomepage;
  FakeTabs Tabs;
  FakeValuesView Values;
  FakeMenuItem CopyValue;
  FakeMenuItem CopyAllJson;
  FakeClipboard clipboard;
  FakeTasks tasks;
  FakeAccessibility accessibility;

  window::Controls Bundle();
  window::ValuesControls ValuesBundle();
};

}  // namespace vesk::test
