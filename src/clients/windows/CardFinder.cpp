#include "CardFinder.h"

#include "TMessageForm.h"
#include "TTable.h"
#include "X11Windows.h"

#include <QApplication>
#include <QInputDialog>
#include <QPointer>

CardFinder::CardFinder(QWidget* window, TTable* table, QList<TField*> fields)
    : window_(window), table_(table), fields_(std::move(fields)) {}

void CardFinder::Ask() {
    // A closed table (it could not be opened) has no card to find.
    if (!table_->Active()) {
        QApplication::beep();
        return;
    }
    QInputDialog dialog(window_);
    dialog.setWindowTitle(QStringLiteral("Найти карточку"));
    dialog.setLabelText(QStringLiteral("Фамилия, имя, отчество или номер содержит:"));
    dialog.setTextValue(text_);
    dialog.setOkButtonText(QStringLiteral("Найти"));
    dialog.setCancelButtonText(QStringLiteral("Отмена"));
    QPointer<QWidget> focused = QApplication::focusWidget();
    const bool asked = dialog.exec() == QDialog::Accepted;
    dialog.hide();
    // Back to the window and the control the question came from: without a
    // window manager nobody else gives the keyboard back.
    window_->activateWindow();
    X11Windows::focusWithoutManager(window_);
    if (focused && focused->window() == window_)
        focused->setFocus(Qt::ActiveWindowFocusReason);
    if (!asked || dialog.textValue().isEmpty())
        return;
    text_ = dialog.textValue();
    find();
}

void CardFinder::Again() {
    if (text_.isEmpty()) {
        Ask();
        return;
    }
    if (!table_->Active()) {
        QApplication::beep();
        return;
    }
    find();
}

void CardFinder::find() {
    switch (table_->FindNext(fields_, text_)) {
    case TTable::TFindResult::Found:
        return;
    case TTable::TFindResult::OnlyCurrent:
        MessageDlg(QStringLiteral("Других карточек с «%1» нет.").arg(text_), TMsgDlgType::mtInformation, mbOK);
        return;
    case TTable::TFindResult::NotFound:
        MessageDlg(QStringLiteral("Карточка с «%1» не найдена.").arg(text_), TMsgDlgType::mtInformation, mbOK);
        return;
    }
}
