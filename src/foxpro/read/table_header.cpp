#include "foxpro/read/table_header.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "foxpro/format/dbf_format.h"
#include "foxpro/foxpro_error.h"
#include "foxpro/text/code_page.h"

namespace quorvel::foxpro {

namespace {

[[noreturn]] void failHeader(const std::string& fileName, const std::string& problem) {
    throw FoxProError(kErrorFile, fileName + ": " + problem);
}

std::string hexByte(std::uint8_t b) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "0x%02X", b);
    return buf;
}

// Required width of the fixed-size types; 0 for any width.
int fixedWidth(char letter, std::uint8_t fileType) {
    switch (letter) {
        case 'I':
            return 4;
        case 'Y':
        case 'T':
        case 'D':
            return 8;
        case 'B':
            return dbf::isVisualFoxPro(fileType) ? 8 : 0;
        default:
            return 0;
    }
}

std::string fieldLabel(const FieldDescriptor& desc, std::size_t index) {
    std::string label = "field ";
    if (desc.name.empty()) {
        label += '#';
        label += std::to_string(index + 1);
    } else {
        label += desc.name;
    }
    return label;
}

// The record's bytes that the fields take, delete flag included.
int lengthsAddUp(const std::vector<FieldDescriptor>& descriptors) {
    int total = 1;
    for (const auto& d : descriptors) total += d.width;
    return total;
}

// Clipper and Harbour store a character field longer than 255 as length
// byte + 256 x decimals byte (C 300 = 44 with decimals 1).  Other writers
// leave junk in the decimals of C fields, so the rule is applied only when
// the plain lengths miss the record length and the lengths so read add up
// to it.
void widenClipperFields(std::vector<FieldDescriptor>& descriptors, int recordLength) {
    if (lengthsAddUp(descriptors) == recordLength) return;
    int widened = 1;
    bool any = false;
    for (const auto& d : descriptors) {
        const bool isLong = d.letter == 'C' && d.decimals != 0;
        widened += isLong ? d.width + 256 * d.decimals : d.width;
        any = any || isLong;
    }
    if (!any || widened != recordLength) return;
    for (auto& d : descriptors) {
        if (d.letter != 'C' || d.decimals == 0) continue;
        d.width += 256 * d.decimals;
        d.decimals = 0;
    }
}

// Puts every field at its offset in the record and checks it lies inside.
// The older formats have no offsets in their descriptors: the fields follow
// one another.  Visual FoxPro's are read, but several libraries write 0
// (for all fields, or the first) or offsets that overlap; when the lengths
// add up to the record length such fields are read one after another too,
// and the reader says so once.
void placeFields(TableHeader& header, bool vfp, int recordLength, const std::string& fileName) {
    auto& descriptors = header.descriptors;
    bool running = !vfp;
    if (vfp) {
        const FieldDescriptor* zero = nullptr;
        for (const auto& d : descriptors)
            if (d.offset == 0 && !zero) zero = &d;
        std::vector<const FieldDescriptor*> byOffset;
        for (const auto& d : descriptors) byOffset.push_back(&d);
        std::stable_sort(byOffset.begin(), byOffset.end(),
                         [](const auto* a, const auto* b) { return a->offset < b->offset; });
        std::pair<const FieldDescriptor*, const FieldDescriptor*> overlap{nullptr, nullptr};
        for (std::size_t i = 1; i < byOffset.size() && !overlap.first; ++i)
            if (byOffset[i]->offset <
                std::int64_t{byOffset[i - 1]->offset} + byOffset[i - 1]->width)
                overlap = {byOffset[i - 1], byOffset[i]};
        if (zero || overlap.first) {
            const int total = lengthsAddUp(descriptors);
            auto index = [&](const FieldDescriptor* d) {
                return static_cast<std::size_t>(d - descriptors.data());
            };
            if (total != recordLength) {
                // A field that runs out of the record says most.
                for (std::size_t i = 0; i < descriptors.size(); ++i)
                    if (std::int64_t{descriptors[i].offset} + descriptors[i].width > recordLength)
                        failHeader(fileName, fieldLabel(descriptors[i], i) +
                                                 " lies past the end of the " +
                                                 std::to_string(recordLength) + "-byte record");
                failHeader(
                    fileName,
                    (zero ? fieldLabel(*zero, index(zero)) + " has displacement 0"
                          : fieldLabel(*overlap.first, index(overlap.first)) + " and " +
                                fieldLabel(*overlap.second, index(overlap.second)) + " overlap") +
                        " and the field lengths add up to " + std::to_string(total) +
                        " bytes, not the " + std::to_string(recordLength) + "-byte record");
            }
            header.warnings.push_back(
                fileName + ": field displacements are " + (zero ? "0" : "overlapping") +
                "; the fields are read one after another (their lengths add up to the record)");
            running = true;
        }
    }
    int runningOffset = 1;
    for (std::size_t i = 0; i < descriptors.size(); ++i) {
        auto& d = descriptors[i];
        if (running) d.offset = runningOffset;
        runningOffset += d.width;
        // Offsets were read as 32-bit numbers: added up without overflow.
        if (d.offset < 1 || std::int64_t{d.offset} + d.width > recordLength)
            failHeader(fileName, fieldLabel(d, i) + " lies past the end of the " +
                                     std::to_string(recordLength) + "-byte record");
    }
}

}  // namespace

