#include "pages/IApplication.h"

namespace Plenvo {

namespace {

IApplication* current = nullptr;

} // namespace

IApplication* IApplication::Current() {
    return current;
}

void IApplication::SetCurrent(IApplication* application) {
    current = application;
}

} // namespace Plenvo
