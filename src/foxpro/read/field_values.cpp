// How the stored bytes of a field become its value: one decoding per
// field type, text through the table's code page, memos from the memo file.
#include <algorithm>
#include <cstring>
#include <new>

#include "foxpro/format/civil_date.h"
#include "foxpro/format/dbf_format.h"
#include "foxpro/format/decimal_text.h"
#include "foxpro/foxpro_error.h"
#include "foxpro/read/table_reader.h"
#include "foxpro/text/code_page.h"

namespace quorvel::foxpro {

Value TableReader::decodeStoredText(std::string_view bytes) const {
    // Most stored text is ASCII, which reads the same in every code page:
    // copied as it stands, with no conversion.
    if (isAscii(bytes)) return Value(Value::Kind::Text, bytes.data(), bytes.size());
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 2);
    if (decodeText(header_.layout.codePage, bytes, out)) return Value::text(std::move(out));
    return Value::undecodedText(std::move(out));
}

std::string TableReader::markedText(std::span<const std::uint8_t> record, int index) const {
    const FieldInfo& f = field(index);
    std::string out;
    if (f.memo) {
        const MemoContent m = memo(record, index);
        decodeText(header_.layout.codePage, m.data, out, Undecodable::Marked);
    } else {
        decodeText(header_.layout.codePage, storedText(record, index), out, Undecodable::Marked);
    }
    if (file_) file_->checkFault();
    return out;
}

Value TableReader::value(std::span<const std::uint8_t> record, int index) const {
    if (index < 0 || index >= fieldCount())
        throw FoxProError(kErrorItemNotFound,
                          "Item cannot be found in the collection corresponding to the requested "
                          "name or ordinal.");
    if (record.size() != static_cast<std::size_t>(header_.layout.recordLength))
        throw FoxProError(kErrorInvalidArgument, fileName_ + ": record of the wrong length");
    Value value = decode(record.data(), index);
    if (file_) file_->checkFault();
    return value;
}

Value TableReader::decode(const std::uint8_t* recordBytes, int index) const {
    const FieldInfo& f = header_.layout.fields[static_cast<std::size_t>(index)];
    // Offsets and bits were checked against the record length when the
    // table was opened.
    if (f.nullBit >= 0 &&
        ((recordBytes[static_cast<std::size_t>(header_.layout.nullFlagsOffset + f.nullBit / 8)] >>
          (f.nullBit % 8)) &
         1))
        return Value::null();
    const std::uint8_t* p = recordBytes + f.offset;
    const auto w = static_cast<std::size_t>(f.width);
    const std::string_view chars(reinterpret_cast<const char*>(p), w);

    switch (f.letter) {
        case 'C':
            if (isAscii(chars)) return Value(Value::Kind::Text, chars.data(), chars.size());
            return decodeStoredText(chars);
        case 'V':
        case 'Q': {
            std::size_t len = w;
            // With the varlength bit set the real length is in the last byte.
            if (f.varLengthBit >= 0) {
                const std::uint8_t flags = recordBytes[static_cast<std::size_t>(
                    header_.layout.nullFlagsOffset + f.varLengthBit / 8)];
                if ((flags >> (f.varLengthBit % 8)) & 1)
                    len = std::min<std::size_t>(p[w - 1], w - 1);
            }
            if (f.letter == 'Q') return Value(Value::Kind::Bytes, chars.data(), len);
            if (isAscii(chars.substr(0, len))) return Value(Value::Kind::Text, chars.data(), len);
            return decodeStoredText(chars.substr(0, len));
        }
        case 'N':
        case 'F':
            // Blank is FoxPro's "never filled" number: 0.  Text that is no
            // number reads the way VAL() reads it.
            {
                char buffer[kCanonicalDecimalRoom];
                if (const std::string_view plain = canonicalDecimalPlain(chars, buffer);
                    !plain.empty())
                    return Value(Value::Kind::Decimal, plain.data(), plain.size());
                return Value::decimal(canonicalDecimal(chars));
            }
        case 'I':
            return Value::integer(static_cast<std::int32_t>(dbf::le32(p)));
        case 'Y':
            return Value::currency(static_cast<std::int64_t>(dbf::le64(p)));
        case 'B': {
            if (f.memo) break;
            const std::uint64_t bits = dbf::le64(p);
            double d = 0;
            std::memcpy(&d, &bits, sizeof d);
            return Value::real(d);
        }
        case 'L':
            switch (p[0]) {
                case 'T':
                case 't':
                case 'Y':
                case 'y':
                    return Value::logical(true);
                case 'F':
                case 'f':
                case 'N':
                case 'n':
                case ' ':
                case 0:
                    return Value::logical(false);
                default:
                    return Value::null();  // '?' and anything else: unknown
            }
        case 'D': {
            // Blanks, zeros or anything that is no calendar date read as the
            // empty date.
            int parts[8];
            for (int i = 0; i < 8; ++i) {
                if (p[i] < '0' || p[i] > '9') return Value::null();
                parts[i] = p[i] - '0';
            }
            const int y = parts[0] * 1000 + parts[1] * 100 + parts[2] * 10 + parts[3];
            const int m = parts[4] * 10 + parts[5];
            const int d = parts[6] * 10 + parts[7];
            if (y < 1 || m < 1 || m > 12 || d < 1 || d > daysInMonth(y, m)) return Value::null();
            return Value::date(Date{y, m, d});
        }
        case 'T': {
            const std::uint32_t jd = dbf::le32(p);
            const std::uint32_t ms = dbf::le32(p + 4);
            if (jd == 0 && ms == 0) return Value::null();
            std::int64_t days = static_cast<std::int64_t>(jd) - dbf::kJulianDay1970;
            std::int64_t seconds = (static_cast<std::int64_t>(ms) + 500) / 1000;
            if (seconds > 86400) return Value::null();  // no time of day
            if (seconds == 86400) {
                seconds = 0;
                ++days;
            }
            const Date date = civilFromDays(days);
            if (date.year < 1 || date.year > 9999) return Value::null();
            DateTime dt;
            dt.date = date;
            dt.hour = static_cast<int>(seconds / 3600);
            dt.minute = static_cast<int>(seconds / 60 % 60);
            dt.second = static_cast<int>(seconds % 60);
            return Value::dateTime(dt);
        }
        default:
            break;
    }
    if (f.memo) return memoValue(recordBytes, index);
    fail("field " + f.name + " has a type that cannot be read");
}

