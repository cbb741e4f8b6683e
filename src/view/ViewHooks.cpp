#include "view/ViewHooks.h"

namespace Plenvo {

ViewHooks& GetViewHooks() {
    static ViewHooks hooks;
    return hooks;
}

} // namespace Plenvo
