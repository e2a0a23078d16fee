// The defaults file: strict parsing, loading with damaged files moved aside, merged private
// rewrites under a lock, and a watch for edits made outside. Nothing here throws to the caller;
// every failure becomes one "app" error line.
#include "JsonFileDefaults.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <iterator>
#include <system_error>
#include <utility>
#include <vector>

namespace quorvel {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kCategory = "app";
// Stored values are shallow. Copying and writing JSON recurse, so a hostile file nested deeper than
// this would only put the stack at risk.
constexpr int kMaxDepth = 256;
// A defaults file is a few kilobytes; something this large is not one (or is a device).
constexpr off_t kMaxFileSize = 64 * 1024 * 1024;
// How many "-N" suffixes to try when backups of the same second already exist.
constexpr int kMaxBackupSuffix = 1000;

std::string errorText(int error) { return std::error_code(error, std::generic_category()).message(); }

// Deepest bracket nesting outside strings; exact for valid JSON, which is all that matters.
bool nestedTooDeeply(std::string_view text) {
    int depth = 0;
    bool inString = false;
    bool escaped = false;
    for (const char c : text) {
        if (inString) {
            if (escaped) escaped = false;
            else if (c == '\\') escaped = true;
            else if (c == '"') inString = false;
        } else if (c == '"') {
            inString = true;
        } else if (c == '[' || c == '{') {
            if (++depth > kMaxDepth) return true;
        } else if (c == ']' || c == '}') {
            --depth;
        }
    }
    return false;
}

struct ParseOutcome {
    std::optional<std::map<std::string, Json>> values;
    std::string problem;
};

// The parser reads "-0" as a signed integer but every other non-negative integer as unsigned, and
// the file only ever says "0": without this, a value read as signed would come back unsigned after
// the next write. Recursion is bounded by the depth check.
void canonicalIntegers(Json& value) {
    if (value.is_number_integer() && !value.is_number_unsigned()) {
        if (const auto n = value.get<std::int64_t>(); n >= 0) value = static_cast<std::uint64_t>(n);
    } else if (value.is_structured()) {
        for (Json& element : value) canonicalIntegers(element);
    }
}

ParseOutcome parseText(std::string_view text) {
    if (nestedTooDeeply(text)) return {std::nullopt, "nested too deeply"};
    Json document = Json::parse(text.begin(), text.end(), nullptr, /*allow_exceptions=*/false);
    if (document.is_discarded()) return {std::nullopt, "not valid JSON"};
    if (!document.is_object()) return {std::nullopt, "not a JSON object"};
    std::map<std::string, Json> values;
    for (auto& [key, value] : document.get_ref<Json::object_t&>())
        if (!value.is_null()) {
            canonicalIntegers(value);
            values.emplace(key, std::move(value));
        }
    return {std::move(values), {}};
}

// Closes a descriptor on every path out of a scope.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : m_fd(fd) {}
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor() {
        if (m_fd >= 0) ::close(m_fd);
    }
    int get() const { return m_fd; }
    int release() { return std::exchange(m_fd, -1); }
    // Closes now so that a failing close can be reported.
    int close() { return ::close(std::exchange(m_fd, -1)); }

private:
    int m_fd;
};

struct ReadOutcome {
    enum class Kind { missing, text, failed };
    Kind kind = Kind::missing;
    std::string text;
    std::string problem;
};

ReadOutcome readFile(const fs::path& path) {
    const auto failed = [](std::string problem) {
        return ReadOutcome{ReadOutcome::Kind::failed, {}, std::move(problem)};
    };
    // Non-blocking so that a FIFO put in the file's place cannot hang start-up.
    FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (file.get() < 0) {
        if (errno == ENOENT || errno == ENOTDIR) return {};
        return failed(errorText(errno));
    }
    struct stat info {};
    if (::fstat(file.get(), &info) != 0) return failed(errorText(errno));
    if (!S_ISREG(info.st_mode)) return failed("not a regular file");
    if (info.st_size > kMaxFileSize) return failed("larger than 64 MiB");

    ReadOutcome outcome{ReadOutcome::Kind::text, {}, {}};
    outcome.text.reserve(static_cast<std::size_t>(info.st_size));
    char buffer[64 * 1024];
    for (;;) {
        const ssize_t n = ::read(file.get(), buffer, sizeof buffer);
        if (n == 0) break;
        if (n < 0) {
            if (errno == EINTR) continue;
            return failed(errorText(errno));
        }
        outcome.text.append(buffer, static_cast<std::size_t>(n));
        if (outcome.text.size() > static_cast<std::size_t>(kMaxFileSize)) return failed("larger than 64 MiB");
    }
    return outcome;
}

