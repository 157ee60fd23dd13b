#pragma once
// A COM handler object (IUnknown plus Invoke) around a std::function, for the
// WebView2 handler interfaces of webview2_com.h: their tables are
// QueryInterface, AddRef, Release, Invoke(self, args...). The object answers
// QueryInterface for IUnknown and its own IID, counts references atomically
// and deletes itself at the last Release.
#include "platform/win32/windows_api.h"

#include <unknwn.h>

#include <atomic>
#include <functional>
#include <utility>

namespace tarnel::platform::win32::webview2 {

// Handler objects alive in the process; the tests check that none leak.
inline std::atomic<long>& LiveComCallbacks() {
  static std::atomic<long> count{0};
  return count;
}

template <typename Interface, typename Vtbl, const GUID& kIid, typename... Args>
class ComCallback {
 public:
  using Function = std::function<void(Args...)>;

  // A new object holding one reference, which the caller releases.
  static Interface* Create(Function function) {
    auto* callback = new ComCallback(std::move(function));
    return reinterpret_cast<Interface*>(&callback->face_);
  }

  ComCallback(const ComCallback&) = delete;
  ComCallback& operator=(const ComCallback&) = delete;

 private:
  // Standard layout, starting like Interface, so an Interface* of this object
  // converts back to the face.
  struct Face {
    const Vtbl* lpVtbl;
    ComCallback* self;
  };

  explicit ComCallback(Function function) : face_{&kVtbl, this}, function_(std::move(function)) {
    ++LiveComCallbacks();
  }
  ~ComCallback() { --LiveComCallbacks(); }

  static ComCallback* From(Interface* object) { return reinterpret_cast<Face*>(object)->self; }

  static HRESULT STDMETHODCALLTYPE QueryInterface(Interface* object, REFIID iid, void** result) {
    if (result == nullptr) return E_POINTER;
    if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, kIid)) {
      *result = nullptr;
      return E_NOINTERFACE;
    }
    AddRef(object);
    *result = object;
    return S_OK;
  }
  static ULONG STDMETHODCALLTYPE AddRef(Interface* object) { return ++From(object)->references_; }
  static ULONG STDMETHODCALLTYPE Release(Interface* object) {
    ComCallback* self = From(object);
    const ULONG left = --self->references_;
    if (left == 0) delete self;
    return left;
  }
  static HRESULT STDMETHODCALLTYPE Invoke(Interface* object, Args... args) {
    // Held for the call: the function may drop the last outside reference.
    AddRef(object);
    ComCallback* self = From(object);
    if (self->function_) self->function_(args...);
    Release(object);
    return S_OK;
  }

  static constexpr Vtbl kVtbl{&QueryInterface, &AddRef, &Release, &Invoke};

  Face face_;
  std::atomic<ULONG> references_{1};
  Function function_;
};

}  // namespace tarnel::platform::win32::webview2
