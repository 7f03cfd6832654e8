// quorvel: the wizard.  The start window is made first; its load is the
// start-up sequence, and closing any of the wizard's windows ends the
// program.

#include <QApplication>
#include <QWidget>

#include "foxpro/text_locale.h"
#include "shell/app_info.h"
#include "shell/qt/form1.h"
#include "shell/qt/qt_dialogs.h"
#include "shell/qt/qt_settings_store.h"
#include "shell/qt/window_setup.h"
#include "shell/qt/wizard.h"
#include "shell/window_helpers.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromUtf8(quorvel::shell::kProductTitle));
    QApplication::setOrganizationName(QString::fromUtf8(quorvel::shell::kSettingsApplication));
    QApplication::setDesktopFileName(QStringLiteral("quorvel"));
    QApplication::setWindowIcon(quorvel::shell::applicationIcon());
    // Every window is a top-level window of its own; hiding the last visible
    // one between two steps of the wizard must not end the program.
    QApplication::setQuitOnLastWindowClosed(false);

    quorvel::shell::QtDialogs dialogs;
    quorvel::shell::QtSettingsStore store;

    // Message boxes and file dialogs belong to the wizard window in front.
    QObject::connect(&app, &QApplication::focusChanged, [&dialogs](QWidget*, QWidget* now) {
        if (now != nullptr && now->window()->objectName().startsWith(QLatin1String("Form"))) {
            dialogs.setOwner(now->window());
        }
    });

    quorvel::shell::WizardEnvironment environment;
    environment.dialogs = &dialogs;
    environment.store = &store;
    environment.applicationFolder =
        quorvel::shell::applicationFilesFolder(quorvel::shell::applicationFolder());
    environment.locale = quorvel::foxpro::TextLocale::fromEnvironment();
    environment.endProgram = [] { QCoreApplication::exit(0); };

    quorvel::shell::Wizard wizard(environment);
    dialogs.setOwner(&wizard.form1());
    if (!wizard.start()) return 0;
    return QApplication::exec();
}
