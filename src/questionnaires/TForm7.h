#pragma once

#include "TForm.h"
#include "ui_TForm7.h"

class QuestionnaireSheet;

// The weaknesses test: four questions about sweets, an extra lunch, eating at
// night and sleep. The controls are the named members of Ui::TForm7.
class TForm7 : public TForm, public Ui::TForm7 {
    Q_OBJECT
public:
    explicit TForm7(QWidget* parent = nullptr);

    void FormCreate() override;
    void Button1Click();
    void Button2Click();

    QuestionnaireSheet* sheet() const { return sheet_; }

private:
    QuestionnaireSheet* sheet_ = nullptr;
};
