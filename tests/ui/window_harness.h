#pragma once

// Shared by the window tests (header only: every .cpp of this folder is a
// test program of its own).  Each harness is a fresh wizard over scripted
// dialogs, an in-memory settings store and a temporary application folder
// that holds a copy of the samples, so that merges never touch the sources.

#include <QAbstractItemView>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMouseEvent>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>
#include <memory>
#include <string>

#include "frame/settings_store.h"
#include "support/scripted_dialogs.h"
#include "ui/difference_list_model.h"
#include "ui/window_setup.h"
#include "ui/wizard.h"

namespace quorvel::ui_test {

inline bool copyFolder(const QString& from, const QString& to) {
    QDir source(from);
    if (!source.exists() || !QDir().mkpath(to)) return false;
    for (const QFileInfo& entry :
         source.entryInfoList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QString target = to + QLatin1Char('/') + entry.fileName();
        if (entry.isDir()) {
            if (!copyFolder(entry.filePath(), target)) return false;
        } else if (!QFile::copy(entry.filePath(), target)) {
            return false;
        }
    }
    return true;
}

class Harness {
  public:
    Harness() {
        const QString samples = QStringLiteral(QUORVEL_SOURCE_DIR) + QStringLiteral("/samples");
        samplesCopied = dir.isValid() && copyFolder(samples, dir.path());
        appFolder = dir.path().toStdString();
        ui::WizardEnvironment environment;
        environment.dialogs = &dialogs;
        environment.store = &store;
        environment.applicationFolder = appFolder;
        // The home page never opens in a test.
        environment.startup.drawOneToHundred = [] { return 1; };
        environment.endProgram = [this] { ++ends; };
        wizard = std::make_unique<ui::Wizard>(environment);
    }
    ~Harness() {
        // Later windows refer to the start window's model: drop them first.
        wizard.reset();
    }

    std::string sample(int source) const {
        return appFolder + (source == 1 ? "/Samples" : "/Samples1");
    }

    // A control of a window by its objectName.
    template <typename T>
    static T* control(QWidget* window, const char* name) {
        return window->findChild<T*>(QString::fromLatin1(name));
    }
    static void click(QWidget* window, const char* name) {
        auto* button = control<QPushButton>(window, name);
        QVERIFY2(button != nullptr, name);
        QTest::mouseClick(button, Qt::LeftButton);
    }

    QTemporaryDir dir;
    bool samplesCopied = false;
    std::string appFolder;
    test::ScriptedDialogs dialogs;
    frame::MemorySettingsStore store;
    int ends = 0;
    std::unique_ptr<ui::Wizard> wizard;
};

// Texts of a list model, in order.
inline QStringList linesOf(const ui::DifferenceListModel& model) {
    QStringList lines;
    for (int i = 0; i < model.count(); ++i) lines << QString::fromStdString(model.text(i));
    return lines;
}

inline int checkedCount(const ui::DifferenceListModel& model) {
    int count = 0;
    for (int i = 0; i < model.count(); ++i) count += model.checked(i) ? 1 : 0;
    return count;
}

// A mouse move as the window system delivers it to a control (lists get it
// on their viewport).
inline void moveMouseOver(QWidget* control) {
    QWidget* target = control;
    if (auto* view = qobject_cast<QAbstractItemView*>(control)) target = view->viewport();
    const QPointF at(2, 2);
    QMouseEvent move(QEvent::MouseMove, at, target->mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(target, &move);
}

}  // namespace quorvel::ui_test
