// The tray item's title.
#include "menubar/MenuBarController.h"

namespace quorvel {

void MenuBarController::updateMenuBarTitle() {
    for (const Space& space : m_cachedSpaces) {
        if (space.isCurrent) {
            m_title = m_labels.displayName(space);
            return;
        }
    }
    m_title.clear();
}

} // namespace quorvel
