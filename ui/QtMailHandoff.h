// The problem report's way out: the user's mail program through the desktop's URL handling, or the
// clipboard and the primary selection when no program is set up for mailto: links.
#pragma once

#include "platform/CrashReporting.h"

namespace quorvel::ui {

class QtMailHandoff final : public MailHandoff {
public:
    bool compose(const std::string& mailtoUrl) override;
    void copyToClipboard(const std::string& text) override;
};

} // namespace quorvel::ui
