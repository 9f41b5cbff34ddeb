// Turns a dialog template table into the in-memory DLGTEMPLATEEX that DialogBoxIndirectParamW and
// CreateDialogIndirectParamW take.
#pragma once
#include <cstdint>
#include <vector>

#include "ui/dialog_template.h"

namespace ui::win32 {

// asClient: the dialog becomes a frame's client area, so its caption, system menu and modal frame
// are dropped and it sits at the client's top left. The words are DWORD-aligned in memory.
std::vector<uint16_t> build_dialog_template(const DialogTemplate& t, bool asClient);

}  // namespace ui::win32
