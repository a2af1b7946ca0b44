#pragma once

#include "Questionnaire.h"

#include <QObject>
#include <QVector>

class QLabel;
class QPlainTextEdit;
class QRadioButton;

// The controls of a questionnaire window and what the window does with them:
// the result procedure, the reset procedure, and the answer behaviour the
// windows rely on. The questions and weights are read from the controls
// themselves: each answer's parent box is its question, and its height in
// that box gives its weight.
class QuestionnaireSheet : public QObject {
    Q_OBJECT
public:
    // answers: RadioButton1, RadioButton2, ... in member-number order.
    QuestionnaireSheet(QVector<QRadioButton*> answers, QLabel* scoreLabel, QLabel* unitLabel,
                       QPlainTextEdit* resultBox, std::array<QString, 4> resultTexts,
                       QObject* parent = nullptr);

    const Questionnaire& questionnaire() const { return questionnaire_; }
    const QVector<QRadioButton*>& answers() const { return answers_; }

    // The score of the answers selected right now.
    std::int32_t score() const;
    // Shows the score, the unit word (if the score has one) and the result text.
    void showResult();
    // Deselects every answer, shows score 0 and empties the result box; the
    // unit label keeps its word.
    void reset();

    // On the accessibility bus the result text box is named by the score and
    // unit word shown beside it, so that moving to the box reads the whole
    // result. Run whenever they change.
    void nameResultBox();

    // Deselects one answer and touches no other.
    static void deselect(QRadioButton* answer);
    // A label sizes itself to its text, keeping its top-left corner.
    static void setLabelText(QLabel* label, const QString& text);
    static void fitLabel(QLabel* label);
    // An answer whose caption is wider in the font at hand than the layout
    // planned for is widened just enough to show all of it, within its box.
    static void fitAnswerCaption(QRadioButton* answer);
    // An ordinary editable multi-line box that wraps at its width and never
    // shows scroll bars; Return makes a new line, Tab leaves the box.
    static void setUpResultBox(QPlainTextEdit* box);

private:
    void followSelection(QRadioButton* answer);

    QVector<QRadioButton*> answers_;
    QLabel* scoreLabel_;
    QLabel* unitLabel_;
    QPlainTextEdit* resultBox_;
    Questionnaire questionnaire_;
};
