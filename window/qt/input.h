#pragma once

// Qt's input codes turned into the codes the window logic uses (Windows virtual-key codes, the
// button numbers 1/2/4 and the shift bits 1/2/4).

#include <Qt>

namespace vesk::qt {

// The virtual-key code of a Qt key, or 0 for a key without one here.
int VirtualKey(int qtKey);
int ShiftState(Qt::KeyboardModifiers modifiers);
// 0 for a button other than left, right and middle.
int ButtonCode(Qt::MouseButton button);

}  // namespace vesk::qt
