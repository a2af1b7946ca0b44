#include "ClientWindowLayout.h"

#include "TDBEdit.h"
#include "TDataSource.h"
#include "TScrollBox.h"

#include <QLabel>

namespace ClientWindowLayout {

void settleScrollBox(TScrollBox* box, const QList<QWidget*>& controls) {
    box->setScrollRange(ScrollRange);
    box->setScrollMargin(ScrollMargin);
    for (QWidget* control : controls) {
        const QRect place = control->geometry();
        control->setParent(box->contents());
        control->setGeometry(place);
        control->show();
    }
}

void autoSizeLabels(const QList<QLabel*>& labels) {
    for (QLabel* label : labels)
        label->adjustSize();
}

void bindEdits(const QList<TDBEdit*>& edits, TDataSource* source) {
    for (TDBEdit* edit : edits) {
        edit->setDataSource(source);
        edit->setDataField(edit->property("dataField").toString());
    }
    // Moving the boxes onto the scroll box re-linked the focus chain.
    for (qsizetype i = 1; i < edits.size(); ++i)
        QWidget::setTabOrder(edits[i - 1], edits[i]);
}

} // namespace ClientWindowLayout
