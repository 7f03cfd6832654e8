#include "support/table_builder.h"

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <stdexcept>

namespace quorvel::test {

namespace {

void putLe(std::uint8_t* p, std::uint64_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}
void putBe(std::uint8_t* p, std::uint64_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * (bytes - 1 - i)));
}

// Days from 1970-01-01 of a proleptic Gregorian date.
std::int64_t daysFromCivil(int y, int m, int d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const std::int64_t yoe = y - era * 400;
    const std::int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

bool isBinaryStored(char letter, int width) {
    switch (letter) {
        case 'I':
        case 'B':
        case 'Y':
        case 'T':
            return true;
        case 'M':
        case 'G':
        case 'W':
        case 'P':
            return width == 4;
        default:
            return false;
    }
}

void fail(const std::string& what) {
    throw std::logic_error("TableBuilder: " + what);
}

}  // namespace

Cell Cell::blank() {
    return Cell{};
}
Cell Cell::raw(std::string fieldBytes) {
    Cell c;
    c.kind = Kind::Raw;
    c.bytes = std::move(fieldBytes);
    return c;
}
Cell Cell::text(std::string storedBytes) {
    Cell c;
    c.kind = Kind::Text;
    c.bytes = std::move(storedBytes);
    return c;
}
Cell Cell::number(std::string digits) {
    Cell c;
    c.kind = Kind::Number;
    c.bytes = std::move(digits);
    return c;
}
Cell Cell::integer32(std::int32_t v) {
    Cell c;
    c.kind = Kind::Integer;
    c.integer = v;
    return c;
}
Cell Cell::real64(double v) {
    Cell c;
    c.kind = Kind::Real;
    c.real = v;
    return c;
}
Cell Cell::currency(std::int64_t tenThousandths) {
    Cell c;
    c.kind = Kind::Currency;
    c.integer = tenThousandths;
    return c;
}
Cell Cell::date(int y, int m, int d) {
    Cell c;
    c.kind = Kind::Date;
    c.year = y, c.month = m, c.day = d;
    return c;
}
Cell Cell::dateTime(int y, int m, int d, int h, int mi, int s, int ms) {
    Cell c;
    c.kind = Kind::DateTime;
    c.year = y, c.month = m, c.day = d, c.hour = h, c.minute = mi, c.second = s, c.millisecond = ms;
    return c;
}
Cell Cell::logical(char stored) {
    Cell c;
    c.kind = Kind::Logical;
    c.logicalByte = stored;
    return c;
}
Cell Cell::memo(std::string content, std::uint32_t type) {
    Cell c;
    c.kind = Kind::Memo;
    c.bytes = std::move(content);
    c.memoType = type;
    return c;
}
Cell Cell::null() {
    Cell c;
    c.kind = Kind::Null;
    return c;
}

TableBuilder::TableBuilder(std::uint8_t fileType) : fileType_(fileType) {
    if (fileType != 0x03 && fileType != 0x30 && fileType != 0x31 && fileType != 0x32 &&
        fileType != 0x83 && fileType != 0xF5 && fileType != 0x8B)
        fail("unsupported file type");
    memoExtension_ = memoIsDbt() ? ".dbt" : ".fpt";
    if (memoIsDbt()) memoBlockSize_ = 512;
}

bool TableBuilder::isVfp() const {
    return fileType_ >= 0x30 && fileType_ <= 0x32;
}
bool TableBuilder::memoIsDbt() const {
    return fileType_ == 0x83 || fileType_ == 0x8B;
}

