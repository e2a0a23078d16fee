// Desktop entries through GIO. Threads: the main thread launches; one worker lists entries; one
// watch thread runs its own GLib main context for GAppInfoMonitor. GIO locks its own index of the
// desktop-file folders, so listing on the worker while the main thread launches is safe; every
// GDesktopAppInfo stays on the thread that made it, and only plain SummonableApps cross over.
#include "GioApplications.h"

#include "DesktopEntryExec.h"

#include <gio/gdesktopappinfo.h>
#include <gio/gio.h>
#include <unistd.h>

#include <set>

namespace quorvel {

namespace {

struct GFree {
    void operator()(void* memory) const { g_free(memory); }
};
using GText = std::unique_ptr<gchar, GFree>;
struct GUnref {
    void operator()(void* object) const {
        if (object) g_object_unref(object);
    }
};
using Entry = std::unique_ptr<GDesktopAppInfo, GUnref>;

// Bursts (a package install writes many files) end in one notification this long after the last.
constexpr guint kQuietMilliseconds = 300;

std::string text(const char* value) { return value ? value : ""; }

// The Exec line's program as written, unquoted. GIO's own answer (g_app_info_get_executable) is the
// line cut at the first space, quotes and all: `"/opt/My App/run" --x` would give `"/opt/My`.
std::string programOf(GDesktopAppInfo* entry) {
    const GText exec(g_desktop_app_info_get_string(entry, "Exec"));
    if (exec)
        if (const auto argv = execArguments(exec.get(), {}); argv && !argv->empty()) return argv->front();
    return text(g_app_info_get_executable(G_APP_INFO(entry)));
}

SummonableApp describe(GDesktopAppInfo* entry) {
    GAppInfo* info = G_APP_INFO(entry);
    SummonableApp app;
    app.name = text(g_app_info_get_name(info));
    app.desktopFileId = text(g_app_info_get_id(info));
    app.path = text(g_desktop_app_info_get_filename(entry));
    const GText icon(g_desktop_app_info_get_string(entry, "Icon"));
    app.icon = text(icon.get());
    if (const char* wmClass = g_desktop_app_info_get_startup_wm_class(entry); wmClass && *wmClass)
        app.startupWMClass = wmClass;
    app.program = programOf(entry);
    for (const gchar* const* action = g_desktop_app_info_list_actions(entry); action && *action; ++action) {
        const GText name(g_desktop_app_info_get_action_name(entry, *action));
        app.actions.push_back({.id = *action, .name = text(name.get())});
    }
    return app;
}

std::vector<SummonableApp> listEntries() {
    // GIO already keeps one entry per id, the first in XDG data-folder order; the set only guards
    // against a second GAppInfo kind ever listing the same id.
    GList* all = g_app_info_get_all();
    std::set<std::string> seen;
    std::vector<SummonableApp> apps;
    for (GList* item = all; item; item = item->next) {
        GAppInfo* info = G_APP_INFO(item->data);
        if (!G_IS_DESKTOP_APP_INFO(info) || !g_app_info_should_show(info)) continue;
        const char* id = g_app_info_get_id(info);
        if (!id || !seen.insert(id).second) continue;
        apps.push_back(describe(G_DESKTOP_APP_INFO(info)));
    }
    g_list_free_full(all, g_object_unref);
    return apps;
}

// GIO's default application for folders; any thread.
std::optional<SummonableApp> findDefaultFileManager() {
    const Entry entry(reinterpret_cast<GDesktopAppInfo*>(g_app_info_get_default_for_type("inode/directory", FALSE)));
    if (!entry || !G_IS_DESKTOP_APP_INFO(entry.get())) return std::nullopt;
    return describe(entry.get());
}

Entry openEntry(const SummonableApp& app) {
    if (!app.path.empty()) return Entry(g_desktop_app_info_new_from_filename(app.path.c_str()));
    return Entry(g_desktop_app_info_new(app.desktopFileId.c_str()));
}

// A session of its own: the application outlives us and never sees our terminal's signals.
void ownSession(gpointer) { ::setsid(); }

std::string takeMessage(GError* error, const std::string& fallback) {
    if (!error) return fallback;
    std::string message = error->message ? error->message : fallback;
    g_error_free(error);
    return message;
}

} // namespace

// --- Watching the folders -----------------------------------------------------------------------

struct GioApplications::Watch {
    GMainContext* context = g_main_context_new();
    GMainLoop* loop = g_main_loop_new(context, FALSE);
    GAppInfoMonitor* monitor = nullptr;
    GSource* quiet = nullptr; // the watch thread's alone
    Scheduler* scheduler = nullptr;
    Task notify; // posted to the main queue once a burst is over
    std::thread thread;

