// The lists of the results and new-table windows at scale: LINES
// differences (default 1,000,000: nine changed values to one added record,
// as a Table #2 with appended records gives) handed to the run's lists
// while the four views of the two windows are shown (offscreen), as a
// comparison's end does.  Prints the time from handing over until every
// view knows its rows and has painted, and the resident memory before the
// differences, with them, and at its peak.
//
//   QT_QPA_PLATFORM=offscreen list_bench [LINES]

#include <sys/resource.h>

#include <QApplication>
#include <QTreeView>
#include <QWidget>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "compare/difference_list.h"
#include "ui/difference_list_model.h"
#include "ui/form3.h"
#include "wizard/run_model.h"

namespace {

using namespace quorvel;

// Resident memory now, from /proc (kB).
long residentKb() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
    return -1;
}

long peakKb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

}  // namespace

int main(int argc, char** argv) {
    const long lines = argc > 1 ? std::atol(argv[1]) : 1'000'000;
    QApplication app(argc, argv);

    wizard::RunModel run;
    QWidget results, newTable;
    const QRect rect(0, 0, 600, 400);
    ui::DifferenceListModel models[] = {
        {QStringLiteral("Field Differences"), false, run.fieldDifferences()},
        {QStringLiteral("Added / Deleted Records"), false, run.addedDeleted()},
        {QStringLiteral("Field Differences"), true, run.fieldDifferences()},
        {QStringLiteral("Added / Deleted Records"), true, run.addedDeleted()}};
    QTreeView* views[] = {ui::addDifferenceList(&results, "ListView1", &models[0], rect),
                          ui::addDifferenceList(&results, "ListView2", &models[1], rect),
                          ui::addDifferenceList(&newTable, "ListView1", &models[2], rect),
                          ui::addDifferenceList(&newTable, "ListView2", &models[3], rect)};
    results.show();
    newTable.show();
    app.processEvents();
    const long before = residentKb();

    compare::DifferenceList differences("customers", {"ID", "CODE", "NAME", "CITY", "QTY"});
    for (long i = 1; i <= lines; ++i) {
        if (i % 10 == 0)
            differences.addAdded(i);
        else
            differences.addChanged(i, i, 2, "Customer " + std::to_string(i), false,
                                   "Changed " + std::to_string(i), false);
    }
    const long held = residentKb();

    const auto start = std::chrono::steady_clock::now();
    run.showDifferences(std::move(differences), [&] { app.processEvents(); });
    for (QTreeView* view : views) view->viewport()->repaint();
    app.processEvents();
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    std::printf(
        "%ld lines (%d field differences, %d added) in the lists of both windows: "
        "filled in %.3f s\n",
        lines, run.fieldDifferences().count(), run.addedDeleted().count(), seconds);
    std::printf(
        "resident: %ld MB before, %ld MB with the differences, %ld MB after filling, "
        "peak %ld MB\n",
        before / 1024, held / 1024, residentKb() / 1024, peakKb() / 1024);
    for (int i = 0; i < 4; ++i)
        if (views[i]->model()->rowCount() !=
            (i % 2 ? run.addedDeleted().count() : run.fieldDifferences().count())) {
            std::printf("view %d does not show every row\n", i);
            return 1;
        }
    return 0;
}
