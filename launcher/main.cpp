// Starts the program by showing the main window, and nothing else.

#include "launcher/main_window.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QTranslator>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

namespace {

constexpr char kName[] = "tarnwick's Toolkit";

constexpr char kHelp[] =
    "Usage: tarnwick-toolkit [--help | --version]\n"
    "Opens tarnwick's Toolkit, whose main window starts three tools with a Turkish\n"
    "interface: Text Editer (search, replace and save a text file), File Editer (copy,\n"
    "rename and delete a file) and Diverter (list, rename, copy and delete the files of\n"
    "a folder).\n"
    "\n"
    "  --help     show this text and exit\n"
    "  --version  show the version and exit\n"
    "\n"
    "It needs a desktop session (DISPLAY or WAYLAND_DISPLAY); without one, run it\n"
    "under xvfb-run.\n";

bool isSet(const char *name)
{
    const char *v = std::getenv(name);
    return v && *v;
}

// The one line for a machine where no window can be shown; `why` says what is missing.
int noDesktopSession(const std::string &why)
{
    std::fprintf(stderr,
                 "tarnwick's Toolkit needs a desktop session (%s); without one, run it as: "
                 "xvfb-run tarnwick-toolkit\n",
                 why.c_str());
    std::fflush(stderr);
    return 1;
}

std::string unopenedDisplays()
{
    std::string names;
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
        if (!isSet(name))
            continue;
        names += (names.empty() ? "" : " or ") + std::string(name) + '=' + std::getenv(name);
    }
    return "cannot open " + (names.empty() ? std::string("a display") : names);
}

// Qt reports a display it cannot open with a few warnings and a fatal error, which aborts. While
// the application object is being made, Qt's messages are held back: a fatal one becomes the one
// line and exit status 1, and the rest are passed on once the display is open.
struct HeldMessage {
    QtMsgType type;
    std::string file, function, category;
    int line;
    QString text;
};

std::mutex heldMutex;
std::vector<HeldMessage> held;
QtMessageHandler passOn = nullptr;

void holdMessage(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    if (type == QtFatalMsg)
        std::_Exit(noDesktopSession(unopenedDisplays())); // nothing of Qt is safe to tear down
    const auto copy = [](const char *s) { return std::string(s ? s : ""); };
    std::lock_guard lock(heldMutex);
    held.push_back({type, copy(context.file), copy(context.function), copy(context.category),
                    context.line, text});
}

void holdQtMessages()
{
    passOn = qInstallMessageHandler(holdMessage);
}

void releaseQtMessages()
{
    qInstallMessageHandler(passOn);
    std::lock_guard lock(heldMutex);
    for (const HeldMessage &m : held) {
        const QMessageLogContext context(m.file.c_str(), m.line, m.function.c_str(),
                                         m.category.c_str());
        passOn(m.type, context, m.text);
    }
    held.clear();
}

} // namespace

int main(int argc, char *argv[])
{
    // Answered before Qt is started, so they need no display and never open a window. Other
    // arguments are left to Qt, as the program itself reads none.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0) {
            std::fputs(kHelp, stdout);
            return 0;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("%s %s\n", kName, TOOLKIT_VERSION);
            return 0;
        }
    }
    if (!isSet("DISPLAY") && !isSet("WAYLAND_DISPLAY") && !isSet("QT_QPA_PLATFORM"))
        return noDesktopSession("no DISPLAY or WAYLAND_DISPLAY is set");

    holdQtMessages();
    QApplication app(argc, argv);
    releaseQtMessages();
    // The application name is also the window class on X11, which the desktop entry's
    // StartupWMClass names.
    QApplication::setApplicationName(QString::fromUtf8(kName));
    QApplication::setApplicationVersion(QStringLiteral(TOOLKIT_VERSION));
    QApplication::setDesktopFileName(QStringLiteral(TOOLKIT_DESKTOP_ID));
    // The interface is Turkish whatever the desktop's language, so are the toolkit's own texts
    // (file dialogs, the text boxes' context menus) where Qt's Turkish translation is installed.
    QTranslator qtTexts;
    if (qtTexts.load(QStringLiteral("qtbase_tr"),
                     QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTexts);
    auto *main = new launcher::MainWindow;
    main->setAttribute(Qt::WA_DeleteOnClose);
    main->show();
    return app.exec();
}
