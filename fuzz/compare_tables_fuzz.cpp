// Compares two damaged tables through the comparison engine, reading them
// from files as a run does.  Input: one byte of flags, then a 4-byte
// little-endian length and the bytes of Table #1, the same for its memo
// file and for Table #2, and the rest is Table #2's memo file.  With flag 1
// Table #1 is compared with itself.
//
// The comparison must end, never crash, and tell a completed comparison
// from one that could not be made (a failure text exactly when not
// completed); a table compared with itself has no differences.

#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <span>
#include <string>

#include "compare/compare.h"
#include "data/source_descriptor.h"
#include "foxpro/text/text_locale.h"
#include "frame/dialogs.h"

namespace {

using Bytes = std::span<const std::uint8_t>;

class NoDialogs : public quorvel::frame::Dialogs {
  public:
    quorvel::frame::Answer message(const std::string&, quorvel::frame::MessageButtons,
                                   quorvel::frame::MessageIcon, const std::string&) override {
        return quorvel::frame::Answer::Ok;
    }
};

// A length-prefixed piece of the input (cut to what is left).
Bytes take(Bytes& rest) {
    if (rest.size() < 4) {
        const Bytes all = rest;
        rest = {};
        return all;
    }
    std::size_t n = rest[0] | (rest[1] << 8) | (rest[2] << 16) | (std::size_t{rest[3]} << 24);
    rest = rest.subspan(4);
    if (n > rest.size()) n = rest.size();
    const Bytes piece = rest.subspan(0, n);
    rest = rest.subspan(n);
    return piece;
}

void writeFile(const std::string& path, Bytes bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

// The table "t" of folder, with its memo file under each memo extension.
void writeTable(const std::string& folder, Bytes table, Bytes memo) {
    writeFile(folder + "/t.dbf", table);
    writeFile(folder + "/t.fpt", memo);
    writeFile(folder + "/t.dbt", memo);
}

// One scratch folder per fuzzing process, with the two sources in it.
const std::string& scratch() {
    static const std::string folder = [] {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/compare-fuzz-XXXXXX";
        if (!::mkdtemp(pattern.data())) std::abort();
        for (const char* side : {"/1", "/2"})
            if (::mkdir((pattern + side).c_str(), 0700) != 0) std::abort();
        return pattern;
    }();
    return folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace quorvel;
    if (size < 1) return 0;
    const bool itself = data[0] & 1;
    Bytes rest(data + 1, size - 1);
    const Bytes table1 = take(rest), memo1 = take(rest), table2 = take(rest), memo2 = rest;
    writeTable(scratch() + "/1", table1, memo1);
    writeTable(scratch() + "/2", itself ? table1 : table2, itself ? memo1 : memo2);

    data::SourceDescriptor source1, source2;
    source1.optionDBC = source2.optionDBC = false;
    source1.folderText = scratch() + "/1";
    source2.folderText = scratch() + "/2";
    NoDialogs dialogs;
    const compare::CompareResult result =
        compare::Compare(source1, source2, "t", "t", foxpro::TextLocale::c(), dialogs);
    if (result.completed() != result.failure.empty()) std::abort();
    if (itself && result.completed() && !result.identical()) std::abort();
    return 0;
}
