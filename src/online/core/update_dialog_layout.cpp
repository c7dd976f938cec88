#include "online/core/update_dialog_layout.h"

#include "app/core/layout_scale.h"

namespace trivexa::online {

UpdateDialogLayout LayOutUpdateDialog(float s) {
    UpdateDialogLayout l;
    l.width = Units(kUpdateDialogWidthUnits, s);
    l.height = Units(kUpdateDialogHeightUnits, s);
    l.link = {Units(10, s), Units(30, s), l.width - Units(20, s), l.height - Units(80, s)};
    const int buttonWidth = Units(100, s);
    l.button = {l.width - Units(10, s) - buttonWidth, l.height - Units(40, s), buttonWidth,
                Units(30, s)};
    return l;
}

}  // namespace trivexa::online
