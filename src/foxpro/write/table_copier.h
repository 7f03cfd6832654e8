#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "foxpro/read/table_reader.h"
#include "foxpro/write/atomic_file.h"

namespace quorvel::foxpro {

// Writes the live records of a source table (or only its recno-th live
// record) as a free Visual FoxPro table: the records, their memos (into an
// .fpt) and a header with the count of records written.
class TableCopier {
  public:
    TableCopier(const TableReader& source, std::optional<std::int64_t> recno);

    // Writes the table into table and, when the source has memo fields, the
    // memo file into memoSink.  Throws FoxProError on a read or write failure.
    void write(FileSink& table, FileSink* memoSink);

    bool hasMemo() const { return hasMemo_; }
    // The text of the .cpg file the copy needs beside it ("UTF-8"), "" when
    // its header's code page mark says its code page.
    std::string cpgText() const;

  private:
    struct CopyField {
        int sourceIndex = -1;  // visible field of the source, -1 for _NullFlags
        int sourceOffset = 0;
        int width = 0;
        int offset = 0;
        bool memo = false;
    };

    void plan();
    std::vector<std::uint8_t> buildHeader(std::uint32_t count) const;
    std::uint8_t codePageMark() const;

    const TableReader& src_;
    std::optional<std::int64_t> recno_;
    bool vfp_ = true;
    bool hasMemo_ = false;
    bool sameRecords_ = true;
    int recordLength_ = 0;
    std::vector<CopyField> fields_;
    std::vector<std::array<std::uint8_t, 32>> descriptors_;
};

}  // namespace quorvel::foxpro
