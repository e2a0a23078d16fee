// One running Quorvel per user and display: an exclusive flock on a lock file in a private
// runtime folder. The kernel drops the lock with the process, so a crash never blocks a restart.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace quorvel {

class InstanceLock {
public:
    // Takes the lock for `display` in lockDirectory(getenv("XDG_RUNTIME_DIR"), "/tmp"), without
    // waiting. None when another live instance holds it or the lock cannot be made; `whyNot` then
    // says which, in a sentence fit to show the user.
    static std::optional<InstanceLock> acquire(std::string_view display, std::string* whyNot = nullptr);
    // Same, in the folder `dir` (already made and checked).
    static std::optional<InstanceLock> acquireIn(const std::filesystem::path& dir, std::string_view display,
                                                 std::string* whyNot = nullptr);

    // The folder locks live in, made (0700) if missing: <runtimeDir>/quorvel when `runtimeDir` is
    // an absolute path to a folder of ours, else <tmpRoot>/quorvel-<uid>. None when the folder
    // found there is not a private folder of this user (someone else could have made it first).
    static std::optional<std::filesystem::path> lockDirectory(const char* runtimeDir,
                                                              const std::filesystem::path& tmpRoot,
                                                              std::string* whyNot = nullptr);
    // Pure: "display-<name>.lock", with the screen number dropped (":1.0" and ":1" share a lock)
    // and anything but [A-Za-z0-9._-] written as '_'; "display-default.lock" for no display.
    static std::string lockFileName(std::string_view display);

    InstanceLock(InstanceLock&& other) noexcept;
    InstanceLock& operator=(InstanceLock&& other) noexcept;
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;
    // Releases the lock.
    ~InstanceLock();

    const std::filesystem::path& path() const { return m_path; }

private:
    InstanceLock(int fd, std::filesystem::path path) : m_fd(fd), m_path(std::move(path)) {}

    int m_fd = -1;
    std::filesystem::path m_path;
};

} // namespace quorvel
