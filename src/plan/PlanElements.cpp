#include "plan/PlanElements.h"

#include "plan/ViewPlenvo.h"

#include "view/ViewFactory.h"

namespace Plenvo {

void RegisterPlanElements() {
    RegisterElementType<CViewPlenvo>("plenvo");
}

} // namespace Plenvo