    // The handler is connected before this returns (the monitor belongs to the watch's context, so
    // it signals there); the first listing and the loop then run on the watch thread, without the
    // caller waiting for them.
    Watch(Scheduler& s, Task n) : scheduler(&s), notify(std::move(n)) {
        g_main_context_push_thread_default(context);
        monitor = g_app_info_monitor_get();
        g_signal_connect_swapped(monitor, "changed", G_CALLBACK(+[](Watch* self) { self->changed(); }), this);
        g_main_context_pop_thread_default(context);
        thread = std::thread([this] { run(); });
    }
    ~Watch() {
        // Through the loop's own context: a quit from here could come just before the loop starts,
        // which would then run forever.
        g_main_context_invoke(
            context,
            +[](gpointer data) -> gboolean {
                g_main_loop_quit(static_cast<GMainLoop*>(data));
                return G_SOURCE_REMOVE;
            },
            loop);
        thread.join();
        g_signal_handlers_disconnect_by_data(monitor, this);
        g_object_unref(monitor);
        g_main_loop_unref(loop);
        g_main_context_unref(context);
    }

    void run() {
        g_main_context_push_thread_default(context);
        // The monitor signals once per listing: list once so that the first change is heard. A
        // change before this listing is in the folders by the time it (and the first scan) reads
        // them.
        g_list_free_full(g_app_info_get_all(), g_object_unref);
        g_main_loop_run(loop);
        dropQuiet();
        g_main_context_pop_thread_default(context);
    }

    void dropQuiet() {
        if (!quiet) return;
        g_source_destroy(quiet);
        g_source_unref(quiet);
        quiet = nullptr;
    }

