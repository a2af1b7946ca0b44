#include "QuestionnaireSheet.h"

#include "Guarded.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionButton>

#include <map>

QuestionnaireSheet::QuestionnaireSheet(QVector<QRadioButton*> answers, QLabel* scoreLabel,
                                       QLabel* unitLabel, QPlainTextEdit* resultBox,
                                       std::array<QString, 4> resultTexts, QObject* parent)
    : QObject(parent), answers_(std::move(answers)), scoreLabel_(scoreLabel), unitLabel_(unitLabel),
      resultBox_(resultBox), questionnaire_(std::move(resultTexts)) {
    // Questions in the order of their first answer's number; answers grouped
    // by the box they stand in.
    std::vector<QWidget*> boxes;
    std::map<QWidget*, std::vector<Questionnaire::Answer>> byBox;
    for (int i = 0; i < answers_.size(); ++i) {
        QRadioButton* answer = answers_[i];
        QWidget* box = answer->parentWidget();
        if (!byBox.count(box))
            boxes.push_back(box);
        byBox[box].push_back({i + 1, answer->geometry().top()});
    }
    for (QWidget* box : boxes)
        questionnaire_.addQuestion(byBox[box]);

    for (QRadioButton* answer : answers_) {
        // Each question's box is one exclusive group: selecting an answer
        // deselects its siblings and nothing else.
        answer->setAutoExclusive(true);
        followSelection(answer);
        fitAnswerCaption(answer);
        connect(answer, &QRadioButton::toggled, this,
                [this, answer](bool) { guarded([this, answer] { followSelection(answer); }); });
    }
    setUpResultBox(resultBox_);
    nameResultBox();
}

// An answer is a tab stop only while it is selected; a click still focuses it.
void QuestionnaireSheet::followSelection(QRadioButton* answer) {
    answer->setFocusPolicy(answer->isChecked() ? Qt::StrongFocus : Qt::ClickFocus);
}

std::int32_t QuestionnaireSheet::score() const {
    return questionnaire_.score([this](int number) { return answers_[number - 1]->isChecked(); });
}

void QuestionnaireSheet::showResult() {
    const std::int32_t value = score();
    setLabelText(scoreLabel_, QString::number(value));
    if (const auto word = Questionnaire::unitWord(value))
        setLabelText(unitLabel_, *word);
    resultBox_->setPlainText(questionnaire_.resultText(value));
    nameResultBox();
}

void QuestionnaireSheet::reset() {
    for (QRadioButton* answer : answers_)
        deselect(answer);
    setLabelText(scoreLabel_, QStringLiteral("0"));
    resultBox_->clear();
    nameResultBox();
}

void QuestionnaireSheet::nameResultBox() {
    resultBox_->setAccessibleName(
        QStringLiteral("Ваш результат: %1 %2").arg(scoreLabel_->text(), unitLabel_->text()));
    resultBox_->setAccessibleDescription(QStringLiteral("Толкование результата"));
}

void QuestionnaireSheet::deselect(QRadioButton* answer) {
    if (!answer->isChecked())
        return;
    // An exclusive radio button refuses to be unchecked directly; lifting the
    // exclusivity for this one change leaves every sibling as it is.
    const bool exclusive = answer->autoExclusive();
    answer->setAutoExclusive(false);
    answer->setChecked(false);
    answer->setAutoExclusive(exclusive);
}

void QuestionnaireSheet::setLabelText(QLabel* label, const QString& text) {
    label->setText(text);
    fitLabel(label);
}

void QuestionnaireSheet::fitLabel(QLabel* label) {
    const QPoint topLeft = label->pos();
    label->adjustSize();
    label->move(topLeft);
}

void QuestionnaireSheet::fitAnswerCaption(QRadioButton* answer) {
    QStyleOptionButton option;
    option.initFrom(answer);
    option.text = answer->text();
    const int textLeft = answer->style()->subElementRect(QStyle::SE_RadioButtonContents, &option, answer).left();
    // A trailing space draws nothing, so it may stick out.
    QString shown = answer->text();
    while (shown.endsWith(QLatin1Char(' ')))
        shown.chop(1);
    const int needed = textLeft + answer->fontMetrics().horizontalAdvance(shown) + 1;
    if (needed <= answer->width())
        return;
    int room = needed;
    if (QWidget* box = answer->parentWidget())
        room = std::min(needed, box->width() - 2 - answer->x());
    if (room > answer->width())
        answer->resize(room, answer->height());
}

void QuestionnaireSheet::setUpResultBox(QPlainTextEdit* box) {
    box->setReadOnly(false);
    box->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    box->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    box->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    box->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    box->setTabChangesFocus(true);
}
