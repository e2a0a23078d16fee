// The reader, the payload, the sender and the consent question of crash reporting.
#include "reports/CrashReports.h"

#include "reports/OsRelease.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdlib>
#include <cxxabi.h>
#include <memory>
#include <vector>

namespace quorvel {

namespace {

constexpr std::string_view kCategory = "app";

bool isReportName(std::string_view name) {
    return name.starts_with("Quorvel-") && (name.ends_with(".ips") || name.ends_with(".crash"));
}

// Reports keep symbols as the linker names them; people read them demangled.
std::string demangled(const std::string& symbol) {
    if (!symbol.starts_with("_Z")) return symbol;
    int status = 0;
    std::unique_ptr<char, decltype(&std::free)> name(abi::__cxa_demangle(symbol.c_str(), nullptr, nullptr, &status),
                                                      &std::free);
    return status == 0 && name ? std::string(name.get()) : symbol;
}

std::string textOr(const Json& object, const char* key, std::string fallback) {
    const auto it = object.find(key);
    return it != object.end() && it->is_string() ? it->get<std::string>() : fallback;
}

std::string imageName(const Json& frame, const Json& images) {
    const auto index = frame.find("imageIndex");
    if (index == frame.end() || !index->is_number_integer()) return "?";
    if (!index->is_number_unsigned() && index->get<std::int64_t>() < 0) return "?";
    const auto i = index->get<std::uint64_t>();
    if (i >= images.size() || !images[i].is_object()) return "?";
    return textOr(images[i], "name", "?");
}

} // namespace

std::optional<std::string> CrashReports::excerpt(std::string_view reportText, int maxFrames) {
    const std::size_t newline = reportText.find('\n');
    if (newline == std::string_view::npos) return std::nullopt;
    const Json report = Json::parse(reportText.substr(newline + 1), nullptr, false);
    if (!report.is_object()) return std::nullopt;

    std::vector<std::string> lines;
    if (const auto exception = report.find("exception"); exception != report.end() && exception->is_object())
        lines.push_back("Exception: " + textOr(*exception, "type", "?") + " (" + textOr(*exception, "signal", "?") + ")");
    if (const auto termination = report.find("termination"); termination != report.end() && termination->is_object()) {
        if (const auto indicator = termination->find("indicator"); indicator != termination->end() && indicator->is_string())
            lines.push_back("Termination: " + indicator->get<std::string>());
    }

    Json images = Json::array();
    if (const auto used = report.find("usedImages"); used != report.end() && used->is_array()) images = *used;
    const auto threads = report.find("threads");
    if (threads != report.end() && threads->is_array()) {
        for (const Json& thread : *threads) {
            if (!thread.is_object()) continue;
            const auto triggered = thread.find("triggered");
            if (triggered == thread.end() || !triggered->is_boolean() || !triggered->get<bool>()) continue;
            lines.emplace_back();
            lines.emplace_back("Crashed thread:");
            const auto frames = thread.find("frames");
            if (frames != thread.end() && frames->is_array()) {
                int taken = 0;
                for (const Json& frame : *frames) {
                    if (taken++ == maxFrames) break;
                    if (!frame.is_object()) {
                        lines.emplace_back("  ?  ");
                        continue;
                    }
                    lines.push_back("  " + imageName(frame, images) + "  " + demangled(textOr(frame, "symbol", "")));
                }
            }
            break;
        }
    }

    if (lines.empty()) return std::nullopt;
    std::string text;
    for (std::size_t i = 0; i < lines.size(); ++i) text += (i ? "\n" : "") + lines[i];
    return text;
}

std::optional<CrashReport> CrashReports::unreported(const CrashReportFolder& folder, DefaultsStore& defaults,
                                                    double now) {
    const auto entries = folder.list();
    if (!entries) return std::nullopt;
    std::optional<CrashReport> newest;
    for (const ReportFileEntry& entry : *entries) {
        if (!isReportName(entry.name) || !entry.modified) continue;
        // The first of equally new reports, as a stable sort would keep it.
        if (!newest || *entry.modified > newest->date) newest = CrashReport{folder.path() + "/" + entry.name, *entry.modified, {}};
    }
    if (!newest) return std::nullopt;

    if (const auto seen = defaults.date(lastSeenKey); seen.hasValue() && newest->date <= seen.value) return std::nullopt;
    if (now - newest->date >= kStaleSeconds) {
        defaults.set(lastSeenKey, DefaultsStore::makeDate(newest->date));
        return std::nullopt;
    }
    const auto text = folder.read(newest->path);
    if (!text) return std::nullopt;
    auto reduced = excerpt(*text, kMaxFrames);
    if (!reduced) return std::nullopt;
    newest->excerpt = std::move(*reduced);
    return newest;
}

std::string_view CrashReports::architecture() {
#if defined(__x86_64__)
    return "x86_64";
#elif defined(__aarch64__)
    return "aarch64";
#elif defined(__i386__)
    return "i686";
#elif defined(__arm__)
    return "armhf";
#elif defined(__riscv) && __riscv_xlen == 64
    return "riscv64";
#elif defined(__powerpc64__)
    return "ppc64le";
#else
    return "unknown";
#endif
}

std::string CrashReports::osDescription(const SystemDescription& system) {
    std::string name = osReleaseValue(system.osRelease, "PRETTY_NAME");
    if (name.empty()) name = "Linux";
    return system.kernelRelease.empty() ? name : name + " (Linux " + system.kernelRelease + ")";
}

std::optional<std::string> CrashReports::localEndpoint(std::string_view url) {
    constexpr std::string_view scheme = "https://";
    if (!url.starts_with(scheme)) return std::nullopt;
    std::string_view rest = url.substr(scheme.size());
    const std::string_view authority = rest.substr(0, rest.find_first_of("/?#"));
    if (authority.find('@') != std::string_view::npos) return std::nullopt;
    std::string_view host = authority;
    if (host.starts_with("[")) host = host.substr(0, host.find(']') + 1);
    else host = host.substr(0, host.find(':'));
    const std::string_view port = authority.substr(host.size());
    if (!port.empty() && (port.size() < 2 || port[0] != ':' ||
                          port.substr(1).find_first_not_of("0123456789") != std::string_view::npos))
        return std::nullopt;
    if (host != "localhost" && host != "127.0.0.1" && host != "[::1]") return std::nullopt;
    return std::string(url);
}

std::string CrashReports::payload(const CrashReport& report, const CrashReporting& reporting) {
    const Json object = {{"version", reporting.appVersion.empty() ? "?" : reporting.appVersion},
                         {"os", osDescription(reporting.system)},
                         {"arch", std::string(architecture())},
                         {"report", report.excerpt}};
    // Invalid UTF-8 (a symbol from a damaged report) is replaced rather than refused.
    return object.dump(-1, ' ', false, Json::error_handler_t::replace);
}

void CrashReports::sendIfPermitted(Settings& settings, CrashReporting& reporting, double now, Log& log) {
    if (reporting.endpoint.empty()) return;
    DefaultsStore& defaults = settings.defaults();
    if (!defaults.boolFor(Settings::crashReportingKey)) return;
    const auto report = unreported(reporting.folder, defaults, now);
    if (!report) return;

    HttpRequest request{.url = reporting.endpoint,
                        .method = "POST",
                        .headers = {{"Content-Type", "application/json"}},
                        .body = payload(*report, reporting),
                        .timeoutSeconds = 20};
    reporting.transport.send(request, [&defaults, &log, date = report->date](bool delivered) {
        if (!delivered) {
            log.info(kCategory, "crash report not sent; will try again next launch");
            return;
        }
        defaults.set(lastSeenKey, DefaultsStore::makeDate(date));
        log.info(kCategory, "crash report sent");
    });
}

void ProblemReporter::askAboutCrashReportsIfNeeded(Settings& settings, const CrashReporting& reporting,
                                                   UserNotifier& notifier, Log& log) {
    if (reporting.endpoint.empty()) return;
    DefaultsStore& defaults = settings.defaults();
    if (defaults.boolFor(Settings::crashReportingAskedKey)) return;
    // Before anything is shown: a crash while the question is up must not ask again.
    defaults.set(Settings::crashReportingAskedKey, true);
    const int answer = notifier.runAlert({
        .message = std::string(consentMessage),
        .informativeText =
            "If Quorvel ever crashes, it writes a report of what went wrong. Sending it automatically is what "
            "lets a crash be fixed rather than guessed at.\n\nIt contains the crash and the name and version of "
            "your Linux system. It does not contain your desktop names, your window titles, what you are working "
            "on, or anything about how you use the app — Quorvel has no analytics and never will.\n\nYou can "
            "change this at any time in Settings.",
        .buttons = {"Send Crash Reports", "No Thanks"},
    });
    defaults.set(Settings::crashReportingKey, answer == kAlertFirstButton);
    log.info(kCategory, "crash reporting %s",
             std::string(defaults.boolFor(Settings::crashReportingKey) ? "enabled" : "declined"));
}

} // namespace quorvel