    void changed() {
        dropQuiet();
        quiet = g_timeout_source_new(kQuietMilliseconds);
        g_source_set_callback(
            quiet,
            +[](gpointer data) -> gboolean {
                auto* self = static_cast<Watch*>(data);
                g_source_unref(self->quiet);
                self->quiet = nullptr;
                // Listing again re-arms the monitor (and refreshes GIO's cache before anyone rescans).
                g_list_free_full(g_app_info_get_all(), g_object_unref);
                self->scheduler->postFromAnyThread(self->notify);
                return G_SOURCE_REMOVE;
            },
            this, nullptr);
        g_source_attach(quiet, context);
    }
};

GioApplications::GioApplications(Scheduler& scheduler, std::string display, ChildHandler adopt)
    : m_scheduler(scheduler), m_display(std::move(display)), m_adopt(std::move(adopt)) {
    m_worker = std::thread([this] { workLoop(); });
}

GioApplications::~GioApplications() {
    {
        const std::lock_guard lock(m_lock);
        m_stopping = true;
    }
    m_wake.notify_all();
    m_worker.join();
    m_watch.reset();
}

ObserverToken GioApplications::observeChanges(std::function<void()> handler) {
    const ObserverToken token = m_nextToken++;
    m_observers.emplace(token, std::move(handler));
    if (!m_watch) m_watch = std::make_unique<Watch>(m_scheduler, m_lifetime.guard([this] { changed(); }));
    return token;
}

void GioApplications::removeObserver(ObserverToken token) { m_observers.erase(token); }

void GioApplications::changed() {
    for (const ObserverToken token : [&] {
             std::vector<ObserverToken> tokens;
             for (const auto& [t, handler] : m_observers) tokens.push_back(t);
             return tokens;
         }()) {
        // A handler may remove itself or others.
        const auto it = m_observers.find(token);
        if (it == m_observers.end()) continue;
        const auto handler = it->second;
        handler();
    }
}

// --- Scanning -----------------------------------------------------------------------------------

void GioApplications::scan(ScanDone done) {
    {
        const std::lock_guard lock(m_lock);
        m_requests.push_back(std::move(done));
    }
    m_wake.notify_one();
}

void GioApplications::workLoop() {
    for (;;) {
        ScanDone done;
        {
            std::unique_lock lock(m_lock);
            m_wake.wait(lock, [this] { return m_stopping || !m_requests.empty(); });
            if (m_stopping) return;
            done = std::move(m_requests.front());
            m_requests.pop_front();
        }
        // The file manager here too: asked on the main thread, it would wait for this listing.
        ScanResult result{.apps = listEntries(), .fileManager = findDefaultFileManager()};
        m_scheduler.postFromAnyThread(m_lifetime.guard([done = std::move(done), result = std::move(result)] {
            if (done) done(result);
        }));
    }
}

std::optional<SummonableApp> GioApplications::defaultFileManager() { return findDefaultFileManager(); }

// --- Launching ----------------------------------------------------------------------------------

std::string GioApplications::nextStartupId(InputTime time) {
    return "quorvel-" + std::to_string(::getpid()) + "-" + text(g_get_host_name()) + "-" +
           std::to_string(++m_launches) + "_TIME" + std::to_string(time);
}

namespace {

struct Child {
    LaunchResult result;
    std::string program;
};

// Our own environment, on the app's display, with the startup id. GIO's own launches name the
// entry in GIO_LAUNCHED_DESKTOP_FILE(_PID); ours do not, and never pass on the ones we were started
// with (they would name our own entry).
gchar** childEnvironment(const std::string& display, const std::string& startupId) {
    gchar** environment = g_get_environ();
    environment = g_environ_unsetenv(environment, "GIO_LAUNCHED_DESKTOP_FILE");
    environment = g_environ_unsetenv(environment, "GIO_LAUNCHED_DESKTOP_FILE_PID");
    if (!display.empty()) environment = g_environ_setenv(environment, "DISPLAY", display.c_str(), TRUE);
    return g_environ_setenv(environment, "DESKTOP_STARTUP_ID", startupId.c_str(), TRUE);
}

Child spawnArguments(const std::vector<std::string>& argv, const std::string& workingDirectory,
                     const std::string& display, const std::string& startupId) {
    if (argv.empty() || argv.front().empty()) return {{.pid = std::nullopt, .error = "no program to start"}, ""};
    std::vector<gchar*> args;
    for (const std::string& arg : argv) args.push_back(const_cast<gchar*>(arg.c_str()));
    args.push_back(nullptr);
    gchar** environment = childEnvironment(display, startupId);
    GPid pid = 0;
    GError* error = nullptr;
    const bool ok = g_spawn_async(workingDirectory.empty() ? nullptr : workingDirectory.c_str(), args.data(),
                                  environment, GSpawnFlags(G_SPAWN_SEARCH_PATH | G_SPAWN_DO_NOT_REAP_CHILD | G_SPAWN_STDIN_FROM_DEV_NULL),
                                  ownSession, nullptr, &pid, &error);
    g_strfreev(environment);
    if (!ok) return {{.pid = std::nullopt, .error = takeMessage(error, "cannot start " + argv.front())}, ""};
    return {{.pid = static_cast<Pid>(pid), .error = std::nullopt}, argv.front()};
}

std::string entryString(GDesktopAppInfo* entry, const char* key) {
    const GText value(g_desktop_app_info_get_string(entry, key));
    return text(value.get());
}

// What GIO puts for %i: the localised Icon, a theme name losing a ".png", ".xpm" or ".svg" (a common
// mistake in entries).
std::string iconAsGioExpandsIt(GDesktopAppInfo* entry) {
    const GText localised(g_desktop_app_info_get_locale_string(entry, "Icon"));
    std::string icon = text(localised.get());
    if (!g_path_is_absolute(icon.c_str()))
        for (const char* extension : {".png", ".xpm", ".svg"})
            if (icon.ends_with(extension)) icon.resize(icon.size() - 4);
    return icon;
}

// GIO's launch of an entry's Exec, or x-terminal-emulator for a Terminal=true entry.
Child startEntry(GDesktopAppInfo* entry, const std::string& display, const std::string& startupId) {
    // GIO's own terminal list does not know Debian's x-terminal-emulator (the user's choice there).
    if (g_desktop_app_info_get_boolean(entry, "Terminal")) {
        if (const GText terminal(g_find_program_in_path("x-terminal-emulator")); terminal) {
            // The field codes stand for what GIO's own expansion uses.
            const auto argv = execArguments(entryString(entry, "Exec"),
                                            {.name = text(g_app_info_get_name(G_APP_INFO(entry))),
                                             .icon = iconAsGioExpandsIt(entry),
                                             .location = text(g_desktop_app_info_get_filename(entry))});
            if (!argv) return {{.pid = std::nullopt, .error = "its Exec line cannot be started"}, ""};
            std::vector<std::string> inTerminal{terminal.get(), "-e"};
            inTerminal.insert(inTerminal.end(), argv->begin(), argv->end());
            return spawnArguments(inTerminal, entryString(entry, "Path"), display, startupId);
        }
    }
    GAppLaunchContext* context = g_app_launch_context_new();
    if (!display.empty()) g_app_launch_context_setenv(context, "DISPLAY", display.c_str());
    g_app_launch_context_setenv(context, "DESKTOP_STARTUP_ID", startupId.c_str());
    // GIO names the entry's file itself when it has one (an action's copy has none).
    g_app_launch_context_unsetenv(context, "GIO_LAUNCHED_DESKTOP_FILE");
    g_app_launch_context_unsetenv(context, "GIO_LAUNCHED_DESKTOP_FILE_PID");
    GPid pid = 0;
    bool spawned = false;
    GError* error = nullptr;
    const auto onSpawned = +[](GDesktopAppInfo*, GPid child, gpointer data) {
        auto* out = static_cast<std::pair<GPid*, bool*>*>(data);
        *out->first = child;
        *out->second = true;
    };
    std::pair<GPid*, bool*> out{&pid, &spawned};
    const bool ok = g_desktop_app_info_launch_uris_as_manager(
        entry, nullptr, context, GSpawnFlags(G_SPAWN_SEARCH_PATH | G_SPAWN_DO_NOT_REAP_CHILD | G_SPAWN_STDIN_FROM_DEV_NULL), ownSession, nullptr,
        onSpawned, &out, &error);
    g_object_unref(context);
    if (!ok) return {{.pid = std::nullopt, .error = takeMessage(error, "cannot start the entry")}, ""};
    // A D-Bus activatable entry is started by the session bus: no process of ours.
    if (!spawned) return {{.pid = Pid{0}, .error = std::nullopt}, ""};
    return {{.pid = static_cast<Pid>(pid), .error = std::nullopt}, programOf(entry)};
}

} // namespace

LaunchResult GioApplications::launch(const SummonableApp& app, InputTime time) {
    const Entry entry = openEntry(app);
    if (!entry) return {.pid = std::nullopt, .error = "no usable desktop entry at " + app.path};
    Child child = startEntry(entry.get(), m_display, nextStartupId(time));
    if (child.result.pid && *child.result.pid > 0 && m_adopt) m_adopt(*child.result.pid, child.program);
    return child.result;
}

LaunchResult GioApplications::launchAction(const SummonableApp& app, const std::string& actionId, InputTime time) {
    const Entry entry = openEntry(app);
    if (!entry) return {.pid = std::nullopt, .error = "no usable desktop entry at " + app.path};
    bool listed = false;
    for (const gchar* const* action = g_desktop_app_info_list_actions(entry.get()); action && *action; ++action)
        listed = listed || actionId == *action;
    if (!listed)
        return {.pid = std::nullopt, .error = "the entry has no action " + actionId};
    // The action's Exec in place of the entry's, so that it starts the same way (and we learn its
    // process, which g_desktop_app_info_launch_action does not tell).
    GKeyFile* file = g_key_file_new();
    const std::unique_ptr<GKeyFile, decltype(&g_key_file_unref)> owned(file, g_key_file_unref);
    GError* error = nullptr;
    if (!g_key_file_load_from_file(file, app.path.c_str(), G_KEY_FILE_KEEP_TRANSLATIONS, &error))
        return {.pid = std::nullopt, .error = takeMessage(error, "cannot read " + app.path)};
    const std::string group = "Desktop Action " + actionId;
    const GText exec(g_key_file_get_string(file, group.c_str(), "Exec", nullptr));
    if (!exec || !*exec) return {.pid = std::nullopt, .error = "the action " + actionId + " has no Exec line"};
    g_key_file_set_string(file, G_KEY_FILE_DESKTOP_GROUP, "Exec", exec.get());
    // Its program, not the entry's, decides whether it can run.
    g_key_file_remove_key(file, G_KEY_FILE_DESKTOP_GROUP, "TryExec", nullptr);
    g_key_file_remove_key(file, G_KEY_FILE_DESKTOP_GROUP, "DBusActivatable", nullptr);
    const Entry action(g_desktop_app_info_new_from_keyfile(file));
    if (!action) return {.pid = std::nullopt, .error = "the action " + actionId + "'s program is not installed"};
    Child child = startEntry(action.get(), m_display, nextStartupId(time));
    if (child.result.pid && *child.result.pid > 0 && m_adopt) m_adopt(*child.result.pid, child.program);
    return child.result;
}

LaunchResult GioApplications::launchProgram(const SummonableApp& app, const std::vector<std::string>& arguments,
                                            InputTime time) {
    if (app.program.empty()) return {.pid = std::nullopt, .error = "the entry names no program"};
    std::string workingDirectory;
    if (const Entry entry = openEntry(app)) workingDirectory = entryString(entry.get(), "Path");
    std::vector<std::string> argv{app.program};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    Child child = spawnArguments(argv, workingDirectory, m_display, nextStartupId(time));
    if (child.result.pid && m_adopt) m_adopt(*child.result.pid, child.program);
    return child.result;
}

} // namespace quorvel
