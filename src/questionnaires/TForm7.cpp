#include "TForm7.h"

#include "QuestionnaireSheet.h"

namespace {

// The result texts of the four score bands, put into Memo1 whole.
std::array<QString, 4> resultTexts() {
    return {
        QStringLiteral("Вы очень выдержанный человек, ничто не может свести вас с ума, кроме вас "
                       "самого. Будьте бдительны!"),
        QStringLiteral("Иногда вы можете себе позволить маленькие слабости, но не так часто как "
                       "хотелось бы."),
        QStringLiteral("Ваше \"хочу\" преобладает над вашим \"надо\", но в нужный момент вы можете "
                       "взять себя в руки и сказать слабостям НЕТ!!! "),
        QStringLiteral("Без вариантов! Ваша жизнь - наслаждение! Вам от этого хорошо, но оглянитесь "
                       "вокруг, может там кого-то это не устраивает?"),
    };
}

} // namespace

TForm7::TForm7(QWidget* parent) : QuestionnaireForm(parent) {
    setupUi(this);
    setObjectName(QStringLiteral("TForm7"));
    setBorderStyle(TBorderStyle::bsSizeable);
    setPosition(TPosition::poDesigned);
    setDesignedBounds(223, 258, 709, 356);

    // Question 1's answers come in the layout as 2, 3, 4, 1; RadioButton1
    // stands on top and so weighs most.
    auto* sheet = new QuestionnaireSheet({RadioButton1, RadioButton2, RadioButton3, RadioButton4,
                                          RadioButton5, RadioButton6, RadioButton7, RadioButton8,
                                          RadioButton9, RadioButton10, RadioButton11, RadioButton12,
                                          RadioButton13, RadioButton14},
                                         Label2, Label3, Memo1, resultTexts(), this);
    attachSheet(sheet, {Label1, Label2, Label3}, Button1, Button2);
}

// The layout's placeholder texts never show: the box starts empty, the score at 0.
void TForm7::FormCreate() {
    Memo1->clear();
    QuestionnaireSheet::setLabelText(Label2, QStringLiteral("0"));
    sheet()->nameResultBox();
}
