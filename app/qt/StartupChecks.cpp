#include "app/qt/StartupChecks.h"

#include <QtGlobal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/CommandLineInfo.h"
#include "platform/ProcessExit.h"
#include "platform/SettingsFile.h"
#include "platform/TerminalText.h"
#include "platform/qt/QtSettingsStore.h"

namespace corvid {

namespace {

QtMessageHandler g_previousHandler = nullptr;

// A fatal error while the toolkit starts (no display it can reach, no platform
// plugin) is told plainly and ends the program with status 1 instead of an abort.
void StartupMessageHandler(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (type != QtFatalMsg) {
        if (g_previousHandler != nullptr) g_previousHandler(type, context, message);
        return;
    }
    std::fprintf(stderr, "corvid: cannot start the display: %s\n", TerminalText(message.toStdString()).c_str());
    std::fflush(stderr);
    std::_Exit(1);
}

bool HasEnvironment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0';
}

}  // namespace

void CheckToolkitArguments(int argc, char** argv) {
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    if (const std::string option = ToolkitOptionWithoutValue(arguments); !option.empty()) {
        std::fprintf(stderr, "corvid: the option '%s' needs a value\n%s\n", TerminalText(option).c_str(), UsageText());
        EndProcess(2);
    }
}

void CheckToolkitStart(int argc, char** argv) {
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    bool platformChosen = HasEnvironment("QT_QPA_PLATFORM");
    for (const std::string& argument : arguments) {
        platformChosen = platformChosen || argument == "-platform" || argument == "--platform";
    }
    if (!platformChosen && !HasEnvironment("DISPLAY") && !HasEnvironment("WAYLAND_DISPLAY")) {
        std::fprintf(stderr,
                     "corvid: no display to show the window on: DISPLAY and WAYLAND_DISPLAY are not set "
                     "(run it in a graphical session, or with -platform offscreen)\n");
        EndProcess(1);
    }
    g_previousHandler = qInstallMessageHandler(StartupMessageHandler);
}

void ToolkitStarted() {
    qInstallMessageHandler(g_previousHandler);
    g_previousHandler = nullptr;
}

bool PrepareUserSettingsFile() {
    std::string error;
    if (PrepareSettingsFile(CQtSettingsStore::UserFilePath().toStdString(), error)) return true;
    std::fprintf(stderr, "corvid: %s\n", TerminalText(error).c_str());
    return false;
}

}  // namespace corvid
