#pragma once
// Owns one reference to a COM interface declared in the C form of
// webview2_com.h. Every such interface starts with IUnknown's three slots, so
// AddRef and Release go through IUnknown.
#include "platform/win32/windows_api.h"

#include <unknwn.h>

#include <utility>

namespace tarnel::platform::win32::webview2 {

template <typename T>
class ComPtr {
 public:
  ComPtr() = default;
  // Takes over a reference the caller already holds.
  static ComPtr Adopt(T* pointer) { return ComPtr(pointer); }
  // Takes a reference of its own.
  static ComPtr Share(T* pointer) {
    if (pointer != nullptr) AsUnknown(pointer)->AddRef();
    return ComPtr(pointer);
  }
  ComPtr(const ComPtr& other) : pointer_(Share(other.pointer_).Detach()) {}
  ComPtr(ComPtr&& other) noexcept : pointer_(other.Detach()) {}
  ComPtr& operator=(ComPtr other) noexcept {
    std::swap(pointer_, other.pointer_);
    return *this;
  }
  ~ComPtr() { Reset(); }

  T* Get() const { return pointer_; }
  T* operator->() const { return pointer_; }
  explicit operator bool() const { return pointer_ != nullptr; }
  // For an out parameter: drops the held reference first.
  T** Receive() {
    Reset();
    return &pointer_;
  }
  T* Detach() { return std::exchange(pointer_, nullptr); }
  void Reset() {
    if (T* pointer = Detach()) AsUnknown(pointer)->Release();
  }

  // The interface `iid` of the same object (as U), or null.
  template <typename U>
  ComPtr<U> Query(const GUID& iid) const {
    void* result = nullptr;
    if (pointer_ == nullptr || FAILED(AsUnknown(pointer_)->QueryInterface(iid, &result))) return {};
    return ComPtr<U>::Adopt(static_cast<U*>(result));
  }

 private:
  explicit ComPtr(T* pointer) : pointer_(pointer) {}
  static IUnknown* AsUnknown(T* pointer) { return reinterpret_cast<IUnknown*>(pointer); }

  T* pointer_ = nullptr;
};

}  // namespace tarnel::platform::win32::webview2
