// The drawn parts, judged by their pixels: a wider gap shows more of the screen, modifier caps are
// tinted and super's is not, every picture differs from the others, the dark palette draws light
// strokes, and the key guide lights the three coloured keys.
#include "SettingsArt.h"

#include <QImage>
#include <QPalette>

#include <gtest/gtest.h>

#include <vector>

using namespace quorvel;
using namespace quorvel::ui;

namespace {

QPalette darkPalette() {
    QPalette p;
    p.setColor(QPalette::Window, QColor(0x24, 0x24, 0x24));
    p.setColor(QPalette::Base, QColor(0x1c, 0x1c, 0x1c));
    p.setColor(QPalette::Button, QColor(0x33, 0x33, 0x33));
    p.setColor(QPalette::WindowText, QColor(0xee, 0xee, 0xee));
    p.setColor(QPalette::PlaceholderText, QColor(0x99, 0x99, 0x99));
    p.setColor(QPalette::Highlight, QColor(0x35, 0x84, 0xe4));
    return p;
}

QImage render(QWidget& widget, QSize size, const QPalette& palette = QPalette()) {
    widget.setPalette(palette);
    widget.resize(size);
    QImage image(size, QImage::Format_ARGB32);
    image.fill(palette.color(QPalette::Window));
    widget.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image;
}

QImage picture(const DiagramKind& kind, const QPalette& palette = QPalette()) {
    DiagramWidget widget(kind);
    return render(widget, widget.sizeHint(), palette);
}

template <class Predicate>
int countPixels(const QImage& image, Predicate predicate) {
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) n += predicate(image.pixelColor(x, y)) ? 1 : 0;
    return n;
}

bool isSaturated(const QColor& c) { return c.hsvSaturation() > 90 && c.value() > 60; }

bool near(const QColor& a, const QColor& b) {
    return std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) + std::abs(a.blue() - b.blue()) < 30;
}

} // namespace

TEST(SettingsArt, AWiderGapShowsMoreOfTheScreenBetweenTheTiles) {
    const QColor screen = QPalette().color(QPalette::Base);
    const auto screenPixels = [&](int px) {
        return countPixels(picture(diagram::Gap{px}), [&](const QColor& c) { return c == screen; });
    };
    const int none = screenPixels(0), eight = screenPixels(8), sixteen = screenPixels(16);
    EXPECT_GT(eight, none + 200);
    EXPECT_GT(sixteen, eight + 200);
}

TEST(SettingsArt, ModifierCapsAreTintedInTheirOwnColoursAndSuperIsNot) {
    const QPalette light;
    for (const char* symbol : {"⌃", "⌥", "⇧"}) {
        ASSERT_TRUE(modifierColour(symbol, light)) << symbol;
        EXPECT_NE(*modifierColour(symbol, light), *modifierColour(symbol, darkPalette())) << symbol;
    }
    EXPECT_FALSE(modifierColour("⌘", light));
    EXPECT_FALSE(modifierColour("P", light));

    KeycapRow control("⌃P"), super("⌘P");
    EXPECT_GT(countPixels(render(control, control.sizeHint()), isSaturated), 40);
    EXPECT_EQ(countPixels(render(super, super.sizeHint()), isSaturated), 0);
    // One cap per leading modifier, then one for the key.
    EXPECT_GT(KeycapRow("⌃⌥⇧P").sizeHint().width(), KeycapRow("⌃P").sizeHint().width() + 40);
}

TEST(SettingsArt, EveryKindAndEveryChoiceDrawsAPictureOfItsOwn) {
    const std::vector<DiagramKind> kinds = {
        diagram::AccessMode{true},  diagram::AccessMode{false}, diagram::Naming{true},
        diagram::Naming{false},     diagram::Numbering{true},   diagram::Numbering{false},
        diagram::ListRow{true, true}, diagram::ListRow{false, true}, diagram::ListRow{true, false},
        diagram::OnClose{true},     diagram::OnClose{false},    diagram::Tiling{},
        diagram::SwitchSpaces{},    diagram::PanelShortcut{},   diagram::SwapWindows{},
        diagram::FlipSplit{},       diagram::ModifierKeys{},    diagram::Gap{4},
    };
    std::vector<QImage> images;
    for (const DiagramKind& kind : kinds) images.push_back(picture(kind));
    for (std::size_t i = 0; i < images.size(); ++i)
        for (std::size_t j = i + 1; j < images.size(); ++j) EXPECT_NE(images[i], images[j]) << i << " and " << j;
}

TEST(SettingsArt, TheDarkPaletteDrawsLightStrokesOnADarkScreen) {
    const QImage dark = picture(diagram::SwapWindows{}, darkPalette());
    EXPECT_GT(countPixels(dark, [](const QColor& c) { return c.lightness() > 150; }), 100);
    EXPECT_GT(countPixels(dark, [](const QColor& c) { return c.lightness() < 40; }), 2000);
    const QImage light = picture(diagram::SwapWindows{});
    EXPECT_LT(countPixels(light, [](const QColor& c) { return c.lightness() < 40; }), 2000);
}

TEST(SettingsArt, TheKeyGuideLightsControlAltAndShiftInTheirColours) {
    QWidget anchor;
    for (const QPalette& palette : {QPalette(), darkPalette()}) {
        KeyGuidePopup guide(&anchor);
        EXPECT_EQ(guide.size(), QSize(480, 248));
        const QImage image = render(guide, guide.size(), palette);
        for (const char* symbol : {"⌃", "⌥", "⇧"}) {
            const QColor colour = *modifierColour(symbol, palette);
            EXPECT_GT(countPixels(image, [&](const QColor& c) { return near(c, colour); }), 60) << symbol;
        }
    }
}


// In a place smaller than its own (the Shortcuts tab's row of four) a picture is scaled down whole,
// not cut off at its right and bottom edges.
TEST(SettingsArt, APictureInASmallerPlaceIsScaledDownWhole) {
    const QColor background = QPalette().color(QPalette::Window);
    const auto rightmostInk = [&](const QImage& image) {
        for (int x = image.width() - 1; x >= 0; --x)
            for (int y = 0; y < image.height(); ++y)
                if (!near(image.pixelColor(x, y), background)) return x;
        return -1;
    };
    DiagramWidget widget(diagram::SwapWindows{});
    const int full = rightmostInk(render(widget, {165, 100}));
    const int small = rightmostInk(render(widget, {116, 72}));
    ASSERT_GT(full, 100);
    EXPECT_LT(small, 115); // cut off, the ink would run to the last column
    // Scaled by 0.7 (116 / 165, 72 / 100) and centred across the width.
    const double scale = std::min(116.0 / 165.0, 72.0 / 100.0);
    EXPECT_NEAR(small, (116 - 165 * scale) / 2 + full * scale, 4);
}
