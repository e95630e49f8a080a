#pragma once

// Where the eight controls go for the window's inner size: the cookie list across the upper
// half, the cookie text in the lower left quarter, details, check box, label and the three
// buttons in the lower right quarter.

#include "window/controls.h"

namespace vesk::window {

// Places the controls one after another. Each step reads the inner size and the sizes the earlier
// steps really produced, since a toolkit may adjust a requested size (a list box showing only
// whole lines). Values are single precision and keep their halves.
void LayOut(const Controls& controls);

}  // namespace vesk::window