// "20261206T075529Z" for the UTC second of `wallClock`.
std::string utcStamp(double wallClock) {
    // Out-of-range clocks (before 1970, after year 9999, NaN) name the backup after the epoch.
    std::time_t seconds = 0;
    if (std::isfinite(wallClock) && wallClock > 0 && wallClock < 253402300800.0)
        seconds = static_cast<std::time_t>(std::floor(wallClock));
    std::tm utc{};
    ::gmtime_r(&seconds, &utc);
    char buffer[32];
    std::strftime(buffer, sizeof buffer, "%Y%m%dT%H%M%SZ", &utc);
    return buffer;
}

// Renames without ever replacing an existing file; false with `error` set otherwise.
bool renameNoReplace(const fs::path& from, const fs::path& to, int& error) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
    if (errno != EINVAL && errno != ENOSYS) {
        error = errno;
        return false;
    }
    // Filesystems without the flag: check, then rename. Only a second copy starting in the same
    // second could slip between the two.
    struct stat info {};
    if (::lstat(to.c_str(), &info) == 0) {
        error = EEXIST;
        return false;
    }
    if (::rename(from.c_str(), to.c_str()) == 0) return true;
    error = errno;
    return false;
}

struct MoveOutcome {
    std::optional<fs::path> backup;
    std::string problem;
};

MoveOutcome moveAside(const fs::path& path, double wallClock) {
    const std::string base = path.string() + ".corrupt-" + utcStamp(wallClock);
    for (int suffix = 0; suffix < kMaxBackupSuffix; ++suffix) {
        fs::path candidate = suffix == 0 ? base : base + "-" + std::to_string(suffix);
        int error = 0;
        if (renameNoReplace(path, candidate, error)) return {std::move(candidate), {}};
        if (error != EEXIST) return {std::nullopt, errorText(error)};
    }
    return {std::nullopt, "too many backups already"};
}

// Creates missing directories with mode 0700 (private, whatever the umask); leaves existing ones alone.
std::string makeDirectories(const fs::path& directory) {
    if (directory.empty()) return {};
    struct stat info {};
    if (::stat(directory.c_str(), &info) == 0)
        return S_ISDIR(info.st_mode) ? std::string() : directory.string() + " is not a directory";
    if (errno != ENOENT) return "checking " + directory.string() + ": " + errorText(errno);
    if (auto problem = makeDirectories(directory.parent_path()); !problem.empty()) return problem;
    if (::mkdir(directory.c_str(), 0700) == 0) {
        ::chmod(directory.c_str(), 0700);
        return {};
    }
    if (errno == EEXIST) return {};
    return "creating " + directory.string() + ": " + errorText(errno);
}

bool writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

