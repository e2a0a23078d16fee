// xdg-mime says whether a mail program handles mailto: links; QDesktopServices opens the link.
#include "QtMailHandoff.h"

#include <QClipboard>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QProcess>
#include <QUrl>

namespace quorvel::ui {

namespace {

// xdg-open answers success even when nothing takes the link: ask for the handler first.
bool mailProgramSetUp() {
    QProcess query;
    query.start(QStringLiteral("xdg-mime"), {QStringLiteral("query"), QStringLiteral("default"),
                                             QStringLiteral("x-scheme-handler/mailto")});
    if (!query.waitForFinished(3000)) {
        query.kill();
        query.waitForFinished(1000);
        return false;
    }
    return query.exitStatus() == QProcess::NormalExit && query.exitCode() == 0 &&
           !query.readAllStandardOutput().trimmed().isEmpty();
}

} // namespace

bool QtMailHandoff::compose(const std::string& mailtoUrl) {
    if (!mailProgramSetUp()) return false;
    return QDesktopServices::openUrl(QUrl::fromEncoded(QByteArray::fromStdString(mailtoUrl)));
}

void QtMailHandoff::copyToClipboard(const std::string& text) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    const QString value = QString::fromStdString(text);
    clipboard->clear();
    clipboard->setText(value, QClipboard::Clipboard);
    if (clipboard->supportsSelection()) clipboard->setText(value, QClipboard::Selection);
}

} // namespace quorvel::ui
