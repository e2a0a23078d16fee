// Typed reads over the defaults store's JSON values.
#include "platform/DefaultsStore.h"

namespace quorvel {

namespace {
template <class T, class Check, class Convert>
DefaultsLookup<T> lookup(const DefaultsStore& store, std::string_view key, Check check, Convert convert) {
    DefaultsLookup<T> result;
    const auto stored = store.object(key);
    if (!stored) return result;
    if (!check(*stored)) {
        result.state = DefaultsLookup<T>::State::wrongType;
        return result;
    }
    result.state = DefaultsLookup<T>::State::value;
    result.value = convert(*stored);
    return result;
}
} // namespace

DefaultsLookup<bool> DefaultsStore::boolean(std::string_view key) const {
    return lookup<bool>(*this, key, [](const Json& j) { return j.is_boolean(); },
                        [](const Json& j) { return j.get<bool>(); });
}

DefaultsLookup<std::int64_t> DefaultsStore::integer(std::string_view key) const {
    return lookup<std::int64_t>(
        *this, key,
        [](const Json& j) {
            return j.is_number_integer() &&
                   !(j.is_number_unsigned() && j.get<std::uint64_t>() > static_cast<std::uint64_t>(INT64_MAX));
        },
        [](const Json& j) { return j.get<std::int64_t>(); });
}

DefaultsLookup<double> DefaultsStore::number(std::string_view key) const {
    return lookup<double>(*this, key, [](const Json& j) { return j.is_number(); },
                          [](const Json& j) { return j.get<double>(); });
}

DefaultsLookup<std::string> DefaultsStore::string(std::string_view key) const {
    return lookup<std::string>(*this, key, [](const Json& j) { return j.is_string(); },
                               [](const Json& j) { return j.get<std::string>(); });
}

DefaultsLookup<double> DefaultsStore::date(std::string_view key) const {
    return lookup<double>(*this, key, [](const Json& j) { return isDate(j); },
                          [](const Json& j) { return j["$date"].get<double>(); });
}

DefaultsLookup<std::vector<std::string>> DefaultsStore::stringList(std::string_view key) const {
    return lookup<std::vector<std::string>>(
        *this, key,
        [](const Json& j) {
            if (!j.is_array()) return false;
            for (const auto& e : j)
                if (!e.is_string()) return false;
            return true;
        },
        [](const Json& j) { return j.get<std::vector<std::string>>(); });
}

DefaultsLookup<std::map<std::string, std::string>> DefaultsStore::stringMap(std::string_view key) const {
    return lookup<std::map<std::string, std::string>>(
        *this, key,
        [](const Json& j) {
            if (!j.is_object() || isDate(j)) return false;
            for (const auto& [k, v] : j.items())
                if (!v.is_string()) return false;
            return true;
        },
        [](const Json& j) { return j.get<std::map<std::string, std::string>>(); });
}

DefaultsLookup<std::map<std::string, double>> DefaultsStore::numberMap(std::string_view key) const {
    return lookup<std::map<std::string, double>>(
        *this, key,
        [](const Json& j) {
            if (!j.is_object() || isDate(j)) return false;
            for (const auto& [k, v] : j.items())
                if (!v.is_number()) return false;
            return true;
        },
        [](const Json& j) {
            std::map<std::string, double> out;
            for (const auto& [k, v] : j.items()) out[k] = v.get<double>();
            return out;
        });
}

} // namespace quorvel
