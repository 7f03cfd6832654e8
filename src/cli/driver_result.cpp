#include "cli/driver_result.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <set>
#include <stdexcept>
#include <vector>

#include "cli/scratch_folder.h"
#include "foxpro/format/dbf_format.h"
#include "foxpro/foxpro_error.h"
#include "foxpro/index/cdx_reader.h"
#include "foxpro/index/cdx_writer.h"
#include "foxpro/read/file_names.h"
#include "foxpro/read/table_reader.h"
#include "foxpro/write/atomic_file.h"
#include "foxpro/write/memo_writer.h"

namespace quorvel::cli {

namespace {

const char* const kSideOwners[3] = {"base's ", "ours' ", "theirs' "};

foxpro::dbf::MemoKind memoKindOf(const foxpro::TableReader& table) {
    const auto* type = foxpro::dbf::fileTypeInfo(table.fileType());
    return type == nullptr || type->memo == foxpro::dbf::MemoKind::None
               ? foxpro::dbf::MemoKind::Dbt3
               : type->memo;
}

std::vector<int> memoFields(const foxpro::TableReader& table) {
    std::vector<int> fields;
    for (int f = 0; f < table.fieldCount(); ++f)
        if (table.field(f).memo) fields.push_back(f);
    return fields;
}

// A memo as the comparison of two files sees it: its block type and bytes
// ("" for none: an empty memo and no memo are the same value).
std::string memoKey(const foxpro::TableReader& table, std::span<const std::uint8_t> record,
                    int field) {
    if (table.memoBlock(record, field) == 0) return std::string();
    const foxpro::MemoContent memo = table.memo(record, field);
    if (memo.data.empty()) return std::string();
    return std::to_string(memo.type) + ':' + memo.data;
}

std::string cellName(const foxpro::TableReader& table, std::int64_t index, int field) {
    return "field " + table.field(field).name + " of record " + std::to_string(index + 1);
}

// The merged table with its memo references pointing into the memo file of
// side kept, which git keeps: each merged memo must be found there, byte
// for byte, under a reference of a revision that shares that memo file.
bool repointedTable(const DriverRevisions& revisions, int kept,
                    const std::array<const foxpro::TableReader*, 3>& sides,
                    const foxpro::TableReader& merged, std::string& bytes, std::string& why) {
    const std::string memoName = foxpro::fileNameOf(revisions.memoPath);
    const std::string keptName = std::string(kSideOwners[kept]) + memoName;
    if (!revisions.side[static_cast<std::size_t>(kept)].memo.present()) {
        why = "git keeps no memo file (" + keptName + " was deleted)";
        return false;
    }
    if (memoKindOf(*sides[static_cast<std::size_t>(kept)]) != memoKindOf(merged)) {
        why = "the merged table's memo file is of another kind than " + keptName;
        return false;
    }
    // Each memo's blocks, the kept side's records first; every merged memo
    // gets blocks of its own, since FoxPro rewrites a memo in its blocks
    // and two records sharing them would change together.
    struct Places {
        std::vector<std::uint32_t> blocks;
        std::size_t taken = 0;
    };
    std::map<std::string, Places> places;
    std::set<std::uint32_t> seen;
    for (int s : {kept, 1, 2, 0}) {
        const auto& side = revisions.side[static_cast<std::size_t>(s)];
        if (side.memo.blob != revisions.side[static_cast<std::size_t>(kept)].memo.blob) continue;
        const foxpro::TableReader& table = *sides[static_cast<std::size_t>(s)];
        const std::vector<int> fields = memoFields(table);
        for (std::int64_t i = 0; i < table.storedCount(); ++i) {
            const auto record = table.storedRecord(i);
            for (int f : fields) {
                const std::uint32_t block = table.memoBlock(record, f);
                const std::string key = memoKey(table, record, f);
                if (!key.empty() && seen.insert(block).second) places[key].blocks.push_back(block);
            }
        }
    }
    bytes = readWholeFile(merged.path());
    const std::vector<int> fields = memoFields(merged);
    const auto length = static_cast<std::size_t>(merged.layout().recordLength);
    for (std::int64_t i = 0; i < merged.storedCount(); ++i) {
        const auto record = merged.storedRecord(i);
        for (int f : fields) {
            const std::string key = memoKey(merged, record, f);
            std::uint32_t block = 0;
            if (!key.empty()) {
                const auto at = places.find(key);
                if (at == places.end()) {
                    why = "the merged value of " + cellName(merged, i, f) + " is not in " +
                          keptName + ", which git takes as it is (only one side changed it)";
                    return false;
                }
                if (at->second.taken == at->second.blocks.size()) {
                    why = "the merged value of " + cellName(merged, i, f) + " is in " + keptName +
                          " only for another record, and git takes that file as it is (only one "
                          "side changed it)";
                    return false;
                }
                block = at->second.blocks[at->second.taken++];
            }
            const foxpro::FieldInfo& info = merged.field(f);
            foxpro::putMemoRef(reinterpret_cast<std::uint8_t*>(bytes.data()) +
                                   static_cast<std::size_t>(merged.headerLength()) +
                                   static_cast<std::size_t>(i) * length +
                                   static_cast<std::size_t>(info.offset),
                               info.width, block);
        }
    }
    return true;
}

// True when the two tables hold the same records byte for byte, the bytes
// of memo references aside.
bool sameRecordsButMemos(const foxpro::TableReader& a, const foxpro::TableReader& b) {
    if (!foxpro::sameLayout(a.layout(), b.layout()) || a.storedCount() != b.storedCount())
        return false;
    std::vector<bool> reference(static_cast<std::size_t>(a.layout().recordLength), false);
    for (int f : memoFields(a))
        for (int k = 0; k < a.field(f).width; ++k)
            reference[static_cast<std::size_t>(a.field(f).offset + k)] = true;
    for (std::int64_t i = 0; i < a.storedCount(); ++i) {
        const auto x = a.storedRecord(i);
        const auto y = b.storedRecord(i);
        for (std::size_t k = 0; k < x.size(); ++k)
            if (!reference[k] && x[k] != y[k]) return false;
    }
    return true;
}

// A memo file for the table of side kept, which git keeps: that side's memo
// file with each memo that the merge changed written over the old one in
// its blocks (an .fpt only; it must fit them and no other record may share
// them).  The table's references stay valid, so its records must be the
// merge's, memo values aside.
bool memoForKeptTable(const DriverRevisions& revisions, int kept,
                      const std::array<const foxpro::TableReader*, 3>& sides,
                      const foxpro::TableReader& merged, std::string& bytes, std::string& why) {
    const foxpro::TableReader& table = *sides[static_cast<std::size_t>(kept)];
    const std::string tableName =
        std::string(kSideOwners[kept]) + foxpro::fileNameOf(revisions.tablePath);
    if (!sameRecordsButMemos(table, merged)) {
        why = "git takes " + tableName +
              " as it is (only one side changed it), and the merge changes more than its "
              "memo values";
        return false;
    }
    bytes = revisions.side[static_cast<std::size_t>(kept)].memo.bytes;
    const std::vector<int> fields = memoFields(table);
    std::map<std::uint32_t, int> uses;
    for (std::int64_t i = 0; i < table.storedCount(); ++i)
        for (int f : fields) ++uses[table.memoBlock(table.storedRecord(i), f)];
    const bool fpt = memoKindOf(table) == foxpro::dbf::MemoKind::Fpt &&
                     bytes.size() >= foxpro::dbf::kFptHeaderSize;
    const std::uint32_t blockSize =
        fpt ? foxpro::dbf::be16(reinterpret_cast<const std::uint8_t*>(bytes.data()) +
                                foxpro::dbf::kFptBlockSize)
            : 0;
    for (std::int64_t i = 0; i < table.storedCount(); ++i) {
        const auto record = table.storedRecord(i);
        const auto mergedRecord = merged.storedRecord(i);
        for (int f : fields) {
            const std::string want = memoKey(merged, mergedRecord, f);
            if (want == memoKey(table, record, f)) continue;
            const std::uint32_t block = table.memoBlock(record, f);
            const std::string where = "the merged value of " + cellName(table, i, f);
            if (block == 0 || !fpt || blockSize == 0 || uses[block] > 1) {
                why = where + " has no place of its own in the memo blocks of " + tableName +
                      ", which git takes as it is (only one side changed it)";
                return false;
            }
            const foxpro::MemoContent old = table.memo(record, f);
            const foxpro::MemoContent value = merged.memo(mergedRecord, f);
            const std::uint64_t room =
                (foxpro::dbf::kFptBlockHeaderSize + old.data.size() + blockSize - 1) / blockSize *
                blockSize;
            const auto start = static_cast<std::size_t>(block) * blockSize;
            if (foxpro::dbf::kFptBlockHeaderSize + value.data.size() > room) {
                why = where + " does not fit the memo blocks " + tableName +
                      " gives it, and git takes that table as it is (only one side changed it)";
                return false;
            }
            std::string entry(static_cast<std::size_t>(room), '\0');
            const std::uint32_t header[2] = {value.type,
                                             static_cast<std::uint32_t>(value.data.size())};
            for (int h = 0; h < 2; ++h)
                for (int k = 0; k < 4; ++k)
                    entry[static_cast<std::size_t>(h * 4 + k)] =
                        static_cast<char>((header[h] >> (24 - 8 * k)) & 0xFF);
            std::memcpy(entry.data() + foxpro::dbf::kFptBlockHeaderSize, value.data.data(),
                        value.data.size());
            // The file may end right after the old memo, inside its last block.
            const std::size_t need = start + foxpro::dbf::kFptBlockHeaderSize + value.data.size();
            if (bytes.size() < need) bytes.resize(need, '\0');
            const std::size_t span = std::min<std::size_t>(entry.size(), bytes.size() - start);
            bytes.replace(start, span, entry, 0, span);
        }
    }
    return true;
}

// The side whose file f git keeps, as keptSide says.
int keptSideOf(const DriverRevisions& revisions, DriverFile f) {
    std::array<std::string, 3> blobs;
    for (std::size_t s = 0; s < 3; ++s) blobs[s] = revisions.side[s].file(f).blob;
    return keptSide(blobs);
}

// "git takes ours' notes.cdx as it is (only one side changed it)".
std::string takenAsItIs(const DriverRevisions& revisions, DriverFile f, int kept) {
    return "git takes " + std::string(kSideOwners[kept]) + foxpro::fileNameOf(revisions.path(f)) +
           " as it is (only one side changed it)";
}

// Whether git merges file f in a way the merge can go with: by this
// driver where both sides changed it; otherwise kept is the side git takes.
bool mergedByGitAlone(const DriverRevisions& revisions, DriverFile f, int& kept, std::string& why) {
    kept = keptSideOf(revisions, f);
    const std::string name = foxpro::fileNameOf(revisions.path(f));
    if (kept == -2) {
        why = "one side deleted " + name + " and the other changed it";
        return false;
    }
    if (kept == -1 && !revisions.shares(f)) {
        why = "both sides changed " + name +
              ", which git merges without this driver (give it the same merge attribute in "
              ".gitattributes)";
        return false;
    }
    return true;
}

// Whether the index of side kept, which git takes as it is, lists in each
// of its tags the merged records' keys: the tags are built again from the
// merged records and their keys and record numbers compared, so that an
// index Visual FoxPro laid out otherwise still passes.
bool keptIndexFits(const DriverRevisions& revisions, int kept, const foxpro::TableReader& merged,
                   std::string& why) {
    const RevisionFile& index = revisions.side[static_cast<std::size_t>(kept)].index;
    if (!index.present()) return true;
    const std::string taken = takenAsItIs(revisions, DriverFile::Index, kept);
    std::unique_ptr<foxpro::CdxReader> held;
    std::vector<foxpro::TagDefinition> tags;
    try {
        held = foxpro::CdxReader::fromBytes(
            std::string(kSideOwners[kept]) + foxpro::fileNameOf(revisions.indexPath),
            {reinterpret_cast<const std::uint8_t*>(index.bytes.data()), index.bytes.size()},
            &merged);
        for (const foxpro::IndexTag& tag : held->tags())
            tags.push_back(foxpro::TagDefinition::of(tag));
    } catch (const foxpro::FoxProError& e) {
        why = taken + ", and it cannot be read: " + e.what();
        return false;
    }
    const std::string path = foxpro::joinPath(foxpro::parentFolder(merged.path()), "kept.cdx");
    std::unique_ptr<foxpro::FileSink> sink;
    const foxpro::IndexBuild build =
        foxpro::writeCompoundIndex(merged, tags, [&]() -> foxpro::FileSink& {
            sink =
                std::make_unique<foxpro::FileSink>(foxpro::FileSink::createNew(path, "kept.cdx"));
            return *sink;
        });
    if (sink) sink->close();
    if (!build.leftOut.empty()) {
        why = taken + ", and its " + build.leftOut.front() +
              ", so it cannot be checked against the merged records";
        return false;
    }
    if (!build.fileWritten()) return true;
    const foxpro::CdxReader rebuilt(path, &merged);
    for (const foxpro::IndexTag& tag : held->tags()) {
        const foxpro::IndexTag* fresh = rebuilt.findTag(tag.name);
        if (fresh == nullptr || held->entries(tag) != rebuilt.entries(*fresh)) {
            why = taken + ", and its tag " + tag.name +
                  " does not list the keys of the merged records (the index would be stale)";
            return false;
        }
    }
    return true;
}

// For a call for the table or its memo file: git merges the index beside
// them by this driver, or keeps one that fits the merged records.
bool indexGoesWithMerge(const DriverRevisions& revisions, const foxpro::TableReader& merged,
                        std::string& why) {
    if (!revisions.anyHolds(DriverFile::Index)) return true;
    int kept = 0;
    if (!mergedByGitAlone(revisions, DriverFile::Index, kept, why)) return false;
    return kept < 0 || keptIndexFits(revisions, kept, merged, why);
}

// For a call for the index: the merged index, ours' tags rebuilt from the
// merged records, which must be those of the table git ends with.
bool mergedIndex(const DriverRevisions& revisions,
                 const std::array<const foxpro::TableReader*, 3>& sides,
                 const foxpro::TableReader& merged, std::string& bytes, std::string& why) {
    int kept = 0;
    if (!mergedByGitAlone(revisions, DriverFile::Table, kept, why)) return false;
    if (kept >= 0 && !sameRecordsButMemos(*sides[static_cast<std::size_t>(kept)], merged)) {
        why = takenAsItIs(revisions, DriverFile::Table, kept) +
              ", and the merge changes more than its memo values";
        return false;
    }
    const std::string path = foxpro::findStructuralIndex(merged.path());
    if (path.empty()) {
        why = "the merged table has no index (ours has none, or none of its tags could be built)";
        return false;
    }
    bytes = readWholeFile(path);
    return true;
}

}  // namespace

int keptSide(const std::array<std::string, 3>& blobs) {
    if (blobs[1] == blobs[2]) return 1;
    if (blobs[0] == blobs[1]) return 2;
    if (blobs[0] == blobs[2]) return 1;
    if (blobs[1].empty() || blobs[2].empty()) return -2;
    return -1;
}

bool driverResult(const DriverRevisions& revisions, DriverFile handed,
                  const std::array<const foxpro::TableReader*, 3>& sides,
                  const foxpro::TableReader& merged, std::string& bytes, std::string& why) {
    try {
        if (handed == DriverFile::Index) return mergedIndex(revisions, sides, merged, bytes, why);
        if (!indexGoesWithMerge(revisions, merged, why)) return false;
        const bool handedIsMemo = handed == DriverFile::Memo;
        if (!handedIsMemo && !revisions.anyHolds(DriverFile::Memo)) {
            bytes = readWholeFile(merged.path());
            return true;
        }
        const DriverFile partner = handedIsMemo ? DriverFile::Table : DriverFile::Memo;
        int kept = 0;
        if (!mergedByGitAlone(revisions, partner, kept, why)) return false;
        if (kept == -1) {
            // git calls the driver for the partner too, which merges the same
            // revisions the same way and writes the other file.
            if (memoKindOf(merged) != memoKindOf(*sides[1])) {
                why = "the merge writes its memo file in another format than ours'";
                return false;
            }
            if (!handedIsMemo) {
                bytes = readWholeFile(merged.path());
                return true;
            }
            if (merged.memoPath().empty()) {
                why = "the merged table has no memo fields";
                return false;
            }
            bytes = readWholeFile(merged.memoPath());
            return true;
        }
        return handedIsMemo ? memoForKeptTable(revisions, kept, sides, merged, bytes, why)
                            : repointedTable(revisions, kept, sides, merged, bytes, why);
    } catch (const std::exception& e) {
        why = e.what();
        return false;
    }
}

}  // namespace quorvel::cli
