#pragma once
// COM for the calling thread as a single-threaded apartment, for as long as
// the object lives. A thread that already has COM keeps its own model; it is
// left as it was.
#include "platform/win32/windows_api.h"

namespace tarnel::platform::win32 {

class ComApartment {
 public:
  ComApartment();
  ~ComApartment();
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;

  // COM is usable on this thread (initialised here or before).
  bool ok() const { return ok_; }

 private:
  bool ok_ = false;
  bool owned_ = false;  // this object's initialisation is to be undone
};

}  // namespace tarnel::platform::win32
