#pragma once

#include "QuestionnaireForm.h"
#include "ui_TForm7.h"

// The weaknesses test: four questions about sweets, an extra lunch, eating at
// night and sleep. The controls are the named members of Ui::TForm7.
class TForm7 : public QuestionnaireForm, public Ui::TForm7 {
    Q_OBJECT
public:
    explicit TForm7(QWidget* parent = nullptr);

    void FormCreate() override;
};
