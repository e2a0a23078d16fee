// libFuzzer target for a crash-report file as the next launch reads it: the excerpt must never crash,
// and whatever it says must serialise into the posted payload, even from text that is not UTF-8.
#include "reports/CrashReports.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <string_view>

namespace {

class NoFolder final : public quorvel::CrashReportFolder {
public:
    std::string path() const override { return {}; }
    std::optional<std::vector<quorvel::ReportFileEntry>> list() const override { return std::nullopt; }
    std::optional<std::string> read(const std::string&) const override { return std::nullopt; }
};

class NoTransport final : public quorvel::HttpTransport {
public:
    void send(const quorvel::HttpRequest&, std::function<void(bool)>) override {}
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    constexpr int kFrames = 3;
    const auto excerpt = quorvel::CrashReports::excerpt(text, kFrames);
    if (!excerpt) return 0;
    if (excerpt->empty()) std::abort();

    NoFolder folder;
    NoTransport transport;
    const quorvel::CrashReporting reporting{folder, transport, "https://localhost/api/crash", "1", {}};
    const std::string payload = quorvel::CrashReports::payload({"", 0, *excerpt}, reporting);
    const auto posted = quorvel::Json::parse(payload, nullptr, false);
    if (!posted.is_object() || !posted["report"].is_string()) std::abort();
    return 0;
}
