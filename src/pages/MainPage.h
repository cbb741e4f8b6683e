#pragma once
// The signed-in main window: the history list of the teacher's plans with its click and context
// menu (open, delete, edit basic information), the create and print buttons, and the content area
// that shows the open plan.
#include "view/ViewElement.h"

#include <string>

namespace Plenvo {

class CView;

class CMainPage {
public:
    static constexpr const char* kCreateButton = "create_lession_button";
    static constexpr const char* kPrintButton = "print_button";
    enum MenuCommand : unsigned { kOpen = 1, kDelete = 3, kEditInfo = 4 };

    // Binds the history list, the create button and the print button of a fresh template.
    static void AttachHandlers(CView& view);
    // After sign-in and after the open plan was deleted: fills the list and opens the newest plan
    // (or shows the create form).
    static void FirstLoad(CView& view);
    // Fills the list again and checks the open plan's item.
    static void Refresh(CView& view);
    // Keeps the open plan's changes, then fetches the plan and shows it.
    static void OpenPlanById(CView& view, int id);
    // Replaces the content area with the plan built from its data, checks its history item and
    // opens the suggestions for it.
    static void ShowPlan(CView& view, Json planData);
    // Asks before deleting: "删除" sits right under "打开".
    static void DeletePlan(CView& view, int id, const std::string& title);
    // The question asked before deleting the plan of that title.
    static std::string DeleteQuestion(const std::string& title);
};

} // namespace Plenvo
