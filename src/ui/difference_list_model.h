#pragma once

#include <QAbstractListModel>
#include <QString>
#include <cstdint>
#include <string>
#include <vector>

namespace quorvel::ui {

// One of the single-column lists of difference lines (field differences or
// added/deleted records), with an optional check box on every line.  The
// lines are held as the comparison wrote them; the view shows them, the
// report and the merge read them back through count()/text()/checked() in
// the order shown.
//
// Appending is buffered: appendLine() only stores the line, flush() tells
// the views about every line appended since the last flush in one step, so
// that a million lines go in without a million view updates.
class DifferenceListModel : public QAbstractListModel {
    Q_OBJECT
  public:
    DifferenceListModel(QString header, bool checkable, QObject* parent = nullptr);

    // The lines, shown and pending alike.
    int count() const { return static_cast<int>(lines_.size()); }
    const std::string& text(int index) const { return lines_[static_cast<size_t>(index)]; }
    bool checked(int index) const { return checks_[static_cast<size_t>(index)] != 0; }
    bool checkable() const { return checkable_; }

    // A new line at the end, checked, shown at the next flush().
    void appendLine(std::string line);
    void flush();
    void clear();

    void setChecked(int index, bool checked);
    // Every line at once.  Announced by allChecksChanged() alone, not by
    // dataChanged() over every row: a tree view walks each row of such a
    // range, which at a million lines is a visible pause.  Views of this
    // model repaint on allChecksChanged(); the check states are read anew
    // when rows are painted.
    void setAllChecked(bool checked);

  signals:
    void allChecksChanged();

  public:
    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

  private:
    QString header_;
    bool checkable_;
    std::vector<std::string> lines_;
    std::vector<std::uint8_t> checks_;
    int shown_ = 0;  // lines the views have been told about
};

}  // namespace quorvel::ui
