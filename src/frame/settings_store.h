#pragma once

#include <cstddef>
#include <map>
#include <string>

namespace quorvel::frame {

// The keys of the store (application "Velkorn", section "Quorvel").
inline constexpr const char* kKeyFreeTableFolder = "FreeTableFolder";
inline constexpr const char* kKeyFreeTableFolder2 = "FreeTableFolder2";
inline constexpr const char* kKeyDBCFile = "DBCFile";
inline constexpr const char* kKeyDBCFile2 = "DBCFile2";
inline constexpr const char* kKeyFoxproOption = "FoxproOption";
inline constexpr const char* kKeyFoxproOption2 = "FoxproOption2";

// The code page chosen for the tables of a source: a Windows code page
// number, or "" for automatic (each table says).
inline constexpr const char* kKeyCodePage = "CodePage";
inline constexpr const char* kKeyCodePage2 = "CodePage2";

// The table-choice window's record pairing: the last choice ("Position",
// "Key" or "Content") and, per pair of tables, the key fields last ticked
// (names joined by ",").
inline constexpr const char* kKeyPairRecordsBy = "PairRecordsBy";
// "KeyFields/" + Table #1's name + "/" + Table #2's name, names in lower
// case (tables are named without regard to case) with '/' and '\' made '_'
// (the store reads them as group separators).
std::string keyFieldsKey(const std::string& table1, const std::string& table2);
// The comparison options of the Options dialog per pair of tables (a text of
// compare::optionsText): "CompareOptions/" + the two names as above.
std::string compareOptionsKey(const std::string& table1, const std::string& table2);

// Whether the results and new-table windows show the detail pane of the
// selected line: "Hidden" or anything else (shown, the default).
inline constexpr const char* kKeyRecordDetails = "RecordDetails";

// Kind codes stored under the FoxproOption keys.
inline constexpr const char* kKindContainer = "1";
inline constexpr const char* kKindFolder = "2";

// The keys of source n (any n other than 1 is source 2).
const char* folderKey(int source);
const char* dbcFileKey(int source);
const char* kindKey(int source);
const char* codePageKey(int source);

// Per-user store of string values.  A key never written reads as "".
// SaveSetting writes through at once: there is no batching and no flush.
class SettingsStore {
  public:
    virtual ~SettingsStore() = default;
    virtual std::string GetSetting(const std::string& key) const = 0;
    virtual void SaveSetting(const std::string& key, const std::string& value) = 0;
};

// The longest path a system takes (Linux's PATH_MAX, in bytes).
inline constexpr std::size_t kLongestPath = 4096;

// A value the start-up sequence reads back (a folder, a container's path, a
// kind or code page), or "" as if it had never been written when it is
// longer than any path can be: such a text is no choice of the user's but a
// damaged or hand-edited store, and putting megabytes into a folder box
// would hold the windows up for a long time.
std::string GetStartupSetting(const SettingsStore& store, const std::string& key);

// The store of tests and of the command-line tool: nothing leaves memory.
class MemorySettingsStore : public SettingsStore {
  public:
    std::string GetSetting(const std::string& key) const override;
    void SaveSetting(const std::string& key, const std::string& value) override;

    bool contains(const std::string& key) const { return values_.count(key) != 0; }
    const std::map<std::string, std::string>& values() const { return values_; }
    // Number of SaveSetting calls so far, to tell "saved again" from "left alone".
    int saveCount() const { return saveCount_; }

  private:
    std::map<std::string, std::string> values_;
    int saveCount_ = 0;
};

}  // namespace quorvel::frame
