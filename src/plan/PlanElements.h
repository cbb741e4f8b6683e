#pragma once

namespace Plenvo {

// Makes the factory build the plan element for the description type "plenvo". The application
// calls it once at start-up, with RegisterControls(), before the first window opens.
void RegisterPlanElements();

} // namespace Plenvo
