#include "frame/settings_store.h"

#include "foxpro/format/ascii_case.h"

namespace quorvel::frame {

const char* folderKey(int source) {
    return source == 1 ? kKeyFreeTableFolder : kKeyFreeTableFolder2;
}
const char* dbcFileKey(int source) {
    return source == 1 ? kKeyDBCFile : kKeyDBCFile2;
}
const char* kindKey(int source) {
    return source == 1 ? kKeyFoxproOption : kKeyFoxproOption2;
}
const char* codePageKey(int source) {
    return source == 1 ? kKeyCodePage : kKeyCodePage2;
}

namespace {

std::string pairKey(const char* group, const std::string& table1, const std::string& table2) {
    auto part = [](const std::string& name) {
        std::string text = foxpro::lowerAscii(name);
        for (char& c : text)
            if (c == '/' || c == '\\') c = '_';
        return text;
    };
    return group + ('/' + part(table1)) + "/" + part(table2);
}

}  // namespace

std::string keyFieldsKey(const std::string& table1, const std::string& table2) {
    return pairKey("KeyFields", table1, table2);
}

std::string compareOptionsKey(const std::string& table1, const std::string& table2) {
    return pairKey("CompareOptions", table1, table2);
}

std::string GetStartupSetting(const SettingsStore& store, const std::string& key) {
    std::string value = store.GetSetting(key);
    return value.size() > kLongestPath ? std::string() : value;
}

std::string MemorySettingsStore::GetSetting(const std::string& key) const {
    const auto it = values_.find(key);
    return it == values_.end() ? std::string() : it->second;
}

void MemorySettingsStore::SaveSetting(const std::string& key, const std::string& value) {
    values_[key] = value;
    ++saveCount_;
}

}  // namespace quorvel::frame
