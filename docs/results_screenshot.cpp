// Takes the README's picture of the results window: the wizard run on the
// shipped samples (products of Samples against products of Samples1), its
// results window with the first line's records drawn into a PNG file.
//
//   results_screenshot SAMPLES_FOLDER OUTPUT.png
//
// SAMPLES_FOLDER holds Samples and Samples1.  Run by scripts/screenshot.sh.

#include <QApplication>
#include <QListWidget>
#include <QPixmap>
#include <QPushButton>
#include <QTreeView>
#include <cstdio>

#include "foxpro/text/text_locale.h"
#include "frame/app_info.h"
#include "frame/settings_store.h"
#include "frame/window_helpers.h"
#include "ui/form2.h"
#include "ui/form3.h"
#include "ui/qt_dialogs.h"
#include "ui/window_setup.h"
#include "ui/wizard.h"

namespace {

bool choose(QWidget* window, const char* list, const QString& table) {
    auto* view = window->findChild<QListWidget*>(QString::fromLatin1(list));
    const auto found = view ? view->findItems(table, Qt::MatchExactly) : QList<QListWidgetItem*>();
    if (found.isEmpty()) return false;
    found.front()->setSelected(true);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 3) {
        std::fputs("usage: results_screenshot SAMPLES_FOLDER OUTPUT.png\n", stderr);
        return 2;
    }
    QApplication::setApplicationName(QString::fromUtf8(quorvel::frame::kProductTitle));
    QApplication::setWindowIcon(quorvel::ui::applicationIcon());
    QApplication::setQuitOnLastWindowClosed(false);
    const std::string samples = argv[1];

    // Both sources saved as the sample folders: start-up goes straight on
    // to the table choice, as it does for a returning user.
    quorvel::frame::MemorySettingsStore store;
    for (int source : {1, 2}) {
        store.SaveSetting(quorvel::frame::folderKey(source),
                          quorvel::frame::sampleFolder(samples, source));
        store.SaveSetting(quorvel::frame::kindKey(source), quorvel::frame::kKindFolder);
    }
    quorvel::ui::QtDialogs dialogs;
    quorvel::ui::WizardEnvironment environment;
    environment.dialogs = &dialogs;
    environment.store = &store;
    environment.applicationFolder = samples;
    environment.locale = quorvel::foxpro::TextLocale::c();
    environment.startup.drawOneToHundred = [] { return 1; };  // no home page
    environment.endProgram = [] {};
    quorvel::ui::Wizard wizard(environment);
    if (!wizard.start() || !wizard.hasForm2()) {
        std::fputs("results_screenshot: the samples did not open\n", stderr);
        return 1;
    }
    QWidget* form2 = &wizard.form2();
    if (!choose(form2, "List1", QStringLiteral("products")) ||
        !choose(form2, "List2", QStringLiteral("products"))) {
        std::fputs("results_screenshot: no products table in the samples\n", stderr);
        return 1;
    }
    form2->findChild<QPushButton*>(QStringLiteral("PushButton3"))->click();
    QWidget* form3 = &wizard.form3();
    if (!form3->isVisible()) {
        std::fputs("results_screenshot: the comparison did not reach the results window\n", stderr);
        return 1;
    }
    // The first line selected, so that the record details show its records.
    if (auto* list = form3->findChild<QTreeView*>(QStringLiteral("ListView1"));
        list != nullptr && list->model()->rowCount() > 0)
        list->setCurrentIndex(list->model()->index(0, 0));
    QApplication::processEvents();
    if (!form3->grab().save(QString::fromLocal8Bit(argv[2]), "PNG")) {
        std::fprintf(stderr, "results_screenshot: %s: cannot write the picture\n", argv[2]);
        return 1;
    }
    return 0;
}