TableBuilder& TableBuilder::codePageMark(std::uint8_t mark) {
    codePageMark_ = mark;
    return *this;
}
TableBuilder& TableBuilder::field(std::string name, char letter, int width, int decimals,
                                  std::uint8_t flags) {
    fields_.push_back({std::move(name), letter, width, decimals, flags});
    return *this;
}
TableBuilder& TableBuilder::zeroFieldOffsets(bool zero) {
    zeroOffsets_ = zero;
    return *this;
}
TableBuilder& TableBuilder::storedOffsets(std::vector<std::uint32_t> offsets) {
    storedOffsets_ = std::move(offsets);
    return *this;
}
TableBuilder& TableBuilder::headerRecordCount(std::uint32_t count) {
    headerCountSet_ = true;
    headerCount_ = count;
    return *this;
}
TableBuilder& TableBuilder::memoExtension(std::string extension) {
    memoExtension_ = std::move(extension);
    return *this;
}
TableBuilder& TableBuilder::backlink(std::string relativePath) {
    backlink_ = std::move(relativePath);
    return *this;
}
TableBuilder& TableBuilder::memoBlockSize(int size) {
    memoBlockSize_ = size;
    return *this;
}
TableBuilder& TableBuilder::record(std::vector<Cell> cells, bool deleted) {
    if (cells.size() != fields_.size())
        fail("record has " + std::to_string(cells.size()) + " cells for " +
             std::to_string(fields_.size()) + " fields");
    rows_.push_back({std::move(cells), deleted});
    return *this;
}

TableBuilder::NullLayout TableBuilder::nullLayout() const {
    NullLayout l;
    int next = 0;
    for (const auto& f : fields_) {
        int var = -1, nul = -1;
        if (isVfp()) {
            if (f.letter == 'V' || f.letter == 'Q') var = next++;
            if (f.flags & 0x02) nul = next++;
        }
        l.varBit.push_back(var);
        l.nullBit.push_back(nul);
    }
    l.nullFlagsWidth = (next + 7) / 8;
    return l;
}

int TableBuilder::recordLength() const {
    int len = 1;
    for (const auto& f : fields_) len += f.width;
    return len + nullLayout().nullFlagsWidth;
}

int TableBuilder::headerLength() const {
    const int n = static_cast<int>(fields_.size()) + (nullLayout().nullFlagsWidth > 0 ? 1 : 0);
    return 32 + 32 * n + 1 + (isVfp() ? 263 : 0);
}

bool TableBuilder::hasMemoFile() const {
    for (const auto& f : fields_) {
        if (f.letter == 'M' || f.letter == 'G' || f.letter == 'W' || f.letter == 'P') return true;
        if (f.letter == 'B' && !isVfp()) return true;
    }
    return false;
}

void TableBuilder::encodeCell(const FieldSpec& f, const Cell& c, std::uint8_t* out,
                              std::vector<std::uint8_t>& flags, int nullBit, int varBit,
                              std::vector<std::uint8_t>& memo) const {
    const auto w = static_cast<std::size_t>(f.width);
    const bool binary = isBinaryStored(f.letter, f.width);
    std::memset(out, binary || f.letter == 'V' || f.letter == 'Q' ? 0 : ' ', w);
    auto setBit = [&](int bit) {
        if (bit < 0) fail("field " + f.name + " has no null/varlength bit");
        flags[static_cast<std::size_t>(bit / 8)] |= static_cast<std::uint8_t>(1u << (bit % 8));
    };
    auto putText = [&](const std::string& s) { std::memcpy(out, s.data(), std::min(s.size(), w)); };
    switch (c.kind) {
        case Cell::Kind::Blank:
            if (f.letter == 'V' || f.letter == 'Q') setBit(varBit);  // length 0
            break;
        case Cell::Kind::Null:
            std::memset(out, binary ? 0 : ' ', w);
            setBit(nullBit);
            break;
        case Cell::Kind::Raw:
            std::memset(out, ' ', w);
            putText(c.bytes);
            break;
        case Cell::Kind::Text:
            if ((f.letter == 'V' || f.letter == 'Q') && c.bytes.size() < w) {
                putText(c.bytes);
                out[w - 1] = static_cast<std::uint8_t>(c.bytes.size());
                setBit(varBit);
            } else {
                std::memset(out, ' ', w);
                putText(c.bytes);
            }
            break;
        case Cell::Kind::Number: {
            if (c.bytes.size() > w) fail("number wider than field " + f.name);
            std::memset(out, ' ', w);
            std::memcpy(out + (w - c.bytes.size()), c.bytes.data(), c.bytes.size());
            break;
        }
        case Cell::Kind::Integer:
            putLe(out, static_cast<std::uint64_t>(c.integer), 4);
            break;
        case Cell::Kind::Currency:
            putLe(out, static_cast<std::uint64_t>(c.integer), 8);
            break;
        case Cell::Kind::Real: {
            std::uint64_t bits = 0;
            std::memcpy(&bits, &c.real, 8);
            putLe(out, bits, 8);
            break;
        }
        case Cell::Kind::Date: {
            char buf[16];
            std::snprintf(buf, sizeof buf, "%04d%02d%02d", c.year, c.month, c.day);
            putText(buf);
            break;
        }
        case Cell::Kind::DateTime: {
            const std::int64_t jd = daysFromCivil(c.year, c.month, c.day) + 2440588;
            const std::int64_t ms =
                ((c.hour * 60 + c.minute) * 60 + c.second) * 1000LL + c.millisecond;
            putLe(out, static_cast<std::uint64_t>(jd), 4);
            putLe(out + 4, static_cast<std::uint64_t>(ms), 4);
            break;
        }
        case Cell::Kind::Logical:
            out[0] = static_cast<std::uint8_t>(c.logicalByte);
            break;
        case Cell::Kind::Memo: {
            const std::size_t bs = static_cast<std::size_t>(memoBlockSize_);
            const std::size_t block = memo.size() / bs;
            if (fileType_ == 0x8B) {
                std::uint8_t head[8] = {0xFF, 0xFF, 0x08, 0x00};
                putLe(head + 4, c.bytes.size() + 8, 4);
                memo.insert(memo.end(), head, head + 8);
                memo.insert(memo.end(), c.bytes.begin(), c.bytes.end());
            } else if (memoIsDbt()) {
                memo.insert(memo.end(), c.bytes.begin(), c.bytes.end());
                memo.push_back(0x1A);
                memo.push_back(0x1A);
            } else {
                std::uint8_t head[8];
                putBe(head, c.memoType, 4);
                putBe(head + 4, c.bytes.size(), 4);
                memo.insert(memo.end(), head, head + 8);
                memo.insert(memo.end(), c.bytes.begin(), c.bytes.end());
            }
            memo.resize((memo.size() + bs - 1) / bs * bs, 0);
            if (w == 4) {
                putLe(out, block, 4);
            } else {
                char buf[32];
                std::snprintf(buf, sizeof buf, "%*zu", f.width, block);
                std::memcpy(out, buf, w);
            }
            break;
        }
    }
}

