// Read timing: every value of every record of a table, through the record
// set the comparison uses.
//
//   read_bench FOLDER TABLE [--text]
//
// --text also builds each value's text form.  Prints the records and values
// read and the records per second; bench/read_bench.sh times it against
// python3-dbfread and cat.

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

#include "foxpro/foxpro_error.h"
#include "foxpro/sql/connection.h"
#include "foxpro/sql/recordset.h"
#include "foxpro/text/text_form.h"

int main(int argc, char** argv) {
    using namespace quorvel::foxpro;
    if (argc < 3) {
        std::fprintf(stderr, "usage: read_bench FOLDER TABLE [--text]\n");
        return 2;
    }
    const bool text = argc > 3 && std::strcmp(argv[3], "--text") == 0;
    try {
        const auto start = std::chrono::steady_clock::now();
        Connection connection;
        connection.open(std::string("Provider=vfpoledb.1;Data Source=") + argv[1] +
                        ";Collating Sequence=general;");
        Recordset rs;
        rs.open(std::string("SELECT * FROM [") + argv[2] + "]", connection);
        const int fields = rs.fieldCount();
        const TextLocale locale = TextLocale::c();
        long records = 0;
        std::size_t checksum = 0;
        for (; !rs.eof(); rs.moveNext(), ++records) {
            for (int i = 0; i < fields; ++i) {
                const Value v = rs.value(i);
                checksum += static_cast<std::size_t>(v.kind()) + v.str().size();
                if (text) checksum += textForm(v, locale).size();
            }
        }
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        std::printf("%ld records, %ld values in %.3f s: %.0f records/s (checksum %zu)\n", records,
                    records * fields, seconds, records / seconds, checksum);
        return 0;
    } catch (const FoxProError& e) {
        std::fprintf(stderr, "read_bench: %s\n", e.what());
        return 2;
    }
}
