#include "write_helpers_test.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "foxpro/foxpro_error.h"
#include "foxpro/read/table_reader.h"
#include "foxpro/text/text_form.h"

namespace quorvel::foxpro::writetest {

std::vector<std::vector<std::string>> readRows(const std::string& dbfPath) {
    TableReader table(dbfPath);
    std::vector<std::vector<std::string>> rows;
    for (std::int64_t i = table.nextLive(0); i < table.storedCount(); i = table.nextLive(i + 1)) {
        auto record = table.storedRecord(i);
        std::vector<std::string> row;
        for (int f = 0; f < table.fieldCount(); ++f) {
            Value v = table.value(record, f);
            row.push_back(v.isNull() ? "<null>" : textForm(v, TextLocale::c()));
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

std::vector<std::string> listFolder(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::string runOnNewConnection(const std::string& folder, const std::string& sql) {
    try {
        Connection c;
        c.open("Provider=vfpoledb.1;Data Source=" + folder + ";Collating Sequence=general;");
        c.execute(sql);
    } catch (const FoxProError& e) {
        return e.description();
    }
    return "";
}

FolderSource::FolderSource() = default;

Connection& FolderSource::connection() {
    if (!connection_.isOpen())
        connection_.open("Provider=vfpoledb.1;Data Source=" + dir_.path() +
                         ";Collating Sequence=general;");
    return connection_;
}

std::string FolderSource::failure(const std::string& sql) {
    try {
        connection().execute(sql);
    } catch (const FoxProError& e) {
        return e.description();
    }
    return "";
}

}  // namespace quorvel::foxpro::writetest
