// Starts the program by showing the main window, and nothing else.

#include "launcher/main_window.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QTranslator>

#include <cstdio>
#include <cstdlib>

int main(int argc, char *argv[])
{
    const auto set = [](const char *name) {
        const char *v = std::getenv(name);
        return v && *v;
    };
    if (!set("DISPLAY") && !set("WAYLAND_DISPLAY") && !set("QT_QPA_PLATFORM")) {
        std::fprintf(stderr, "tarnwick's Toolkit needs a desktop session (no DISPLAY or "
                             "WAYLAND_DISPLAY is set); without one, run it as: xvfb-run "
                             "tarnwick-toolkit\n");
        return 1;
    }
    QApplication app(argc, argv);
    // The application name is also the window class on X11, which the desktop entry's
    // StartupWMClass names.
    QApplication::setApplicationName(QStringLiteral("tarnwick's Toolkit"));
    QApplication::setApplicationVersion(QStringLiteral(TOOLKIT_VERSION));
    QApplication::setDesktopFileName(QStringLiteral(TOOLKIT_DESKTOP_ID));
    // The interface is Turkish whatever the desktop's language, so are the toolkit's own texts
    // (file dialogs, the text boxes' context menus) where Qt's Turkish translation is installed.
    QTranslator qtTexts;
    if (qtTexts.load(QStringLiteral("qtbase_tr"),
                     QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTexts);
    auto *main = new MainWindow;
    main->setAttribute(Qt::WA_DeleteOnClose);
    main->show();
    return app.exec();
}
