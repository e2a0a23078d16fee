// "Held weakly": a component keeps a Lifetime member and wraps its delayed work with guard(), so a
// task that fires after the component is gone does nothing.
#pragma once

#include <memory>
#include <utility>

namespace quorvel {

class Lifetime {
public:
    Lifetime() = default;
    Lifetime(const Lifetime&) = delete;
    Lifetime& operator=(const Lifetime&) = delete;

    // A callable that runs `f` only while the owner of this Lifetime still exists.
    template <class F>
    auto guard(F f) const {
        return [weak = std::weak_ptr<const char>(m_token), f = std::move(f)](auto&&... args) mutable {
            if (weak.expired()) return;
            f(std::forward<decltype(args)>(args)...);
        };
    }

    std::weak_ptr<const char> token() const { return m_token; }

private:
    std::shared_ptr<const char> m_token = std::make_shared<const char>('\0');
};

} // namespace quorvel
