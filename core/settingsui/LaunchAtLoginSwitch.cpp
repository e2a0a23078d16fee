// Launch at login as the settings window's check box (LaunchAtLoginSwitch.h).
#include "settingsui/LaunchAtLoginSwitch.h"

namespace quorvel {

bool LaunchAtLoginSwitch::set(bool wanted) {
    const LaunchAtLoginChange change = m_login.setEnabled(wanted);
    if (!change.ok) m_log.error(kCategory, "Launch-at-login change failed: %s", change.error);
    // Even a change that reported success is shown as the system now has it.
    return m_login.isEnabled();
}

} // namespace quorvel
