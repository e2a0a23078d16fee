// A mail program that is set up or not, as the test says, and a clipboard that keeps what it got.
#pragma once

#include "platform/CrashReporting.h"

#include <vector>

namespace quorvel::sim {

class SimMailHandoff final : public MailHandoff {
public:
    bool compose(const std::string& mailtoUrl) override {
        if (!mailProgram) return false;
        composed.push_back(mailtoUrl);
        return true;
    }
    void copyToClipboard(const std::string& text) override { clipboard = text; }

    bool mailProgram = true;
    std::vector<std::string> composed;
    std::string clipboard;
};

} // namespace quorvel::sim
