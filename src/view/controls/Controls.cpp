#include "view/controls/Controls.h"

#include "view/ViewFactory.h"
#include "view/controls/ViewButton.h"
#include "view/controls/ViewComboBox.h"
#include "view/controls/ViewEdit.h"
#include "view/controls/ViewImage.h"
#include "view/controls/ViewLabel.h"
#include "view/controls/ViewList.h"
#include "view/controls/ViewScrollBar.h"

namespace Plenvo {

void RegisterControls() {
    RegisterElementType<CViewLabel>("label");
    RegisterElementType<CViewButton>("button");
    RegisterElementType<CViewImage>("image");
    RegisterElementType<CViewEdit>("edit");
    RegisterElementType<CViewScrollBar>("scrollbar");
    RegisterElementType<CViewList>("list");
    RegisterElementType<CViewComboBox>("combobox");
}

} // namespace Plenvo
