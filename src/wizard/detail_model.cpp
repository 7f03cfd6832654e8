#include "wizard/detail_model.h"

#include "wizard/line_filter.h"

namespace quorvel::wizard {

namespace {

constexpr const char* kHidden = "Hidden";

bool marked(FieldMark mark) {
    return mark == FieldMark::Changed || mark == FieldMark::BytesDiffer;
}

}  // namespace

bool DetailModel::paneShown() const {
    return store_.GetSetting(frame::kKeyRecordDetails) != kHidden;
}

void DetailModel::setPaneShown(bool shown) {
    store_.SaveSetting(frame::kKeyRecordDetails, shown ? "Shown" : kHidden);
}

void DetailModel::select(const ResultList& list, int row) {
    detail_ = readRecordDetail(run_, list, row, locale_);
    int chosen = detail_.focus;
    for (std::size_t i = 0; chosen < 0 && i < detail_.fields.size(); ++i)
        if (marked(detail_.fields[i].mark)) chosen = static_cast<int>(i);
    if (chosen < 0 && !detail_.fields.empty()) chosen = 0;
    field_ = -1;
    setField(chosen);
}

void DetailModel::clear() {
    detail_ = RecordDetail();
    field_ = -1;
    diff_.reset();
    hex_.reset();
}

void DetailModel::setField(int index) {
    if (index < -1 || index >= static_cast<int>(detail_.fields.size())) return;
    if (index == field_) return;
    field_ = index;
    diff_.reset();
    hex_.reset();
}

const DetailField* DetailModel::current() const {
    return field_ >= 0 ? &detail_.fields[static_cast<std::size_t>(field_)] : nullptr;
}

DetailModel::ValueKind DetailModel::valueKind() const {
    const DetailField* f = current();
    if (f == nullptr) return ValueKind::None;
    if (f->binary()) return ValueKind::Hex;
    if (f->longText() && f->value1.present && f->value2.present) return ValueKind::Lines;
    return ValueKind::Short;
}

const compare::TextDiff& DetailModel::lineDiff() {
    if (!diff_) {
        const DetailField* f = current();
        diff_ = f ? compare::diffLines(f->value1.text, f->value2.text) : compare::TextDiff();
    }
    return *diff_;
}

compare::WordMarks DetailModel::wordMarks() const {
    const DetailField* f = current();
    if (f == nullptr || !f->value1.present || !f->value2.present) return {};
    return compare::diffWords(f->value1.text, f->value2.text);
}

const HexDump& DetailModel::hexDump() {
    if (!hex_) {
        const DetailField* f = current();
        hex_ = f ? wizard::hexDump(f->value1.text, f->value2.text) : HexDump();
    }
    return *hex_;
}

std::string DetailModel::valueSummary() {
    switch (valueKind()) {
        case ValueKind::Lines:
            return compare::changeSummary(lineDiff());
        case ValueKind::Hex: {
            const DetailField* f = current();
            if (!f->value1.present || !f->value2.present) return {};
            const HexDump& dump = hexDump();
            if (dump.digestOnly)
                return f->value1.text == f->value2.text ? "The bytes are equal"
                                                        : "The bytes differ";
            if (dump.differing == 0) return "The bytes are equal";
            return groupedNumber(static_cast<std::int64_t>(dump.differing)) +
                   (dump.differing == 1 ? " byte differs" : " bytes differ");
        }
        case ValueKind::Short:
        case ValueKind::None:
            return {};
    }
    return {};
}

}  // namespace quorvel::wizard
