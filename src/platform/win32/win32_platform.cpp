#include "platform/win32/win32_platform.h"

namespace tarnel::platform::win32 {

Win32Platform::Win32Platform() : shell_(dispatcher_.Scheduler()) {}

}  // namespace tarnel::platform::win32
