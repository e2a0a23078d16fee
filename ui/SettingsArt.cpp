// The settings and welcome windows' drawings, painted with QPainter in the palette's colours. Every
// picture is built from a few shapes (a screen, a tile, an arrow, a cross, a key cap) so that the
// pictures read as one family in light and dark themes.
#include "SettingsArt.h"

#include "Palette.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>

#include <algorithm>
#include <array>
#include <utility>
#include <vector>

namespace quorvel::ui {

namespace {

constexpr std::string_view kControl = "\u2303";
constexpr std::string_view kAlt = "\u2325";
constexpr std::string_view kShift = "\u21E7";
constexpr std::string_view kSuper = "\u2318";
constexpr std::array<std::string_view, 4> kModifierSymbols = {kControl, kAlt, kShift, kSuper};

bool isDark(const QPalette& palette) { return palette.color(QPalette::Window).lightness() < 128; }

QColor withAlpha(QColor colour, double alpha) {
    colour.setAlphaF(static_cast<float>(alpha));
    return colour;
}

// The colours every drawing uses, read once per paint.
struct Ink {
    explicit Ink(const QPalette& p)
        : palette(p), label(colourFor(p, ColourRole::label)), secondary(colourFor(p, ColourRole::secondary)),
          accent(colourFor(p, ColourRole::accent)), screen(p.color(QPalette::Base)),
          stroke(withAlpha(label, 0.75)) {}
    const QPalette& palette;
    QColor label, secondary, accent, screen, stroke;
};

QFont pixelFont(const QFont& base, double size, FontWeight weight = FontWeight::regular) {
    return fontOf(base, size, weight);
}

// A display: a rounded frame filled with the base colour.
void drawScreen(QPainter& p, const Ink& ink, const QRectF& r) {
    p.setPen(QPen(ink.stroke, 1.2));
    p.setBrush(ink.screen);
    p.drawRoundedRect(r, 3, 3);
}

// A window: an accent tile, with an optional letter to follow it between two screens.
void drawTile(QPainter& p, const Ink& ink, const QRectF& r, const QString& letter = {}, double strength = 1.0) {
    p.setPen(QPen(withAlpha(ink.accent, 0.9 * strength), 1));
    p.setBrush(withAlpha(ink.accent, 0.35 * strength));
    p.drawRoundedRect(r, 1.5, 1.5);
    if (letter.isEmpty()) return;
    p.setPen(ink.label);
    p.setFont(pixelFont(p.font(), 9, FontWeight::semibold));
    p.drawText(r, Qt::AlignCenter, letter);
}

// A closed window: its tile crossed out.
void drawCross(QPainter& p, const QRectF& r) {
    const QColor red(0xd9, 0x3f, 0x3f);
    p.setPen(QPen(red, 1.6, Qt::SolidLine, Qt::RoundCap));
    const QRectF c = r.adjusted(r.width() * 0.25, r.height() * 0.25, -r.width() * 0.25, -r.height() * 0.25);
    p.drawLine(c.topLeft(), c.bottomRight());
    p.drawLine(c.topRight(), c.bottomLeft());
}

void drawArrow(QPainter& p, const Ink& ink, QPointF from, QPointF to) {
    p.setPen(QPen(ink.stroke, 1.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawLine(from, to);
    const QPointF head(to.x() - 4, to.y());
    p.drawLine(to, head + QPointF(0, -3.5));
    p.drawLine(to, head + QPointF(0, 3.5));
}

void drawCaption(QPainter& p, const Ink& ink, const QRectF& r, const QString& text, double size = 9) {
    p.setPen(ink.secondary);
    p.setFont(pixelFont(p.font(), size));
    p.drawText(r, Qt::AlignCenter, text);
}

// A rounded key cap, tinted when the symbol has a modifier colour.
void drawCap(QPainter& p, const QPalette& palette, const QRectF& r, double radius, std::string_view symbol,
             const QString& text, double textSize, bool bold = false) {
    const Ink ink(palette);
    const auto tint = modifierColour(symbol, palette);
    const QColor face = palette.color(QPalette::Button);
    p.setPen(QPen(tint ? *tint : withAlpha(ink.label, 0.45), 1));
    p.setBrush(tint ? withAlpha(*tint, isDark(palette) ? 0.30 : 0.20) : face);
    p.drawRoundedRect(r.adjusted(0.5, 0.5, -0.5, -0.5), radius, radius);
    p.setPen(tint ? *tint : ink.label);
    p.setFont(pixelFont(p.font(), textSize, bold ? FontWeight::semibold : FontWeight::regular));
    p.drawText(r, Qt::AlignCenter, text);
}

// The two screens of a before-and-after picture, with the arrow between them.
struct Pair {
    QRectF before{6, 30, 64, 44};
    QRectF after{95, 30, 64, 44};
};

Pair drawPair(QPainter& p, const Ink& ink, const QString& caption = {}) {
    const Pair pair;
    drawScreen(p, ink, pair.before);
    drawScreen(p, ink, pair.after);
    drawArrow(p, ink, {pair.before.right() + 6, 52}, {pair.after.left() - 6, 52});
    if (!caption.isEmpty()) drawCaption(p, ink, QRectF(0, 8, 165, 16), caption, 10);
    return pair;
}

// The inside of a screen, with room for the tiles' outer gap.
QRectF inner(const QRectF& screen, double inset = 3) { return screen.adjusted(inset, inset, -inset, -inset); }

QRectF leftHalf(const QRectF& r, double gap = 2) { return {r.x(), r.y(), (r.width() - gap) / 2, r.height()}; }
QRectF rightHalf(const QRectF& r, double gap = 2) {
    const double w = (r.width() - gap) / 2;
    return {r.right() - w, r.y(), w, r.height()};
}
QRectF topHalf(const QRectF& r, double gap = 2) { return {r.x(), r.y(), r.width(), (r.height() - gap) / 2}; }
QRectF bottomHalf(const QRectF& r, double gap = 2) {
    const double h = (r.height() - gap) / 2;
    return {r.x(), r.bottom() - h, r.width(), h};
}

// A desktop row as the menu shows it: number, name, and optionally a mini-map and a tiling square.
void drawRow(QPainter& p, const Ink& ink, const QRectF& r, const QString& number, const QString& name,
             bool map = false, bool badge = false, bool current = false) {
    if (current) {
        p.setPen(Qt::NoPen);
        p.setBrush(withAlpha(ink.accent, 0.18));
        p.drawRoundedRect(r, 3, 3);
    }
    p.setPen(ink.label);
    p.setFont(pixelFont(p.font(), 10, FontWeight::semibold));
    p.drawText(QRectF(r.x() + 4, r.y(), 12, r.height()), Qt::AlignVCenter | Qt::AlignLeft, number);
    p.setFont(pixelFont(p.font(), 10));
    double right = r.right() - 4;
    if (badge) {
        const QRectF square(right - 9, r.center().y() - 4.5, 9, 9);
        p.setPen(QPen(ink.accent, 1.2));
        p.setBrush(withAlpha(ink.accent, 0.3));
        p.drawRoundedRect(square, 1.5, 1.5);
        right = square.left() - 5;
    }
    if (map) {
        const QRectF mapRect(right - 22, r.y() + 3, 22, r.height() - 6);
        p.setPen(QPen(ink.stroke, 0.8));
        p.setBrush(Qt::NoBrush);
        p.drawRect(mapRect);
        p.setPen(Qt::NoPen);
        p.setBrush(withAlpha(ink.label, 0.45));
        p.drawRect(QRectF(mapRect.x() + 2, mapRect.y() + 2, 9, mapRect.height() - 4));
        p.drawRect(QRectF(mapRect.x() + 12, mapRect.y() + 2, 8, mapRect.height() - 4));
        right = mapRect.left() - 4;
    }
    p.setPen(ink.label);
    p.drawText(QRectF(r.x() + 18, r.y(), right - r.x() - 18, r.height()), Qt::AlignVCenter | Qt::AlignLeft,
               p.fontMetrics().elidedText(name, Qt::ElideRight, static_cast<int>(right - r.x() - 18)));
}

// --- One routine per kind ---------------------------------------------------------------------------

void draw(QPainter& p, const Ink& ink, const diagram::AccessMode& k) {
    const QRectF screen(22, 10, 121, 80);
    drawScreen(p, ink, screen);
    if (k.menuBar) {
        // The panel along the top with our item lit, and its menu open under it.
        const QRectF bar(screen.x() + 1, screen.y() + 1, screen.width() - 2, 9);
        p.setPen(Qt::NoPen);
        p.setBrush(withAlpha(ink.label, 0.18));
        p.drawRect(bar);
        const QRectF item(bar.right() - 24, bar.y() + 1, 12, 7);
        p.setBrush(ink.accent);
        p.drawRoundedRect(item, 1.5, 1.5);
        const QRectF menu(item.right() - 62, bar.bottom() + 2, 62, 48);
        p.setPen(QPen(ink.stroke, 1));
        p.setBrush(ink.palette.color(QPalette::Window));
        p.drawRoundedRect(menu, 2, 2);
        for (int i = 0; i < 3; ++i)
            drawRow(p, ink, QRectF(menu.x() + 2, menu.y() + 3 + i * 14, menu.width() - 4, 13),
                    QString::number(i + 1), i == 0 ? "Mail" : i == 1 ? "Code" : "Web", false, false, i == 0);
        return;
    }
    // The floating panel in the middle of the screen, and the key that summons it.
    const QRectF panel(screen.center().x() - 36, screen.y() + 20, 72, 52);
    p.setPen(QPen(ink.accent, 1.2));
    p.setBrush(ink.palette.color(QPalette::Window));
    p.drawRoundedRect(panel, 4, 4);
    for (int i = 0; i < 3; ++i)
        drawRow(p, ink, QRectF(panel.x() + 3, panel.y() + 4 + i * 15, panel.width() - 6, 13),
                QString::number(i + 1), i == 0 ? "Mail" : i == 1 ? "Code" : "Web", false, false, i == 1);
    drawCap(p, ink.palette, QRectF(screen.center().x() - 14, screen.y() + 4, 28, 13), 3, {}, "keys", 8);
}

void draw(QPainter& p, const Ink& ink, const diagram::Naming& k) {
    const QRectF list(20, 12, 125, 76);
    drawScreen(p, ink, list);
    const std::array<std::pair<QString, QString>, 3> autoNames = {
        {{"1", "Firefox — Inbox"}, {"2", "Terminal"}, {"3", "Project"}}};
    const std::array<std::pair<QString, QString>, 3> manualNames = {{{"1", "Desktop 1"}, {"2", "Desktop 2"}, {"3", "Project"}}};
    const auto& names = k.automatic ? autoNames : manualNames;
    for (int i = 0; i < 3; ++i) {
        const QRectF row(list.x() + 4, list.y() + 6 + i * 22, list.width() - 8, 18);
        drawRow(p, ink, row, names[i].first, names[i].second, false, false, i == 0);
        // The name typed by hand keeps a pencil mark: it wins either way.
        if (i == 2) {
            p.setPen(QPen(ink.accent, 1.4, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(QPointF(row.right() - 10, row.bottom() - 4), QPointF(row.right() - 4, row.top() + 4));
        }
    }
}

void draw(QPainter& p, const Ink& ink, const diagram::Numbering& k) {
    const QRectF left(8, 26, 70, 48);
    const QRectF right(87, 26, 70, 48);
    for (const auto& [screen, first] : {std::pair{left, 1}, std::pair{right, k.perDisplay ? 1 : 4}}) {
        drawScreen(p, ink, screen);
        for (int i = 0; i < 3; ++i) {
            const QRectF cell(screen.x() + 5 + i * 21, screen.y() + 14, 18, 20);
            drawTile(p, ink, cell, QString::number(first + i), i == 0 ? 1.0 : 0.55);
        }
    }
    drawCaption(p, ink, QRectF(0, 78, 165, 14), k.perDisplay ? "each display starts at 1" : "one count across displays");
}

void draw(QPainter& p, const Ink& ink, const diagram::ListRow& k) {
    const QRectF menu(10, 24, 145, 52);
    p.setPen(QPen(ink.stroke, 1));
    p.setBrush(ink.palette.color(QPalette::Window));
    p.drawRoundedRect(menu, 4, 4);
    drawRow(p, ink, QRectF(menu.x() + 4, menu.y() + 5, menu.width() - 8, 20), "1", "Mail", k.maps, k.badges, true);
    drawRow(p, ink, QRectF(menu.x() + 4, menu.y() + 27, menu.width() - 8, 20), "2", "Code", k.maps, k.badges);
}

void draw(QPainter& p, const Ink& ink, const diagram::Gap& k) {
    const QRectF screen(22, 10, 121, 80);
    drawScreen(p, ink, screen);
    // Half scale, so that the largest gap still leaves room for the tiles.
    const double gap = std::clamp(k.px, 0, 32) / 2.0;
    const QRectF area = screen.adjusted(1.5 + gap, 1.5 + gap, -1.5 - gap, -1.5 - gap);
    drawTile(p, ink, leftHalf(area, gap));
    drawTile(p, ink, topHalf(rightHalf(area, gap), gap));
    drawTile(p, ink, bottomHalf(rightHalf(area, gap), gap));
}

void draw(QPainter& p, const Ink& ink, const diagram::OnClose& k) {
    const Pair pair = drawPair(p, ink);
    // Before: A across the top, B and C side by side under it; C closes.
    const QRectF b = inner(pair.before);
    drawTile(p, ink, topHalf(b), "A");
    drawTile(p, ink, leftHalf(bottomHalf(b)), "B");
    const QRectF closed = rightHalf(bottomHalf(b));
    drawTile(p, ink, closed, {}, 0.5);
    drawCross(p, closed);
    const QRectF a = inner(pair.after);
    if (k.refit) {
        // The survivors turn to suit the wide screen.
        drawTile(p, ink, leftHalf(a), "A");
        drawTile(p, ink, rightHalf(a), "B");
    } else {
        drawTile(p, ink, topHalf(a), "A");
        drawTile(p, ink, bottomHalf(a), "B");
    }
    drawCaption(p, ink, QRectF(0, 78, 165, 14), k.refit ? "re-fit" : "splits kept");
}

void draw(QPainter& p, const Ink& ink, const diagram::Tiling&) {
    const Pair pair = drawPair(p, ink);
    const QRectF b = pair.before;
    drawTile(p, ink, QRectF(b.x() + 6, b.y() + 6, 30, 22), "A");
    drawTile(p, ink, QRectF(b.x() + 20, b.y() + 14, 30, 22), "B");
    drawTile(p, ink, QRectF(b.x() + 32, b.y() + 9, 26, 26), "C");
    const QRectF a = inner(pair.after);
    drawTile(p, ink, leftHalf(a), "A");
    drawTile(p, ink, topHalf(rightHalf(a)), "B");
    drawTile(p, ink, bottomHalf(rightHalf(a)), "C");
}

void draw(QPainter& p, const Ink& ink, const diagram::SwitchSpaces&) {
    const Pair pair = drawPair(p, ink);
    for (const auto& [screen, current] : {std::pair{pair.before, 0}, std::pair{pair.after, 1}}) {
        for (int i = 0; i < 4; ++i) {
            const QRectF dot(screen.x() + 9 + i * 12.5, screen.bottom() - 12, 9, 7);
            drawTile(p, ink, dot, {}, i == current ? 1.0 : 0.35);
        }
        drawCaption(p, ink, QRectF(screen.x(), screen.y() + 4, screen.width(), 22),
                    current == 0 ? "1" : "2", 14);
    }
    drawCap(p, ink.palette, QRectF(66, 12, 34, 15), 3, kControl, "\u2303\u23252", 9);
}

void draw(QPainter& p, const Ink& ink, const diagram::PanelShortcut&) {
    const Pair pair = drawPair(p, ink);
    drawTile(p, ink, inner(pair.before), {}, 0.5);
    drawTile(p, ink, inner(pair.after), {}, 0.5);
    const QRectF panel(pair.after.center().x() - 18, pair.after.y() + 8, 36, 28);
    p.setPen(QPen(ink.accent, 1.2));
    p.setBrush(ink.palette.color(QPalette::Window));
    p.drawRoundedRect(panel, 3, 3);
    p.setPen(withAlpha(ink.label, 0.6));
    for (int i = 0; i < 3; ++i) p.drawLine(QPointF(panel.x() + 5, panel.y() + 7 + i * 7), QPointF(panel.right() - 5, panel.y() + 7 + i * 7));
    drawCap(p, ink.palette, QRectF(66, 12, 34, 15), 3, kControl, "\u2303\u2325P", 9);
}

void draw(QPainter& p, const Ink& ink, const diagram::SwapWindows&) {
    const Pair pair = drawPair(p, ink);
    drawTile(p, ink, leftHalf(inner(pair.before)), "A");
    drawTile(p, ink, rightHalf(inner(pair.before)), "B", 0.55);
    drawTile(p, ink, leftHalf(inner(pair.after)), "B", 0.55);
    drawTile(p, ink, rightHalf(inner(pair.after)), "A");
    drawCap(p, ink.palette, QRectF(66, 12, 34, 15), 3, kAlt, "\u2325\u21E7\u2192", 9);
}

void draw(QPainter& p, const Ink& ink, const diagram::FlipSplit&) {
    const Pair pair = drawPair(p, ink);
    drawTile(p, ink, leftHalf(inner(pair.before)), "A");
    drawTile(p, ink, rightHalf(inner(pair.before)), "B");
    drawTile(p, ink, topHalf(inner(pair.after)), "A");
    drawTile(p, ink, bottomHalf(inner(pair.after)), "B");
    drawCap(p, ink.palette, QRectF(66, 12, 34, 15), 3, kAlt, "\u2325\u21E7J", 9);
}

void draw(QPainter& p, const Ink& ink, const diagram::ModifierKeys&) {
    static constexpr std::array<const char*, 4> kNames = {"control", "alt", "shift", "super"};
    for (int i = 0; i < 4; ++i) {
        const QRectF cap(8 + i * 39, 28, 33, 28);
        drawCap(p, ink.palette, cap, 5, kModifierSymbols[i], QString::fromUtf8(kModifierSymbols[i].data(),
                static_cast<int>(kModifierSymbols[i].size())), 14);
        drawCaption(p, ink, QRectF(cap.x() - 4, cap.bottom() + 3, cap.width() + 8, 12), kNames[i], 9);
    }
}

// The leading modifier symbols of a display text, then the rest ("⌃⌥P" → ⌃, ⌥, P).
std::vector<std::string> capTexts(const std::string& text) {
    std::vector<std::string> caps;
    std::string_view rest = text;
    for (bool found = true; found && !rest.empty();) {
        found = false;
        for (const std::string_view symbol : kModifierSymbols) {
            if (!rest.starts_with(symbol)) continue;
            caps.emplace_back(symbol);
            rest.remove_prefix(symbol.size());
            found = true;
        }
    }
    if (!rest.empty()) caps.emplace_back(rest);
    return caps;
}

constexpr double kCapHeight = 22, kCapSpacing = 3, kCapPadding = 6, kCapTextSize = 12;

double capWidth(const QFontMetricsF& metrics, const std::string& text) {
    return std::max(kCapHeight, metrics.horizontalAdvance(QString::fromStdString(text)) + 2 * kCapPadding);
}

} // namespace

std::optional<QColor> modifierColour(std::string_view symbol, const QPalette& palette) {
    const bool dark = isDark(palette);
    if (symbol == kControl) return dark ? QColor(0xf2, 0x9e, 0x4c) : QColor(0xc8, 0x5a, 0x0a);
    if (symbol == kAlt) return dark ? QColor(0x6f, 0xcf, 0x7c) : QColor(0x1f, 0x8a, 0x3b);
    if (symbol == kShift) return dark ? QColor(0xb5, 0x8c, 0xf5) : QColor(0x78, 0x3c, 0xc8);
    return std::nullopt;
}

DiagramWidget::DiagramWidget(DiagramKind kind, QWidget* parent) : QWidget(parent), m_kind(kind) {}

void DiagramWidget::setKind(const DiagramKind& kind) {
    m_kind = kind;
    update();
}

QSize DiagramWidget::sizeHint() const { return {165, 100}; }

void DiagramWidget::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    // Drawn for 165 × 100, centred in whatever the layout gives, and scaled down to fit a smaller
    // place (the Shortcuts tab's row of four).
    const double scale = std::min({1.0, width() / 165.0, height() / 100.0});
    p.translate(std::max(0.0, (width() - 165 * scale) / 2.0), std::max(0.0, (height() - 100 * scale) / 2.0));
    p.scale(scale, scale);
    const Ink ink(palette());
    std::visit([&](const auto& kind) { draw(p, ink, kind); }, m_kind);
}

KeycapRow::KeycapRow(const std::string& displayText, QWidget* parent)
    : QWidget(parent), m_text(displayText) {}

void KeycapRow::setText(const std::string& displayText) {
    m_text = displayText;
    updateGeometry();
    update();
}

QSize KeycapRow::sizeHint() const {
    const QFontMetricsF metrics(fontOf(font(), kCapTextSize, FontWeight::medium));
    double width = 0;
    for (const std::string& cap : capTexts(m_text)) width += capWidth(metrics, cap) + kCapSpacing;
    return {static_cast<int>(std::ceil(std::max(0.0, width - kCapSpacing))) + 2, static_cast<int>(kCapHeight) + 2};
}

void KeycapRow::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setFont(fontOf(font(), kCapTextSize, FontWeight::medium));
    const QFontMetricsF metrics(p.font());
    double x = 1;
    const double y = std::max(1.0, (height() - kCapHeight) / 2);
    for (const std::string& cap : capTexts(m_text)) {
        const double w = capWidth(metrics, cap);
        drawCap(p, palette(), QRectF(x, y, w, kCapHeight), 4, cap, QString::fromStdString(cap), kCapTextSize, true);
        x += w + kCapSpacing;
    }
}

KeyGuidePopup::KeyGuidePopup(QWidget* anchor) : QFrame(anchor, Qt::Popup), m_anchor(anchor) {
    setObjectName("keyGuide");
    setFixedSize(480, 248);
}

void KeyGuidePopup::popUp() {
    QPoint at = m_anchor->mapToGlobal(QPoint(0, m_anchor->height()));
    const QScreen* screen = m_anchor->screen() ? m_anchor->screen() : QGuiApplication::primaryScreen();
    if (screen) {
        const QRect area = screen->availableGeometry();
        at.setX(std::clamp(at.x(), area.left(), std::max(area.left(), area.right() - width() + 1)));
        // No room below: above the anchor instead.
        if (at.y() + height() > area.bottom() + 1) at.setY(m_anchor->mapToGlobal(QPoint(0, 0)).y() - height());
        at.setY(std::clamp(at.y(), area.top(), std::max(area.top(), area.bottom() - height() + 1)));
    }
    move(at);
    show();
}

void KeyGuidePopup::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    const Ink ink(palette());
    p.setPen(QPen(withAlpha(ink.label, 0.3), 1));
    p.setBrush(palette().color(QPalette::Window));
    p.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 8, 8);

