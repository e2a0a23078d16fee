// The update service as the menu and the settings window see it. No service is installed on this
// platform, so the update commands are not offered; a build that ships one installs it at start-up.
#pragma once

#include <memory>
#include <optional>

namespace quorvel {

class UpdaterService {
public:
    UpdaterService() = default;
    UpdaterService(const UpdaterService&) = delete;
    UpdaterService& operator=(const UpdaterService&) = delete;
    virtual ~UpdaterService() = default;

    virtual bool canCheckForUpdates() const = 0;
    virtual bool automaticallyChecksForUpdates() const = 0;
    virtual void setAutomaticallyChecksForUpdates(bool on) = 0;
    virtual std::optional<double> lastUpdateCheckDate() const = 0; // seconds since 1970
    virtual void checkForUpdates() = 0;
};

namespace Updater {

// The process-wide service, none at start. Main thread only.
inline std::shared_ptr<UpdaterService>& serviceSlot() {
    static std::shared_ptr<UpdaterService> service;
    return service;
}
inline void install(std::shared_ptr<UpdaterService> service) { serviceSlot() = std::move(service); }
inline UpdaterService* service() { return serviceSlot().get(); }
inline bool isAvailable() { return service() != nullptr; }

} // namespace Updater

} // namespace quorvel