std::vector<std::uint8_t> TableBuilder::tableBytes() const {
    const NullLayout nl = nullLayout();
    const int recLen = recordLength();
    const int hdrLen = headerLength();
    std::vector<std::uint8_t> out(static_cast<std::size_t>(hdrLen), 0);
    out[0] = fileType_;
    out[1] = 124, out[2] = 1, out[3] = 1;
    putLe(&out[4], headerCountSet_ ? headerCount_ : rows_.size(), 4);
    putLe(&out[8], static_cast<std::uint64_t>(hdrLen), 2);
    putLe(&out[10], static_cast<std::uint64_t>(recLen), 2);
    if (isVfp() && hasMemoFile()) out[28] = 0x02;
    out[29] = codePageMark_;
    std::size_t pos = 32;
    int offset = 1;
    auto descriptor = [&](const std::string& name, char letter, int width, int decimals,
                          std::uint8_t flags) {
        std::memcpy(&out[pos], name.data(), std::min<std::size_t>(name.size(), 10));
        out[pos + 11] = static_cast<std::uint8_t>(letter);
        // dBase III writers leave garbage here; 0 when asked, else the offset.
        const std::size_t index = (pos - 32) / 32;
        const std::uint64_t stored = index < storedOffsets_.size() ? storedOffsets_[index]
                                     : zeroOffsets_                ? 0
                                                    : static_cast<std::uint64_t>(offset);
        putLe(&out[pos + 12], stored, 4);
        out[pos + 16] = static_cast<std::uint8_t>(width);
        out[pos + 17] =
            static_cast<std::uint8_t>(letter == 'C' && width > 255 ? width >> 8 : decimals);
        out[pos + 18] = flags;
        if ((flags & 0x0C) == 0x0C) {
            putLe(&out[pos + 19], 1, 4);
            out[pos + 23] = 1;
        }
        offset += width;
        pos += 32;
    };
    for (const auto& f : fields_) descriptor(f.name, f.letter, f.width, f.decimals, f.flags);
    if (nl.nullFlagsWidth > 0) descriptor("_NullFlags", '0', nl.nullFlagsWidth, 0, 0x05);
    out[pos++] = 0x0D;
    if (isVfp())
        std::memcpy(&out[pos], backlink_.data(), std::min<std::size_t>(backlink_.size(), 263));

    // Memo blocks are handed out in the same order as memoBytes() does.
    std::vector<std::uint8_t> scratchMemo(
        static_cast<std::size_t>(
            memoIsDbt() ? 512 : ((512 + memoBlockSize_ - 1) / memoBlockSize_) * memoBlockSize_),
        0);
    for (const auto& row : rows_) {
        std::vector<std::uint8_t> rec(static_cast<std::size_t>(recLen), 0);
        rec[0] = row.deleted ? 0x2A : 0x20;
        std::vector<std::uint8_t> flags(static_cast<std::size_t>(nl.nullFlagsWidth), 0);
        int off = 1;
        for (std::size_t i = 0; i < fields_.size(); ++i) {
            encodeCell(fields_[i], row.cells[i], &rec[static_cast<std::size_t>(off)], flags,
                       nl.nullBit[i], nl.varBit[i], scratchMemo);
            off += fields_[i].width;
        }
        if (!flags.empty()) std::memcpy(rec.data() + off, flags.data(), flags.size());
        out.insert(out.end(), rec.begin(), rec.end());
    }
    out.push_back(0x1A);
    return out;
}

