// A PostgreSQL table as a side, through libpq loaded at run time.  Read in
// a read-only transaction in single-row mode: a table of any size streams
// in constant memory.  Everything the URI leaves out (host, user, password,
// service) comes from the PG* environment, ~/.pgpass and service files, as
// libpq reads them.

#include <cstdlib>
#include <memory>

#include "foxpro/platform/shared_library.h"
#include "sides/side_stream.h"

namespace quorvel::sides {

namespace {

struct PGconn;
struct PGresult;

constexpr int kConnectionOk = 0;
constexpr int kCommandOk = 1;
constexpr int kTuplesOk = 2;
constexpr int kSingleTuple = 9;
// Type numbers of pg_type that read as other than text.
constexpr unsigned kBytea = 17, kInt8 = 20, kInt2 = 21, kInt4 = 23, kFloat4 = 700, kFloat8 = 701;

struct PqApi {
    PGconn* (*connectdb)(const char*);
    int (*status)(const PGconn*);
    char* (*errorMessage)(const PGconn*);
    void (*finish)(PGconn*);
    PGresult* (*exec)(PGconn*, const char*);
    int (*resultStatus)(const PGresult*);
    char* (*resultErrorMessage)(const PGresult*);
    void (*clear)(PGresult*);
    int (*sendQuery)(PGconn*, const char*);
    int (*setSingleRowMode)(PGconn*);
    PGresult* (*getResult)(PGconn*);
    int (*ntuples)(const PGresult*);
    int (*nfields)(const PGresult*);
    char* (*getvalue)(const PGresult*, int, int);
    int (*getlength)(const PGresult*, int, int);
    int (*getisnull)(const PGresult*, int, int);
    unsigned (*ftype)(const PGresult*, int);
    char* (*escapeIdentifier)(PGconn*, const char*, std::size_t);
    char* (*escapeLiteral)(PGconn*, const char*, std::size_t);
    void (*freemem)(void*);
    std::unique_ptr<foxpro::platform::SharedLibrary> library;
};

const PqApi& api() {
    static const PqApi loaded = [] {
        PqApi a{};
        std::string problem;
        a.library = foxpro::platform::loadSharedLibrary({"libpq.so.5", "libpq.so"}, problem);
        if (!a.library) return a;
        const foxpro::platform::SharedLibrary& lib = *a.library;
        // Every function or none: a library without one of them is not used.
        const bool all =
            lib.bind(a.connectdb, "PQconnectdb") && lib.bind(a.status, "PQstatus") &&
            lib.bind(a.errorMessage, "PQerrorMessage") && lib.bind(a.finish, "PQfinish") &&
            lib.bind(a.exec, "PQexec") && lib.bind(a.resultStatus, "PQresultStatus") &&
            lib.bind(a.resultErrorMessage, "PQresultErrorMessage") &&
            lib.bind(a.clear, "PQclear") && lib.bind(a.sendQuery, "PQsendQuery") &&
            lib.bind(a.setSingleRowMode, "PQsetSingleRowMode") &&
            lib.bind(a.getResult, "PQgetResult") && lib.bind(a.ntuples, "PQntuples") &&
            lib.bind(a.nfields, "PQnfields") && lib.bind(a.getvalue, "PQgetvalue") &&
            lib.bind(a.getlength, "PQgetlength") && lib.bind(a.getisnull, "PQgetisnull") &&
            lib.bind(a.ftype, "PQftype") && lib.bind(a.escapeIdentifier, "PQescapeIdentifier") &&
            lib.bind(a.escapeLiteral, "PQescapeLiteral") && lib.bind(a.freemem, "PQfreemem");
        if (!all) a.library.reset();
        return a;
    }();
    if (!loaded.library)
        throw SideError(
            "postgresql: support not built: libpq.so.5 (Debian: libpq5) cannot be "
            "loaded");
    return loaded;
}

// The first line of a libpq message: the rest points into the statement.
std::string trimmed(const char* text) {
    std::string s = text ? text : "";
    s = s.substr(0, s.find('\n'));
    while (!s.empty() && (s.back() == '\n' || s.back() == ' ')) s.pop_back();
    return s;
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return 0;
}

class Connection {
  public:
    explicit Connection(const SideUri& side) : api_(api()), name_(side.text) {
        conn_ = api_.connectdb(side.location.c_str());
        if (!conn_ || api_.status(conn_) != kConnectionOk) {
            const std::string why = conn_ ? trimmed(api_.errorMessage(conn_)) : "out of memory";
            if (conn_) api_.finish(conn_);
            throw SideError(name_ + ": " + why);
        }
    }
    ~Connection() { api_.finish(conn_); }

    void run(const std::string& sql) {
        PGresult* r = api_.exec(conn_, sql.c_str());
        const int status = api_.resultStatus(r);
        const std::string why = trimmed(api_.resultErrorMessage(r));
        api_.clear(r);
        if (status != kCommandOk && status != kTuplesOk) throw SideError(name_ + ": " + why);
    }
    // Runs a query of small results whole: column lists, table names.
    std::vector<std::vector<std::string>> rows(const std::string& sql) {
        PGresult* r = api_.exec(conn_, sql.c_str());
        if (api_.resultStatus(r) != kTuplesOk) {
            const std::string why = trimmed(api_.resultErrorMessage(r));
            api_.clear(r);
            throw SideError(name_ + ": " + why);
        }
        std::vector<std::vector<std::string>> out;
        for (int i = 0; i < api_.ntuples(r); ++i) {
            out.emplace_back();
            for (int j = 0; j < api_.nfields(r); ++j)
                out.back().emplace_back(api_.getvalue(r, i, j));
        }
        api_.clear(r);
        return out;
    }
    std::string identifier(const std::string& name) { return escaped(api_.escapeIdentifier, name); }
    std::string literal(const std::string& text) { return escaped(api_.escapeLiteral, text); }

