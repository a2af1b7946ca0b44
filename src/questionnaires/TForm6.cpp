#include "TForm6.h"

#include "QuestionnaireSheet.h"

namespace {

// The result texts of the four score bands, put into Memo1 whole.
std::array<QString, 4> resultTexts() {
    return {
        QStringLiteral("Вы слабы, вы даже не думаете о том, что такое гнев. Если на вас наорали, вы все "
                       "это пережевали и пошли дальше работать. Хех... Смотрите фильм Управление Гневом "
                       "с Квирбалом"),
        QStringLiteral("Вы настоящий подчиненный, начальство слушаете прилежно, но за углом выскажете "
                       "себе под нос все что вы о них думаете"),
        QStringLiteral("Если начальство вдруг начнет вас учить как жиь, вы за словом в карман не "
                       "полезете, начальник сразу узнает про вашу осведомленность про новенькую "
                       "секретаршу, элитную квартирку, о которой не знает его жена. Только не "
                       "переусердствуйте!"),
        QStringLiteral("Для вас гнев - это профессия! Просыпаясь с утра вы только и думаете на кого бы "
                       "сегодня надо покричать. Если вы не начальник, то вам очень туго приходится. "
                       "Попытайтесь научиться расслабляться другими способами"),
    };
}

} // namespace

TForm6::TForm6(QWidget* parent) : QuestionnaireForm(parent) {
    setupUi(this);
    setObjectName(QStringLiteral("TForm6"));
    setBorderStyle(TBorderStyle::bsSizeable);
    setPosition(TPosition::poDesigned);
    setDesignedBounds(185, 209, 626, 343);

    auto* sheet = new QuestionnaireSheet({RadioButton1, RadioButton2, RadioButton3, RadioButton4,
                                          RadioButton5, RadioButton6, RadioButton7, RadioButton8,
                                          RadioButton9, RadioButton10, RadioButton11, RadioButton12,
                                          RadioButton13},
                                         Label2, Label3, Memo1, resultTexts(), this);
    attachSheet(sheet, {Label1, Label2, Label3}, Button1, Button2);
}

void TForm6::FormCreate() {
    for (QRadioButton* answer : {RadioButton1, RadioButton2, RadioButton3, RadioButton4, RadioButton5,
                                 RadioButton6, RadioButton7, RadioButton8, RadioButton9, RadioButton10,
                                 RadioButton11, RadioButton12, RadioButton13})
        QuestionnaireSheet::deselect(answer);
}
