#include "window/layout.h"

namespace vesk::window {

void LayOut(const Controls& c) {
  Window& w = c.form;
  c.List1.Move(0, 0, w.ScaleWidth(), w.ScaleHeight() / 2);
  c.Text1.Move(0, w.ScaleHeight() / 2, w.ScaleWidth() / 2, w.ScaleHeight() / 2);
  c.List2.Move(w.ScaleWidth() / 2, w.ScaleHeight() / 2, w.ScaleWidth() / 2, c.Text1.Height() / 2);
  c.Check1.Move(w.ScaleWidth() / 2, w.ScaleHeight() / 2 + c.List2.Height() + 30, w.ScaleWidth() / 2);
  c.Label1.Move(w.ScaleWidth() / 2, w.ScaleHeight() / 2 + c.List2.Height() + 90 + c.Check1.Height(),
                w.ScaleWidth() / 2);
  // Both language buttons follow the size of the first one.
  c.Command1_0.Move(w.ScaleWidth() / 2 + c.Command1_0.Width(), w.ScaleHeight() - c.Command1_0.Height());
  c.Command1_1.Move(w.ScaleWidth() / 2 + 2 * c.Command1_0.Width(), w.ScaleHeight() - c.Command1_0.Height());
  c.Command2.Move(w.ScaleWidth() - c.Command2.Width(), w.ScaleHeight() - c.Command2.Height());
}

}  // namespace vesk::window
