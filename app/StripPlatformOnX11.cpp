// The strip's platform in the app (see StripPlatformOnX11.h).
#include "StripPlatformOnX11.h"

#include <QGuiApplication>
#include <QScreen>

namespace quorvel {

std::unique_ptr<StripWindowView> StripPlatformOnX11::createStripWindow(StripWindowView::Handlers handlers) {
    return m_windows.create(std::move(handlers));
}

std::vector<Rect> StripPlatformOnX11::trayIconFrames() { return m_facts.trayIconFrames(); }

bool StripPlatformOnX11::activeWindowFullScreen(const Rect& monitorFrame) {
    return m_facts.activeWindowFullScreen(monitorFrame);
}

double StripPlatformOnX11::scale() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    const double ratio = screen ? screen->devicePixelRatio() : 1;
    return ratio > 0 ? 1 / ratio : 1;
}

void StripPlatformOnX11::watchPointer(std::map<std::string, Rect> regions,
                                      std::function<void(const std::string&, bool)> onChange) {
    m_facts.watchPointer(std::move(regions), std::move(onChange));
}

} // namespace quorvel
