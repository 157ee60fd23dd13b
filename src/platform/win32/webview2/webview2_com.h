#pragma once
// The few WebView2 COM interfaces Tarnel calls, declared here in the C form
// (a struct holding a pointer to a table of function pointers) because no SDK
// header is available to the build. Slot order and IIDs were checked against
// the release SDK header WebView2.h that declares ICoreWebView2 through
// ICoreWebView2_22 (MIDL-generated, 1.0 release line; it has
// add_FrameNavigationCompleted and AddHostObjectToScript). Every table lists
// all slots in order up to the last one Tarnel uses; slots Tarnel never calls
// keep loose parameter types, which does not change the layout. The
// static_asserts pin each slot that is called: moving or dropping an entry
// above it breaks the build.
#include "platform/win32/windows_api.h"

#include <unknwn.h>

#include <cstddef>
#include <cstdint>

namespace tarnel::platform::win32::webview2 {

struct EventRegistrationToken {
  std::int64_t value = 0;
};

// Byte order as the runtime reads it: alpha, red, green, blue.
struct COREWEBVIEW2_COLOR {
  BYTE A;
  BYTE R;
  BYTE G;
  BYTE B;
};
static_assert(sizeof(COREWEBVIEW2_COLOR) == 4);

struct ICoreWebView2;
struct ICoreWebView2Settings;
struct ICoreWebView2Controller;
struct ICoreWebView2Environment;
struct ICoreWebView2EnvironmentOptions;
struct ICoreWebView2WebMessageReceivedEventArgs;
struct ICoreWebView2NewWindowRequestedEventArgs;
struct ICoreWebView2NavigationStartingEventArgs;
struct ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler;
struct ICoreWebView2CreateCoreWebView2ControllerCompletedHandler;
struct ICoreWebView2WebMessageReceivedEventHandler;
struct ICoreWebView2NewWindowRequestedEventHandler;
struct ICoreWebView2NavigationStartingEventHandler;
struct ICoreWebView2ExecuteScriptCompletedHandler;

// The slot's byte offset in a table: IUnknown holds slots 0 to 2.
constexpr std::size_t SlotOffset(std::size_t slot) { return slot * sizeof(void*); }

#define TARNEL_COM_METHOD(name, ...) HRESULT(STDMETHODCALLTYPE* name)(__VA_ARGS__)
#define TARNEL_IUNKNOWN_SLOTS(Interface)                         \
  TARNEL_COM_METHOD(QueryInterface, Interface*, REFIID, void**); \
  ULONG(STDMETHODCALLTYPE* AddRef)(Interface*);                  \
  ULONG(STDMETHODCALLTYPE* Release)(Interface*)

// {4E8A3389-C9D8-4BD2-B6B5-124FEE6CC14D}
inline constexpr GUID kIidEnvironmentCompletedHandler = {
    0x4e8a3389, 0xc9d8, 0x4bd2, {0xb6, 0xb5, 0x12, 0x4f, 0xee, 0x6c, 0xc1, 0x4d}};
struct ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandlerVtbl {
  TARNEL_IUNKNOWN_SLOTS(ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler);
  TARNEL_COM_METHOD(Invoke, ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler*, HRESULT,
                    ICoreWebView2Environment*);
};
struct ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler {
  const ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandlerVtbl* lpVtbl;
};
static_assert(offsetof(ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandlerVtbl, Invoke) == SlotOffset(3));

// {6C4819F3-C9B7-4260-8127-C9F5BDE7F68C}
inline constexpr GUID kIidControllerCompletedHandler = {
    0x6c4819f3, 0xc9b7, 0x4260, {0x81, 0x27, 0xc9, 0xf5, 0xbd, 0xe7, 0xf6, 0x8c}};
struct ICoreWebView2CreateCoreWebView2ControllerCompletedHandlerVtbl {
  TARNEL_IUNKNOWN_SLOTS(ICoreWebView2CreateCoreWebView2ControllerCompletedHandler);
  TARNEL_COM_METHOD(Invoke, ICoreWebView2CreateCoreWebView2ControllerCompletedHandler*, HRESULT,
                    ICoreWebView2Controller*);
};
struct ICoreWebView2CreateCoreWebView2ControllerCompletedHandler {
  const ICoreWebView2CreateCoreWebView2ControllerCompletedHandlerVtbl* lpVtbl;
};
static_assert(offsetof(ICoreWebView2CreateCoreWebView2ControllerCompletedHandlerVtbl, Invoke) == SlotOffset(3));

// {57213F19-00E6-49FA-8E07-898EA01ECBD2}
inline constexpr GUID kIidWebMessageReceivedEventHandler = {
    0x57213f19, 0x00e6, 0x49fa, {0x8e, 0x07, 0x89, 0x8e, 0xa0, 0x1e, 0xcb, 0xd2}};
struct ICoreWebView2WebMessageReceivedEventHandlerVtbl {
  TARNEL_IUNKNOWN_SLOTS(ICoreWebView2WebMessageReceivedEventHandler);
  TARNEL_COM_METHOD(Invoke, ICoreWebView2WebMessageReceivedEventHandler*, ICoreWebView2*,
                    ICoreWebView2WebMessageReceivedEventArgs*);
};
struct ICoreWebView2WebMessageReceivedEventHandler {
  const ICoreWebView2WebMessageReceivedEventHandlerVtbl* lpVtbl;
};
static_assert(offsetof(ICoreWebView2WebMessageReceivedEventHandlerVtbl, Invoke) == SlotOffset(3));

// {D4C185FE-C81C-4989-97AF-2D3FA7AB5651}
inline constexpr GUID kIidNewWindowRequestedEventHandler = {
    0xd4c185fe, 0xc81c, 0x4989, {0x97, 0xaf, 0x2d, 0x3f, 0xa7, 0xab, 0x56, 0x51}};
struct ICoreWebView2NewWindowRequestedEventHandlerVtbl {
  TARNEL_IUNKNOWN_SLOTS(ICoreWebView2NewWindowRequestedEventHandler);
  TARNEL_COM_METHOD(Invoke, ICoreWebView2NewWindowRequestedEventHandler*, ICoreWebView2*,
                    ICoreWebView2NewWindowRequestedEventArgs*);
};
struct ICoreWebView2NewWindowRequestedEventHandler {
  const ICoreWebView2NewWindowRequestedEventHandlerVtbl* lpVtbl;
};
static_assert(offsetof(ICoreWebView2NewWindowRequestedEventHandlerVtbl, Invoke) == SlotOffset(3));

// {9ADBE429-F36D-432B-9DDC-F8881FBD76E3}
inline constexpr GUID kIidNavigationStartingEventHandler = {
    0x9adbe429, 0xf36d, 0x432b, {0x9d, 0xdc, 0xf8, 0x88, 0x1f, 0xbd, 0x76, 0xe3}};
struct ICoreWebView2NavigationStartingEventHandlerVtbl {
  TARNEL_IUNKNOWN_SLOTS(ICoreWebView2NavigationStartingEventHandler);
  TARNEL_COM_METHOD(Invoke, ICoreWebView2NavigationStartingEventHandler*, ICoreWebView2*,
                    ICoreWebView2NavigationStartingEventArgs*);
};
struct ICoreWebView2NavigationStartingEventHandler {
  const ICoreWebView2NavigationStartingEventHandlerVtbl* lpVtbl;
};
static_assert(offsetof(ICoreWebView2NavigationStartingEventHandlerVtbl, Invoke) == SlotOffset(3));

// {49511172-CC67-4BCA-9923-137112F4C4CC}
inline constexpr GUID kIidExecuteScriptCompletedHandler = {
    0x49511172, 0xcc67, 0x4bca, {0x99, 0x23, 0x13, 0x71, 0x12, 0xf4, 0xc4, 0xcc}};
struct ICoreWebView2ExecuteScriptCompletedHandlerVtbl {
  TARNEL_IUNKNOWN_SLOTS(ICoreWebView2ExecuteScriptCompletedHandler);
  // The script's result as JSON ("null" for undefined); errorCode fails when the script could not run.
  TARNEL_COM_METHOD(Invoke, ICoreWebView2ExecuteScriptCompletedHandler*, HRESULT, LPCWSTR);
};
struct ICoreWebView2ExecuteScriptCompletedHandler {
  const ICoreWebView2ExecuteScriptCompletedHandlerVtbl* lpVtbl;
};
static_assert(offsetof(ICoreWebView2ExecuteScriptCompletedHandlerVtbl, Invoke) == SlotOffset(3));

// {B96D755E-0319-4E92-A296-23436F46A1FC}
inline constexpr GUID kIidEnvironment = {0xb96d755e, 0x0319, 0x4e92, {0xa2, 0x96, 0x23, 0x43, 0x6f, 0x46, 0xa1, 0xfc}};
struct ICoreWebView2EnvironmentVtbl {
  TARNEL_IUNKNOWN_SLOTS(ICoreWebView2Environment);
  TARNEL_COM_METHOD(CreateCoreWebView2Controller, ICoreWebView2Environment*, HWND,
                    ICoreWebView2CreateCoreWebView2ControllerCompletedHandler*);
};
struct ICoreWebView2Environment {
  const ICoreWebView2EnvironmentVtbl* lpVtbl;
};
static_assert(offsetof(ICoreWebView2EnvironmentVtbl, CreateCoreWebView2Controller) == SlotOffset(3));

// {4D00C0D1-9434-4EB6-8078-8697A560334F}
inline constexpr GUID kIidController = {0x4d00c0d1, 0x9434, 0x4eb6, {0x80, 0x78, 0x86, 0x97, 0xa5, 0x60, 0x33, 0x4f}};
// {C979903E-D4CA-4228-92EB-47EE3FA96EAB}: ICoreWebView2Controller2.
inline constexpr GUID kIidController2 = {0xc979903e, 0xd4ca, 0x4228, {0x92, 0xeb, 0x47, 0xee, 0x3f, 0xa9, 0x6e, 0xab}};
struct ICoreWebView2ControllerVtbl {
  TARNEL_IUNKNOWN_SLOTS(ICoreWebView2Controller);
  TARNEL_COM_METHOD(get_IsVisible, ICoreWebView2Controller*, BOOL*);
  TARNEL_COM_METHOD(put_IsVisible, ICoreWebView2Controller*, BOOL);
  TARNEL_COM_METHOD(get_Bounds, ICoreWebView2Controller*, RECT*);
  TARNEL_COM_METHOD(put_Bounds, ICoreWebView2Controller*, RECT);
  TARNEL_COM_METHOD(get_ZoomFactor, ICoreWebView2Controller*, double*);
  TARNEL_COM_METHOD(put_ZoomFactor, ICoreWebView2Controller*, double);
  TARNEL_COM_METHOD(add_ZoomFactorChanged, ICoreWebView2Controller*, IUnknown*, EventRegistrationToken*);
  TARNEL_COM_METHOD(remove_ZoomFactorChanged, ICoreWebView2Controller*, EventRegistrationToken);
  TARNEL_COM_METHOD(SetBoundsAndZoomFactor, ICoreWebView2Controller*, RECT, double);
  TARNEL_COM_METHOD(MoveFocus, ICoreWebView2Controller*, int);
  TARNEL_COM_METHOD(add_MoveFocusRequested, ICoreWebView2Controller*, IUnknown*, EventRegistrationToken*);
  TARNEL_COM_METHOD(remove_MoveFocusRequested, ICoreWebView2Controller*, EventRegistrationToken);
  TARNEL_COM_METHOD(add_GotFocus, ICoreWebView2Controller*, IUnknown*, EventRegistrationToken*);
  TARNEL_COM_METHOD(remove_GotFocus, ICoreWebView2Controller*, EventRegistrationToken);
  TARNEL_COM_METHOD(add_LostFocus, ICoreWebView2Controller*, IUnknown*, EventRegistrationToken*);
  TARNEL_COM_METHOD(remove_LostFocus, ICoreWebView2Controller*, EventRegistrationToken);
  TARNEL_COM_METHOD(add_AcceleratorKeyPressed, ICoreWebView2Controller*, IUnknown*, EventRegistrationToken*);
  TARNEL_COM_METHOD(remove_AcceleratorKeyPressed, ICoreWebView2Controller*, EventRegistrationToken);
  TARNEL_COM_METHOD(get_ParentWindow, ICoreWebView2Controller*, HWND*);
  TARNEL_COM_METHOD(put_ParentWindow, ICoreWebView2Controller*, HWND);
  TARNEL_COM_METHOD(NotifyParentWindowPositionChanged, ICoreWebView2Controller*);
  TARNEL_COM_METHOD(Close, ICoreWebView2Controller*);
  TARNEL_COM_METHOD(get_CoreWebView2, ICoreWebView2Controller*, ICoreWebView2**);
};
struct ICoreWebView2Controller {
  const ICoreWebView2ControllerVtbl* lpVtbl;
};
static_assert(offsetof(ICoreWebView2ControllerVtbl, put_IsVisible) == SlotOffset(4));
static_assert(offsetof(ICoreWebView2ControllerVtbl, put_Bounds) == SlotOffset(6));
static_assert(offsetof(ICoreWebView2ControllerVtbl, Close) == SlotOffset(24));
static_assert(offsetof(ICoreWebView2ControllerVtbl, get_CoreWebView2) == SlotOffset(25));
static_assert(sizeof(ICoreWebView2ControllerVtbl) == SlotOffset(26));

// ICoreWebView2Controller2: the controller's table followed by two slots.
struct ICoreWebView2Controller2;
struct ICoreWebView2Controller2Vtbl {
  ICoreWebView2ControllerVtbl controller;
  TARNEL_COM_METHOD(get_DefaultBackgroundColor, ICoreWebView2Controller2*, COREWEBVIEW2_COLOR*);
  TARNEL_COM_METHOD(put_DefaultBackgroundColor, ICoreWebView2Controller2*, COREWEBVIEW2_COLOR);
};
struct ICoreWebView2Controller2 {
  const ICoreWebView2Controller2Vtbl* lpVtbl;
};
static_assert(offsetof(ICoreWebView2Controller2Vtbl, put_DefaultBackgroundColor) == SlotOffset(27));

// {76ECEACB-0462-4D94-AC83-423A6793775E}
inline constexpr GUID kIidWebView = {0x76eceacb, 0x0462, 0x4d94, {0xac, 0x83, 0x42, 0x3a, 0x67, 0x93, 0x77, 0x5e}};
struct ICoreWebView2Vtbl {
  TARNEL_IUNKNOWN_SLOTS(ICoreWebView2);
  TARNEL_COM_METHOD(get_Settings, ICoreWebView2*, ICoreWebView2Settings**);
  TARNEL_COM_METHOD(get_Source, ICoreWebView2*, LPWSTR*);
  TARNEL_COM_METHOD(Navigate, ICoreWebView2*, LPCWSTR);
  TARNEL_COM_METHOD(NavigateToString, ICoreWebView2*, LPCWSTR);
  TARNEL_COM_METHOD(add_NavigationStarting, ICoreWebView2*, ICoreWebView2NavigationStartingEventHandler*,
                    EventRegistrationToken*);
  TARNEL_COM_METHOD(remove_NavigationStarting, ICoreWebView2*, EventRegistrationToken);
  TARNEL_COM_METHOD(add_ContentLoading, ICoreWebView2*, IUnknown*, EventRegistrationToken*);
  TARNEL_COM_METHOD(remove_ContentLoading, ICoreWebView2*, EventRegistrationToken);
  TARNEL_COM_METHOD(add_SourceChanged, ICoreWebView2*, IUnknown*, EventRegistrationToken*);
  TARNEL_COM_METHOD(remove_SourceChanged, ICoreWebView2*, EventRegistrationToken);
  TARNEL_COM_METHOD(add_HistoryChanged, ICoreWebView2*, IUnknown*, EventRegistrationToken*);
  TARNEL_COM_METHOD(remove_HistoryChanged, ICoreWebView2*, EventRegistrationToken);
  TARNEL_COM_METHOD(add_NavigationCompleted, ICoreWebView2*, IUnknown*, EventRegistrationToken*);
  TARNEL_COM_METHOD(remove_NavigationCompleted, ICoreWebView2*, EventRegistrationToken);
  TARNEL_COM_METHOD(add_FrameNavigationStarting, ICoreWebView2*, IUnknown*, EventRegistrationToken*);
  TARNEL_COM_METHOD(remove_FrameNavigationStarting, ICoreWebView2*, EventRegistrationToken);
  TARNEL_COM_METHOD(add_FrameNavigationCompleted, ICoreWebView2*, IUnknown*, EventRegistrationToken*);
  TARNEL_COM_METHOD(remove_FrameNavigationCompleted, ICoreWebView2*, EventRegistrationToken);
  TARNEL_COM_METHOD(add_ScriptDialogOpening, ICoreWebView2*, IUnknown*, EventRegistrationToken*);
  TARNEL_COM_METHOD(remove_ScriptDialogOpening, ICoreWebView2*, EventRegistrationToken);
  TARNEL_COM_METHOD(add_PermissionRequested, ICoreWebView2*, IUnknown*, EventRegistrationToken*);
  TARNEL_COM_METHOD(remove_PermissionRequested, ICoreWebView2*, EventRegistrationToken);
  TARNEL_COM_METHOD(add_ProcessFailed, ICoreWebView2*, IUnknown*, EventRegistrationToken*);
  TARNEL_COM_METHOD(remove_ProcessFailed, ICoreWebView2*, EventRegistrationToken);
  TARNEL_COM_METHOD(AddScriptToExecuteOnDocumentCreated, ICoreWebView2*, LPCWSTR, IUnknown*);
  TARNEL_COM_METHOD(RemoveScriptToExecuteOnDocumentCreated, ICoreWebView2*, LPCWSTR);
  TARNEL_COM_METHOD(ExecuteScript, ICoreWebView2*, LPCWSTR, ICoreWebView2ExecuteScriptCompletedHandler*);
  TARNEL_COM_METHOD(CapturePreview, ICoreWebView2*, int, IUnknown*, IUnknown*);
  TARNEL_COM_METHOD(Reload, ICoreWebView2*);
  TARNEL_COM_METHOD(PostWebMessageAsJson, ICoreWebView2*, LPCWSTR);
  TARNEL_COM_METHOD(PostWebMessageAsString, ICoreWebView2*, LPCWSTR);
  TARNEL_COM_METHOD(add_WebMessageReceived, ICoreWebView2*, ICoreWebView2WebMessageReceivedEventHandler*,
                    EventRegistrationToken*);
  TARNEL_COM_METHOD(remove_WebMessageReceived, ICoreWebView2*, EventRegistrationToken);
  TARNEL_COM_METHOD(CallDevToolsProtocolMethod, ICoreWebView2*, LPCWSTR, LPCWSTR, IUnknown*);
  TARNEL_COM_METHOD(get_BrowserProcessId, ICoreWebView2*, UINT32*);
  TARNEL_COM_METHOD(get_CanGoBack, ICoreWebView2*, BOOL*);
  TARNEL_COM_METHOD(get_CanGoForward, ICoreWebView2*, BOOL*);
  TARNEL_COM_METHOD(GoBack, ICoreWebView2*);
  TARNEL_COM_METHOD(GoForward, ICoreWebView2*);
  TARNEL_COM_METHOD(GetDevToolsProtocolEventReceiver, ICoreWebView2*, LPCWSTR, IUnknown**);
  TARNEL_COM_METHOD(Stop, ICoreWebView2*);
  TARNEL_COM_METHOD(add_NewWindowRequested, ICoreWebView2*, ICoreWebView2NewWindowRequestedEventHandler*,
                    EventRegistrationToken*);
  TARNEL_COM_METHOD(remove_NewWindowRequested, ICoreWebView2*, EventRegistrationToken);
};
struct ICoreWebView2 {
  const ICoreWebView2Vtbl* lpVtbl;
};
static_assert(offsetof(ICoreWebView2Vtbl, get_Settings) == SlotOffset(3));
static_assert(offsetof(ICoreWebView2Vtbl, get_Source) == SlotOffset(4));
static_assert(offsetof(ICoreWebView2Vtbl, Navigate) == SlotOffset(5));
static_assert(offsetof(ICoreWebView2Vtbl, add_NavigationStarting) == SlotOffset(7));
static_assert(offsetof(ICoreWebView2Vtbl, remove_NavigationStarting) == SlotOffset(8));
static_assert(offsetof(ICoreWebView2Vtbl, add_FrameNavigationCompleted) == SlotOffset(19));
static_assert(offsetof(ICoreWebView2Vtbl, ExecuteScript) == SlotOffset(29));
static_assert(offsetof(ICoreWebView2Vtbl, PostWebMessageAsJson) == SlotOffset(32));
static_assert(offsetof(ICoreWebView2Vtbl, add_WebMessageReceived) == SlotOffset(34));
static_assert(offsetof(ICoreWebView2Vtbl, remove_WebMessageReceived) == SlotOffset(35));
static_assert(offsetof(ICoreWebView2Vtbl, add_NewWindowRequested) == SlotOffset(44));
static_assert(offsetof(ICoreWebView2Vtbl, remove_NewWindowRequested) == SlotOffset(45));

// {E562E4F0-D7FA-43AC-8D71-C05150499F00}
inline constexpr GUID kIidSettings = {0xe562e4f0, 0xd7fa, 0x43ac, {0x8d, 0x71, 0xc0, 0x51, 0x50, 0x49, 0x9f, 0x00}};
struct ICoreWebView2SettingsVtbl {
  TARNEL_IUNKNOWN_SLOTS(ICoreWebView2Settings);
  TARNEL_COM_METHOD(get_IsScriptEnabled, ICoreWebView2Settings*, BOOL*);
  TARNEL_COM_METHOD(put_IsScriptEnabled, ICoreWebView2Settings*, BOOL);
  TARNEL_COM_METHOD(get_IsWebMessageEnabled, ICoreWebView2Settings*, BOOL*);
  TARNEL_COM_METHOD(put_IsWebMessageEnabled, ICoreWebView2Settings*, BOOL);
  TARNEL_COM_METHOD(get_AreDefaultScriptDialogsEnabled, ICoreWebView2Settings*, BOOL*);
  TARNEL_COM_METHOD(put_AreDefaultScriptDialogsEnabled, ICoreWebView2Settings*, BOOL);
  TARNEL_COM_METHOD(get_IsStatusBarEnabled, ICoreWebView2Settings*, BOOL*);
  TARNEL_COM_METHOD(put_IsStatusBarEnabled, ICoreWebView2Settings*, BOOL);
  TARNEL_COM_METHOD(get_AreDevToolsEnabled, ICoreWebView2Settings*, BOOL*);
  TARNEL_COM_METHOD(put_AreDevToolsEnabled, ICoreWebView2Settings*, BOOL);
  TARNEL_COM_METHOD(get_AreDefaultContextMenusEnabled, ICoreWebView2Settings*, BOOL*);
  TARNEL_COM_METHOD(put_AreDefaultContextMenusEnabled, ICoreWebView2Settings*, BOOL);
};
struct ICoreWebView2Settings {
  const ICoreWebView2SettingsVtbl* lpVtbl;
};
static_assert(offsetof(ICoreWebView2SettingsVtbl, put_IsScriptEnabled) == SlotOffset(4));
static_assert(offsetof(ICoreWebView2SettingsVtbl, put_IsWebMessageEnabled) == SlotOffset(6));
static_assert(offsetof(ICoreWebView2SettingsVtbl, put_AreDefaultScriptDialogsEnabled) == SlotOffset(8));
static_assert(offsetof(ICoreWebView2SettingsVtbl, put_AreDevToolsEnabled) == SlotOffset(12));
static_assert(offsetof(ICoreWebView2SettingsVtbl, put_AreDefaultContextMenusEnabled) == SlotOffset(14));

// {0F99A40C-E962-4207-9E92-E3D542EFF849}
inline constexpr GUID kIidWebMessageReceivedEventArgs = {
    0x0f99a40c, 0xe962, 0x4207, {0x9e, 0x92, 0xe3, 0xd5, 0x42, 0xef, 0xf8, 0x49}};
struct ICoreWebView2WebMessageReceivedEventArgsVtbl {
  TARNEL_IUNKNOWN_SLOTS(ICoreWebView2WebMessageReceivedEventArgs);
  TARNEL_COM_METHOD(get_Source, ICoreWebView2WebMessageReceivedEventArgs*, LPWSTR*);
  TARNEL_COM_METHOD(get_WebMessageAsJson, ICoreWebView2WebMessageReceivedEventArgs*, LPWSTR*);
  // E_INVALIDARG when the page posted something other than a string.
  TARNEL_COM_METHOD(TryGetWebMessageAsString, ICoreWebView2WebMessageReceivedEventArgs*, LPWSTR*);
};
struct ICoreWebView2WebMessageReceivedEventArgs {
  const ICoreWebView2WebMessageReceivedEventArgsVtbl* lpVtbl;
};
static_assert(offsetof(ICoreWebView2WebMessageReceivedEventArgsVtbl, get_Source) == SlotOffset(3));
static_assert(offsetof(ICoreWebView2WebMessageReceivedEventArgsVtbl, TryGetWebMessageAsString) == SlotOffset(5));

// {34ACB11C-FC37-4418-9132-F9C21D1EAFB9}
inline constexpr GUID kIidNewWindowRequestedEventArgs = {
    0x34acb11c, 0xfc37, 0x4418, {0x91, 0x32, 0xf9, 0xc2, 0x1d, 0x1e, 0xaf, 0xb9}};
struct ICoreWebView2NewWindowRequestedEventArgsVtbl {
  TARNEL_IUNKNOWN_SLOTS(ICoreWebView2NewWindowRequestedEventArgs);
  TARNEL_COM_METHOD(get_Uri, ICoreWebView2NewWindowRequestedEventArgs*, LPWSTR*);
  TARNEL_COM_METHOD(put_NewWindow, ICoreWebView2NewWindowRequestedEventArgs*, ICoreWebView2*);
  TARNEL_COM_METHOD(get_NewWindow, ICoreWebView2NewWindowRequestedEventArgs*, ICoreWebView2**);
  TARNEL_COM_METHOD(put_Handled, ICoreWebView2NewWindowRequestedEventArgs*, BOOL);
  TARNEL_COM_METHOD(get_Handled, ICoreWebView2NewWindowRequestedEventArgs*, BOOL*);
  TARNEL_COM_METHOD(get_IsUserInitiated, ICoreWebView2NewWindowRequestedEventArgs*, BOOL*);
  TARNEL_COM_METHOD(GetDeferral, ICoreWebView2NewWindowRequestedEventArgs*, IUnknown**);
  TARNEL_COM_METHOD(get_WindowFeatures, ICoreWebView2NewWindowRequestedEventArgs*, IUnknown**);
};
struct ICoreWebView2NewWindowRequestedEventArgs {
  const ICoreWebView2NewWindowRequestedEventArgsVtbl* lpVtbl;
};
static_assert(offsetof(ICoreWebView2NewWindowRequestedEventArgsVtbl, get_Uri) == SlotOffset(3));
static_assert(offsetof(ICoreWebView2NewWindowRequestedEventArgsVtbl, put_Handled) == SlotOffset(6));

// {5B495469-E119-438A-9B18-7604F25F2E49}
inline constexpr GUID kIidNavigationStartingEventArgs = {
    0x5b495469, 0xe119, 0x438a, {0x9b, 0x18, 0x76, 0x04, 0xf2, 0x5f, 0x2e, 0x49}};
struct ICoreWebView2NavigationStartingEventArgsVtbl {
  TARNEL_IUNKNOWN_SLOTS(ICoreWebView2NavigationStartingEventArgs);
  TARNEL_COM_METHOD(get_Uri, ICoreWebView2NavigationStartingEventArgs*, LPWSTR*);
  TARNEL_COM_METHOD(get_IsUserInitiated, ICoreWebView2NavigationStartingEventArgs*, BOOL*);
  TARNEL_COM_METHOD(get_IsRedirected, ICoreWebView2NavigationStartingEventArgs*, BOOL*);
  TARNEL_COM_METHOD(get_RequestHeaders, ICoreWebView2NavigationStartingEventArgs*, IUnknown**);
  TARNEL_COM_METHOD(get_Cancel, ICoreWebView2NavigationStartingEventArgs*, BOOL*);
  TARNEL_COM_METHOD(put_Cancel, ICoreWebView2NavigationStartingEventArgs*, BOOL);
  TARNEL_COM_METHOD(get_NavigationId, ICoreWebView2NavigationStartingEventArgs*, UINT64*);
};
struct ICoreWebView2NavigationStartingEventArgs {
  const ICoreWebView2NavigationStartingEventArgsVtbl* lpVtbl;
};
static_assert(offsetof(ICoreWebView2NavigationStartingEventArgsVtbl, get_Uri) == SlotOffset(3));
static_assert(offsetof(ICoreWebView2NavigationStartingEventArgsVtbl, get_IsUserInitiated) == SlotOffset(4));
static_assert(offsetof(ICoreWebView2NavigationStartingEventArgsVtbl, put_Cancel) == SlotOffset(8));

// Environment options are never passed (null); declared for the export's signature.
struct ICoreWebView2EnvironmentOptions {
  const void* lpVtbl;
};

// The loader DLL's export that starts creating an environment.
using CreateEnvironmentWithOptionsFunction = HRESULT(STDMETHODCALLTYPE*)(
    PCWSTR browser_executable_folder, PCWSTR user_data_folder, ICoreWebView2EnvironmentOptions* options,
    ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler* handler);

// The same export of the runtime's EmbeddedBrowserWebView.dll, which the
// loader calls once it has found the runtime: whether to join a browser
// process already running for the same data folder, the runtime's kind (0 for
// an installed one), the data folder, options, the handler.
using CreateRuntimeEnvironmentFunction =
    HRESULT(STDMETHODCALLTYPE*)(bool join_running_instance, int runtime_kind, PCWSTR user_data_folder,
                                IUnknown* options, ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler* handler);
// The runtime kind of an installed (Evergreen) runtime.
inline constexpr int kInstalledRuntime = 0;

#undef TARNEL_IUNKNOWN_SLOTS
#undef TARNEL_COM_METHOD

}  // namespace tarnel::platform::win32::webview2