std::vector<std::uint8_t> TableBuilder::memoBytes() const {
    if (!hasMemoFile()) return {};
    const NullLayout nl = nullLayout();
    const std::size_t bs = static_cast<std::size_t>(memoBlockSize_);
    std::vector<std::uint8_t> memo(memoIsDbt() ? 512 : (512 + bs - 1) / bs * bs, 0);
    std::vector<std::uint8_t> scratch(512);
    for (const auto& row : rows_) {
        std::vector<std::uint8_t> flags(static_cast<std::size_t>(nl.nullFlagsWidth) + 1, 0);
        for (std::size_t i = 0; i < fields_.size(); ++i) {
            scratch.assign(static_cast<std::size_t>(fields_[i].width) + 1, 0);
            if (row.cells[i].kind == Cell::Kind::Memo)
                encodeCell(fields_[i], row.cells[i], scratch.data(), flags, nl.nullBit[i],
                           nl.varBit[i], memo);
        }
    }
    const std::size_t next = memo.size() / bs;
    if (memoIsDbt()) {
        putLe(&memo[0], next, 4);
        if (fileType_ == 0x8B) putLe(&memo[20], bs, 2);
    } else {
        putBe(&memo[0], next, 4);
        putBe(&memo[6], bs, 2);
    }
    return memo;
}

std::string TableBuilder::write(const std::string& dbfPath) const {
    writeFile(dbfPath, tableBytes());
    if (!hasMemoFile()) return "";
    std::string stem = dbfPath;
    const auto dot = stem.rfind('.');
    const auto slash = stem.rfind('/');
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) stem.resize(dot);
    const std::string memoPath = stem + memoExtension_;
    writeFile(memoPath, memoBytes());
    return memoPath;
}

namespace {

// One property entry of a container record: LE32 length (header included),
// two bytes, a one-byte id, the value ending in NUL.
std::string containerProperty(std::uint8_t id, const std::string& value) {
    std::string entry(7, '\0');
    const std::size_t length = 7 + value.size() + 1;
    for (int i = 0; i < 4; ++i)
        entry[static_cast<std::size_t>(i)] = static_cast<char>(length >> (8 * i));
    entry[4] = 1;
    entry[6] = static_cast<char>(id);
    return entry + value + '\0';
}

}  // namespace

ContainerBuilder& ContainerBuilder::table(std::string name, std::string relativePath) {
    objects_.push_back({"Table", std::move(name), std::move(relativePath), false, 1, ""});
    lastTable_ = static_cast<int>(objects_.size()) + 1;  // ids count from 2 after the Database
    return *this;
}

ContainerBuilder& ContainerBuilder::field(std::string longName, bool deleted) {
    objects_.push_back({"Field", std::move(longName), "", deleted, lastTable_, ""});
    return *this;
}

