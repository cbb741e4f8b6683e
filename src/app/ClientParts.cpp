#include "app/ClientParts.h"

#include "pages/Pages.h"
#include "plan/PlanElements.h"
#include "plan/PlanPrinter.h"
#include "plan/PlanSaving.h"
#include "plan/ViewPlenvoSuggestion.h"
#include "view/controls/Controls.h"

namespace Plenvo {

void RegisterClientParts() {
    RegisterControls();
    RegisterPlanElements();
    CPlanSaving::Register();
    CViewPlenvoSuggestion::Register();
    CPlanPrinter::Register();
    RegisterPages();
}

} // namespace Plenvo
