// The "Keyboard Shortcuts" window's logic: one recorder field per action, recording a combination
// into the store, refusing one another action already uses (red line), re-registering the hot
// keys after every change and listing the combinations the system refused (orange line). The
// window itself comes from the platform's ShortcutsViewFactory (ShortcutsView.h). Created by the
// application delegate on first use and kept.
#pragma once

#include "platform/DefaultsStore.h"
#include "shortcuts/HotkeyManager.h"
#include "shortcuts/ShortcutStore.h"
#include "shortcuts/ShortcutsView.h"

#include <functional>
#include <memory>
#include <optional>
#include <string_view>

namespace quorvel {

class ShortcutsWindowController {
public:
    static constexpr std::string_view kTitle = "Keyboard Shortcuts";
    static constexpr std::string_view kHeader = "Click a shortcut, then type a new one.";
    static constexpr std::string_view kRecordingPrompt = "Type a shortcut\u2026";

    // `views` may be null on a platform that has no such window yet: the logic still runs.
    // `hotkeys`, when given, is registered again after every change and read for failures; it
    // must outlive the controller.
    ShortcutsWindowController(ShortcutsViewFactory* views, DefaultsStore& defaults, HotkeyManager* hotkeys);
    ShortcutsWindowController(const ShortcutsWindowController&) = delete;
    ShortcutsWindowController& operator=(const ShortcutsWindowController&) = delete;

    // Called after any stored change (one action's shortcut, or all restored).
    std::function<void()> onChanged;

    // Builds the window on first use, re-reads every shortcut and the failures, and brings it to
    // the front with the focus. No field is recording afterwards.
    void show();
    bool isVisible() const { return m_view && m_view->isVisible(); }
    // Stops any recording and takes the window off screen.
    void close();

    // A click on an action's field: starts recording it (stopping any other field), or stops
    // recording when it is the field already recording.
    void fieldClicked(HotkeyAction action);
    // A key event while recording; true when consumed. Delete and Backspace return the action to
    // its default; Escape stops without a change; a key without control, alt or shift (or with no
    // key code) beeps and keeps recording; any other key becomes the shortcut. An event with
    // super held is never consumed, and no event is consumed while nothing records.
    bool handleKey(const RecordedKey& key);
    // Stops recording without a change (the field or window lost the focus).
    void stopRecording();
    std::optional<HotkeyAction> recordingAction() const { return m_recording; }

    // Stores `shortcut` for `action` (none: back to its default) unless another action's current
    // shortcut equals it, which beeps and shows the red line instead. After a stored change the
    // hot keys are registered again, onChanged is called and the failure line is updated.
    void apply(const std::optional<Shortcut>& shortcut, HotkeyAction action);
    // Removes every stored shortcut, registers the hot keys again, calls onChanged, shows failures.
    void resetAll();

    // What the window shows now (kept up to date whether or not a window exists).
    const ShortcutsContent& content() const { return m_content; }

private:
    void startRecording(HotkeyAction action);
    void refreshRows();
    void showFailures();
    void reregister();
    void publish();

    ShortcutsViewFactory* m_views;
    ShortcutStore m_store;
    HotkeyManager* m_hotkeys;
    std::unique_ptr<ShortcutsView> m_view;
    std::optional<HotkeyAction> m_recording;
    ShortcutsContent m_content;
};

} // namespace quorvel
