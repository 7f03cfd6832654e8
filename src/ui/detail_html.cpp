#include "ui/detail_html.h"

#include <QStringList>

#include "wizard/line_filter.h"

namespace quorvel::ui {

namespace {

const char* const kRemovedLine = "#ffe4e4";
const char* const kAddedLine = "#e2f7e2";
const char* const kRemovedWord = "#ff9f9f";
const char* const kAddedWord = "#8fd98f";

QString utf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// The text with its marked spans highlighted, escaped for rich text.
QString marked(std::string_view text, const std::vector<compare::TextSpan>& marks,
               const char* colour) {
    QString out;
    std::size_t at = 0;
    for (const auto& m : marks) {
        if (m.begin < at || m.begin + m.length > text.size()) continue;
        out += utf8(text.substr(at, m.begin - at)).toHtmlEscaped();
        out += QStringLiteral(
                   "<span style=\"background-color:%1;font-weight:bold;"
                   "text-decoration:underline\">")
                   .arg(QLatin1String(colour));
        out += utf8(text.substr(m.begin, m.length)).toHtmlEscaped();
        out += QStringLiteral("</span>");
        at = m.begin + m.length;
    }
    out += utf8(text.substr(std::min(at, text.size()))).toHtmlEscaped();
    return out;
}

QString number(std::int64_t n) {
    return n == 0 ? QString(6, QLatin1Char(' ')) : QString::number(n).rightJustified(6);
}

QString skippedLine(std::size_t count, const char* what) {
    QString word = QLatin1String(what);
    if (count != 1) word += QLatin1Char('s');
    return QStringLiteral("<span style=\"color:#707070\">        \u22EF %1 %2 \u22EF</span>\n")
        .arg(QString::fromStdString(wizard::groupedNumber(static_cast<std::int64_t>(count))), word);
}

QString pre(const QString& body) {
    return QStringLiteral("<pre style=\"margin:0\">") + body + QStringLiteral("</pre>");
}

}  // namespace

QString lineDiffHtml(const compare::TextDiff& diff, int maxLines) {
    const std::vector<compare::DiffHunk> hunks = compare::diffHunks(diff, 3);
    QString body;
    int shown = 0;
    std::size_t end = 0;
    for (const auto& hunk : hunks) {
        if (hunk.skipped > 0) body += skippedLine(hunk.skipped, "unchanged line");
        for (std::size_t k = hunk.first; k < hunk.first + hunk.count; ++k) {
            if (shown++ >= maxLines) {
                body += QStringLiteral(
                    "<span style=\"color:#707070\">\u22EF The diff goes on: \"Whole texts\" "
                    "shows both texts. \u22EF</span>\n");
                return pre(body);
            }
            const compare::DiffLine& line = diff.lines[k];
            const QString numbers = number(line.line1) + number(line.line2) + QLatin1Char(' ');
            switch (line.kind) {
                case compare::DiffLineKind::Kept:
                    body += numbers + QStringLiteral("  ") + utf8(line.text).toHtmlEscaped() +
                            QLatin1Char('\n');
                    break;
                case compare::DiffLineKind::Removed:
                    body += QStringLiteral("<span style=\"background-color:%1\">")
                                .arg(QLatin1String(kRemovedLine)) +
                            numbers + QStringLiteral("\u2212 ") +
                            marked(line.text, line.marks, kRemovedWord) +
                            QStringLiteral("</span>\n");
                    break;
                case compare::DiffLineKind::Added:
                    body += QStringLiteral("<span style=\"background-color:%1\">")
                                .arg(QLatin1String(kAddedLine)) +
                            numbers + QStringLiteral("+ ") +
                            marked(line.text, line.marks, kAddedWord) + QStringLiteral("</span>\n");
                    break;
            }
        }
        end = hunk.first + hunk.count;
    }
    if (end < diff.lines.size() && !hunks.empty())
        body += skippedLine(diff.lines.size() - end, "unchanged line");
    if (hunks.empty())
        body += QStringLiteral("<span style=\"color:#707070\">%1</span>")
                    .arg(QString::fromStdString(compare::changeSummary(diff)));
    return pre(body);
}

QString shortValueHtml(const wizard::DetailField& field, const compare::WordMarks& marks) {
    QString out;
    const auto side = [&](int n, const wizard::DetailValue& v,
                          const std::vector<compare::TextSpan>& m, const char* colour) {
        out += QStringLiteral("<p style=\"margin:0\"><b>Table #%1</b>").arg(n);
        if (!v.present) {
            out += QStringLiteral(": <i>no such field or record</i></p>");
            return;
        }
        if (v.null) {
            out += QStringLiteral(": <i>.NULL.</i></p>");
            return;
        }
        // The text between markers, so that trailing blanks can be seen.
        const auto length = utf8(v.text).size();
        out += QStringLiteral(" (%1 %2):</p>")
                   .arg(length)
                   .arg(length == 1 ? QStringLiteral("character") : QStringLiteral("characters"));
        out += pre(QStringLiteral("\u2595") + marked(v.text, m, colour) + QStringLiteral("\u258F"));
    };
    side(1, field.value1, marks.old, kRemovedWord);
    side(2, field.value2, marks.now, kAddedWord);
    return out;
}

QString hexHtml(const wizard::HexDump& dump) {
    QString out =
        QStringLiteral("<p style=\"margin:0\"><b>Table #1</b>: %1<br><b>Table #2</b>: %2</p>")
            .arg(QString::fromStdString(dump.summary1).toHtmlEscaped(),
                 QString::fromStdString(dump.summary2).toHtmlEscaped());
    if (dump.digestOnly) {
        out += QStringLiteral("<p>Values over 1 MB are shown by their size and checksum.</p>");
        return out;
    }
    QString body;
    const auto row = [](int n, std::size_t offset, std::string_view bytes, std::uint32_t differ) {
        QString line = QStringLiteral("#%1 %2  ").arg(n).arg(offset, 8, 16, QLatin1Char('0'));
        for (std::size_t k = 0; k < wizard::kHexRowBytes; ++k) {
            if (k >= bytes.size()) {
                line += QStringLiteral("   ");
                continue;
            }
            const QString hex = QString::fromStdString(wizard::hexBytes(bytes.substr(k, 1)));
            if ((differ >> k) & 1)
                line += QStringLiteral(
                            "<span style=\"background-color:%1;font-weight:bold;"
                            "text-decoration:underline\">%2</span> ")
                            .arg(QLatin1String(n == 1 ? kRemovedWord : kAddedWord), hex);
            else
                line += hex + QLatin1Char(' ');
        }
        line += QStringLiteral(" ") +
                QString::fromStdString(wizard::printableBytes(bytes)).toHtmlEscaped();
        return line + QLatin1Char('\n');
    };
    for (const auto& r : dump.rows) {
        if (r.skipped > 0) body += skippedLine(r.skipped, "equal row");
        body += row(1, r.offset, r.bytes1, r.differ);
        body += row(2, r.offset, r.bytes2, r.differ);
    }
    return out + pre(body);
}

}  // namespace quorvel::ui