// Temporary file in the same directory, flushed to disk, then renamed over `target`: a reader
// (or a crash) sees the old file or the new one, never half of one. Returns the problem, if any.
// What tells one version of a file from another: a rename into place gives a new inode, a rewrite
// in place a new time or size.
struct FileIdentity {
    bool exists = false;
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    std::int64_t modified = 0; // nanoseconds
    friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

FileIdentity identityOf(const fs::path& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return {};
    return {true, info.st_dev, info.st_ino, info.st_size,
            static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec};
}

// The answer of writeAtomically when `unchanged` said the file changed before the rename.
constexpr std::string_view kChangedMeanwhile = "changed meanwhile";

// Writes `bytes` to a temporary file beside `target`, flushes it and renames it over `target`,
// unless `unchanged` (asked just before the rename) says `target` is no longer the version read.
std::string writeAtomically(const fs::path& target, std::string_view bytes,
                            const std::function<bool()>& unchanged = nullptr) {
    const fs::path directory = target.parent_path();
    if (auto problem = makeDirectories(directory); !problem.empty()) return problem;

    std::string temporary = target.string() + ".tmp-XXXXXX";
    FileDescriptor file(::mkostemp(temporary.data(), O_CLOEXEC));
    if (file.get() < 0) return "creating a temporary file: " + errorText(errno);

    std::string problem;
    const auto fail = [&problem](std::string_view step) {
        if (problem.empty()) problem = std::string(step) + ": " + errorText(errno);
    };
    if (::fchmod(file.get(), 0600) != 0) fail("setting the file mode");
    else if (!writeAll(file.get(), bytes)) fail("writing");
    else if (::fsync(file.get()) != 0) fail("flushing to disk");
    if (file.close() != 0) fail("closing");
    // An editor that saved while this was flushed to disk keeps its save: the merge is made again.
    if (problem.empty() && unchanged && !unchanged()) problem = kChangedMeanwhile;
    if (problem.empty() && ::rename(temporary.c_str(), target.c_str()) != 0) fail("replacing the file");
    if (!problem.empty()) {
        ::unlink(temporary.c_str());
        return problem;
    }

    // Make the rename itself durable. The new contents are already safe, so a failure is not reported.
    FileDescriptor dir(::open(directory.empty() ? "." : directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() >= 0) ::fsync(dir.get());
    return {};
}

std::string serialize(const std::map<std::string, Json, std::less<>>& values) {
    Json document = Json::object();
    for (const auto& [key, value] : values) document[key] = value;
    // A stored string may hold invalid UTF-8; replacing it keeps the file writable and valid.
    return document.dump(2, ' ', false, Json::error_handler_t::replace) + '\n';
}

// A symlinked defaults file (a dotfiles checkout) is rewritten where it points, keeping the link.
fs::path writeTarget(const fs::path& path) {
    std::error_code error;
    if (!fs::is_symlink(fs::symlink_status(path, error))) return path;
    fs::path resolved = fs::canonical(path, error);
    return error ? path : resolved;
}

fs::path homeDirectory() {
    if (const char* home = std::getenv("HOME"); home && home[0] == '/') return home;
    long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    if (size <= 0) size = 16384;
    std::vector<char> buffer(static_cast<std::size_t>(size));
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found && found->pw_dir &&
        found->pw_dir[0] == '/')
        return found->pw_dir;
    // No home at all: a path relative to the working directory is the only thing left.
    return {};
}

// Holds an exclusive flock on the side file "<defaults file>.lock" for its lifetime: every copy
// that writes the file takes it, so read-merge-write never interleaves between two copies.
class FileLock {
public:
    explicit FileLock(const fs::path& file) {
        if (!makeDirectories(file.parent_path()).empty()) return;
        const std::string lockPath = file.string() + ".lock";
        m_fd = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOCTTY, 0600);
        if (m_fd < 0) return;
        while (::flock(m_fd, LOCK_EX) != 0) {
            if (errno == EINTR) continue;
            ::close(std::exchange(m_fd, -1));
            return;
        }
    }
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;
    ~FileLock() {
        // Closing releases the lock.
        if (m_fd >= 0) ::close(m_fd);
    }
    bool held() const { return m_fd >= 0; }

private:
    int m_fd = -1;
};

// Equal as stored: 1 and 1.0 compare equal as JSON but are written differently.
bool sameValue(const Json& a, const Json& b) { return a == b && a.dump() == b.dump(); }

std::string joined(const std::vector<std::string>& keys) {
    std::string out;
    for (const std::string& key : keys) out += (out.empty() ? "" : ", ") + key;
    return out;
}

} // namespace

JsonFileDefaults::JsonFileDefaults(std::filesystem::path path, Log& log, double wallClock)
    : m_path(std::move(path)), m_log(log) {
    load(wallClock);
}

JsonFileDefaults::~JsonFileDefaults() {
    // Whoever listened may already be gone; what the last write takes in is not announced.
    onExternalChange = nullptr;
    flush();
    if (!m_pending.empty() && m_persist)
        m_log.error(kCategory, "defaults file %s: %s change(s) not saved, the file does not parse", m_path.string(),
                    m_pending.size());
    if (m_watch >= 0) ::close(m_watch);
}

std::filesystem::path JsonFileDefaults::defaultPath() {
    // An empty or relative XDG_CONFIG_HOME is invalid and must be ignored.
    const char* config = std::getenv("XDG_CONFIG_HOME");
    const fs::path base = config && config[0] == '/' ? fs::path(config) : homeDirectory() / ".config";
    return base / "quorvel" / "defaults.json";
}

