// Records the requests it is given and answers them when the test says, as a server would.
#pragma once

#include "platform/CrashReporting.h"

#include <vector>

namespace quorvel::sim {

class SimHttpTransport final : public HttpTransport {
public:
    void send(const HttpRequest& request, std::function<void(bool delivered)> done) override {
        requests.push_back(request);
        m_pending.push_back(std::move(done));
    }

    // Answers the oldest open request: delivered (a 2xx) or not (an error, a 500).
    void answer(bool delivered) {
        auto done = std::move(m_pending.front());
        m_pending.erase(m_pending.begin());
        done(delivered);
    }
    std::size_t pending() const { return m_pending.size(); }

    std::vector<HttpRequest> requests;

private:
    std::vector<std::function<void(bool)>> m_pending;
};

} // namespace quorvel::sim
