// The per-user defaults store: typed values under string keys, written at the moment they change.
// Values are JSON; a date is the object {"$date": seconds since 1970} so that it stays a date.
#pragma once

#include <nlohmann/json.hpp>

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorvel {

using Json = nlohmann::json;

// The outcome of a typed read: a missing key and a value of the wrong type are told apart.
template <class T>
struct DefaultsLookup {
    enum class State { missing, wrongType, value };
    State state = State::missing;
    T value{};

    bool hasValue() const { return state == State::value; }
    std::optional<T> optional() const { return hasValue() ? std::optional<T>(value) : std::nullopt; }
};

class DefaultsStore {
public:
    DefaultsStore() = default;
    DefaultsStore(const DefaultsStore&) = delete;
    DefaultsStore& operator=(const DefaultsStore&) = delete;
    virtual ~DefaultsStore() = default;

    // The stored value under `key`, of any type; none when the key holds nothing.
    virtual std::optional<Json> object(std::string_view key) const = 0;
    // Stores `value` under `key` (a null value removes the key).
    virtual void set(std::string_view key, Json value) = 0;
    virtual void remove(std::string_view key) = 0;
    virtual std::vector<std::string> keys() const = 0;

    // Typed reads. A boolean is only a JSON boolean, an integer only a JSON integer, a double any
    // JSON number, a string only a JSON string.
    DefaultsLookup<bool> boolean(std::string_view key) const;
    DefaultsLookup<std::int64_t> integer(std::string_view key) const;
    DefaultsLookup<double> number(std::string_view key) const;
    DefaultsLookup<std::string> string(std::string_view key) const;
    DefaultsLookup<double> date(std::string_view key) const;
    DefaultsLookup<std::vector<std::string>> stringList(std::string_view key) const;
    // A dictionary whose every value is a string; anything else is the wrong type.
    DefaultsLookup<std::map<std::string, std::string>> stringMap(std::string_view key) const;
    // A dictionary whose every value is a number.
    DefaultsLookup<std::map<std::string, double>> numberMap(std::string_view key) const;

    // The plain accessors: absent or wrong type gives false, 0 and none.
    bool boolFor(std::string_view key) const { return boolean(key).optional().value_or(false); }
    std::int64_t integerFor(std::string_view key) const { return integer(key).optional().value_or(0); }
    std::optional<std::string> stringFor(std::string_view key) const { return string(key).optional(); }
    bool hasValue(std::string_view key) const { return object(key).has_value(); }

    static Json makeDate(double secondsSince1970) { return Json{{"$date", secondsSince1970}}; }
    static bool isDate(const Json& value) {
        return value.is_object() && value.size() == 1 && value.contains("$date") && value["$date"].is_number();
    }
};

} // namespace quorvel
