#include "cli/table_keys_listing.h"

#include "compare/auto_key.h"
#include "foxpro/foxpro_error.h"
#include "foxpro/read/table_reader.h"
#include "foxpro/source/data_source.h"
#include "foxpro/source/table_keys.h"

namespace quorvel::cli {

std::string tableKeysListing(const foxpro::DataSource& source, const std::string& table) {
    std::string text = table + ": ";
    try {
        const foxpro::TableKeys keys = foxpro::readTableKeys(source, table);
        const auto reader = source.openTable(table);
        const compare::AutoKey key = compare::chooseAutoKey(keys, reader->layout());
        text += compare::pairingDescription(key.pairing) + "\n";
        for (const auto& tag : keys.tags) {
            text += "  tag " + tag.name;
            if (tag.candidate) text += " candidate";
            if (tag.unique) text += " unique";
            if (tag.descending) text += " descending";
            text += ": " + tag.keyExpression;
            if (!tag.forExpression.empty()) text += " FOR " + tag.forExpression;
            text += "\n";
        }
        for (const auto& index : keys.containerIndexes) {
            const bool primary = index.tag == keys.primaryTag;
            text += "  container index " + index.tag +
                    (primary           ? " (primary key)"
                     : index.candidate ? " (candidate)"
                                       : "") +
                    "\n";
        }
        for (const auto& note : key.notes) text += "  not a key: " + note + "\n";
        for (const auto& warning : key.warnings) text += "  warning: " + warning + "\n";
    } catch (const foxpro::FoxProError& e) {
        text += "cannot be read: " + e.description() + "\n";
    }
    return text;
}

}  // namespace quorvel::cli
