// The log: categories, two levels, and fixed format strings with typed placeholders rendered
// exactly ("%s", "%s", "%@", "%llu", "%ld", "%d", "%u", "%f", "%s", "%%").
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <variant>
#include <vector>

namespace quorvel {

enum class LogLevel { info, error };

// One argument of a format string. Integers keep their signedness so "%ld" of -1 reads "-1".
using LogArg = std::variant<std::string, std::int64_t, std::uint64_t, double, bool>;

// The subsystem every line is logged under.
inline constexpr std::string_view kLogSubsystem = "quorvel";

class Log {
public:
    Log() = default;
    Log(const Log&) = delete;
    Log& operator=(const Log&) = delete;
    virtual ~Log() = default;

    template <class... Args>
    void info(std::string_view category, std::string_view format, const Args&... args) {
        write(LogLevel::info, category, render(format, {toArg(args)...}));
    }
    template <class... Args>
    void error(std::string_view category, std::string_view format, const Args&... args) {
        write(LogLevel::error, category, render(format, {toArg(args)...}));
    }

    // Receives one finished line.
    virtual void write(LogLevel level, std::string_view category, std::string_view message) = 0;

    // Pure: fills the placeholders of `format` from `args` in order. A missing argument renders
    // as "<missing>"; an argument of another kind than the placeholder expects is converted.
    static std::string render(std::string_view format, const std::vector<LogArg>& args);

    // How an optional value is written where a line shows one ("Optional(7)", "nil").
    template <class T>
    static std::string describe(const std::optional<T>& value) {
        if (!value) return "nil";
        if constexpr (std::is_convertible_v<T, std::string>) return "Optional(\"" + std::string(*value) + "\")";
        else return "Optional(" + std::to_string(*value) + ")";
    }

private:
    template <class T>
    static LogArg toArg(const T& value) {
        if constexpr (std::is_same_v<T, bool>) return value;
        else if constexpr (std::is_floating_point_v<T>) return static_cast<double>(value);
        else if constexpr (std::is_integral_v<T> && std::is_signed_v<T>) return static_cast<std::int64_t>(value);
        else if constexpr (std::is_integral_v<T>) return static_cast<std::uint64_t>(value);
        else if constexpr (std::is_enum_v<T>) return static_cast<std::int64_t>(value);
        else return std::string(value);
    }
};

} // namespace quorvel
