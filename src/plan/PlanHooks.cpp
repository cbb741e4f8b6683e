#include "plan/PlanHooks.h"

namespace Plenvo {

PlanHooks& GetPlanHooks() {
    static PlanHooks hooks;
    return hooks;
}

} // namespace Plenvo
