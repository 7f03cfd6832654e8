#include "compare/auto_key.h"

#include "foxpro/format/ascii_case.h"
#include "foxpro/index/key_expression.h"
#include "foxpro/read/table_reader.h"
#include "foxpro/source/data_source.h"

namespace quorvel::compare {

namespace {

const foxpro::IndexTag* tagNamed(const foxpro::TableKeys& keys, const std::string& name) {
    for (const auto& tag : keys.tags)
        if (foxpro::equalsNoCase(tag.name, name)) return &tag;
    return nullptr;
}

// Whether tag can pair records; else the reason goes to notes.
bool takeTag(const foxpro::IndexTag& tag, const foxpro::TableLayout& layout1,
             const foxpro::TableLayout* layout2, AutoKey& out) {
    std::string why;
    foxpro::KeyClassification key = foxpro::classifyKeyExpression(tag.keyExpression, &layout1);
    if (!tag.forExpression.empty())
        why = "its FOR clause leaves records out";
    else if (!key.usable)
        why = key.reason;
    else if (layout2 && !foxpro::classifyKeyExpression(tag.keyExpression, layout2).usable)
        why = "Table #2 lacks its fields";
    if (!why.empty()) {
        out.notes.push_back("tag " + tag.name + " (" + tag.keyExpression + "): " + why);
        return false;
    }
    out.pairing.by = Pairing::Key;
    out.pairing.keyFields = std::move(key.fields);
    out.pairing.keyCaseless = key.caseless;
    out.pairing.keyTrimsLeading = key.trimsLeading;
    out.tag = foxpro::upperAscii(tag.name);
    return true;
}

}  // namespace

AutoKey chooseAutoKey(const foxpro::TableKeys& keys, const foxpro::TableLayout& layout1,
                      const foxpro::TableLayout* layout2) {
    AutoKey out;
    out.warnings = keys.warnings;
    if (!keys.primaryTag.empty()) {
        const foxpro::IndexTag* tag = tagNamed(keys, keys.primaryTag);
        if (!tag && !keys.indexFile.empty() && keys.warnings.empty())
            out.notes.push_back("primary key " + keys.primaryTag + ": no such tag in " +
                                keys.indexFile);
        if (tag && takeTag(*tag, layout1, layout2, out)) {
            out.keySource = "primary key";
            out.pairing.note = "primary key " + out.tag + " (container " + keys.containerName + ")";
            return out;
        }
    }
    for (const auto& tag : keys.tags) {
        if (!tag.candidate) continue;
        if (takeTag(tag, layout1, layout2, out)) {
            out.keySource = "candidate index";
            out.pairing.note = "candidate index " + out.tag;
            return out;
        }
    }
    out.pairing = {};
    out.pairing.note = "position (no primary or candidate key)";
    return out;
}

AutoKey resolveAutoKey(const data::SourceDescriptor& source1, const data::SourceDescriptor& source2,
                       const std::string& table1, const std::string& table2) {
    const auto s1 = foxpro::DataSource::open(source1.dataPath(), source1.codePage);
    const auto s2 = foxpro::DataSource::open(source2.dataPath(), source2.codePage);
    const auto reader1 = s1->openTable(table1);
    const auto reader2 = s2->openTable(table2);
    AutoKey first =
        chooseAutoKey(foxpro::readTableKeys(*s1, table1), reader1->layout(), &reader2->layout());
    if (first.pairing.by == Pairing::Key) return first;
    AutoKey second =
        chooseAutoKey(foxpro::readTableKeys(*s2, table2), reader2->layout(), &reader1->layout());
    if (second.pairing.by != Pairing::Key) {
        for (auto& w : second.warnings) first.warnings.push_back(std::move(w));
        for (auto& n : second.notes) first.notes.push_back(std::move(n));
        return first;
    }
    second.warnings.insert(second.warnings.begin(), first.warnings.begin(), first.warnings.end());
    return second;
}

}  // namespace quorvel::compare
