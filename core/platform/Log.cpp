// Rendering of the fixed log formats.
#include "platform/Log.h"

#include <cinttypes>
#include <cstdio>

namespace quorvel {

namespace {

std::string asText(const LogArg& arg) {
    struct Visitor {
        std::string operator()(const std::string& s) const { return s; }
        std::string operator()(std::int64_t v) const { return std::to_string(v); }
        std::string operator()(std::uint64_t v) const { return std::to_string(v); }
        std::string operator()(double v) const {
            char buffer[64];
            std::snprintf(buffer, sizeof buffer, "%g", v);
            return buffer;
        }
        std::string operator()(bool v) const { return v ? "true" : "false"; }
    };
    return std::visit(Visitor{}, arg);
}

std::string asSigned(const LogArg& arg) {
    if (const auto* u = std::get_if<std::uint64_t>(&arg)) return std::to_string(static_cast<std::int64_t>(*u));
    if (const auto* b = std::get_if<bool>(&arg)) return *b ? "1" : "0";
    if (const auto* d = std::get_if<double>(&arg)) return std::to_string(static_cast<std::int64_t>(*d));
    return asText(arg);
}

std::string asUnsigned(const LogArg& arg, bool thirtyTwoBits) {
    if (const auto* i = std::get_if<std::int64_t>(&arg)) {
        const auto bits = static_cast<std::uint64_t>(*i);
        return std::to_string(thirtyTwoBits ? (bits & 0xFFFFFFFFu) : bits);
    }
    if (const auto* b = std::get_if<bool>(&arg)) return *b ? "1" : "0";
    if (const auto* d = std::get_if<double>(&arg)) return std::to_string(static_cast<std::uint64_t>(*d));
    return asText(arg);
}

std::string asFloat(const LogArg& arg) {
    double v = 0;
    if (const auto* d = std::get_if<double>(&arg)) v = *d;
    else if (const auto* i = std::get_if<std::int64_t>(&arg)) v = static_cast<double>(*i);
    else if (const auto* u = std::get_if<std::uint64_t>(&arg)) v = static_cast<double>(*u);
    else return asText(arg);
    char buffer[512];
    std::snprintf(buffer, sizeof buffer, "%f", v);
    return buffer;
}

} // namespace

std::string Log::render(std::string_view format, const std::vector<LogArg>& args) {
    std::string out;
    out.reserve(format.size() + 16 * args.size());
    std::size_t next = 0;
    auto take = [&]() -> const LogArg* { return next < args.size() ? &args[next++] : nullptr; };
    static const std::string missing = "<missing>";

    for (std::size_t i = 0; i < format.size(); ++i) {
        const char c = format[i];
        if (c != '%' || i + 1 == format.size()) {
            out += c;
            continue;
        }
        const std::string_view rest = format.substr(i + 1);
        auto consume = [&](std::string_view spec) {
            if (!rest.starts_with(spec)) return false;
            i += spec.size();
            return true;
        };
        if (consume("%")) {
            out += '%';
        } else if (consume("s")) {
            const LogArg* a = take();
            out += a ? asText(*a) : missing;
        } else if (consume("llu") || consume("lu")) {
            const LogArg* a = take();
            out += a ? asUnsigned(*a, false) : missing;
        } else if (consume("u")) {
            const LogArg* a = take();
            out += a ? asUnsigned(*a, true) : missing;
        } else if (consume("lld") || consume("ld") || consume("d")) {
            const LogArg* a = take();
            out += a ? asSigned(*a) : missing;
        } else if (consume("f")) {
            const LogArg* a = take();
            out += a ? asFloat(*a) : missing;
        } else {
            out += c; // not a placeholder we know: keep the text as written
        }
    }
    return out;
}

} // namespace quorvel
