#include "cli/side_verbs.h"

#include <string_view>
#include <vector>

#include "cli/cli_common.h"
#include "cli/csv_output.h"
#include "cli/output_stream.h"
#include "sides/side_stream.h"
#include "sides/side_uri.h"

namespace quorvel::cli {

namespace {

// The table operand after a side URI without table=.
sides::SideUri sideOf(const Arguments& args) {
    sides::SideUri side = sides::parseSideUri(args.operands[0]);
    if (args.operands.size() > 1) {
        if (!side.table.empty()) throw UsageError("the URI names its table: no TABLE after it");
        side.table = args.operands[1];
    }
    return side;
}

}  // namespace

bool namesSide(const Arguments& args) {
    return !args.operands.empty() && sides::isSideUri(args.operands[0]);
}

int showSide(const Arguments& args) {
    try {
        const sides::SideUri side = sideOf(args);
        const auto stream = sides::openSideStream(side);
        const bool safe = args.has(csvSafeOption().name);
        OutputStream out;
        std::vector<std::string_view> names;
        for (const auto& column : stream->columns()) names.push_back(column.name);
        writeCsvRecord(out, names, safe);
        std::vector<sides::SideCell> row;
        static const char* hex = "0123456789ABCDEF";
        std::string shown;
        while (stream->next(row)) {
            for (std::size_t i = 0; i < row.size(); ++i) {
                const sides::SideCell& cell = row[i];
                if (cell.storage == sides::CellStorage::Blob && !cell.null) {
                    // Bytes as show writes a FoxPro binary value.
                    shown = "0h";
                    for (unsigned char c : cell.text) {
                        shown += hex[c >> 4];
                        shown += hex[c & 15];
                    }
                    writeCsvField(out, shown, i == 0);
                } else {
                    writeCsvField(out, cell.text, i == 0,
                                  safe && cell.storage == sides::CellStorage::Text);
                }
            }
            endCsvRecord(out);
        }
        out.flush();
        return 0;
    } catch (const sides::SideError& e) {
        return failure("show", e.what());
    }
}

int listSideTables(const Arguments& args) {
    try {
        OutputStream out;
        for (const auto& name : sides::sideTableNames(sides::parseSideUri(args.operands[0]))) {
            out.write(name);
            out.write("\n");
        }
        out.flush();
        return 0;
    } catch (const sides::SideError& e) {
        return failure("tables", e.what());
    }
}

}  // namespace quorvel::cli
