// quorvel: the wizard.  The start window is made first; its load is the
// start-up sequence, and closing any of the wizard's windows ends the
// program.

#include <QApplication>
#include <QWidget>
#include <cstdio>
#include <string>

#include "foxpro/text/text_locale.h"
#include "frame/app_info.h"
#include "frame/window_helpers.h"
#include "ui/form1.h"
#include "ui/qt_dialogs.h"
#include "ui/qt_settings_store.h"
#include "ui/window_setup.h"
#include "ui/wizard.h"

namespace {

constexpr const char* kHelp =
    "Usage: quorvel [OPTION]...\n"
    "Compares two FoxPro tables in a wizard: choose two sources (folders of free\n"
    "tables or .dbc database containers), pick a table of each, see their\n"
    "differences, save them as a text report, and build a new table from Table #1\n"
    "plus the differences you tick.\n"
    "\n"
    "  -h, --help     show this help and exit\n"
    "      --version  show the version and exit\n"
    "\n"
    "Qt's own options (-platform NAME, -style NAME, ...) are passed on to Qt.\n"
    "The sources chosen are kept in ~/.config/Velkorn/Quorvel.ini.\n"
    "quorvel-cli does the same from the command line: see quorvel-cli --help.\n";

// --help and --version are answered before the toolkit starts, so that
// they print and end without a display.  Returns the exit status, or -1 to
// go on to the windows.
int answerInformationOptions(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--") break;
        std::string text;
        if (arg == "--help" || arg == "-h") {
            text = kHelp;
        } else if (arg == "--version") {
            text = std::string("quorvel ") + quorvel::frame::kVersion + "\n";
        } else {
            continue;
        }
        std::fputs(text.c_str(), stdout);
        if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
            std::fprintf(stderr, "quorvel: cannot write to standard output\n");
            return 2;
        }
        return 0;
    }
    return -1;
}

}  // namespace

int main(int argc, char** argv) {
    if (const int status = answerInformationOptions(argc, argv); status >= 0) return status;
    QApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromUtf8(quorvel::frame::kProductTitle));
    QApplication::setOrganizationName(QString::fromUtf8(quorvel::frame::kSettingsApplication));
    QApplication::setDesktopFileName(QStringLiteral("quorvel"));
    QApplication::setWindowIcon(quorvel::ui::applicationIcon());
    // Every window is a top-level window of its own; hiding the last visible
    // one between two steps of the wizard must not end the program.
    QApplication::setQuitOnLastWindowClosed(false);

    quorvel::ui::QtDialogs dialogs;
    quorvel::ui::QtSettingsStore store;

    // Message boxes and file dialogs belong to the wizard window in front.
    QObject::connect(&app, &QApplication::focusChanged, [&dialogs](QWidget*, QWidget* now) {
        const QString name = now != nullptr ? now->window()->objectName() : QString();
        if (name.startsWith(QLatin1String("Form")) || name == QLatin1String("Merge3")) {
            dialogs.setOwner(now->window());
        }
    });

    quorvel::ui::WizardEnvironment environment;
    environment.dialogs = &dialogs;
    environment.store = &store;
    environment.applicationFolder =
        quorvel::frame::applicationFilesFolder(quorvel::frame::applicationFolder());
    environment.locale = quorvel::foxpro::TextLocale::fromEnvironment();
    environment.endProgram = [] { QCoreApplication::exit(0); };

    quorvel::ui::Wizard wizard(environment);
    dialogs.setOwner(&wizard.form1());
    if (!wizard.start()) return 0;
    return QApplication::exec();
}
