#include "foxpro/sql/connection.h"

#include <variant>

#include "foxpro/format/ascii_case.h"
#include "foxpro/foxpro_error.h"
#include "foxpro/read/table_reader.h"
#include "foxpro/source/data_source.h"
#include "foxpro/sql/sql.h"
#include "foxpro/sql/write_statements.h"
#include "foxpro/text/code_page.h"
#include "foxpro/text/code_page_name.h"
#include "foxpro/write/target_table.h"

namespace quorvel::foxpro {

namespace {

std::string trim(std::string_view s) {
    std::size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t')) ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t')) --e;
    return std::string(s.substr(b, e - b));
}

std::string lower(std::string s) {
    for (auto& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    return s;
}

struct ConnectionString {
    std::string provider;
    bool hasDataSource = false;
    std::string dataSource;
    std::string collatingSequence;
    std::string codePage;
};

// key=value pairs separated by ';'.  A value may be quoted with '"' (a
// doubled '"' inside stands for one) so that it can hold ';'.
ConnectionString parseConnectionString(const std::string& text) {
    ConnectionString result;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t eq = text.find('=', pos);
        const std::size_t semi = text.find(';', pos);
        if (eq == std::string::npos || (semi != std::string::npos && semi < eq)) {
            if (!trim(text.substr(pos, semi == std::string::npos ? std::string::npos : semi - pos))
                     .empty())
                throw FoxProError(kErrorInvalidArgument,
                                  "connection string: a part without '=': " + text);
            if (semi == std::string::npos) break;
            pos = semi + 1;
            continue;
        }
        const std::string key = lower(trim(text.substr(pos, eq - pos)));
        std::size_t v = eq + 1;
        while (v < text.size() && (text[v] == ' ' || text[v] == '\t')) ++v;
        std::string value;
        if (v < text.size() && text[v] == '"') {
            ++v;
            bool closed = false;
            while (v < text.size()) {
                if (text[v] == '"') {
                    if (v + 1 < text.size() && text[v + 1] == '"') {
                        value.push_back('"');
                        v += 2;
                        continue;
                    }
                    ++v;
                    closed = true;
                    break;
                }
                value.push_back(text[v++]);
            }
            if (!closed)
                throw FoxProError(kErrorInvalidArgument,
                                  "connection string: unclosed '\"' in " + key);
            const std::size_t next = text.find(';', v);
            if (!trim(text.substr(v, next == std::string::npos ? std::string::npos : next - v))
                     .empty())
                throw FoxProError(kErrorInvalidArgument,
                                  "connection string: text after the quoted value of " + key);
            pos = next == std::string::npos ? text.size() : next + 1;
        } else {
            const std::size_t next = text.find(';', v);
            value = trim(text.substr(v, next == std::string::npos ? std::string::npos : next - v));
            pos = next == std::string::npos ? text.size() : next + 1;
        }
        if (key == "provider") {
            result.provider = value;
        } else if (key == "data source") {
            result.hasDataSource = true;
            result.dataSource = value;
        } else if (key == "collating sequence") {
            result.collatingSequence = value;
        } else if (key == "code page") {
            result.codePage = value;
        }
        // Other keys (user id, password, ...) mean nothing to free tables.
    }
    return result;
}

}  // namespace

Connection::Connection() = default;
Connection::~Connection() = default;

void Connection::open(const std::string& connectionString) {
    const ConnectionString cs = parseConnectionString(connectionString);
    const std::string provider = lower(cs.provider);
    if (provider != "vfpoledb" && provider != "vfpoledb.1")
        throw FoxProError(kErrorProviderNotFound,
                          "Provider cannot be found. It may not be properly installed.");
    if (!cs.hasDataSource || cs.dataSource.empty())
        throw FoxProError(kErrorInvalidArgument, "connection string names no Data Source");
    int codePage = 0;
    if (!cs.codePage.empty()) {
        codePage = codePageNamed(cs.codePage);
        if (codePage == 0)
            throw FoxProError(kErrorInvalidArgument,
                              "connection string: '" + cs.codePage + "' names no code page");
        if (!canConvertCodePage(codePage))
            throw FoxProError(kErrorInvalidArgument, "code page " + codePageName(codePage) +
                                                         " cannot be converted on this system");
    }
    releaseTable();
    source_.reset();
    source_ = DataSource::open(cs.dataSource, codePage);
}

void Connection::close() {
    releaseTable();
    source_.reset();
}

void Connection::holdTable(const std::string& table, bool buffered) {
    releaseTable();
    heldName_ = table;
    heldBuffered_ = buffered;
}

void Connection::finishTable() {
    if (held_) held_->finishWrites();
    releaseTable();
}

void Connection::releaseTable() {
    held_.reset();
    heldName_.clear();
    heldBuffered_ = false;
}

TargetTable& Connection::writeTarget(const std::string& table) {
    if (!held_) {
        held_ = openWriteTarget(source(), table);
        if (heldBuffered_) held_->bufferWrites();
    }
    return *held_;
}

bool Connection::namesHeldTable(const std::string& table) const {
    // A batch names its table the same way every time: the exact match
    // spares the comparison without case.
    return !heldName_.empty() && (table == heldName_ || equalsNoCase(table, heldName_));
}

DataSource& Connection::source() const {
    if (!source_)
        throw FoxProError(kErrorObjectClosed,
                          "Operation is not allowed when the object is closed.");
    return *source_;
}

std::vector<std::string> Connection::tableNames() const {
    return source().tableNames();
}

Value Connection::execute(const std::string& sql) {
    source();  // a closed connection says so before the statement is read
    return execute(parseStatement(sql));
}

Value Connection::execute(const Statement& statement) {
    DataSource& src = source();
    if (const auto* select = std::get_if<SelectStatement>(&statement)) {
        if (select->intoTable) {
            // A held table that the copy replaces is let go first.
            if (!heldName_.empty() && equalsNoCase(*select->intoTable, heldName_)) releaseTable();
            executeCopy(src, *select, replaceTables_);
            return Value::null();
        }
        auto reader = src.openTable(select->table);
        if (select->count) return Value::integer(reader->liveCount());
        // A row-returning SELECT: its first column of the first row.
        const std::int64_t index =
            select->recno ? reader->liveIndex(*select->recno) : reader->nextLive(0);
        if (index < 0 || index >= reader->storedCount()) return Value::null();
        return reader->value(reader->storedRecord(index), 0);
    }
    if (const auto* update = std::get_if<UpdateStatement>(&statement)) {
        if (namesHeldTable(update->table))
            executeUpdate(writeTarget(update->table), *update);
        else
            executeUpdate(src, *update);
        return Value::null();
    }
    const auto& insert = std::get<InsertStatement>(statement);
    if (namesHeldTable(insert.table))
        executeInsert(writeTarget(insert.table), insert);
    else
        executeInsert(src, insert);
    return Value::null();
}

}  // namespace quorvel::foxpro
