#pragma once

#include "TForm.h"
#include "ui_TForm6.h"

class QuestionnaireSheet;

// The subordination test: four questions about anger and pressure from
// superiors. The controls are the named members of Ui::TForm6.
class TForm6 : public TForm, public Ui::TForm6 {
    Q_OBJECT
public:
    explicit TForm6(QWidget* parent = nullptr);

    void FormCreate() override;
    void Button1Click();
    void Button2Click();

    QuestionnaireSheet* sheet() const { return sheet_; }

private:
    QuestionnaireSheet* sheet_ = nullptr;
};
