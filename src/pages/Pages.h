#pragma once

namespace Plenvo {

// Plugs the pages into every page window: the login page or the create form when a template is
// applied, the main window's handlers, the history refresh and the edit-info message. Called
// once at start-up on the user-interface thread.
void RegisterPages();

} // namespace Plenvo
