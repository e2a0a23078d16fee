// The HTTPS transport: one QNetworkReply per request, delivered when the status is 2xx.
#include "QtHttpTransport.h"

#include <QByteArray>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSslConfiguration>
#include <QTimer>
#include <QUrl>

#include <cmath>

namespace quorvel::ui {

QtHttpTransport::QtHttpTransport(const std::string& extraCertificates)
    : m_network(std::make_unique<QNetworkAccessManager>()),
      m_tls(std::make_unique<QSslConfiguration>(QSslConfiguration::defaultConfiguration())) {
    if (!extraCertificates.empty()) m_tls->addCaCertificates(QString::fromStdString(extraCertificates));
}

QtHttpTransport::~QtHttpTransport() {
    // Replies are children of the manager: gone with it, before they can call back.
    for (QNetworkReply* reply : m_network->findChildren<QNetworkReply*>()) {
        reply->disconnect();
        reply->abort();
    }
}

void QtHttpTransport::send(const HttpRequest& request, std::function<void(bool delivered)> done) {
    const QUrl url(QString::fromStdString(request.url), QUrl::StrictMode);
    if (!url.isValid() || url.scheme() != QLatin1String("https") || url.host().isEmpty()) {
        // Answered on a later turn, like every other answer.
        QTimer::singleShot(0, m_network.get(), [done = std::move(done)] { done(false); });
        return;
    }
    QNetworkRequest qrequest(url);
    qrequest.setSslConfiguration(*m_tls);
    for (const auto& [name, value] : request.headers)
        qrequest.setRawHeader(QByteArray::fromStdString(name), QByteArray::fromStdString(value));
    qrequest.setTransferTimeout(static_cast<int>(std::lround(request.timeoutSeconds * 1000)));
    // Never follow a redirect off the configured endpoint.
    qrequest.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    QNetworkReply* reply = m_network->sendCustomRequest(qrequest, QByteArray::fromStdString(request.method),
                                                        QByteArray::fromStdString(request.body));
    QObject::connect(reply, &QNetworkReply::finished, reply, [reply, done = std::move(done)] {
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        const bool delivered = reply->error() == QNetworkReply::NoError && status >= 200 && status <= 299;
        reply->deleteLater();
        done(delivered);
    });
}

} // namespace quorvel::ui
