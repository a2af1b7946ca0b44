#pragma once

#include "TForm.h"

#include <QList>

class QLabel;
class QPushButton;
class QuestionnaireSheet;

// What the two questionnaire windows share: the sheet that scores their
// answers, the result button (Button1) and the button that starts again
// (Button2). Each window loads its own layout and makes its sheet.
class QuestionnaireForm : public TForm {
    Q_OBJECT
public:
    void Button1Click();
    void Button2Click();

    QuestionnaireSheet* sheet() const { return sheet_; }

protected:
    explicit QuestionnaireForm(QWidget* parent);

    // Takes the window's sheet, fits the labels to their captions and
    // connects the two buttons.
    void attachSheet(QuestionnaireSheet* sheet, const QList<QLabel*>& labels, QPushButton* result,
                     QPushButton* again);

private:
    QuestionnaireSheet* sheet_ = nullptr;
};
