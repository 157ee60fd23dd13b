#pragma once
// Resource identifiers of the Windows executable, shared with its .rc file.
// Plain macros so that the resource compiler reads them too.

// The application icon (big and small images in one icon group).
#define IDI_TARNEL 1