std::optional<std::map<std::string, Json>> JsonFileDefaults::parse(std::string_view text) {
    try {
        return parseText(text).values;
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

std::optional<Json> JsonFileDefaults::object(std::string_view key) const {
    const auto it = m_values.find(key);
    if (it == m_values.end()) return std::nullopt;
    return it->second;
}

void JsonFileDefaults::set(std::string_view key, Json value) {
    if (value.is_null() || value.is_discarded()) {
        remove(key);
        return;
    }
    if (const auto it = m_values.find(key); it != m_values.end()) {
        if (sameValue(it->second, value)) return;
        it->second = value;
    } else {
        m_values.emplace(std::string(key), value);
    }
    changed(key, std::move(value));
}

void JsonFileDefaults::remove(std::string_view key) {
    const auto it = m_values.find(key);
    if (it == m_values.end()) return;
    m_values.erase(it);
    changed(key, std::nullopt);
}

std::vector<std::string> JsonFileDefaults::keys() const {
    std::vector<std::string> out;
    out.reserve(m_values.size());
    for (const auto& [key, value] : m_values) out.push_back(key);
    return out;
}

void JsonFileDefaults::changed(std::string_view key, std::optional<Json> value) {
    if (const auto it = m_pending.find(key); it != m_pending.end()) it->second = std::move(value);
    else m_pending.emplace(std::string(key), std::move(value));
    scheduleFlush();
}

void JsonFileDefaults::scheduleFlush() {
    if (!m_scheduler) {
        flush();
        return;
    }
    if (!m_flushTask.isCancelled()) return;
    m_flushTask = m_scheduler->post([this] {
        m_flushTask = {};
        flush();
    });
}

void JsonFileDefaults::coalesceOn(Scheduler& scheduler) { m_scheduler = &scheduler; }

JsonFileDefaults::FileState JsonFileDefaults::readCurrent(Values& values, bool writeFinished) {
    const auto unusable = [this](const std::string& problem) {
        if (!m_fileUnusable)
            m_log.error(kCategory,
                        "defaults file %s cannot be used (%s) — left as it is; the settings read "
                        "before stay in effect and changes are written once it parses again",
                        m_path.string(), problem);
        m_fileUnusable = true;
        return FileState::unusable;
    };
    ReadOutcome read = readFile(m_path);
    if (read.kind == ReadOutcome::Kind::failed) return unusable(read.problem);
    if (read.kind == ReadOutcome::Kind::missing) {
        // Deleted or being replaced: nothing there to merge, and everything known is written back.
        values = m_onDisk;
    } else if (read.text.empty()) {
        // An editor truncates before it writes: an empty file while keys were expected is taken
        // as in the middle of a write, until the watch says a write was finished.
        if (!writeFinished && !m_onDisk.empty()) return FileState::busy;
        values.clear();
    } else {
        ParseOutcome parsed = parseText(read.text);
        if (!parsed.values) return unusable(parsed.problem);
        values = {std::make_move_iterator(parsed.values->begin()), std::make_move_iterator(parsed.values->end())};
    }
    if (m_fileUnusable) m_log.info(kCategory, "defaults file %s parses again", m_path.string());
    m_fileUnusable = false;
    return FileState::readable;
}

std::vector<std::string> JsonFileDefaults::absorb(const Values& file) {
    std::vector<std::string> changedKeys;
    const auto consider = [&](const std::string& key) {
        if (m_pending.contains(key)) return;
        const auto before = m_onDisk.find(key);
        const auto now = file.find(key);
        const bool same = before == m_onDisk.end() ? now == file.end()
                                                   : now != file.end() && sameValue(now->second, before->second);
        if (same) return;
        if (now == file.end()) m_values.erase(key);
        else m_values.insert_or_assign(key, now->second);
        changedKeys.push_back(key);
    };
    for (const auto& [key, value] : file) consider(key);
    for (const auto& [key, value] : m_onDisk)
        if (!file.contains(key)) consider(key);
    m_onDisk = file;
    return changedKeys;
}

void JsonFileDefaults::announce(const std::vector<std::string>& keys) {
    if (keys.empty()) return;
    m_log.info(kCategory, "defaults file %s changed outside the app: %s", m_path.string(), joined(keys));
    if (onExternalChange) onExternalChange(keys);
}

void JsonFileDefaults::flush() {
    m_flushTask.cancel();
    m_flushTask = {};
    if (m_pending.empty() || !m_persist) return;
    std::vector<std::string> external;
    try {
        const FileLock lock(m_path);
        // Other copies of the app wait for the lock; an editor does not: a save of its that lands
        // between our read and our rename is read and merged again (three tries).
        for (int attempt = 1;; ++attempt) {
            const FileIdentity read = identityOf(m_path);
            Values file;
            if (readCurrent(file, false) != FileState::readable) return announce(external); // kept pending
            for (std::string& key : absorb(file))
                if (std::find(external.begin(), external.end(), key) == external.end()) external.push_back(std::move(key));

            Values merged = file;
            for (const auto& [key, value] : m_pending) {
                if (value) merged.insert_or_assign(key, *value);
                else merged.erase(key);
            }
            if (serialize(merged) == serialize(file)) break;
            const auto unchanged = [&] {
                if (beforeReplace) beforeReplace();
                return attempt == 3 || identityOf(m_path) == read;
            };
            if (const std::string problem = writeAtomically(writeTarget(m_path), serialize(merged), unchanged);
                problem == kChangedMeanwhile) {
                continue;
            } else if (!problem.empty()) {
                m_log.error(kCategory, "defaults file %s could not be saved (%s)", m_path.string(), problem);
                announce(external);
                return; // kept pending: the next change tries again
            }
            ++m_writes;
            m_onDisk = std::move(merged);
            break;
        }
        m_pending.clear();
    } catch (const std::exception& e) {
        m_log.error(kCategory, "defaults file %s could not be saved (%s)", m_path.string(), std::string(e.what()));
    }
    announce(external);
}

int JsonFileDefaults::watchFile() {
    if (m_watch >= 0) return m_watch;
    const fs::path directory = m_path.parent_path().empty() ? fs::path(".") : m_path.parent_path();
    if (const std::string problem = makeDirectories(directory); !problem.empty()) {
        m_log.error(kCategory, "defaults file %s is not watched (%s)", m_path.string(), problem);
        return -1;
    }
    FileDescriptor watch(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
    // The file is replaced by rename (here and by most editors), so the folder is what is watched:
    // a rename into place, or a rewrite in place that has been closed.
    if (watch.get() < 0 || ::inotify_add_watch(watch.get(), directory.c_str(), IN_CLOSE_WRITE | IN_MOVED_TO) < 0) {
        m_log.error(kCategory, "defaults file %s is not watched (%s)", m_path.string(), errorText(errno));
        return -1;
    }
    m_watch = watch.release();
    return m_watch;
}

void JsonFileDefaults::fileMayHaveChanged() {
    if (m_watch < 0) return;
    const std::string name = m_path.filename().string();
    bool ours = false;
    alignas(inotify_event) char buffer[16 * 1024];
    for (;;) {
        const ssize_t n = ::read(m_watch, buffer, sizeof buffer);
        if (n <= 0) {
            if (n < 0 && errno == EINTR) continue;
            break;
        }
        for (ssize_t offset = 0; offset < n;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + offset);
            if (event->len > 0 && name == event->name) ours = true;
            if (event->mask & IN_Q_OVERFLOW) ours = true;
            offset += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        }
    }
    if (ours) reload();
}

void JsonFileDefaults::reload() {
    if (!m_persist) return;
    std::vector<std::string> external;
    try {
        Values file;
        if (readCurrent(file, true) != FileState::readable) return;
        external = absorb(file);
    } catch (const std::exception& e) {
        m_log.error(kCategory, "defaults file %s could not be read again (%s)", m_path.string(), std::string(e.what()));
        return;
    }
    announce(external);
    // Changes held back while the file did not parse go out now.
    if (!m_pending.empty()) scheduleFlush();
}

void JsonFileDefaults::load(double wallClock) {
    try {
        ReadOutcome read = readFile(m_path);
        if (read.kind == ReadOutcome::Kind::missing) return;
        std::string problem = std::move(read.problem);
        if (read.kind == ReadOutcome::Kind::text) {
            // Zero bytes hold nothing worth keeping a backup of.
            if (read.text.empty()) return;
            ParseOutcome parsed = parseText(read.text);
            if (parsed.values) {
                m_values = {std::make_move_iterator(parsed.values->begin()),
                            std::make_move_iterator(parsed.values->end())};
                m_onDisk = m_values;
                return;
            }
            problem = std::move(parsed.problem);
        }
        MoveOutcome moved = moveAside(m_path, wallClock);
        if (moved.backup) {
            m_backup = std::move(moved.backup);
            m_log.error(kCategory,
                        "defaults file %s is unreadable (%s) — moved aside to %s, starting empty",
                        m_path.string(), problem, m_backup->string());
        } else {
            m_persist = false;
            m_log.error(kCategory,
                        "defaults file %s is unreadable (%s) and could not be moved aside (%s) — "
                        "starting empty, changes will not be saved",
                        m_path.string(), problem, moved.problem);
        }
    } catch (const std::exception& e) {
        // Only running out of memory gets here; leave the file exactly as it is.
        m_values.clear();
        m_onDisk.clear();
        m_persist = false;
        m_log.error(kCategory,
                    "defaults file %s could not be loaded (%s) — starting empty, "
                    "changes will not be saved",
                    m_path.string(), std::string(e.what()));
    }
}

} // namespace quorvel
