// <windows.h> without the A/W name macros that collide with the seam's
// method names. Include this instead of <windows.h>.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <shellapi.h>

#undef RegCreateKeyEx
#undef RegOpenKeyEx
#undef RegQueryValueEx
#undef RegSetValueEx
#undef ShellExecuteEx
#undef PeekMessage
#undef DispatchMessage
#undef PostMessage
#undef MessageBox
#undef ShellExecute
#undef GetVersionEx
#undef GetSystemDirectory
