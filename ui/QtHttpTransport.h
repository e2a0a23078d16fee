// Posting a crash report over HTTPS with Qt Network. Anything but an https:// URL is refused
// without a connection being made.
#pragma once

#include "platform/CrashReporting.h"

#include <memory>
#include <string>

class QNetworkAccessManager;
class QSslConfiguration;

namespace quorvel::ui {

class QtHttpTransport final : public HttpTransport {
public:
    // `extraCertificates`: a PEM file of authorities trusted besides the system's (a test server's
    // own certificate); empty for none.
    explicit QtHttpTransport(const std::string& extraCertificates = {});
    ~QtHttpTransport() override;

    // The answer comes from the event loop; a request still open when this object goes is
    // abandoned without its answer.
    void send(const HttpRequest& request, std::function<void(bool delivered)> done) override;

private:
    std::unique_ptr<QNetworkAccessManager> m_network;
    std::unique_ptr<QSslConfiguration> m_tls;
};

} // namespace quorvel::ui
