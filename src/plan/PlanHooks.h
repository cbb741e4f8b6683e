#pragma once
// Where saving, saved versions and printing plug into the plan element. The plan element shows
// and edits the grid; the code that writes versions, posts them to the service and prints
// registers here at start-up (each may be empty: the plan then does nothing for that action).
#include <functional>

namespace Plenvo {

class CViewPlenvo;

struct PlanHooks {
    // While the element is built: lay the newest local saved version of the plan over the
    // template's values.
    std::function<void(CViewPlenvo& plan)> loadSavedVersion;
    // Write a local saved version of the plan now.
    std::function<void(CViewPlenvo& plan)> saveVersion;
    // The save button and Ctrl+S: post every editable cell to the service.
    std::function<void(CViewPlenvo& plan)> saveToService;
    // The plan menu's "打印" and the print button.
    std::function<void(CViewPlenvo& plan)> print;
};

// The process's hooks, registered once at start-up on the user-interface thread.
PlanHooks& GetPlanHooks();

} // namespace Plenvo
