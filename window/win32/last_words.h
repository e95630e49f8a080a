#pragma once

// The end of Vesk.exe when an exception escapes a handler: an exception cannot pass through the
// system's window procedures, so every entry point from Windows catches and ends here.

namespace vesk::win32 {

// Shows what escaped (out of memory, or a fault of ours) in a message box and ends the program
// with status 1. Call it only inside a catch block.
[[noreturn]] void EndAfterException() noexcept;

}  // namespace vesk::win32