TableHeader parseTableHeader(std::span<const std::uint8_t> file, const std::string& fileName,
                             std::vector<std::string> longNames, const CodePageSetting& setting) {
    const std::uint8_t* data = file.data();
    const std::size_t size = file.size();
    auto fail = [&fileName](const std::string& problem) { failHeader(fileName, problem); };
    TableHeader header;
    if (size < dbf::kHeaderSize)
        fail("header is truncated (" + std::to_string(size) + " bytes, a table header needs " +
             std::to_string(dbf::kHeaderSize) + ")");
    header.fileType = data[dbf::kHeaderFileType];
    if (const char* refused = dbf::refusedFormatName(header.fileType))
        fail(std::string(refused) + " tables are not supported");
    const dbf::FileTypeInfo* type = dbf::fileTypeInfo(header.fileType);
    if (!type)
        fail("unknown table type " + hexByte(header.fileType) + " (not a dBase or FoxPro table)");
    const bool vfp = type->visualFoxPro;
    header.codePageMark = data[dbf::kHeaderCodePageMark];
    header.tableFlags = data[dbf::kHeaderTableFlags];
    header.headerLength = dbf::le16(data + dbf::kHeaderLength);
    const int recordLength = dbf::le16(data + dbf::kHeaderRecordLength);
    const std::uint32_t headerCount = dbf::le32(data + dbf::kHeaderRecordCount);

    if (static_cast<std::size_t>(header.headerLength) < dbf::kHeaderSize + 1)
        fail("header length " + std::to_string(header.headerLength) + " is too small");
    if (static_cast<std::size_t>(header.headerLength) > size)
        fail("header says " + std::to_string(header.headerLength) +
             " header bytes but the file has only " + std::to_string(size) + " (truncated)");

    int codePage = 0;
    if (setting.codePage != 0) {
        codePage = setting.codePage;
        header.codePageOrigin = setting.origin;
    } else if (header.codePageMark != 0) {
        codePage = dbf::codePageOfMark(header.codePageMark);
        header.codePageOrigin = CodePageOrigin::Mark;
    } else {
        codePage = dbf::defaultCodePage(header.fileType);
        header.codePageOrigin = CodePageOrigin::Default;
    }
    header.codePageConvertible = canConvertCodePage(codePage);
    if (!header.codePageConvertible) {
        const std::string named = codePage != dbf::kCodePageUnknown
                                      ? "code page " + std::to_string(codePage)
                                      : std::string("unknown");
        header.warnings.push_back(
            fileName + ": " +
            (header.codePageOrigin == CodePageOrigin::Mark
                 ? "code page mark " + hexByte(header.codePageMark) + " (" + named + ")"
                 : named) +
            " cannot be converted; its text is read byte for byte");
    }

    // Field descriptors run from offset 32 to the 0x0D terminator, within the
    // stated header length.
    for (std::size_t pos = dbf::kHeaderSize;
         pos + dbf::kDescriptorSize <= static_cast<std::size_t>(header.headerLength) &&
         data[pos] != dbf::kDescriptorTerminator;
         pos += dbf::kDescriptorSize) {
        const std::uint8_t* d = data + pos;
        FieldDescriptor desc;
        std::memcpy(desc.raw.data(), d, dbf::kDescriptorSize);
        std::size_t nameLen = 0;
        while (nameLen < dbf::kDescriptorNameSize && d[nameLen] != 0) ++nameLen;
        // Names are ASCII by the format, but real headers hold UTF-8 or
        // code-page bytes: decode them like the table's text.
        desc.name = decodeText(codePage, {reinterpret_cast<const char*>(d), nameLen});
        desc.letter = static_cast<char>(d[dbf::kDescriptorType]);
        desc.width = d[dbf::kDescriptorLength];
        desc.decimals = d[dbf::kDescriptorDecimals];
        // dBase III descriptors carry garbage where Visual FoxPro keeps the
        // offset and flags: only Visual FoxPro's are read.
        desc.offset = vfp ? static_cast<int>(dbf::le32(d + dbf::kDescriptorOffset)) : 0;
        desc.flags = vfp ? d[dbf::kDescriptorFlags] : 0;
        desc.autoNext = dbf::le32(d + dbf::kDescriptorAutoNext);
        desc.autoStep = d[dbf::kDescriptorAutoStep];
        const std::string label = fieldLabel(desc, header.descriptors.size());
        if (!dbf::isKnownFieldLetter(desc.letter)) {
            const auto b = static_cast<std::uint8_t>(desc.letter);
            std::string shown = hexByte(b);
            if (b >= 0x21 && b < 0x7F) {
                shown = "'";
                shown += desc.letter;
                shown += '\'';
            }
            fail(label + " has unknown type " + shown);
        }
        if (desc.width == 0) fail(label + " has length 0");
        if (const int fixed = fixedWidth(desc.letter, header.fileType);
            fixed && desc.width != fixed)
            fail(label + " of type " + std::string(1, desc.letter) + " has length " +
                 std::to_string(desc.width) + " instead of " + std::to_string(fixed));
        if (dbf::isMemoLetter(desc.letter, header.fileType) &&
            desc.width != dbf::kMemoRefBinaryWidth && desc.width != dbf::kMemoRefTextWidth)
            fail(label + " of type " + std::string(1, desc.letter) + " has length " +
                 std::to_string(desc.width) + " (a memo reference has 4 or 10)");
        header.descriptors.push_back(std::move(desc));
    }
    // Said whatever the record length: a header of no fields is what the file is.
    if (header.descriptors.empty()) fail("a table without fields");
    if (recordLength == 0) fail("record length is 0");

    widenClipperFields(header.descriptors, recordLength);
    placeFields(header, vfp, recordLength, fileName);

    header.layout.fileType = header.fileType;
    header.layout.codePage = codePage;
    header.layout.recordLength = recordLength;
    std::size_t visible = 0;
    int nextBit = 0;
    for (const auto& desc : header.descriptors) {
        const bool system =
            desc.letter == dbf::kNullFlagsLetter || (desc.flags & dbf::kFieldFlagSystem);
        if (desc.letter == dbf::kNullFlagsLetter) {
            if (header.layout.nullFlagsOffset < 0) {
                header.layout.nullFlagsOffset = desc.offset;
                header.layout.nullFlagsWidth = desc.width;
            }
        }
        if (system) continue;
        FieldInfo f;
        f.name = visible < longNames.size() && !longNames[visible].empty() ? longNames[visible]
                                                                           : desc.name;
        f.storedName = desc.name;
        f.letter = desc.letter;
        f.typeCode = dbf::typeCodeOf(desc.letter, header.fileType);
        f.width = desc.width;
        f.decimals = desc.decimals;
        f.offset = desc.offset;
        f.nullable = (desc.flags & dbf::kFieldFlagNullable) != 0;
        f.binary = (desc.flags & dbf::kFieldFlagBinary) != 0;
        f.memo = dbf::isMemoLetter(desc.letter, header.fileType);
        // _NullFlags bits go out in field order: a varlength bit for each V
        // or Q field, then a null bit for each nullable field.
        if (vfp) {
            if (f.letter == 'V' || f.letter == 'Q') f.varLengthBit = nextBit++;
            if (f.nullable) f.nullBit = nextBit++;
        }
        header.layout.fields.push_back(std::move(f));
        ++visible;
    }
    if (header.layout.fields.empty()) fail("table has no visible fields");
    // Bits the _NullFlags column cannot hold (or a table without one) mean
    // "not null" and "full width".
    const int bitCapacity =
        header.layout.nullFlagsOffset >= 0 ? header.layout.nullFlagsWidth * 8 : 0;
    for (auto& f : header.layout.fields) {
        if (f.nullBit >= bitCapacity) f.nullBit = -1;
        if (f.varLengthBit >= bitCapacity) f.varLengthBit = -1;
    }

    // Records that the file holds whole.  A count that disagrees with the
    // file size happens in the wild: trust the smaller and say so; but a file
    // that ends inside a record it claims is damaged.
    const std::uint64_t available = size - static_cast<std::size_t>(header.headerLength);
    const std::uint64_t whole = available / static_cast<std::uint64_t>(recordLength);
    const std::uint64_t rest = available % static_cast<std::uint64_t>(recordLength);
    if (headerCount > whole) {
        const bool onlyEofMark = rest == 1 && data[size - 1] == dbf::kEndOfFile;
        if (rest != 0 && !onlyEofMark)
            fail("header says " + std::to_string(recordLength) +
                 "-byte records but the file ends inside record " + std::to_string(whole + 1));
        header.storedCount = static_cast<std::int64_t>(whole);
        header.warnings.push_back(fileName + ": header says " + std::to_string(headerCount) +
                                  " records but the file holds " + std::to_string(whole) +
                                  "; reading " + std::to_string(whole));
    } else {
        header.storedCount = headerCount;
        // More bytes than records (beyond the end-of-file mark) are ignored.
        const std::uint64_t used = static_cast<std::uint64_t>(headerCount) * recordLength;
        if (available > used + 1)
            header.warnings.push_back(fileName + ": the file holds " +
                                      std::to_string(available - used) + " bytes after its " +
                                      std::to_string(headerCount) + " records; they are ignored");
    }
    return header;
}

}  // namespace quorvel::foxpro
