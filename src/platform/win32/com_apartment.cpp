#include "platform/win32/com_apartment.h"

#include <objbase.h>

namespace tarnel::platform::win32 {

ComApartment::ComApartment() {
  const HRESULT result = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  // S_FALSE: already initialised the same way, and still to be balanced.
  owned_ = SUCCEEDED(result);
  // RPC_E_CHANGED_MODE: COM is there, in the other model.
  ok_ = owned_ || result == RPC_E_CHANGED_MODE;
}

ComApartment::~ComApartment() {
  if (owned_) CoUninitialize();
}

}  // namespace tarnel::platform::win32
