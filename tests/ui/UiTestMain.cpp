// Entry point of the Qt tests: one QApplication on the offscreen platform for every test.
#include <QApplication>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <optional>

namespace {
// The offscreen platform says so each time a window is raised or made translucent: expected here.
QtMessageHandler qtDefaultHandler = nullptr;
void quietHandler(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (message.startsWith(QLatin1String("This plugin does not support"))) return;
    qtDefaultHandler(type, context, message);
}
} // namespace

int main(int argc, char** argv) {
    // ctest sets these; they are also needed when the binary runs by hand or lists its tests.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    std::optional<QTemporaryDir> runtimeDir; // created with mode 0700, as Qt wants
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
        runtimeDir.emplace();
        qputenv("XDG_RUNTIME_DIR", runtimeDir->path().toLocal8Bit());
    }
    qtDefaultHandler = qInstallMessageHandler(quietHandler);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
