#pragma once
// The Windows API headers, included once before anything else in every
// translation unit of the Windows build (forced by the build).
//
// Our platform interfaces use the dialog framework's own names (WM_CREATE,
// PostMessage, MessageBox, SetWindowText...). The Windows headers define the
// same names as macros, which would rewrite our declarations; they are
// removed here, once, so that shared code reads the same on every system.
// Windows code calls the explicit wide functions (PostMessageW, MessageBoxW)
// and takes the message numbers from platform/messages.h (same values).
#ifndef UNICODE
#define UNICODE
#endif
#ifndef _UNICODE
#define _UNICODE
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
// The order matters (Winsock 2 before windows.h).
// clang-format off
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
// Read while WM_USER still has its meaning: the shell's COM headers pull it in.
#include <commctrl.h>
// clang-format on

// Function-name macros that collide with our interfaces' members.
#undef PostMessage
#undef SendMessage
#undef MessageBox
#undef SetWindowText
#undef GetWindowText
#undef GetModuleFileName
#undef CreateWindow
#undef GetObject
#undef DeleteFile
#undef CopyFile
#undef MoveFile
#undef CreateFile
#undef GetCurrentTime
#undef Yield

// Constants that platform/messages.h defines with the same values.
#undef WM_CREATE
#undef WM_SIZE
#undef WM_PAINT
#undef WM_QUERYDRAGICON
#undef WM_INITDIALOG
#undef WM_MOUSEMOVE
#undef WM_LBUTTONDOWN
#undef WM_LBUTTONUP
#undef WM_USER
#undef SW_SHOWNORMAL
#undef SW_SHOWMINIMIZED
#undef SW_SHOWMAXIMIZED
#undef SW_SHOWMINNOACTIVE
#undef SWP_NOSIZE
#undef SWP_NOMOVE
#undef SWP_NOZORDER
#undef SIZE_RESTORED
#undef SIZE_MINIMIZED
#undef SIZE_MAXIMIZED
#undef MB_OK
#undef IDOK
#undef IDCANCEL