    p.setPen(ink.label);
    p.setFont(fontOf(font(), 13, FontWeight::medium));
    p.drawText(QRectF(0, 8, width(), 20), Qt::AlignCenter, "The keys behind the symbols");

    static constexpr std::array<const char*, 4> kNames = {"control", "alt", "shift", "super"};
    constexpr double capW = 40, capH = 30, step = 90;
    const double firstX = (width() - (3 * step + capW)) / 2;
    for (int i = 0; i < 4; ++i) {
        const QRectF cap(firstX + i * step, 32, capW, capH);
        const std::string_view symbol = kModifierSymbols[i];
        drawCap(p, palette(), cap, 6, symbol, QString::fromUtf8(symbol.data(), static_cast<int>(symbol.size())), 17);
        p.setPen(ink.label);
        p.setFont(fontOf(font(), 10, FontWeight::regular));
        p.drawText(QRectF(cap.x() - 20, cap.bottom() + 1, cap.width() + 40, 14), Qt::AlignCenter, kNames[i]);
    }

    // The keyboard: five rows of key widths in units, 15 units a row.
    struct Key {
        double units;
        std::string_view modifier = {}; // a highlighted key
        const char* name = nullptr;
    };
    const std::vector<std::vector<Key>> rows = {
        {{1}, {1}, {1}, {1}, {1}, {1}, {1}, {1}, {1}, {1}, {1}, {1}, {1}, {2}},
        {{1.5}, {1}, {1}, {1}, {1}, {1}, {1}, {1}, {1}, {1}, {1}, {1}, {1}, {1.5}},
        {{1.75}, {1}, {1}, {1}, {1}, {1}, {1}, {1}, {1}, {1}, {1}, {1}, {2.25}},
        {{2.25, kShift, "shift"}, {1}, {1}, {1}, {1}, {1}, {1}, {1}, {1}, {1}, {1}, {2.75, kShift, "shift"}},
        {{1.5, kControl, "ctrl"}, {1.25, kSuper, "super"}, {1.5, kAlt, "alt"}, {6.5}, {1.5, kAlt, "alt"},
         {1.25, kSuper, "super"}, {1.5, kControl, "ctrl"}},
    };
    const QRectF board(20, 80, 440, 130);
    p.setPen(QPen(withAlpha(ink.label, 0.35), 1));
    p.setBrush(withAlpha(ink.label, 0.06));
    p.drawRoundedRect(board, 6, 6);
    const double unit = (board.width() - 8) / 15, rowHeight = (board.height() - 8) / 5;
    for (std::size_t r = 0; r < rows.size(); ++r) {
        double x = board.x() + 4;
        const double y = board.y() + 4 + static_cast<double>(r) * rowHeight;
        for (const Key& key : rows[r]) {
            const QRectF k(x + 1.5, y + 1.5, key.units * unit - 3, rowHeight - 3);
            x += key.units * unit;
            if (key.modifier.empty()) {
                p.setPen(QPen(withAlpha(ink.label, 0.25), 1));
                p.setBrush(palette().color(QPalette::Button));
                p.drawRoundedRect(k, 3, 3);
                continue;
            }
            // Super has no colour of its own: it is lit in the label colour instead.
            const auto tint = modifierColour(key.modifier, palette());
            const QColor colour = tint ? *tint : ink.label;
            p.setPen(QPen(colour, 1.5));
            p.setBrush(withAlpha(colour, tint ? 0.35 : 0.15));
            p.drawRoundedRect(k, 3, 3);
            p.setPen(colour);
            p.setFont(fontOf(font(), 9, FontWeight::semibold));
            p.drawText(k, Qt::AlignCenter, key.name);
        }
    }

    p.setPen(ink.secondary);
    p.setFont(fontOf(font(), 10, FontWeight::regular));
    p.drawText(QRectF(0, 218, width(), 20), Qt::AlignCenter,
               "Quorvel's shortcuts press the highlighted keys, plus a number or arrow.");
}

} // namespace quorvel::ui
