// The default handler of inode/directory through GIO; its Exec line made into arguments here.
#include "DefaultFileManager.h"

#include "DesktopEntryExec.h"

#include <gio/gdesktopappinfo.h>
#include <gio/gio.h>

#include <memory>

namespace quorvel {

namespace {

constexpr std::string_view kCategory = "summon";

struct GFree {
    void operator()(gchar* text) const { g_free(text); }
};
using GText = std::unique_ptr<gchar, GFree>;

std::string text(const char* value) { return value ? value : ""; }

} // namespace

std::optional<CatalogApp> defaultFileManager(Log& log) {
    GAppInfo* info = g_app_info_get_default_for_type("inode/directory", FALSE);
    if (!info) return std::nullopt;
    const std::unique_ptr<GAppInfo, decltype(&g_object_unref)> owned(info, g_object_unref);
    if (!G_IS_DESKTOP_APP_INFO(info)) return std::nullopt;
    GDesktopAppInfo* entry = G_DESKTOP_APP_INFO(info);

    CatalogApp app{.name = text(g_app_info_get_name(info)), .desktopFileId = text(g_app_info_get_id(info)), .argv = {}};
    const GText exec(g_desktop_app_info_get_string(entry, "Exec"));
    const GText icon(g_desktop_app_info_get_string(entry, "Icon"));
    const auto argv = execArguments(text(exec.get()), {.name = app.name,
                                                       .icon = text(icon.get()),
                                                       .location = text(g_desktop_app_info_get_filename(entry))});
    if (!argv) {
        log.error(kCategory, "file manager %s: its Exec line cannot be started", app.desktopFileId);
        return std::nullopt;
    }
    app.argv = *argv;
    // A file manager for terminals (ranger, nnn, mc) exits at once without one: it runs inside the
    // terminal Debian-like systems name x-terminal-emulator, or not at all.
    if (g_desktop_app_info_get_boolean(entry, "Terminal")) {
        const GText terminal(g_find_program_in_path("x-terminal-emulator"));
        if (!terminal) {
            log.error(kCategory, "file manager %s runs in a terminal, and there is no x-terminal-emulator",
                      app.desktopFileId);
            return std::nullopt;
        }
        app.argv.insert(app.argv.begin(), {"x-terminal-emulator", "-e"});
    }
    const GText path(g_desktop_app_info_get_string(entry, "Path"));
    if (path && *path.get() != '\0') app.workingDirectory = path.get();
    return app;
}

} // namespace quorvel
