// An SQLite table as a side, through libsqlite3 loaded at run time: the
// program starts and reads FoxPro tables where the library is missing.

#include <memory>

#include "foxpro/platform/shared_library.h"
#include "sides/side_stream.h"

namespace quorvel::sides {

namespace {

struct sqlite3;
struct sqlite3_stmt;

constexpr int kOk = 0;
constexpr int kRow = 100;
constexpr int kDone = 101;
constexpr int kOpenReadOnly = 0x01;
constexpr int kOpenUri = 0x40;
constexpr int kInteger = 1;
constexpr int kFloat = 2;
constexpr int kBlob = 4;
constexpr int kNull = 5;

// The few functions of the C API that a read needs.
struct SqliteApi {
    int (*open_v2)(const char*, sqlite3**, int, const char*);
    int (*close)(sqlite3*);
    const char* (*errmsg)(sqlite3*);
    int (*prepare_v2)(sqlite3*, const char*, int, sqlite3_stmt**, const char**);
    int (*step)(sqlite3_stmt*);
    int (*finalize)(sqlite3_stmt*);
    int (*column_count)(sqlite3_stmt*);
    const char* (*column_name)(sqlite3_stmt*, int);
    const char* (*column_decltype)(sqlite3_stmt*, int);
    int (*column_type)(sqlite3_stmt*, int);
    const unsigned char* (*column_text)(sqlite3_stmt*, int);
    const void* (*column_blob)(sqlite3_stmt*, int);
    int (*column_bytes)(sqlite3_stmt*, int);
    std::unique_ptr<foxpro::platform::SharedLibrary> library;
};

const SqliteApi& api() {
    static const SqliteApi loaded = [] {
        SqliteApi a{};
        std::string problem;
        a.library =
            foxpro::platform::loadSharedLibrary({"libsqlite3.so.0", "libsqlite3.so"}, problem);
        if (!a.library) return a;
        const foxpro::platform::SharedLibrary& lib = *a.library;
        // Every function or none: a library without one of them is not used.
        const bool all =
            lib.bind(a.open_v2, "sqlite3_open_v2") && lib.bind(a.close, "sqlite3_close") &&
            lib.bind(a.errmsg, "sqlite3_errmsg") && lib.bind(a.prepare_v2, "sqlite3_prepare_v2") &&
            lib.bind(a.step, "sqlite3_step") && lib.bind(a.finalize, "sqlite3_finalize") &&
            lib.bind(a.column_count, "sqlite3_column_count") &&
            lib.bind(a.column_name, "sqlite3_column_name") &&
            lib.bind(a.column_decltype, "sqlite3_column_decltype") &&
            lib.bind(a.column_type, "sqlite3_column_type") &&
            lib.bind(a.column_text, "sqlite3_column_text") &&
            lib.bind(a.column_blob, "sqlite3_column_blob") &&
            lib.bind(a.column_bytes, "sqlite3_column_bytes");
        if (!all) a.library.reset();
        return a;
    }();
    if (!loaded.library)
        throw SideError(
            "sqlite: support not built: libsqlite3.so.0 (Debian: libsqlite3-0) "
            "cannot be loaded");
    return loaded;
}

std::string lower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

std::string quotedName(const std::string& name) {
    std::string out = "\"";
    for (char c : name) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + "\"";
}

// file: URI of a path, for immutable=1.
std::string fileUri(const std::string& path, bool immutable) {
    std::string out = "file:";
    static const char* hex = "0123456789ABCDEF";
    for (unsigned char c : path) {
        if (c == '?' || c == '#' || c == '%' || c < 0x20) {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + (immutable ? "?immutable=1" : "?mode=ro");
}

class Database {
  public:
    explicit Database(const SideUri& side) : api_(api()), name_(side.location) {
        const std::string flag = side.parameter("immutable", "no");
        const bool immutable = flag == "yes" || flag == "1";
        // Read-only: a missing file is an error, never a new empty database.
        const int rc = api_.open_v2(fileUri(side.location, immutable).c_str(), &db_,
                                    kOpenReadOnly | kOpenUri, nullptr);
        if (rc != kOk) {
            const std::string why = db_ ? api_.errmsg(db_) : "out of memory";
            if (db_) api_.close(db_);
            throw SideError(name_ + ": " + why);
        }
    }
    ~Database() {
        if (db_) api_.close(db_);
    }
    sqlite3_stmt* prepare(const std::string& sql) {
        sqlite3_stmt* statement = nullptr;
        if (api_.prepare_v2(db_, sql.c_str(), -1, &statement, nullptr) != kOk)
            throw SideError(name_ + ": " + api_.errmsg(db_));
        return statement;
    }
    [[noreturn]] void fail() const { throw SideError(name_ + ": " + api_.errmsg(db_)); }
    const SqliteApi& api_;

  private:
    std::string name_;
    sqlite3* db_ = nullptr;
};

class SqliteSide : public SideStream {
  public:
    explicit SqliteSide(const SideUri& side) : db_(side) {
        // Stored order is the rowid's: asked for, since position pairing uses it.
        const std::string table = quotedName(side.table);
        try {
            statement_ = db_.prepare("SELECT * FROM " + table + " ORDER BY _rowid_");
        } catch (const SideError&) {
            statement_ = db_.prepare("SELECT * FROM " + table);  // a view, a WITHOUT ROWID table
        }
        const SqliteApi& a = db_.api_;
        for (int i = 0; i < a.column_count(statement_); ++i) {
            const char* type = a.column_decltype(statement_, i);
            columns_.push_back({a.column_name(statement_, i), lower(type ? type : "")});
        }
    }
    ~SqliteSide() override { db_.api_.finalize(statement_); }

    bool next(std::vector<SideCell>& row) override {
        const SqliteApi& a = db_.api_;
        const int rc = a.step(statement_);
        if (rc == kDone) return false;
        if (rc != kRow) db_.fail();
        row.resize(columns_.size());
        for (int i = 0; i < static_cast<int>(columns_.size()); ++i) {
            SideCell& cell = row[static_cast<std::size_t>(i)];
            const int type = a.column_type(statement_, i);
            cell.null = type == kNull;
            cell.blank = false;
            cell.storage = type == kInteger ? CellStorage::Integer
                           : type == kFloat ? CellStorage::Real
                           : type == kBlob  ? CellStorage::Blob
                                            : CellStorage::Text;
            if (cell.null) {
                cell.text.clear();
            } else if (type == kBlob) {
                const void* data = a.column_blob(statement_, i);
                cell.text.assign(static_cast<const char*>(data),
                                 static_cast<std::size_t>(a.column_bytes(statement_, i)));
            } else {
                const unsigned char* text = a.column_text(statement_, i);
                cell.text.assign(reinterpret_cast<const char*>(text),
                                 static_cast<std::size_t>(a.column_bytes(statement_, i)));
            }
        }
        return true;
    }

  private:
    Database db_;
    sqlite3_stmt* statement_ = nullptr;
};

}  // namespace

std::unique_ptr<SideStream> openSqliteSide(const SideUri& side) {
    return std::make_unique<SqliteSide>(side);
}

std::vector<std::string> sqliteTableNames(const SideUri& side) {
    Database db(side);
    sqlite3_stmt* statement = db.prepare(
        "SELECT name FROM sqlite_master WHERE type IN ('table', 'view') AND name NOT "
        "LIKE 'sqlite\\_%' ESCAPE '\\' ORDER BY name");
    std::vector<std::string> names;
    int rc;
    while ((rc = db.api_.step(statement)) == kRow)
        names.emplace_back(reinterpret_cast<const char*>(db.api_.column_text(statement, 0)));
    db.api_.finalize(statement);
    if (rc != kDone) db.fail();
    return names;
}

}  // namespace quorvel::sides
