#pragma once

namespace Plenvo {

// Makes the factory build the controls for their description types ("label", "button",
// "image", ...). The application calls it once at start-up, before the first window opens.
void RegisterControls();

} // namespace Plenvo
