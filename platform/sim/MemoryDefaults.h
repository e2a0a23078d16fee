// An in-memory defaults store that counts its writes.
#pragma once

#include "platform/DefaultsStore.h"

#include <map>
#include <string>

namespace quorvel::sim {

class MemoryDefaults final : public DefaultsStore {
public:
    std::optional<Json> object(std::string_view key) const override {
        const auto it = m_values.find(std::string(key));
        if (it == m_values.end()) return std::nullopt;
        return it->second;
    }
    void set(std::string_view key, Json value) override {
        ++m_writes;
        if (value.is_null()) m_values.erase(std::string(key));
        else m_values[std::string(key)] = std::move(value);
    }
    void remove(std::string_view key) override {
        ++m_writes;
        m_values.erase(std::string(key));
    }
    std::vector<std::string> keys() const override {
        std::vector<std::string> out;
        for (const auto& [k, v] : m_values) out.push_back(k);
        return out;
    }

    std::size_t writes() const { return m_writes; }
    const std::map<std::string, Json>& values() const { return m_values; }

private:
    std::map<std::string, Json> m_values;
    std::size_t m_writes = 0;
};

} // namespace quorvel::sim