// Memo fields: M is text, G/W/P and a dBase B are binary.
Value TableReader::memoValue(const std::uint8_t* recordBytes, int index) const {
    const FieldInfo& f = header_.layout.fields[static_cast<std::size_t>(index)];
    const std::span<const std::uint8_t> record{
        recordBytes, static_cast<std::size_t>(header_.layout.recordLength)};
    const std::uint32_t block = memoBlock(record, index);
    if (block == 0) return f.letter == 'M' ? Value::text("") : Value::bytes("");
    const MemoFile& file = memoFile();
    // Which record: known when the bytes are the map's.
    const auto where = [&] {
        std::string text = "field " + f.name;
        const std::uint8_t* first = data_ + header_.headerLength;
        if (recordBytes >= first && recordBytes < data_ + size_)
            text = "record " +
                   std::to_string((recordBytes - first) / header_.layout.recordLength + 1) + ", " +
                   text;
        return text;
    };
    std::uint64_t memoLength = 0;
    try {
        if (f.letter != 'M') return Value::bytes(std::move(file.read(block).data));
        // Decoded straight from the file a piece at a time: a text memo
        // costs its text and no copy of its bytes.
        std::string text;
        bool clean = true;
        file.readPieces(block, [&](std::string_view piece, std::uint64_t length) {
            memoLength = length;
            const bool ascii = isAscii(piece);
            if (text.empty())
                text.reserve(static_cast<std::size_t>(ascii ? length : length + length / 2));
            if (ascii)
                text.append(piece);
            else if (!decodeText(header_.layout.codePage, piece, text))
                clean = false;
        });
        return clean ? Value::text(std::move(text)) : Value::undecodedText(std::move(text));
    } catch (const std::bad_alloc&) {
        throw FoxProError(kErrorOutOfMemory, fileName_ + ": not enough memory for the text of " +
                                                 where() + " (a memo of " +
                                                 std::to_string(memoLength) + " bytes)");
    } catch (const FoxProError& e) {
        if (f.letter == 'M' || e.number() == kErrorOutOfMemory)
            throw FoxProError(e.number(),
                              e.description() + " (" + fileName_ + ", " + where() + ")");
        // Binary memos are never compared, and writers of other programs
        // leave references into the memo file's header or past its end:
        // such a value reads as empty, so that the table still opens, and
        // the first one is reported.
        if (!binaryMemoWarned_) {
            binaryMemoWarned_ = true;
            warnings_.push_back(fileName_ + ": " + where() + " refers to no binary memo (" +
                                e.description() + "); such values read as empty");
        }
        return Value::bytes("");
    }
}

}  // namespace quorvel::foxpro
