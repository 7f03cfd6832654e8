#include "ui/detail_pane.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSplitter>
#include <QStackedWidget>
#include <QTableWidget>
#include <QTextBrowser>
#include <QVBoxLayout>

#include "ui/detail_html.h"
#include "ui/line_delegate.h"
#include "ui/window_setup.h"
#include "wizard/line_filter.h"

namespace quorvel::ui {

namespace {

using wizard::FieldMark;

// A cell shows the start of a value; the value view below shows it whole.
constexpr int kCellLimit = 200;

QString utf8(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QString cellText(const wizard::DetailValue& v) {
    if (!v.present) return QStringLiteral("\u2014");
    if (v.null) return QStringLiteral(".NULL.");
    if (v.binary) {
        const std::string_view head = std::string_view(v.text).substr(0, 8);
        return QStringLiteral("%1: %2%3")
            .arg(qs(wizard::groupedNumber(static_cast<std::int64_t>(v.text.size())) + " bytes"),
                 qs(wizard::hexBytes(head)),
                 v.text.size() > head.size() ? QStringLiteral("\u2026") : QString());
    }
    QString text = utf8(v.text);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\u21B5"))
        .replace(QLatin1Char('\n'), QChar(0x21B5))
        .replace(QLatin1Char('\r'), QChar(0x21B5));
    return text.size() > kCellLimit ? text.left(kCellLimit) + QChar(0x2026) : text;
}

QColor markColour(FieldMark mark) {
    switch (mark) {
        case FieldMark::Changed:
            return QColor(255, 242, 192);
        case FieldMark::NotInTable2:
        case FieldMark::OnlyInTable2:
            return QColor(226, 232, 255);
        case FieldMark::BytesDiffer:
            return QColor(255, 224, 192);
        case FieldMark::Same:
        case FieldMark::Ignored:
            break;
    }
    return {};
}

QTableWidgetItem* item(const QString& text) {
    auto* cell = new QTableWidgetItem(text);
    cell->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    return cell;
}

QPlainTextEdit* wholeText(QWidget* parent, const char* name, const QString& accessible) {
    auto* edit = new QPlainTextEdit(parent);
    edit->setObjectName(QString::fromLatin1(name));
    edit->setAccessibleName(accessible);
    edit->setReadOnly(true);
    edit->setLineWrapMode(QPlainTextEdit::NoWrap);
    edit->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    return edit;
}

}  // namespace

DetailPane::DetailPane(wizard::DetailModel& model, QWidget* parent)
    : QWidget(parent), model_(model) {
    setObjectName(QStringLiteral("DetailPane"));
    setAccessibleName(QStringLiteral("Record details"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 2, 0, 0);
    layout->setSpacing(2);

    heading_ = new QLabel(this);
    heading_->setObjectName(QStringLiteral("DetailHeading"));
    heading_->setAccessibleName(QStringLiteral("Record pair"));
    heading_->setFont(arialFont(kTextPointSize, true));
    heading_->setWordWrap(true);
    heading_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    heading_->setText(QStringLiteral("Select a line to see its records here."));
    note_ = new QLabel(this);
    note_->setObjectName(QStringLiteral("DetailNote"));
    note_->setAccessibleName(QStringLiteral("Record numbers and pairing"));
    note_->setFont(arialFont(kTextPointSize, false));
    note_->setWordWrap(true);
    note_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(heading_);
    layout->addWidget(note_);

    auto* split = new QSplitter(Qt::Horizontal, this);
    split->setObjectName(QStringLiteral("DetailSplitter"));
    split->setChildrenCollapsible(false);
    fields_ = new QTableWidget(0, 4, split);
    fields_->setObjectName(QStringLiteral("DetailFields"));
    fields_->setAccessibleName(QStringLiteral("Fields of both records"));
    fields_->setHorizontalHeaderLabels({QString(), QStringLiteral("Field"),
                                        QStringLiteral("Table #1"), QStringLiteral("Table #2")});
    fields_->verticalHeader()->hide();
    fields_->setSelectionBehavior(QAbstractItemView::SelectRows);
    fields_->setSelectionMode(QAbstractItemView::SingleSelection);
    fields_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    fields_->setWordWrap(false);
    fields_->setFont(arialFont(kTextPointSize, false));
    fields_->verticalHeader()->setDefaultSectionSize(fields_->fontMetrics().height() + 6);
    fields_->horizontalHeader()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    fields_->horizontalHeader()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    fields_->horizontalHeader()->setSectionResizeMode(2, QHeaderView::Stretch);
    fields_->horizontalHeader()->setSectionResizeMode(3, QHeaderView::Stretch);

    auto* valueArea = new QWidget(split);
    auto* valueLayout = new QVBoxLayout(valueArea);
    valueLayout->setContentsMargins(0, 0, 0, 0);
    valueLayout->setSpacing(2);
    auto* top = new QHBoxLayout();
    summary_ = new QLabel(valueArea);
    summary_->setObjectName(QStringLiteral("DetailSummary"));
    summary_->setAccessibleName(QStringLiteral("Change summary"));
    summary_->setFont(arialFont(kTextPointSize, true));
    whole_ = new QPushButton(QStringLiteral("Whole texts"), valueArea);
    whole_->setObjectName(QStringLiteral("DetailWholeTexts"));
    whole_->setAccessibleName(QStringLiteral("Whole texts"));
    whole_->setToolTip(QStringLiteral("Both whole texts side by side, or the line diff again"));
    whole_->setCheckable(true);
    whole_->setAutoDefault(false);
    whole_->setFont(arialFont(kTextPointSize, false));
    top->addWidget(summary_, 1);
    top->addWidget(whole_);
    valueLayout->addLayout(top);
    stack_ = new QStackedWidget(valueArea);
    value_ = new QTextBrowser(stack_);
    value_->setObjectName(QStringLiteral("DetailValue"));
    value_->setAccessibleName(QStringLiteral("Value of the chosen field"));
    value_->setLineWrapMode(QTextEdit::NoWrap);
    value_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    value_->setOpenLinks(false);
    auto* both = new QSplitter(Qt::Horizontal, stack_);
    whole1_ = wholeText(both, "DetailWholeText1", QStringLiteral("Whole text in Table #1"));
    whole2_ = wholeText(both, "DetailWholeText2", QStringLiteral("Whole text in Table #2"));
    stack_->addWidget(value_);
    stack_->addWidget(both);
    valueLayout->addWidget(stack_, 1);
    split->addWidget(fields_);
    split->addWidget(valueArea);
    split->setStretchFactor(0, 1);
    split->setStretchFactor(1, 1);
    layout->addWidget(split, 1);
    setTabOrder(fields_, whole_);
    setTabOrder(whole_, value_);

    connect(fields_, &QTableWidget::currentCellChanged, this, [this](int row) {
        if (row < 0 || row == model_.field()) return;
        model_.setField(row);
        showValue();
    });
    connect(whole_, &QPushButton::toggled, this, [this] { showValue(); });
    refresh();
}

void DetailPane::refresh() {
    const wizard::RecordDetail& d = model_.detail();
    if (!d.selected) {
        heading_->setText(QStringLiteral("Select a line to see its records here."));
        note_->clear();
    } else {
        heading_->setText(qs(wizard::recordHeading(d)));
        QStringList notes;
        if (const std::string recno = wizard::recnoNote(d); !recno.empty()) notes << qs(recno);
        notes << qs(d.pairing + (d.keyValues.empty() ? "" : ", key " + d.keyValues));
        if (d.changed > 0)
            notes << QStringLiteral("%1 %2 changed")
                         .arg(d.changed)
                         .arg(d.changed == 1 ? QStringLiteral("field") : QStringLiteral("fields"));
        if (!d.problem.empty())
            notes << QStringLiteral("The records could not be read: %1").arg(qs(d.problem));
        note_->setText(notes.join(QStringLiteral(" \u00B7 ")));
    }
    heading_->setAccessibleName(heading_->text().isEmpty() ? QStringLiteral("Record pair")
                                                           : heading_->text());
    showFields();
    showValue();
}

void DetailPane::showFields() {
    const wizard::RecordDetail& d = model_.detail();
    const QSignalBlocker blocker(fields_);
    fields_->setRowCount(static_cast<int>(d.fields.size()));
    for (int row = 0; row < fields_->rowCount(); ++row) {
        const wizard::DetailField& f = d.fields[static_cast<std::size_t>(row)];
        const QString mark = qs(wizard::markText(f.mark));
        QTableWidgetItem* cells[] = {item(qs(wizard::markSymbol(f.mark))), item(qs(f.name)),
                                     item(cellText(f.value1)), item(cellText(f.value2))};
        cells[0]->setToolTip(mark);
        cells[0]->setData(Qt::AccessibleTextRole, mark);
        cells[1]->setToolTip(QStringLiteral("%1: %2 in Table #1, %3 in Table #2")
                                 .arg(mark, f.type1.empty() ? QStringLiteral("none") : qs(f.type1),
                                      f.type2.empty() ? QStringLiteral("none") : qs(f.type2)));
        for (int side = 0; side < 2; ++side) {
            const wizard::DetailValue& v = side == 0 ? f.value1 : f.value2;
            QTableWidgetItem* cell = cells[2 + side];
            if (v.null || !v.present) {
                QFont italic = fields_->font();
                italic.setItalic(true);
                cell->setFont(italic);
            }
            if (v.present && !v.binary && !v.null)
                cell->setToolTip(LineDelegate::tooltipText(utf8(v.text)));
        }
        const QColor colour = markColour(f.mark);
        for (int c = 0; c < 4; ++c) {
            if (colour.isValid()) cells[c]->setBackground(colour);
            if (f.mark == FieldMark::Ignored) cells[c]->setForeground(QColor(112, 112, 112));
            fields_->setItem(row, c, cells[c]);
        }
        if (f.mark == FieldMark::Changed || f.mark == FieldMark::BytesDiffer) {
            QFont bold = cells[1]->font();
            bold.setBold(true);
            cells[1]->setFont(bold);
        }
    }
    if (model_.field() >= 0) fields_->setCurrentCell(model_.field(), 1);
}

void DetailPane::showValue() {
    const wizard::DetailModel::ValueKind kind = model_.valueKind();
    const bool lines = kind == wizard::DetailModel::ValueKind::Lines;
    whole_->setEnabled(lines);
    summary_->setText(qs(model_.valueSummary()));
    summary_->setAccessibleName(summary_->text().isEmpty() ? QStringLiteral("Change summary")
                                                           : summary_->text());
    if (lines && whole_->isChecked()) {
        const wizard::DetailField& f =
            model_.detail().fields[static_cast<std::size_t>(model_.field())];
        whole1_->setPlainText(utf8(f.value1.text));
        whole2_->setPlainText(utf8(f.value2.text));
        stack_->setCurrentIndex(1);
        return;
    }
    stack_->setCurrentIndex(0);
    switch (kind) {
        case wizard::DetailModel::ValueKind::None:
            value_->clear();
            break;
        case wizard::DetailModel::ValueKind::Lines:
            value_->setHtml(lineDiffHtml(model_.lineDiff()));
            break;
        case wizard::DetailModel::ValueKind::Short:
            value_->setHtml(
                shortValueHtml(model_.detail().fields[static_cast<std::size_t>(model_.field())],
                               model_.wordMarks()));
            break;
        case wizard::DetailModel::ValueKind::Hex:
            value_->setHtml(hexHtml(model_.hexDump()));
            break;
    }
}

}  // namespace quorvel::ui
