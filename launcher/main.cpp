// SPDX-License-Identifier: GPL-3.0-or-later
// Starts the program by showing the main window, and nothing else.

#include "launcher/main_window.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <string_view>
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
    "Qt's own options (-style, -platform, -display, -reverse and the like) are\n"
    "accepted too.\n"
    "\n"
    "It needs a desktop session (DISPLAY or WAYLAND_DISPLAY); without one, run it\n"
    "under xvfb-run.\n";

// The options QApplication takes on this platform; the ones in the second list take a value in the
// next argument or after '='. Qt reads them with one dash or two.
constexpr std::string_view kQtFlags[] = {"reverse", "widgetcount", "nograb",
                                         "dograb",  "sync",        "testability"};
constexpr std::string_view kQtValued[] = {
    "platform",     "platformpluginpath", "platformtheme", "plugin",  "qwindowgeometry",
    "qwindowtitle", "qwindowicon",        "session",       "display", "geometry",
    "style",        "stylesheet",         "name",          "title",   "visual",
    "qmljsdebugger"};

template <size_t N> bool listed(const std::string_view (&names)[N], std::string_view name)
{
    for (std::string_view n : names)
        if (n == name)
            return true;
    return false;
}

// The first argument that is an option neither the program nor Qt knows, or null. Arguments that
// are not options are left alone, as they always were.
const char *unknownOption(int argc, char *argv[])
{
    for (int i = 1; i < argc; ++i) {
        std::string_view arg = argv[i];
        if (arg == "--")
            return nullptr;
        if (arg.size() < 2 || arg[0] != '-')
            continue;
        std::string_view name = arg.substr(arg[1] == '-' ? 2 : 1);
        const size_t equals = name.find('=');
        const bool hasValue = equals != std::string_view::npos;
        name = name.substr(0, equals);
        if (listed(kQtValued, name)) {
            if (!hasValue)
                ++i; // its value
        } else if (hasValue || !listed(kQtFlags, name)) {
            return argv[i];
        }
    }
    return nullptr;
}

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
// the application object is being made, Qt's messages are held back: a fatal one ends the program
// with exit status 1, and the rest are passed on once the display is open.
struct HeldMessage {
    QtMsgType type;
    std::string file, function, category;
    int line;
    QString text;
};

std::mutex heldMutex;
std::vector<HeldMessage> held;
QtMessageHandler passOn = nullptr;

// Whether the platform plugin said it could not reach the display (X11's "could not connect to
// display", Wayland's "Failed to create wl_display", which comes without a category), as against
// a plugin that is missing or broken, or a Qt library that is.
bool displayUnopened(const std::vector<HeldMessage> &messages)
{
    return std::any_of(messages.begin(), messages.end(), [](const HeldMessage &m) {
        return m.text.contains(QLatin1String("could not connect to display")) ||
               m.text.contains(QLatin1String("Failed to create wl_display"));
    });
}

// Qt's own words, written straight to standard error as its default handler would show them
// (that handler may write to the journal instead, where a user starting from a shell looks last).
void writeQtMessage(const std::string &category, const QString &text)
{
    if (!category.empty() && category != "default")
        std::fprintf(stderr, "%s: ", category.c_str());
    std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
}

[[noreturn]] void endOnFatal(const QMessageLogContext &context, const QString &text)
{
    std::lock_guard lock(heldMutex);
    // Nothing of Qt is safe to tear down after a fatal message, hence _Exit.
    if (displayUnopened(held))
        std::_Exit(noDesktopSession(unopenedDisplays()));
    for (const HeldMessage &m : held)
        writeQtMessage(m.category, m.text);
    writeQtMessage(context.category ? context.category : "", text);
    std::fflush(stderr);
    std::_Exit(1);
}

void holdMessage(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    if (type == QtFatalMsg)
        endOnFatal(context, text);
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
    // Answered before Qt is started, so they need no display and never open a window. Qt's own
    // options are left to Qt, as the program itself reads none; any other option is refused.
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
    if (const char *option = unknownOption(argc, argv)) {
        std::fprintf(stderr,
                     "tarnwick-toolkit: unrecognized option '%s'\n"
                     "Try 'tarnwick-toolkit --help' for more information.\n",
                     option);
        return 2;
    }
    if (!isSet("DISPLAY") && !isSet("WAYLAND_DISPLAY") && !isSet("QT_QPA_PLATFORM"))
        return noDesktopSession("no DISPLAY or WAYLAND_DISPLAY is set");

    // A write past the file size limit (ulimit -f) would otherwise end the program with SIGXFSZ
    // in the middle of writing a user's file in place, before the old bytes could be put back;
    // ignored, the write fails with EFBIG and the file operation undoes itself.
    std::signal(SIGXFSZ, SIG_IGN);

    holdQtMessages();
    QApplication app(argc, argv);
    releaseQtMessages();
    // The application name is also the window class on X11, which the desktop entry's
    // StartupWMClass names.
    QApplication::setApplicationName(QString::fromUtf8(kName));
    QApplication::setApplicationVersion(QStringLiteral(TOOLKIT_VERSION));
    QApplication::setDesktopFileName(QStringLiteral(TOOLKIT_DESKTOP_ID));
    // The interface is Turkish whatever the desktop's language, so are the toolkit's own texts
    // (file dialogs, the text boxes' context menus) where Qt's Turkish translation is installed,
    // and the dates and sizes Qt's dialogs show. The program's own numbers are written in the C
    // locale (QString::number, arg) or an explicit one, so the default changes none of them.
    QLocale::setDefault(QLocale(QLocale::Turkish, QLocale::Turkey));
    QTranslator qtTexts;
    if (qtTexts.load(QStringLiteral("qtbase_tr"),
                     QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTexts);
    auto *main = new launcher::MainWindow;
    main->setAttribute(Qt::WA_DeleteOnClose);
    main->show();
    return app.exec();
}
