// The filter of the results lists at scale: LINES changed values (default
// 1,000,000) in the field differences, one added record per ten beside them
// in the other list, then each filter bar choice over the field
// differences, timed from the new criteria until the shown rows are known
// (the median of five runs): a field, a kind, a search in values, a record
// number, and "Untick shown" over the filtered lines.
//
//   filter_bench [LINES]

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "compare/difference_list.h"
#include "wizard/line_filter.h"
#include "wizard/run_model.h"

namespace {

using namespace quorvel;

double medianSeconds(const std::function<void()>& work) {
    std::vector<double> times;
    for (int i = 0; i < 5; ++i) {
        const auto start = std::chrono::steady_clock::now();
        work();
        times.push_back(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    return times[2];
}

}  // namespace

int main(int argc, char** argv) {
    const long lines = argc > 1 ? std::atol(argv[1]) : 1'000'000;
    compare::DifferenceList differences("customers", {"ID", "CODE", "NAME", "CITY", "PRICE"});
    for (long i = 1; i <= lines; ++i)
        differences.addChanged(i, i, i % 3 == 0 ? 4 : 2, "Customer " + std::to_string(i), false,
                               "Changed " + std::to_string(i), false);
    for (long i = lines + 1; i <= lines + lines / 10; ++i) differences.addAdded(i);
    wizard::RunModel run;
    run.showDifferences(std::move(differences));
    wizard::LineFilter filter(run.fieldDifferences());
    std::printf("%d field differences\n", filter.total());

    const auto time = [&](const char* what, const wizard::LineCriteria& criteria) {
        const double seconds = medianSeconds([&] {
            filter.setCriteria(wizard::LineCriteria());
            filter.setCriteria(criteria);
        });
        std::printf("%-28s %8.3f s  %s\n", what, seconds, filter.countText().c_str());
    };
    wizard::LineCriteria field;
    field.field = 4;
    time("field PRICE", field);
    wizard::LineCriteria kind;
    kind.changed = false;
    time("kind missing field", kind);
    wizard::LineCriteria value;
    value.search = "changed 4242";
    time("search \"changed 4242\"", value);
    wizard::LineCriteria number;
    number.search = "424242";
    time("search \"424242\"", number);
    wizard::LineCriteria record;
    record.search = "record 424242";
    time("search \"record 424242\"", record);
    filter.setCriteria(field);
    const double untick = medianSeconds([&] { filter.setShownChecked(false); });
    std::printf("%-28s %8.3f s\n", "untick shown (field PRICE)", untick);
    return 0;
}
