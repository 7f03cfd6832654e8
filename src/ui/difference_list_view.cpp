#include "ui/difference_list_view.h"

#include <QEvent>
#include <QHeaderView>
#include <QTreeView>

#include "ui/difference_list_model.h"
#include "ui/line_delegate.h"
#include "ui/window_setup.h"

namespace quorvel::ui {

namespace {

constexpr int kColumnWidthTwips = 6500;

// Keeps the one column at least as wide as the list shows, so that a line
// is cut only where the window has no more room.
class ColumnFollowsWidth : public QObject {
  public:
    explicit ColumnFollowsWidth(QTreeView* view) : QObject(view), view_(view) {
        view->viewport()->installEventFilter(this);
    }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Resize) {
            const int room = view_->viewport()->width();
            QHeaderView* header = view_->header();
            // Wider than the room only when the user dragged it so.
            if (header->sectionSize(0) < room || header->sectionSize(0) == last_)
                header->resizeSection(0, room);
            last_ = header->sectionSize(0);
        }
        return QObject::eventFilter(watched, event);
    }

  private:
    QTreeView* view_;
    int last_ = -1;  // the width this filter gave the column last
};

}  // namespace

QTreeView* addDifferenceList(QWidget* parent, const char* name, DifferenceListModel* model,
                             const QRect& rect) {
    auto* view = new QTreeView(parent);
    view->setObjectName(QString::fromLatin1(name));
    view->setAccessibleName(model->headerData(0, Qt::Horizontal).toString());
    view->setFont(arialFont(kTextPointSize, true));
    view->setGeometry(rect);
    // A flat list: no tree decoration, every row the same height so that a
    // million lines lay out and scroll without measuring each one.
    view->setRootIsDecorated(false);
    view->setItemsExpandable(false);
    view->setUniformRowHeights(true);
    view->setAllColumnsShowFocus(true);
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    view->setToolTip(QString::fromUtf8(kListTooltip));
    view->setItemDelegate(new LineDelegate(view));
    view->setModel(model);
    QObject::connect(model, &DifferenceListModel::allChecksChanged, view->viewport(),
                     qOverload<>(&QWidget::update));
    view->header()->setStretchLastSection(false);
    view->header()->setSectionResizeMode(QHeaderView::Interactive);
    view->header()->resizeSection(0, twips(kColumnWidthTwips));
    new ColumnFollowsWidth(view);
    return view;
}

}  // namespace quorvel::ui
