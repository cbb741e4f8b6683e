#pragma once
// Where the layers above the framework plug into a page window: the framework knows no pages and
// no plan, so the application registers these at start-up. Each may be empty.
#include <functional>

namespace Plenvo {

class CView;

struct ViewHooks {
    // After a screen template was applied: start the window's page and attach the main window's
    // handlers to the elements the template has.
    std::function<void(CView& view)> templateApplied;
    // Ctrl+S: save the open plan to the service.
    std::function<void(CView& view)> save;
    // The window is about to close: write a saved version of the open plan when it changed.
    // False keeps the window open (the teacher chose not to lose changes that could not be
    // written).
    std::function<bool(CView& view)> closing;
    // A plan is about to be replaced in the window (another plan opened): write a saved version of
    // the open plan when it changed.
    std::function<void(CView& view)> replacingPlan;
    // The print button: print the open plan.
    std::function<void(CView& view)> print;
    // Private message 0x0901: refresh the history list.
    std::function<void(CView& view)> refreshHistory;
    // Private message 0x0902: edit the basic information of a plan.
    std::function<void(CView& view, int planId)> editPlanInfo;
    // A suggestion window has its template: show the suggestions for the plan.
    std::function<void(CView& view, int planId)> startSuggestions;
};

// The process's hooks, registered once at start-up on the user-interface thread.
ViewHooks& GetViewHooks();

} // namespace Plenvo
