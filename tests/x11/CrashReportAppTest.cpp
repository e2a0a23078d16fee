// The app crashing for real: killed with SIGSEGV or SIGABRT it dies by that signal and leaves a report
// naming our own main; the next launch posts it once to an HTTPS server on this machine, and never
// again.
#include "AppFixture.h"

#include <algorithm>
#include <sys/stat.h>

using namespace quorvel::x11test;
using namespace std::chrono_literals;

namespace {

// Python's HTTPS server with a certificate made for the run; every POST is recorded, answered 200.
constexpr const char* kServer = R"(import http.server, ssl, sys
class Handler(http.server.BaseHTTPRequestHandler):
    def do_POST(self):
        body = self.rfile.read(int(self.headers.get('Content-Length', 0)))
        with open(sys.argv[3], 'ab') as f:
            f.write(self.path.encode() + b' ' + self.headers.get('Content-Type', '').encode() + b' ' + body + b'\n')
        self.send_response(200)
        self.send_header('Content-Length', '0')
        self.end_headers()
    def log_message(self, *args):
        pass
server = http.server.HTTPServer(('127.0.0.1', 0), Handler)
context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
context.load_cert_chain(sys.argv[1], sys.argv[2])
server.socket = context.wrap_socket(server.socket, server_side=True)
with open(sys.argv[4] + '.tmp', 'w') as f:
    f.write(str(server.server_address[1]))
import os; os.rename(sys.argv[4] + '.tmp', sys.argv[4])
server.serve_forever()
)";

class LocalHttpsServer {
public:
    explicit LocalHttpsServer(const fs::path& folder) : m_posts(folder / "posts") {
        m_certificate = folder / "cert.pem";
        const fs::path key = folder / "key.pem", script = folder / "server.py", port = folder / "port";
        std::ofstream(script) << kServer;
        const std::string openssl = "openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj /CN=127.0.0.1 "
                                    "-addext subjectAltName=IP:127.0.0.1 -keyout " + key.string() + " -out " +
                                    m_certificate.string() + " 2>/dev/null";
        if (std::system(openssl.c_str()) != 0) throw std::runtime_error("openssl could not make a certificate");
        const std::string args[] = {"python3", script.string(), m_certificate.string(), key.string(), m_posts.string(),
                                    port.string()};
        std::vector<char*> argv;
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        if (posix_spawnp(&m_pid, "python3", nullptr, nullptr, argv.data(), environ) != 0)
            throw std::runtime_error("cannot start python3");
        if (!XServer::waitFor([&] { return fs::exists(port); }, 10s)) throw std::runtime_error("no HTTPS server");
        std::ifstream(port) >> m_port;
    }
    ~LocalHttpsServer() {
        ::kill(m_pid, SIGTERM);
        ::waitpid(m_pid, nullptr, 0);
    }
    std::string url() const { return "https://127.0.0.1:" + std::to_string(m_port) + "/api/crash"; }
    fs::path certificate() const { return m_certificate; }
    std::vector<std::string> posts() const {
        std::vector<std::string> lines;
        std::ifstream in(m_posts);
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        return lines;
    }

private:
    fs::path m_posts, m_certificate;
    pid_t m_pid = 0;
    int m_port = 0;
};

