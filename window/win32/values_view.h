#pragma once

// The Values tree of the Windows program: a report list view with owner data, three columns
// (name, value, type), each row indented by its depth with a triangle to expand or collapse it.
// A tree view holds an item per row shown, and the first level of a big cookie shows hundreds of
// thousands; this list holds none and asks the model for the rows it paints (VisibleRows). It
// behaves as a tree: Right and Left expand and collapse (or go to the first child and to the
// parent), + and - of the number pad too, a click on the triangle or a double click toggles, a
// right press selects the row under the pointer. Everything else goes out through the callbacks.

#include <windows.h>

#include <commctrl.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "window/controls.h"
#include "window/values.h"
#include "window/visible_rows.h"
#include "window/win32/accessible.h"

namespace vesk::win32 {

class ValuesListControl final : public window::ValuesView, public AccessibleSource {
 public:
  // Keys before the list acts on them; a double click after it has selected the row; a press
  // of the right button after the row under it became the current one. x and y are twips.
  std::function<void(int keyCode, int shift)> onKeyDown;
  std::function<void()> onDblClick;
  std::function<void(int button, int shift, float x, float y)> onMouseDown;

  ValuesListControl() = default;
  ~ValuesListControl() override;
  ValuesListControl(const ValuesListControl&) = delete;
  ValuesListControl& operator=(const ValuesListControl&) = delete;

  // Created hidden.
  void Create(HWND parent, int id);
  HWND Hwnd() const { return hwnd_; }
  // The font and the DPI the triangles are drawn for.
  void SetFont(HFONT font, int dpi);
  // Its parent's WM_NOTIFY from the list; true when answered.
  bool OnNotify(const NMHDR& header, LRESULT& result);
  void SetAccessibleName(const std::wstring& name) { Rename(hwnd_, name); }

  // window::ValuesView
  void SetModel(const window::ValuesModel* model) override;
  void AwaitModel() override;
  void SetColumnCaptions(const std::string& name, const std::string& value, const std::string& type) override;
  std::vector<Node> SelectedRows() const override;
  std::optional<Node> CurrentRow() const override;
  void SelectRow(Node node) override;
  void Refresh() override;

  // What the list shows, for tests and the timing log.
  const window::VisibleRows* Rows() const { return rows_.get(); }
  const window::ValuesModel* Model() const { return model_; }
  // The tool tip's text, empty while none is shown.
  std::wstring ToolTipText() const { return tip_; }
  // Expands or collapses `node` where it has children, keeping the selection on the rows still
  // shown; false when nothing changed.
  bool SetExpanded(Node node, bool expanded);

  // AccessibleSource
  long AccessibleRole() const override { return ROLE_SYSTEM_OUTLINE; }
  bool HasItems() const override { return true; }
  long ItemCount() const override;
  AccessibleItem Item(long index) const override;
  bool ItemRect(long index, RECT& client) const override;
  long ItemAt(POINT client) const override;
  long FocusedItem() const override;
  void ItemDefaultAction(long index) override;

 private:
  static LRESULT CALLBACK Subclass(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                   DWORD_PTR self);
  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
  void FillCell(LVITEMW& item);
  // The row under a point of the client area, and whether the point is on its triangle.
  std::optional<std::size_t> RowAt(POINT client, bool* onTriangle = nullptr) const;
  // Makes `row` the only selected row and the focused one, scrolled into view.
  void Focus(std::size_t row);
  bool OnKey(int key, int shift);
  void SizeColumns();
  void ShowToolTipFor(std::optional<std::size_t> row);
  void MakeImages(int dpi);

  HWND hwnd_ = nullptr;
  HWND toolTip_ = nullptr;
  HIMAGELIST images_ = nullptr;
  const window::ValuesModel* model_ = nullptr;
  std::unique_ptr<window::VisibleRows> rows_;
  std::wstring cell_;  // the text last handed to the list
  std::wstring tip_;
  std::optional<std::size_t> tipRow_;
  int columnsWidth_ = -1;  // the width the columns were last given
  bool clearPending_ = false;  // the rows of a model that is gone are still on screen
};

}  // namespace vesk::win32
