// The windows at their default size: controls where the layout puts them,
// captions, fonts, keyboard order, the hover rule with the hourglass, and
// how the lists grow with a larger window.

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMap>
#include <QMessageBox>
#include <QProgressBar>
#include <QRadioButton>
#include <QtTest>

#include "ui/form1.h"
#include "ui/form2.h"
#include "ui/form3.h"
#include "ui/form4.h"
#include "ui/form5.h"
#include "ui/merge3_window.h"
#include "ui/options_dialog.h"
#include "ui/summary_window.h"
#include "window_harness.h"

using quorvel::ui_test::Harness;
using quorvel::ui_test::moveMouseOver;
namespace frame = quorvel::frame;
namespace ui = quorvel::ui;

class WindowLayoutTest : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<Harness> h;

  private slots:
    void init() { h = std::make_unique<Harness>(); }
    void cleanup() { h.reset(); }

    void twipsMapAtFifteenPerPixel() {
        QCOMPARE(ui::twips(7800), 520);
        QCOMPARE(ui::twips(405), 27);
        QCOMPARE(ui::twipsRect(120, 585, 7800, 1425), QRect(8, 39, 520, 95));
    }

    void startWindowStandsAsDesigned() {
        QWidget* form1 = &h->wizard->form1();
        // The designed window plus a code-page row in each frame and the
        // database-or-CSV row of source 2.
        QCOMPARE(form1->size(), QSize(536, 370));
        auto* frame2 = Harness::control<QGroupBox>(form1, "Frame2");
        QCOMPARE(frame2->title(),
                 QStringLiteral("FoxPro Login #2  (Folder can be the same file as #1)"));
        QCOMPARE(frame2->geometry(), QRect(8, 170, 520, 159));
        // Positions are relative to the frame that holds the control.
        auto* test2 = Harness::control<QPushButton>(form1, "PushButton6");
        QCOMPARE(test2->parentWidget(), frame2);
        QCOMPARE(test2->geometry(), QRect(264, 50, 192, 27));
        QCOMPARE(ui::withoutMnemonic(test2->text()), QStringLiteral("Test Connection"));
        QCOMPARE(test2->accessibleName(), QStringLiteral("Test Connection"));
        QCOMPARE(test2->font().family(), QStringLiteral("Arial"));
        QCOMPARE(test2->font().pointSizeF(), 11.25);
        QVERIFY(test2->font().bold());
        // The code-page choice: below the buttons, inside its frame, named
        // after its label, "Automatic" first.
        auto* combo2 = Harness::control<QComboBox>(form1, "Combo2");
        QCOMPARE(combo2->parentWidget(), frame2);
        QCOMPARE(combo2->geometry(), QRect(160, 86, 297, 23));
        QVERIFY(combo2->geometry().bottom() < frame2->height());
        QCOMPARE(combo2->accessibleName(), QStringLiteral("Code page:"));
        QCOMPARE(combo2->itemText(0), QStringLiteral("Automatic"));
        // Below it, inside the frame: the file chooser and the URI line.
        auto* side = Harness::control<QPushButton>(form1, "PushButton10");
        auto* uri = Harness::control<QLineEdit>(form1, "Text3");
        QCOMPARE(side->parentWidget(), frame2);
        QCOMPARE(uri->parentWidget(), frame2);
        QVERIFY(side->geometry().top() > combo2->geometry().bottom());
        QVERIFY(uri->geometry().left() > side->geometry().right());
        QVERIFY(uri->geometry().bottom() < frame2->height());
        QCOMPARE(side->accessibleName(), QStringLiteral("Database or CSV file\u2026"));
        QVERIFY(!uri->accessibleName().isEmpty());
        QCOMPARE(Harness::control<QPushButton>(form1, "PushButton2")->geometry(),
                 QRect(8, 336, 520, 27));
        auto* label = Harness::control<QLabel>(form1, "Label1");
        QCOMPARE(label->font().pointSizeF(), 9.0);
        QVERIFY(label->font().bold());

        // Keyboard order from Text1 to PushButton4.
        const char* order[] = {"Text1",        "PushButton1", "PushButton5", "PushButton8",
                               "PushButton12", "Combo1",      "Text2",       "PushButton3",
                               "PushButton9",  "PushButton6", "PushButton7", "Combo2",
                               "PushButton10", "Text3",       "PushButton2", "PushButton4"};
        QWidget* at = Harness::control<QWidget>(form1, order[0]);
        for (size_t i = 1; i < std::size(order); ++i) {
            at = at->nextInFocusChain();
            while (at->focusPolicy() == Qt::NoFocus) at = at->nextInFocusChain();
            QCOMPARE(at->objectName(), QString::fromLatin1(order[i]));
        }
    }

    void laterWindowsStandAsDesigned() {
        QWidget* form2 = &h->wizard->form2();
        QCOMPARE(form2->size(), QSize(536, 369));
        QCOMPARE(Harness::control<QListWidget>(form2, "List2")->geometry(),
                 QRect(264, 40, 240, 94));
        // "Pair records by:" between the table lists and "Next >".
        auto* pairing = Harness::control<QGroupBox>(form2, "Frame2");
        QCOMPARE(pairing->title(), QStringLiteral("Pair records by:"));
        QCOMPARE(pairing->geometry(), QRect(8, 209, 520, 84));
        // Under each table list, the source it lists.
        auto* source2 = Harness::control<QLabel>(form2, "Label5");
        QCOMPARE(source2->geometry(), QRect(264, 138, 240, 17));
        QCOMPARE(source2->accessibleName(), QStringLiteral("Source #2"));
        auto* position = Harness::control<QRadioButton>(form2, "Option1");
        QCOMPARE(ui::withoutMnemonic(position->text()), QStringLiteral("Position"));
        QVERIFY(position->isChecked());
        QCOMPARE(Harness::control<QRadioButton>(form2, "Option2")->accessibleName(),
                 QStringLiteral("Key fields"));
        QCOMPARE(Harness::control<QRadioButton>(form2, "Option3")->accessibleName(),
                 QStringLiteral("Content"));
        QCOMPARE(Harness::control<QListWidget>(form2, "List3")->accessibleName(),
                 QStringLiteral("Key fields"));
        QVERIFY(Harness::control<QPushButton>(form2, "PushButton3")->geometry().top() >
                pairing->geometry().bottom());
        // "Options…" beside "Next >".
        auto* options = Harness::control<QPushButton>(form2, "PushButton4");
        QCOMPARE(options->accessibleName(), QStringLiteral("Options\u2026"));
        QCOMPARE(options->geometry(), QRect(8, 301, 120, 27));
        auto* bar = Harness::control<QProgressBar>(form2, "ProgressBar1");
        QCOMPARE(bar->text(), QStringLiteral("Progress Bar"));
        QCOMPARE(form2->windowTitle(), QStringLiteral("Quorvel"));

        QWidget* form3 = &h->wizard->form3();
        // It opens with room for the record details; its designed size is
        // the smallest.
        QCOMPARE(form3->size(), QSize(1000, 720));
        QCOMPARE(form3->minimumSize(), QSize(536, 448));
        form3->resize(form3->minimumSize());
        // Between "< Back" and the lists: the tables, the pairing, the
        // options and the structure differences, one line each.
        QCOMPARE(Harness::control<QLabel>(form3, "Label3")->geometry(), QRect(8, 40, 520, 17));
        QCOMPARE(Harness::control<QLabel>(form3, "Label1")->geometry(), QRect(8, 58, 520, 17));
        QCOMPARE(Harness::control<QLabel>(form3, "Label4")->geometry(), QRect(8, 76, 520, 17));
        QCOMPARE(Harness::control<QLabel>(form3, "Label2")->geometry(), QRect(8, 94, 520, 17));
        auto* list = Harness::control<QTreeView>(form3, "ListView1");
        QVERIFY(list->mapTo(form3, QPoint(0, 0)).y() > 94 + 17);
        QCOMPARE(list->header()->sectionSize(0), 433);
        QCOMPARE(list->toolTip(),
                 QStringLiteral("Double-click item to remove it. Move | line to right and out of "
                                "window to reveal full names."));
        QCOMPARE(Harness::control<QPushButton>(form3, "PushButton3")->accessibleName(),
                 QStringLiteral("Create New Table Based On Differences"));

        QWidget* form4 = &h->wizard->form4();
        QCOMPARE(form4->size(), QSize(1000, 760));
        form4->resize(form4->minimumSize());
        QCOMPARE(form4->size(), QSize(536, 599));
        QCOMPARE(Harness::control<QPushButton>(form4, "PushButton3")->geometry(),
                 QRect(272, 564, 256, 27));
        auto* caption = Harness::control<QLabel>(form4, "Label1");
        QCOMPARE(caption->palette().color(QPalette::Window), QColor(Qt::white));
        QVERIFY(caption->autoFillBackground());
    }

    // The Options dialog shows the saved choices of the pair, names every
    // control, and gives back what the user changed.
    void optionsDialogShowsAndGivesBackTheChoices() {
        frame::MemorySettingsStore store;
        store.SaveSetting(frame::compareOptionsKey("t1", "t2"), "ignore=qty;case;tol=0.5");
        quorvel::wizard::OptionsModel choices(store, "t1", "t2", {"NAME", "QTY"});
        ui::OptionsDialog dialog(choices, nullptr);
        auto* fields = Harness::control<QListWidget>(&dialog, "List1");
        QCOMPARE(fields->count(), 2);
        QCOMPARE(fields->item(0)->checkState(), Qt::Checked);
        QCOMPARE(fields->item(1)->checkState(), Qt::Unchecked);
        auto* tolerance = Harness::control<QLineEdit>(&dialog, "Text1");
        QCOMPARE(tolerance->text(), QStringLiteral("0.5"));
        QVERIFY(Harness::control<QCheckBox>(&dialog, "Check2")->isChecked());
        for (QWidget* control : dialog.findChildren<QWidget*>())
            if (control->focusPolicy() != Qt::NoFocus && !qobject_cast<QLabel*>(control))
                QVERIFY2(!control->accessibleName().isEmpty(), qPrintable(control->objectName()));

        fields->item(0)->setCheckState(Qt::Unchecked);
        fields->item(1)->setCheckState(Qt::Checked);
        Harness::control<QCheckBox>(&dialog, "Check1")->setChecked(true);
        Harness::control<QCheckBox>(&dialog, "Check3")->setChecked(true);
        tolerance->setText(QStringLiteral(" 2 "));
        dialog.writeBack();
        QCOMPARE(choices.accept(), std::string());
        QCOMPARE(store.GetSetting(frame::compareOptionsKey("T1", "T2")),
                 std::string("ignore=NAME;trim;case;tol=2;schema"));
    }

    // Every window's mnemonics are distinct, and a caption with its marker
    // shows (and is named) as the caption itself.
    void mnemonicsDoNotClashAndKeepTheCaptions() {
        ui::Form5 options(h->wizard->startModel(), 2, &h->wizard->form1());
        frame::MemorySettingsStore store;
        quorvel::wizard::OptionsModel choices(store, "t1", "t2", {"NAME", "QTY"});
        ui::OptionsDialog compareOptions(choices, &h->wizard->form2());
        int marked = 0;
        for (QWidget* window : std::initializer_list<QWidget*>{
                 &h->wizard->form1(), &h->wizard->form2(), &h->wizard->form3(), &h->wizard->form4(),
                 &options, &compareOptions, &h->wizard->summary(), &h->wizard->merge3()}) {
            QMap<QKeySequence, QString> taken;
            for (QWidget* control : window->findChildren<QWidget*>()) {
                if (control->window() != window) continue;  // the option window's own
                QString caption;
                if (auto* button = qobject_cast<QAbstractButton*>(control))
                    caption = button->text();
                else if (auto* label = qobject_cast<QLabel*>(control))
                    caption = label->text();
                else if (auto* frame = qobject_cast<QGroupBox*>(control))
                    caption = frame->title();
                const QKeySequence key = QKeySequence::mnemonic(caption);
                if (key.isEmpty()) continue;
                ++marked;
                const QString name = window->objectName() + "." + control->objectName();
                QVERIFY2(!taken.contains(key),
                         qPrintable(name + " and " + taken.value(key) + ": " + caption));
                taken.insert(key, name);
                QCOMPARE(control->accessibleName(), ui::withoutMnemonic(caption));
                QVERIFY2(!control->accessibleName().contains('&'), qPrintable(name));
            }
        }
        QCOMPARE(marked, 13 + 9 + 3 + 9 + 3 + 5 + 4 + 14);
        QCOMPARE(Harness::control<QPushButton>(&h->wizard->form1(), "PushButton2")->text(),
                 QStringLiteral("&Next >"));
        QCOMPARE(ui::withoutMnemonic("Fish && &Chips"), QStringLiteral("Fish & Chips"));
    }

    // The lists and the detail pane take a larger window's room; the line
    // column follows the list's width.
    void listsGrowWithTheWindow() {
        QWidget* form3 = &h->wizard->form3();
        auto* list1 = Harness::control<QTreeView>(form3, "ListView1");
        auto* list2 = Harness::control<QTreeView>(form3, "ListView2");
        auto* pane = Harness::control<QWidget>(form3, "DetailPane");
        auto* create = Harness::control<QPushButton>(form3, "PushButton3");
        form3->show();
        QVERIFY(QTest::qWaitForWindowExposed(form3));
        QCOMPARE(list1->header()->sectionSize(0), list1->viewport()->width());
        const QSize before1 = list1->size();
        const QSize before2 = list2->size();
        const int paneBefore = pane->height();
        const int below = form3->height() - create->geometry().bottom();
        form3->resize(form3->width() + 100, form3->height() + 200);
        QCoreApplication::processEvents();
        QVERIFY(list1->height() > before1.height());
        QVERIFY(list2->height() > before2.height());
        QVERIFY(pane->height() > paneBefore);
        QCOMPARE(list2->width(), before2.width() + 100);
        QCOMPARE(list1->header()->sectionSize(0), list1->viewport()->width());
        // The buttons below keep their distance to the bottom edge.
        QCOMPARE(form3->height() - create->geometry().bottom(), below);
        // No overlap: the second list starts below the first.
        QVERIFY(list2->mapTo(form3, QPoint(0, 0)).y() >
                list1->mapTo(form3, QPoint(0, list1->height())).y());
    }

    void hoverRuleKeepsTheHourglass() {
        QWidget* form1 = &h->wizard->form1();
        form1->show();
        QVERIFY(QTest::qWaitForWindowExposed(form1));
        auto* button = Harness::control<QPushButton>(form1, "PushButton8");
        auto* text = Harness::control<QLineEdit>(form1, "Text1");
        auto* frame = Harness::control<QGroupBox>(form1, "Frame1");
        auto* label = Harness::control<QLabel>(form1, "Label1");

        moveMouseOver(button);
        QCOMPARE(ui::windowPointer(form1), frame::Pointer::Hand);
        QCOMPARE(text->cursor().shape(), ui::handCursor().shape());
        // Labels have no mouse handling: the hand stays.
        moveMouseOver(label);
        QCOMPARE(ui::windowPointer(form1), frame::Pointer::Hand);
        moveMouseOver(text);
        QCOMPARE(ui::windowPointer(form1), frame::Pointer::Default);
        QCOMPARE(text->cursor().shape(), Qt::IBeamCursor);
        moveMouseOver(button);
        moveMouseOver(frame);
        QCOMPARE(ui::windowPointer(form1), frame::Pointer::Default);

        // While work shows the hourglass, hovering changes nothing.
        ui::setWindowPointer(form1, frame::Pointer::Hourglass);
        moveMouseOver(button);
        QCOMPARE(ui::windowPointer(form1), frame::Pointer::Hourglass);
        QCOMPARE(button->cursor().shape(), Qt::WaitCursor);
        moveMouseOver(text);
        QCOMPARE(ui::windowPointer(form1), frame::Pointer::Hourglass);
        ui::setWindowPointer(form1, frame::Pointer::Default);
        moveMouseOver(button);
        QCOMPARE(ui::windowPointer(form1), frame::Pointer::Hand);

        // The lists of the new-table window take the default pointer.
        QWidget* form4 = &h->wizard->form4();
        form4->show();
        QVERIFY(QTest::qWaitForWindowExposed(form4));
        moveMouseOver(Harness::control<QPushButton>(form4, "PushButton5"));
        QCOMPARE(ui::windowPointer(form4), frame::Pointer::Hand);
        moveMouseOver(Harness::control<QTreeView>(form4, "ListView2"));
        QCOMPARE(ui::windowPointer(form4), frame::Pointer::Default);
    }

    void focusSelectsTheWholeText() {
        QWidget* form1 = &h->wizard->form1();
        form1->show();
        QVERIFY(QTest::qWaitForWindowActive(form1));
        auto* text2 = Harness::control<QLineEdit>(form1, "Text2");
        text2->setText("/some/folder");
        QTest::mouseClick(text2, Qt::LeftButton, {}, QPoint(20, 5));
        QCoreApplication::processEvents();
        QCOMPARE(text2->selectedText(), QStringLiteral("/some/folder"));
        QCOMPARE(text2->selectionStart(), 0);
    }

    void progressBarShowsTheRunsText() {
        auto& form2 = h->wizard->form2();
        auto* bar = Harness::control<QProgressBar>(&form2, "ProgressBar1");
        form2.setProgress(42, "Processing field: 1234");
        QCOMPARE(bar->value(), 42);
        QCOMPARE(bar->text(), QStringLiteral("Processing field: 1234"));
        form2.setProgress(130, "Processing field: 1300");
        QCOMPARE(bar->value(), 100);
    }

    void newTableWindowChecksAllWhenItBecomesActive() {
        auto& form4 = h->wizard->form4();
        auto& added = form4.addedList();
        quorvel::compare::DifferenceList found("t", {});
        found.addAdded(3);
        found.addAdded(4);
        h->wizard->run().showDifferences(std::move(found));
        QCOMPARE(added.rowCount(), 2);
        form4.show();
        QVERIFY(QTest::qWaitForWindowActive(&form4));
        added.list().setChecked(0, false);
        // A message box over the window is no other window of the wizard.
        {
            QMessageBox box(QMessageBox::NoIcon, "Quorvel", "Done.", QMessageBox::Ok, &form4);
            box.show();
            box.activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(&box));
            box.close();
        }
        form4.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&form4));
        QVERIFY(!added.checked(0));
        // Another wizard window in between: all checked again on return.
        QWidget& form3 = h->wizard->form3();
        form3.show();
        form3.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&form3));
        form4.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&form4));
        QVERIFY(added.checked(0));
        QVERIFY(added.checked(1));
    }
};

QTEST_MAIN(WindowLayoutTest)
#include "window_layout_test.moc"
