// The drawn parts of the settings and welcome windows: the small explanatory pictures, a shortcut
// as a row of key caps, the modifier colours, and the key guide that says which physical keys the
// shortcut symbols stand for. Everything is painted with QPainter in the palette's colours, light
// and dark; sizes are device-independent pixels.
#pragma once

#include "settingsui/SettingsDiagram.h"

#include <QColor>
#include <QFrame>
#include <QWidget>

#include <optional>
#include <string>
#include <string_view>

namespace quorvel::ui {

// Control (⌃), alt (⌥) and shift (⇧) each have a colour of their own, with light and dark variants
// chosen by the palette's window colour; any other symbol (super ⌘, a key name) has none.
std::optional<QColor> modifierColour(std::string_view symbol, const QPalette& palette);

// One explanatory picture, 165 wide. Changing the kind redraws it.
class DiagramWidget : public QWidget {
public:
    explicit DiagramWidget(DiagramKind kind, QWidget* parent = nullptr);

    void setKind(const DiagramKind& kind);
    const DiagramKind& kind() const { return m_kind; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    DiagramKind m_kind;
};

// A shortcut's display text ("⌃⌥P", "⌥⇧←", "⌃⌥1–9") as key caps: one per leading modifier symbol,
// then one for the rest. Modifier caps are tinted with modifierColour.
class KeycapRow : public QWidget {
public:
    explicit KeycapRow(const std::string& displayText, QWidget* parent = nullptr);

    void setText(const std::string& displayText);
    const std::string& text() const { return m_text; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::string m_text;
};

// The key guide: a transient popup of 480 × 248 under its anchor, titled "The keys behind the
// symbols", with the four modifier caps named as this keyboard has them (control, alt, shift,
// super), a keyboard drawing with those keys highlighted, and a footnote. Closes on a click outside
// or Escape. Object name "keyGuide".
class KeyGuidePopup : public QFrame {
public:
    explicit KeyGuidePopup(QWidget* anchor);

    // Places the popup under the anchor (kept on the anchor's screen) and shows it.
    void popUp();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QWidget* m_anchor;
};

} // namespace quorvel::ui