class CrashReportAppTest : public AppFixture {
protected:
    fs::path reportFolder() const { return home / "state" / "quorvel" / "crash-reports"; }
    std::vector<fs::path> reports() const {
        std::vector<fs::path> found;
        if (fs::exists(reportFolder()))
            for (const auto& entry : fs::directory_iterator(reportFolder())) found.push_back(entry.path());
        return found;
    }
    // Runs the app, kills it with `signal`, and checks how it died and what it left; the report.
    nlohmann::json crashWith(int signal) {
        startServer();
        startApp({"XDG_STATE_HOME=" + (home / "state").string()});
        const auto status = app->stop(signal);
        EXPECT_EQ(status, 128 + signal) << "the process must die by the signal itself";
        const auto files = reports();
        EXPECT_EQ(files.size(), 1u);
        if (files.size() != 1) return {};
        struct stat folder {}, file {};
        ::stat(reportFolder().c_str(), &folder);
        ::stat(files[0].c_str(), &file);
        EXPECT_EQ(folder.st_mode & 0777, 0700u);
        EXPECT_EQ(file.st_mode & 0777, 0600u);
        EXPECT_TRUE(files[0].filename().string().starts_with("Quorvel-") && files[0].extension() == ".ips");

        std::ifstream in(files[0]);
        std::string header;
        std::getline(in, header);
        EXPECT_TRUE(nlohmann::json::accept(header)) << header;
        return nlohmann::json::parse(in, nullptr, false);
    }
    // Whether the crashed thread has a frame of our own program's main.
    static bool crashedThreadNamesMain(const nlohmann::json& report) {
        const auto& images = report.at("usedImages");
        for (const auto& thread : report.at("threads")) {
            if (!thread.value("triggered", false)) continue;
            for (const auto& frame : thread.at("frames")) {
                if (frame.value("symbol", "") != "main" || !frame["imageIndex"].is_number_unsigned()) continue;
                const auto index = frame["imageIndex"].get<std::size_t>();
                if (index < images.size() && images[index].value("name", "") == "quorvel") return true;
            }
        }
        return false;
    }
};

TEST_F(CrashReportAppTest, ASegmentationFaultIsReportedAndSentOnceAtTheNextLaunch) {
    writeDefaults({{"crash_reporting_asked", true}, {"crash_reporting_enabled", true}});
    const nlohmann::json report = crashWith(SIGSEGV);
    ASSERT_TRUE(report.is_object());
    EXPECT_EQ(report["exception"]["signal"], "SIGSEGV");
    EXPECT_EQ(report["exception"]["type"], "SI_USER");
    EXPECT_TRUE(crashedThreadNamesMain(report)) << report.dump(1);

    LocalHttpsServer https(home);
    const std::vector<std::string> toLocalServer = {"XDG_STATE_HOME=" + (home / "state").string(),
                                                    "QUORVEL_CRASH_REPORT_URL=" + https.url(),
                                                    "SSL_CERT_FILE=" + https.certificate().string()};
    startApp(toLocalServer);
    ASSERT_TRUE(app->waitForLine("crash report sent", 20s)) << app->output();
    ASSERT_EQ(https.posts().size(), 1u);
    const std::string post = https.posts()[0];
    EXPECT_TRUE(post.starts_with("/api/crash application/json {")) << post;
    const auto payload = nlohmann::json::parse(post.substr(post.find('{')), nullptr, false);
    ASSERT_TRUE(payload.is_object()) << post;
    const std::string excerpt = payload.value("report", "");
    EXPECT_TRUE(excerpt.starts_with("Exception: SI_USER (SIGSEGV)\nTermination: Segmentation fault")) << excerpt;
    // The excerpt keeps the first 18 frames: `main` is among them only when the signal found the
    // main thread idle in its loop, so the frames are counted here and `main` is checked in the file.
    const auto crashed = excerpt.find("\n\nCrashed thread:\n");
    ASSERT_NE(crashed, std::string::npos) << excerpt;
    const auto frames = std::count(excerpt.begin() + static_cast<std::ptrdiff_t>(crashed) + 18, excerpt.end(), '\n');
    EXPECT_GE(frames, 3) << excerpt;
    EXPECT_LE(frames, 18) << excerpt;
    EXPECT_FALSE(payload.value("os", "").empty());
    ASSERT_EQ(app->stop(), 0);

    // Dealt with: the next launch decides before it says it has launched, and sends nothing.
    startApp(toLocalServer);
    ASSERT_EQ(app->stop(), 0);
    EXPECT_EQ(app->count("crash report"), 0u) << app->output();
    EXPECT_EQ(https.posts().size(), 1u);
}

TEST_F(CrashReportAppTest, AnAbortIsReportedWithOurMain) {
    const nlohmann::json report = crashWith(SIGABRT);
    ASSERT_TRUE(report.is_object());
    EXPECT_EQ(report["exception"]["signal"], "SIGABRT");
    EXPECT_TRUE(crashedThreadNamesMain(report)) << report.dump(1);
}

} // namespace