ContainerBuilder& ContainerBuilder::primaryKey(std::string tag) {
    objects_[static_cast<std::size_t>(lastTable_ - 2)].property += containerProperty(0x14, tag);
    return *this;
}

ContainerBuilder& ContainerBuilder::index(std::string tag, bool candidate) {
    objects_.push_back({"Index", std::move(tag), "", false, lastTable_,
                        containerProperty(0x11, candidate ? "\x01" : std::string(1, '\0'))});
    return *this;
}

void ContainerBuilder::write(const std::string& dbcPath) const {
    TableBuilder dbc(0x30);
    dbc.field("OBJECTID", 'I', 4)
        .field("PARENTID", 'I', 4)
        .field("OBJECTTYPE", 'C', 10)
        .field("OBJECTNAME", 'C', 128)
        .field("PROPERTY", 'M', 4, 0, 0x04)
        .memoExtension(".dct");
    dbc.record({Cell::integer32(1), Cell::integer32(1), Cell::text("Database"),
                Cell::text("Database"), Cell::none()});
    int id = 2;
    for (const Object& o : objects_) {
        const std::string blob =
            (o.path.empty() ? "" : containerProperty(0x01, o.path)) + o.property;
        const Cell property = blob.empty() ? Cell::none() : Cell::memo(blob, 0);
        dbc.record({Cell::integer32(id++), Cell::integer32(o.parent), Cell::text(o.type),
                    Cell::text(o.name), property},
                   o.deleted);
    }
    dbc.write(dbcPath);
}

std::string writeSampleContainer(const std::string& folder) {
    const std::string dbc = folder + "/shop.dbc";
    ContainerBuilder container;
    container.table("customers", "customers.dbf")
        .field("customer_number")
        .field("company_name")
        .field("city");
    container.table("setup").field("key").field("val");
    container.write(dbc);

    TableBuilder customers(0x30);
    customers.backlink("shop.dbc")
        .field("CUSTOMER_N", 'I', 4)
        .field("COMPANY_NA", 'C', 20)
        .field("CITY", 'C', 10);
    customers.record({Cell::integer32(1), Cell::text("Cascade Coffee"), Cell::text("Paris")});
    customers.record({Cell::integer32(2), Cell::text("Blue Mill"), Cell::text("Rome")});
    customers.write(folder + "/customers.dbf");
    TableBuilder setup(0x30);
    setup.backlink("shop.dbc").field("KEY", 'C', 6).field("VAL", 'C', 6);
    setup.record({Cell::text("mode"), Cell::text("fast")});
    setup.write(folder + "/setup.dbf");
    return dbc;
}

TempFolder::TempFolder() {
    const std::filesystem::path base = std::filesystem::temp_directory_path();
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::filesystem::path candidate = base / ("quorvel-test-" + std::to_string(random()));
        std::error_code ec;
        if (std::filesystem::create_directory(candidate, ec)) {
            path_ = candidate.string();
            return;
        }
    }
    throw std::runtime_error("cannot create a temporary folder");
}

TempFolder::~TempFolder() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

std::vector<std::uint8_t> readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string readText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path);
}

void setBytes(const std::string& path, std::size_t offset, const std::vector<std::uint8_t>& bytes) {
    auto data = readFile(path);
    if (offset + bytes.size() > data.size())
        throw std::out_of_range("setBytes past end of " + path);
    // Written in place, as another program's edit would be (and as Windows
    // allows while a reader has the file mapped).
    std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
    file.seekp(static_cast<std::streamoff>(offset));
    file.write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    if (!file.flush()) throw std::runtime_error("cannot write " + path);
}

void flipByte(const std::string& path, std::size_t offset, std::uint8_t mask) {
    auto data = readFile(path);
    if (offset >= data.size()) throw std::out_of_range("flipByte past end of " + path);
    setByte(path, offset, data[offset] ^ mask);
}

void setByte(const std::string& path, std::size_t offset, std::uint8_t value) {
    setBytes(path, offset, {value});
}

void truncateTo(const std::string& path, std::size_t size) {
    std::filesystem::resize_file(path, size);
}

void truncateBy(const std::string& path, std::size_t bytes) {
    const auto size = std::filesystem::file_size(path);
    truncateTo(path, bytes > size ? 0 : static_cast<std::size_t>(size - bytes));
}

}  // namespace quorvel::test
