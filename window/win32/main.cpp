// Vesk.exe: the Win32 window over Form1.

#include <windows.h>
#include <objbase.h>

#include "platform/platform.h"
#include "window/win32/last_words.h"
#include "window/win32/main_window.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE /*previous*/, PWSTR /*commandLine*/, int showCommand) {
  try {
    // The shell's open action may hand the request to COM components.
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    vesk::win32::ShellOpen shell;
    vesk::win32::MainWindow window(vesk::platform::Native(), shell);
    int exitCode = 1;
    if (window.Create(instance, showCommand)) exitCode = vesk::win32::MainWindow::Run(window.Hwnd());
    if (SUCCEEDED(com)) CoUninitialize();
    return exitCode;
  } catch (...) {
    vesk::win32::EndAfterException();
  }
}
