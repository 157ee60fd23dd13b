#pragma once
// Watches the COM task allocator while registered: which blocks allocated
// since then (CoTaskMemAlloc) are still not freed (CoTaskMemFree). Lets a test
// check that every string the COM side hands out is freed.
#include "platform/win32/windows_api.h"

#include <objbase.h>
#include <objidl.h>

#include <cstddef>
#include <set>

namespace tarnel::platform::win32::webview2::testing {

class ComAllocationSpy final : public IMallocSpy {
 public:
  // Registers itself; false when the allocator refused it.
  bool Register() { return SUCCEEDED(CoRegisterMallocSpy(this)); }
  void Revoke() { CoRevokeMallocSpy(); }

  std::size_t Allocations() const { return allocations_; }
  std::size_t Outstanding() const { return live_.size(); }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** result) override {
    if (result == nullptr) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IMallocSpy)) {
      *result = static_cast<IMallocSpy*>(this);
      return S_OK;
    }
    *result = nullptr;
    return E_NOINTERFACE;
  }
  // Owned by the test: the counts are not used for its lifetime.
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }

  SIZE_T STDMETHODCALLTYPE PreAlloc(SIZE_T size) override { return size; }
  void* STDMETHODCALLTYPE PostAlloc(void* actual) override {
    if (actual != nullptr) {
      ++allocations_;
      live_.insert(actual);
    }
    return actual;
  }
  void* STDMETHODCALLTYPE PreFree(void* request, BOOL) override {
    live_.erase(request);
    return request;
  }
  void STDMETHODCALLTYPE PostFree(BOOL) override {}
  SIZE_T STDMETHODCALLTYPE PreRealloc(void* request, SIZE_T size, void** new_request, BOOL) override {
    live_.erase(request);
    *new_request = request;
    return size;
  }
  void* STDMETHODCALLTYPE PostRealloc(void* actual, BOOL) override { return PostAlloc(actual); }
  void* STDMETHODCALLTYPE PreGetSize(void* request, BOOL) override { return request; }
  SIZE_T STDMETHODCALLTYPE PostGetSize(SIZE_T actual, BOOL) override { return actual; }
  void* STDMETHODCALLTYPE PreDidAlloc(void* request, BOOL) override { return request; }
  int STDMETHODCALLTYPE PostDidAlloc(void*, BOOL, int actual) override { return actual; }
  void STDMETHODCALLTYPE PreHeapMinimize() override {}
  void STDMETHODCALLTYPE PostHeapMinimize() override {}

 private:
  std::size_t allocations_ = 0;
  std::set<void*> live_;
};

}  // namespace tarnel::platform::win32::webview2::testing
