#pragma once

#include "QuestionnaireForm.h"
#include "ui_TForm6.h"

// The subordination test: four questions about anger and pressure from
// superiors. The controls are the named members of Ui::TForm6.
class TForm6 : public QuestionnaireForm, public Ui::TForm6 {
    Q_OBJECT
public:
    explicit TForm6(QWidget* parent = nullptr);

    void FormCreate() override;
};
