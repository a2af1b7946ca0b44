#include "CardFinder.h"

#include "TMessageForm.h"
#include "TTable.h"

#include <QApplication>
#include <QInputDialog>

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
    if (dialog.exec() != QDialog::Accepted || dialog.textValue().isEmpty())
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
