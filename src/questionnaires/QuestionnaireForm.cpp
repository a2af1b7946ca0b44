#include "QuestionnaireForm.h"

#include "Guarded.h"
#include "QuestionnaireSheet.h"

#include <QLabel>
#include <QPushButton>

QuestionnaireForm::QuestionnaireForm(QWidget* parent) : TForm(parent) {}

void QuestionnaireForm::attachSheet(QuestionnaireSheet* sheet, const QList<QLabel*>& labels,
                                    QPushButton* result, QPushButton* again) {
    sheet_ = sheet;
    for (QLabel* label : labels)
        QuestionnaireSheet::fitLabel(label);

    connect(result, &QPushButton::clicked, this, [this] { guarded([this] { Button1Click(); }); });
    connect(again, &QPushButton::clicked, this, [this] { guarded([this] { Button2Click(); }); });
}

void QuestionnaireForm::Button1Click() { sheet_->showResult(); }

void QuestionnaireForm::Button2Click() { sheet_->reset(); }
