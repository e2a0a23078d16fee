// How long a scan of the installed applications takes, from asking to the list arriving on the
// main queue: this machine's own entries, or `--synthetic N` entries in a private XDG folder.
// Prints the first scan and the median of the next ones (milliseconds).
#include "GioApplications.h"
#include "PollLoop.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

using namespace quorvel;

namespace {

std::filesystem::path writeSyntheticEntries(int count) {
    char pattern[] = "/tmp/quorvel-scan-probe-XXXXXX";
    const std::filesystem::path root = ::mkdtemp(pattern);
    const auto folder = root / "applications";
    std::filesystem::create_directories(folder);
    for (int n = 0; n < count; ++n) {
        std::ofstream(folder / ("synthetic-" + std::to_string(n) + ".desktop"))
            << "[Desktop Entry]\nType=Application\nName=Synthetic Application " << n << "\nName[de]=Synthetische Anwendung "
            << n << "\nComment=An entry made up for timing\nExec=true --window %U\nIcon=application-x-executable\n"
            << "Categories=Utility;\nStartupWMClass=Synthetic" << n << "\nActions=new-window;\n\n"
            << "[Desktop Action new-window]\nName=New Window\nExec=true --new-window\n";
    }
    // Only these entries: the machine's own folders are left out.
    ::setenv("XDG_DATA_HOME", root.c_str(), 1);
    ::setenv("XDG_DATA_DIRS", (root / "none").c_str(), 1);
    return root;
}

} // namespace

int main(int argc, char** argv) {
    std::filesystem::path synthetic;
    if (argc == 3 && std::string(argv[1]) == "--synthetic") synthetic = writeSyntheticEntries(std::atoi(argv[2]));
    else if (argc != 1) {
        std::fprintf(stderr, "usage: %s [--synthetic COUNT]\n", argv[0]);
        return 2;
    }

    PollLoop loop;
    GioApplications apps(loop, "", [](Pid, const std::string&) {});
    std::vector<double> times;
    std::size_t listed = 0;
    for (int run = 0; run < 7; ++run) {
        bool done = false;
        const auto start = std::chrono::steady_clock::now();
        auto end = start;
        // Timed where the list arrives: the loop may wait a little longer before it looks again.
        apps.scan([&](ScanResult result) {
            end = std::chrono::steady_clock::now();
            listed = result.apps.size();
            done = true;
        });
        if (!loop.runUntil([&] { return done; }, std::chrono::seconds(30))) {
            std::fprintf(stderr, "scan did not finish\n");
            return 1;
        }
        times.push_back(std::chrono::duration<double, std::milli>(end - start).count());
    }
    const double first = times.front();
    std::vector<double> rest(times.begin() + 1, times.end());
    std::sort(rest.begin(), rest.end());
    std::printf("%s: %zu entries listed; first scan %.1f ms, then median %.1f ms\n",
                synthetic.empty() ? "this machine" : "synthetic", listed, first, rest[rest.size() / 2]);
    if (!synthetic.empty()) std::filesystem::remove_all(synthetic);
    return listed == 0 && !synthetic.empty() ? 1 : 0;
}