    const PqApi& api_;
    std::string name_;
    PGconn* conn_ = nullptr;

  private:
    std::string escaped(char* (*fn)(PGconn*, const char*, std::size_t), const std::string& s) {
        char* e = fn(conn_, s.data(), s.size());
        if (!e) throw SideError(name_ + ": " + trimmed(api_.errorMessage(conn_)));
        std::string out = e;
        api_.freemem(e);
        return out;
    }
};

// "[schema.]NAME" as a quoted qualified name.
std::string qualifiedName(Connection& c, const std::string& table) {
    const std::size_t dot = table.find('.');
    if (dot == std::string::npos) return c.identifier(table);
    return c.identifier(table.substr(0, dot)) + "." + c.identifier(table.substr(dot + 1));
}

class PostgresSide : public SideStream {
  public:
    PostgresSide(const SideUri& side, const std::string& timeZone) : c_(side) {
        c_.run("SET client_encoding TO 'UTF8'");
        c_.run("BEGIN TRANSACTION ISOLATION LEVEL REPEATABLE READ READ ONLY");
        // Values in the forms the comparison reads: ISO dates, hex bytea.
        c_.run("SET LOCAL DateStyle TO ISO");
        c_.run("SET LOCAL bytea_output TO hex");
        c_.run("SET LOCAL extra_float_digits TO 1");
        c_.run("SET LOCAL TimeZone TO " + c_.literal(timeZone.empty() ? "UTC" : timeZone));
        const std::string table = qualifiedName(c_, side.table);
        for (auto& row : c_.rows("SELECT attname, format_type(atttypid, atttypmod) FROM "
                                 "pg_attribute WHERE attrelid = " +
                                 c_.literal(table) +
                                 "::regclass AND attnum > 0 AND NOT attisdropped ORDER BY attnum"))
            columns_.push_back({row[0], row[1]});
        if (c_.api_.sendQuery(c_.conn_, ("SELECT * FROM " + table).c_str()) != 1 ||
            c_.api_.setSingleRowMode(c_.conn_) != 1)
            throw SideError(c_.name_ + ": " + trimmed(c_.api_.errorMessage(c_.conn_)));
        sent_ = true;
    }
    ~PostgresSide() override {
        // A table read only in part: the rest is cancelled with the connection.
        if (result_) c_.api_.clear(result_);
    }
    bool ordered() const override { return false; }

    bool next(std::vector<SideCell>& row) override {
        const PqApi& a = c_.api_;
        if (result_) a.clear(result_);
        result_ = sent_ ? a.getResult(c_.conn_) : nullptr;
        if (!result_) return false;
        const int status = a.resultStatus(result_);
        if (status == kTuplesOk) {  // the end: the last, empty result
            a.clear(result_);
            result_ = nullptr;
            while (PGresult* r = a.getResult(c_.conn_)) a.clear(r);
            sent_ = false;
            return false;
        }
        if (status != kSingleTuple) {
            const std::string why = trimmed(a.resultErrorMessage(result_));
            throw SideError(c_.name_ + ": " + why);
        }
        const int n = a.nfields(result_);
        row.resize(static_cast<std::size_t>(n));
        for (int i = 0; i < n; ++i) {
            SideCell& cell = row[static_cast<std::size_t>(i)];
            cell.null = a.getisnull(result_, 0, i) != 0;
            cell.blank = false;
            const unsigned type = a.ftype(result_, i);
            cell.storage = type == kInt2 || type == kInt4 || type == kInt8 ? CellStorage::Integer
                           : type == kFloat4 || type == kFloat8            ? CellStorage::Real
                           : type == kBytea                                ? CellStorage::Blob
                                                                           : CellStorage::Text;
            const char* value = a.getvalue(result_, 0, i);
            const auto length = static_cast<std::size_t>(a.getlength(result_, 0, i));
            cell.text.clear();
            if (cell.null) continue;
            if (cell.storage == CellStorage::Blob && length >= 2 && value[0] == '\\' &&
                value[1] == 'x') {
                for (std::size_t k = 2; k + 1 < length; k += 2)
                    cell.text +=
                        static_cast<char>(hexValue(value[k]) * 16 + hexValue(value[k + 1]));
            } else {
                cell.text.assign(value, length);
            }
        }
        return true;
    }

  private:
    Connection c_;
    PGresult* result_ = nullptr;
    bool sent_ = false;
};

}  // namespace

std::unique_ptr<SideStream> openPostgresSide(const SideUri& side, const std::string& timeZone) {
    return std::make_unique<PostgresSide>(side, timeZone);
}

std::vector<std::string> postgresTableNames(const SideUri& side) {
    Connection c(side);
    c.run("SET client_encoding TO 'UTF8'");
    std::vector<std::string> names;
    for (auto& row :
         c.rows("SELECT CASE WHEN table_schema = 'public' THEN table_name ELSE table_schema || "
                "'.' || table_name END FROM information_schema.tables WHERE table_schema NOT IN "
                "('pg_catalog', 'information_schema') ORDER BY table_schema <> 'public', "
                "table_schema COLLATE \"C\", table_name COLLATE \"C\""))
        names.push_back(row[0]);
    return names;
}

}  // namespace quorvel::sides
