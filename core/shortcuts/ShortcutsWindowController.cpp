// Recording, conflict checks, failures and restoring defaults for the shortcuts window.
#include "shortcuts/ShortcutsWindowController.h"

#include <algorithm>
#include <string>
#include <vector>

namespace quorvel {

namespace {

constexpr std::int64_t kDeleteKey = 51;
constexpr std::int64_t kForwardDeleteKey = 117;
constexpr std::int64_t kEscapeKey = 53;

} // namespace

ShortcutsWindowController::ShortcutsWindowController(ShortcutsViewFactory* views, DefaultsStore& defaults,
                                                     HotkeyManager* hotkeys)
    : m_views(views), m_store(defaults), m_hotkeys(hotkeys) {
    m_content.title = std::string(kTitle);
    m_content.header = std::string(kHeader);
    for (const HotkeyAction action : kHotkeyActions)
        m_content.rows.push_back({.action = action, .title = std::string(title(action))});
    refreshRows();
}

void ShortcutsWindowController::show() {
    if (!m_view && m_views) {
        m_view = m_views->createShortcutsWindow({
            .onFieldClick = [this](HotkeyAction action) { fieldClicked(action); },
            .onKey = [this](const RecordedKey& key) { return handleKey(key); },
            .onFocusLost = [this] { stopRecording(); },
            .onRestoreDefaults = [this] { resetAll(); },
            .onDone = [this] { close(); },
        });
    }
    if (m_recording) {
        m_recording.reset();
        if (m_view) m_view->setKeyboardGrab(false);
    }
    // The defaults file may have been edited by hand since the last show: read every shortcut again.
    refreshRows();
    showFailures();
    if (m_view) m_view->present();
}

void ShortcutsWindowController::close() {
    stopRecording();
    if (m_view) m_view->close();
}

void ShortcutsWindowController::fieldClicked(HotkeyAction action) {
    if (m_recording == action) {
        stopRecording();
        return;
    }
    stopRecording();
    startRecording(action);
}

void ShortcutsWindowController::startRecording(HotkeyAction action) {
    m_recording = action;
    refreshRows();
    if (m_view) m_view->setKeyboardGrab(true);
    publish();
}

void ShortcutsWindowController::stopRecording() {
    if (!m_recording) return;
    m_recording.reset();
    if (m_view) m_view->setKeyboardGrab(false);
    refreshRows();
    publish();
}

bool ShortcutsWindowController::handleKey(const RecordedKey& key) {
    if (!m_recording) return false;
    // Super is the command key here: a combination with it goes on to the window as usual.
    if (key.modifiers.contains(KeyModifiers::command)) return false;
    if (key.kind == RecordedKey::Kind::modifiersChanged) return true;

    const HotkeyAction action = *m_recording;
    if (key.keyCode == kDeleteKey || key.keyCode == kForwardDeleteKey) {
        stopRecording();
        apply(std::nullopt, action);
        return true;
    }
    if (key.keyCode == kEscapeKey) {
        stopRecording();
        return true;
    }
    const KeyModifiers held = key.modifiers & KeyModifiers::all;
    if (held.isEmpty() || !key.keyCode) {
        if (m_view) m_view->beep();
        return true;
    }
    stopRecording();
    apply(Shortcut{*key.keyCode, held}, action);
    return true;
}

void ShortcutsWindowController::apply(const std::optional<Shortcut>& shortcut, HotkeyAction action) {
    if (shortcut) {
        for (const HotkeyAction other : kHotkeyActions) {
            if (other == action || m_store.shortcut(other) != *shortcut) continue;
            if (m_view) m_view->beep();
            m_content.status = {.text = shortcut->displayText() + " is already used by \u201C" +
                                        std::string(title(other)) + "\u201D.",
                                .tone = ShortcutsStatus::Tone::red};
            refreshRows();
            publish();
            return;
        }
    }
    m_store.set(shortcut, action);
    reregister();
    refreshRows();
    if (onChanged) onChanged();
    showFailures();
}

void ShortcutsWindowController::resetAll() {
    stopRecording();
    m_store.resetAll();
    reregister();
    refreshRows();
    if (onChanged) onChanged();
    showFailures();
}

void ShortcutsWindowController::reregister() {
    if (m_hotkeys) m_hotkeys->reload();
}

void ShortcutsWindowController::showFailures() {
    if (m_hotkeys && !m_hotkeys->failedActions().empty()) {
        std::vector<std::string> texts;
        for (const HotkeyAction action : m_hotkeys->failedActions())
            texts.push_back(m_store.shortcut(action).displayText());
        std::ranges::sort(texts);
        std::string list;
        for (const std::string& text : texts) list += (list.empty() ? "" : ", ") + text;
        m_content.status = {.text = "In use by another app: " + list + ". Pick a different combination.",
                            .tone = ShortcutsStatus::Tone::orange};
    } else {
        m_content.status.text.clear(); // the tone stays as it was
    }
    publish();
}

void ShortcutsWindowController::refreshRows() {
    for (ShortcutsRow& r : m_content.rows) {
        r.recording = m_recording == r.action;
        r.fieldText = r.recording ? std::string(kRecordingPrompt) : m_store.shortcut(r.action).displayText();
    }
}

void ShortcutsWindowController::publish() {
    if (m_view) m_view->setContent(m_content);
}

} // namespace quorvel
