// The window's event handlers: the six ways to fill the two image slots, and the merge.
#pragma once

#include <memory>
#include <string>

#include "app/app_state.h"
#include "app/ui_port.h"

namespace quill {

enum class SlotId { Template, Target };

// A web address typed into the input box, which always offers the slot's sample address.
void SelectByAddress(AppContext& app, UiPort& ui, SlotId slot);
// A file picked in the file dialog.
void SelectByDialog(AppContext& app, UiPort& ui, SlotId slot);
// The text of a drop: one path, or several each followed by CR LF, taken as it is.
void SelectByDrop(AppContext& app, UiPort& ui, SlotId slot, const std::string& text);

// The window's events bound to the handlers above and to MergeFaces.
std::unique_ptr<WindowEvents> MakeHandlers(AppContext& app, UiPort& ui);

}  // namespace quill
