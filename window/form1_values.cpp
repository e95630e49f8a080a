// Beside the original window: the Values tab. The tab shown lasts for the run; a click on a
// cookie, a rescan and a deletion decide what the tab holds; the file is read and decoded off the
// window's thread, and only while the tab is shown.

#include "window/form1.h"

namespace vesk::window {

void Form1::AttachValues(const ValuesControls& controls) {
  v_.emplace(controls);
  loader_ = std::make_unique<ValuesLoader>(system_, controls.tasks);
  v_->Tabs.SetCurrent(Tab);
}

void Form1::ShowValues(const std::string* cookie) {
  if (!v_) return;
  valuesPath_.reset();
  if (cookie) valuesPath_ = *cookie;
  const bool loading = cookie && Tab == 1;
  if (!loading) loader_->Cancel();
  if (model_ || awaiting_) {
    if (loading) v_->Values.AwaitModel();
    else v_->Values.SetModel(nullptr);
    awaiting_ = loading;
    // Before the next file is asked for: the buffer the old one gives back is the one the next
    // is read into (fresh memory costs a page fault each 4 KiB, most of a big file's read).
    model_.reset();
  }
  if (loading) LoadValues();
}

void Form1::LoadValues() {
  if (!valuesPath_) return;
  const std::string path = std::move(*valuesPath_);
  valuesPath_.reset();
  loader_->Load(path, [this](std::optional<lso::Tape> tape) {
    model_ = tape ? std::make_unique<ValuesModel>(std::move(*tape), More.values) : std::make_unique<ValuesModel>(More.values);
    awaiting_ = false;
    v_->Values.SetModel(model_.get());
  });
}

void Form1::Tabs_Click(int index) {
  if (!v_ || (index != 0 && index != 1)) return;
  Tab = index;
  v_->Tabs.SetCurrent(index);
  if (Tab == 0 && textPath_) {
    const std::string cookie = std::move(*textPath_);
    textPath_.reset();
    ShowText(cookie);
  }
  if (Tab != 1) return;
  // Not at start: most runs never open the Values tab.
  loader_->Start();
  LoadValues();
}

bool Form1::Form_KeyPreview(int keyCode, int shift) {
  if (!v_) return false;
  const bool next = (keyCode == kKeyTab && shift == kCtrlMask) || (keyCode == kKeyPageDown && shift == kCtrlMask);
  const bool previous =
      (keyCode == kKeyTab && shift == (kCtrlMask | kShiftMask)) || (keyCode == kKeyPageUp && shift == kCtrlMask);
  if (!next && !previous) return false;
  Tabs_Click(1 - Tab);  // two tabs: the next is the previous
  return true;
}

void Form1::Values_KeyDown(int keyCode, int shift) {
  if (!model_) return;
  if (keyCode == kKeyEnter && shift == 0) Values_DblClick();
  if (keyCode == kKeyC && shift == kCtrlMask) {
    const std::vector<ValuesView::Node> rows = v_->Values.SelectedRows();
    if (!rows.empty()) v_->clipboard.SetText(model_->CopyLines(rows));
  }
  if (keyCode == kKeyC && shift == (kCtrlMask | kShiftMask)) CopyAllJson_Click();
}

void Form1::Values_DblClick() {
  if (!model_) return;
  const std::optional<ValuesView::Node> row = v_->Values.CurrentRow();
  if (!row) return;
  if (const std::optional<ValuesModel::Node> target = model_->Target(*row)) v_->Values.SelectRow(*target);
}

void Form1::Values_MouseDown(int button, int /*shift*/, float /*x*/, float /*y*/) {
  if (v_ && model_ && button == kRightButton) c_.form.Popup(PopupMenu::Values);
}

void Form1::CopyValue_Click() {
  if (!model_) return;
  if (const std::optional<ValuesView::Node> row = v_->Values.CurrentRow()) v_->clipboard.SetText(model_->CopyValue(*row));
}

void Form1::CopyAllJson_Click() {
  if (model_) v_->clipboard.SetText(model_->AllJson());
}

}  // namespace vesk::window
