// quorvel: the wizard.  The start window is made first; its load is the
// start-up sequence, and closing any of the wizard's windows ends the
// program.

#include <QApplication>
#include <QWidget>

#include "foxpro/text_locale.h"
#include "frame/app_info.h"
#include "frame/window_helpers.h"
#include "ui/form1.h"
#include "ui/qt_dialogs.h"
#include "ui/qt_settings_store.h"
#include "ui/window_setup.h"
#include "ui/wizard.h"

int main(int argc, char** argv) {
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
        if (now != nullptr && now->window()->objectName().startsWith(QLatin1String("Form"))) {
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
