#pragma once

#include <QAbstractTableModel>

#include "wizard/merge3_model.h"

namespace quorvel::ui {

// The three-way merge window's conflict list: a view of the Merge3Model's
// conflicts with the side kept in each.
class ConflictTableModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    ConflictTableModel(wizard::Merge3Model& merge, QObject* parent = nullptr);

    // The conflicts changed: a new run is read anew, a side kept in place
    // (so that the selection stays).  True when the rows were read anew.
    bool refresh();

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

  private:
    wizard::Merge3Model& merge_;
    const void* shown_ = nullptr;  // the run whose rows are shown
};

}  // namespace quorvel::ui
