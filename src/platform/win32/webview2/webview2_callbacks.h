#pragma once
// The handler object types the host hands to WebView2.
#include "platform/win32/webview2/com_callback.h"
#include "platform/win32/webview2/webview2_com.h"

namespace tarnel::platform::win32::webview2 {

using EnvironmentCompletedCallback = ComCallback<ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler,
                                                 ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandlerVtbl,
                                                 kIidEnvironmentCompletedHandler, HRESULT, ICoreWebView2Environment*>;
using ControllerCompletedCallback = ComCallback<ICoreWebView2CreateCoreWebView2ControllerCompletedHandler,
                                                ICoreWebView2CreateCoreWebView2ControllerCompletedHandlerVtbl,
                                                kIidControllerCompletedHandler, HRESULT, ICoreWebView2Controller*>;
using WebMessageReceivedCallback =
    ComCallback<ICoreWebView2WebMessageReceivedEventHandler, ICoreWebView2WebMessageReceivedEventHandlerVtbl,
                kIidWebMessageReceivedEventHandler, ICoreWebView2*, ICoreWebView2WebMessageReceivedEventArgs*>;
using NewWindowRequestedCallback =
    ComCallback<ICoreWebView2NewWindowRequestedEventHandler, ICoreWebView2NewWindowRequestedEventHandlerVtbl,
                kIidNewWindowRequestedEventHandler, ICoreWebView2*, ICoreWebView2NewWindowRequestedEventArgs*>;
using ExecuteScriptCallback =
    ComCallback<ICoreWebView2ExecuteScriptCompletedHandler, ICoreWebView2ExecuteScriptCompletedHandlerVtbl,
                kIidExecuteScriptCompletedHandler, HRESULT, LPCWSTR>;
using NavigationStartingCallback =
    ComCallback<ICoreWebView2NavigationStartingEventHandler, ICoreWebView2NavigationStartingEventHandlerVtbl,
                kIidNavigationStartingEventHandler, ICoreWebView2*, ICoreWebView2NavigationStartingEventArgs*>;

}  // namespace tarnel::platform::win32::webview2
