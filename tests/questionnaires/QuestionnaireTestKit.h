#pragma once

// Drives a questionnaire window the way a user does (mouse clicks on answers
// and buttons) and reads what it shows. Also holds the expected questions,
// answers, weights and result texts of both windows, written out here
// independently of the program's own data.

#include "TForm.h"
#include "TestSupport.h"
#include "TForm6.h"
#include "TForm7.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <QFontMetrics>
#include <QGroupBox>
#include <QStyle>
#include <QStyleOptionButton>

#include <array>
#include <functional>
#include <vector>

struct ExpectedAnswer {
    const char* name;
    const char* caption;
    int weight;
};

struct ExpectedQuestion {
    const char* box;
    const char* caption;
    std::vector<ExpectedAnswer> answers; // top to bottom
};

struct ExpectedQuestionnaire {
    std::vector<ExpectedQuestion> questions;
    std::array<QString, 4> texts;
    int maxScore;
};

inline ExpectedQuestionnaire expectedSubordination() {
    return {{{"GroupBox1", "№1. Легко ли вас вывести из себя",
              {{"RadioButton1", "Да", 4},
               {"RadioButton2", "Если кто-то сильно давит", 3},
               {"RadioButton3", "Иногда выхожу из себя", 2},
               {"RadioButton4", "Нет", 1}}},
             {"GroupBox3", "№2. Что для вас гнев?",
              {{"RadioButton5", "Способ выместить злобу на других", 3},
               {"RadioButton6", "Необходимость, иначе весь день на смарку", 2},
               {"RadioButton7", "Я не знаю что это такое", 1}}},
             {"GroupBox10", "№3. Если на вас давят, вы...",
              {{"RadioButton8", "Будете давить в ответ", 3},
               {"RadioButton9", "Промолчите, а про себя пошлете его", 2},
               {"RadioButton10", "Промолчите и попросите извинения", 1}}},
             {"GroupBox9", "№4. Начальство заставляет выполнять чужую работу...",
              {{"RadioButton11", "Я сам себе начальство", 3},
               {"RadioButton12", "Надо делать, но я еще припомню им", 2},
               {"RadioButton13", "Пошел выполнять ПРИКАЗ", 1}}}},
            {QString::fromUtf8("Вы слабы, вы даже не думаете о том, что такое гнев. Если на вас наорали, вы все это "
                               "пережевали и пошли дальше работать. Хех... Смотрите фильм Управление Гневом с Квирбалом"),
             QString::fromUtf8("Вы настоящий подчиненный, начальство слушаете прилежно, но за углом выскажете себе под "
                               "нос все что вы о них думаете"),
             QString::fromUtf8("Если начальство вдруг начнет вас учить как жиь, вы за словом в карман не полезете, "
                               "начальник сразу узнает про вашу осведомленность про новенькую секретаршу, элитную "
                               "квартирку, о которой не знает его жена. Только не переусердствуйте!"),
             QString::fromUtf8("Для вас гнев - это профессия! Просыпаясь с утра вы только и думаете на кого бы сегодня "
                               "надо покричать. Если вы не начальник, то вам очень туго приходится. Попытайтесь "
                               "научиться расслабляться другими способами")},
            13};
}

inline ExpectedQuestionnaire expectedWeaknesses() {
    return {{{"GroupBox1", "№1. Если вам предложат конфетку, вы...",
              {{"RadioButton1", "Возьму конечно, конфеты моя слабость", 4},
               {"RadioButton2", "Посомневаюсь, поломаюсь, но все равно возьму", 3},
               {"RadioButton3", "Откажусь, но про себя пожалею об этом", 2},
               {"RadioButton4", "Нет, вы что я на диете", 1}}},
             {"GroupBox2", "№2. Ваши сослуживцы предложили устроить внеочередной обед, вы...",
              {{"RadioButton5", "Конечно пойду, замечания начальства я игнорирую", 4},
               {"RadioButton6", "Пойду, а когда выдастся еще возможность немного отдохнуть", 3},
               {"RadioButton7", "\"А если начальство заметит?\"", 2},
               {"RadioButton8", "\"Нет, что вы у меня еще очень много работы\"", 1}}},
             {"GroupBox3", "№3. Вы едите по ночам?",
              {{"RadioButton9", "Конечно, холодильник ночью как-то по особому светится ", 3},
               {"RadioButton10", "Ну иногда заглядываю", 2},
               {"RadioButton11", "Никогда, у меня там висельница для мышей", 1}}},
             {"GroupBox4", "№4. Любите ли вы спать?",
              {{"RadioButton12", "Ой, я очень люблю поспать, все на свете просплю", 3},
               {"RadioButton13", "Лишний часик для меня как глоток свежего воздуха в жару", 2},
               {"RadioButton14", "Ну если будильник звенит, значит пора вставать", 1}}}},
            {QString::fromUtf8("Вы очень выдержанный человек, ничто не может свести вас с ума, кроме вас самого. "
                               "Будьте бдительны!"),
             QString::fromUtf8("Иногда вы можете себе позволить маленькие слабости, но не так часто как хотелось бы."),
             QString::fromUtf8("Ваше \"хочу\" преобладает над вашим \"надо\", но в нужный момент вы можете взять себя "
                               "в руки и сказать слабостям НЕТ!!! "),
             QString::fromUtf8("Без вариантов! Ваша жизнь - наслаждение! Вам от этого хорошо, но оглянитесь вокруг, "
                               "может там кого-то это не устраивает?")},
            14};
}

// The band of a score, by the limits 4 / 5, 8 / 9, 12 / 13.
inline int expectedBand(int score) { return score <= 4 ? 0 : score <= 8 ? 1 : score <= 12 ? 2 : 3; }

// A questionnaire window seen from outside.
class QuestionnaireWindow {
public:
    explicit QuestionnaireWindow(TForm* form) : form_(form) {}

    TForm* form() const { return form_; }
    template <class W = QWidget> W* control(const char* name) const {
        W* w = form_->findChild<W*>(QString::fromLatin1(name));
        if (!w)
            qFatal("no control %s in %s", name, qPrintable(form_->objectName()));
        return w;
    }
    QRadioButton* answer(const char* name) const { return control<QRadioButton>(name); }
    QRadioButton* answer(int number) const {
        return control<QRadioButton>(QByteArray("RadioButton" + QByteArray::number(number)).constData());
    }
    QPushButton* resultButton() const { return control<QPushButton>("Button1"); }
    QPushButton* resetButton() const { return control<QPushButton>("Button2"); }
    QLabel* score() const { return control<QLabel>("Label2"); }
    QLabel* unit() const { return control<QLabel>("Label3"); }
    QPlainTextEdit* memo() const { return control<QPlainTextEdit>("Memo1"); }

    void show() {
        form_->setVisibleFlag(true);
        QVERIFY2(QTest::qWaitForWindowExposed(form_), "window not exposed");
    }
    // A click on the answer's round mark, as a user would do it.
    static void clickAnswer(QRadioButton* button) {
        QTest::mouseClick(button, Qt::LeftButton, Qt::NoModifier, QPoint(6, button->height() / 2));
    }
    void click(const char* name) const { clickAnswer(answer(name)); }
    static void clickButton(QAbstractButton* button) {
        QTest::mouseClick(button, Qt::LeftButton, Qt::NoModifier, button->rect().center());
    }
    void pressResult() const { clickButton(resultButton()); }
    void pressReset() const { clickButton(resetButton()); }

    // Member numbers of the answers selected now.
    std::vector<int> selected(int answerCount) const {
        std::vector<int> out;
        for (int n = 1; n <= answerCount; ++n)
            if (answer(n)->isChecked())
                out.push_back(n);
        return out;
    }

private:
    TForm* form_;
};

// Answer names that add up to a score, one answer per question at most; the
// first such set found (questions taken in order, no answer before the top).
inline std::vector<const char*> answersForScore(const ExpectedQuestionnaire& e, int target) {
    std::vector<const char*> chosen;
    std::function<bool(std::size_t, int)> search = [&](std::size_t q, int sum) {
        if (q == e.questions.size())
            return sum == target;
        chosen.push_back(nullptr);
        for (const ExpectedAnswer& a : e.questions[q].answers) {
            chosen.back() = a.name;
            if (search(q + 1, sum + a.weight))
                return true;
        }
        chosen.pop_back();
        return search(q + 1, sum);
    };
    if (!search(0, 0))
        qFatal("no answers add up to %d", target);
    return chosen;
}

// Every control as the layout gives it.
struct ExpectedControl {
    const char* name;
    const char* kind; // the Qt class standing in for it
    const char* parent;
    int x, y, width, height;
    const char* text;
    char font; // W, T, S or G
};

inline void checkFont(QWidget* w, char key) {
    const QFont f = w->font();
    switch (key) {
    case 'W':
        QCOMPARE(f.family(), QStringLiteral("MS Sans Serif"));
        QCOMPARE(f.pointSize(), 8);
        QVERIFY(!f.bold());
        break;
    case 'T':
        QCOMPARE(f.family(), QStringLiteral("Times New Roman"));
        QCOMPARE(f.pointSize(), 12);
        QVERIFY(f.bold());
        break;
    case 'S':
        QCOMPARE(f.family(), QStringLiteral("Tahoma"));
        QCOMPARE(f.pointSize(), 12);
        QVERIFY(f.bold());
        break;
    case 'G':
        QCOMPARE(f.family(), QStringLiteral("Garamond"));
        QCOMPARE(f.pointSize(), 12);
        QVERIFY(f.bold());
        break;
    default:
        QFAIL("unknown font key");
    }
    QVERIFY(!f.italic());
    const QColor ink = w->palette().color(QPalette::Active, QPalette::WindowText);
    QCOMPARE(ink, key == 'S' ? QColor(0x00, 0x80, 0x00) : QApplication::palette().color(QPalette::Active, QPalette::WindowText));
}

inline QString controlText(QWidget* w) {
    if (auto* label = qobject_cast<QLabel*>(w))
        return label->text();
    if (auto* button = qobject_cast<QAbstractButton*>(w))
        return button->text();
    if (auto* box = qobject_cast<QGroupBox*>(w))
        return box->title();
    if (auto* memo = qobject_cast<QPlainTextEdit*>(w))
        return memo->toPlainText();
    return QStringLiteral("<no text>");
}

// Checks one control of a window just loaded (before its create handler).
inline void checkControl(TForm* form, const ExpectedControl& c) {
    QWidget* w = form->findChild<QWidget*>(QString::fromLatin1(c.name));
    QVERIFY2(w, c.name);
    QCOMPARE(QString::fromLatin1(w->metaObject()->className()), QString::fromLatin1(c.kind));
    const QString parent = QString::fromLatin1(c.parent);
    QCOMPARE(w->parentWidget(), parent == QLatin1String("window") ? static_cast<QWidget*>(form)
                                                                  : form->findChild<QWidget*>(parent));
    QCOMPARE(w->pos(), QPoint(c.x, c.y));
    const QString text = QString::fromUtf8(c.text);
    QCOMPARE(controlText(w), text);
    checkFont(w, c.font);
    if (auto* label = qobject_cast<QLabel*>(w)) {
        // Labels size themselves to their text: all of it fits.
        QVERIFY2(label->width() >= label->fontMetrics().horizontalAdvance(text), c.name);
        QVERIFY2(label->height() >= label->fontMetrics().height(), c.name);
    } else if (qobject_cast<QRadioButton*>(w)) {
        // An answer is widened only where the font at hand needs a few pixels more.
        QCOMPARE(w->height(), c.height);
        QVERIFY2(w->width() >= c.width && w->width() <= c.width + 8, c.name);
    } else {
        QCOMPARE(w->size(), QSize(c.width, c.height));
    }
    if (auto* radio = qobject_cast<QRadioButton*>(w))
        QVERIFY(!radio->isChecked());
}

// The keyboard order of the tab stops, read from the window's focus chain.
inline QStringList focusChain(TForm* form, const QStringList& among) {
    QStringList order;
    QWidget* w = form->nextInFocusChain();
    for (int guard = 0; w != form && guard < 1000; ++guard, w = w->nextInFocusChain())
        if (among.contains(w->objectName()) && !order.contains(w->objectName()))
            order << w->objectName();
    return order;
}

// Tries every combination of answers (each question: none or one of its
// answers), pressing reset, clicking the answers and pressing the result
// button, and compares score, unit word, result text and selected answers.
inline void checkEveryCombination(QuestionnaireWindow& w, const ExpectedQuestionnaire& e) {
    const std::size_t n = e.questions.size();
    std::vector<int> choice(n, -1);
    QString unit = w.unit()->text();
    int combinations = 0;
    for (;;) {
        w.pressReset();
        int score = 0;
        QStringList expectChecked;
        for (std::size_t q = 0; q < n; ++q) {
            if (choice[q] < 0)
                continue;
            const ExpectedAnswer& a = e.questions[q].answers[std::size_t(choice[q])];
            w.click(a.name);
            score += a.weight;
            expectChecked << QString::fromLatin1(a.name);
        }
        w.pressResult();
        if (score == 0)
            unit = QStringLiteral("баллов");
        else if (score == 1)
            unit = QStringLiteral("балл");
        else if (score <= 4)
            unit = QStringLiteral("балла");
        const QString at = QStringLiteral("combination %1").arg(combinations);
        QVERIFY2(w.score()->text() == QString::number(score), qPrintable(at));
        QVERIFY2(w.unit()->text() == unit, qPrintable(at));
        QVERIFY2(w.memo()->toPlainText() == e.texts[std::size_t(expectedBand(score))], qPrintable(at));
        QStringList checked;
        for (QRadioButton* r : w.form()->findChildren<QRadioButton*>())
            if (r->isChecked())
                checked << r->objectName();
        checked.sort();
        expectChecked.sort();
        QVERIFY2(checked == expectChecked, qPrintable(at));
        ++combinations;
        // Next combination, like an odometer.
        std::size_t q = 0;
        while (q < n && ++choice[q] == int(e.questions[q].answers.size()))
            choice[q++] = -1;
        if (q == n)
            break;
    }
    int expected = 1;
    for (const auto& q : e.questions)
        expected *= int(q.answers.size()) + 1;
    QCOMPARE(combinations, expected);
}

// With the program's fonts every caption fits its control and the result
// labels do not run into each other, at the widest score too.
inline void checkCaptionsFit(TForm* form) {
    for (QRadioButton* r : form->findChildren<QRadioButton*>()) {
        QStyleOptionButton option;
        option.initFrom(r);
        option.text = r->text();
        const int left = r->style()->subElementRect(QStyle::SE_RadioButtonContents, &option, r).left();
        const int right = left + r->fontMetrics().horizontalAdvance(r->text().trimmed());
        QVERIFY2(right <= r->width(), qPrintable(r->objectName()));
        QVERIFY2(r->geometry().right() < r->parentWidget()->width(), qPrintable(r->objectName()));
    }
    for (QGroupBox* box : form->findChildren<QGroupBox*>())
        QVERIFY2(box->fontMetrics().horizontalAdvance(box->title()) + 16 <= box->width(), qPrintable(box->objectName()));
    for (QPushButton* b : form->findChildren<QPushButton*>())
        QVERIFY2(b->fontMetrics().horizontalAdvance(b->text()) + 8 <= b->width(), qPrintable(b->objectName()));
    QuestionnaireWindow w(form);
    auto* first = w.control<QLabel>("Label1");
    for (int i = 1; i <= 14; ++i)
        if (QRadioButton* r = form->findChild<QRadioButton*>(QStringLiteral("RadioButton%1").arg(i)))
            if (r->y() == 16)
                QuestionnaireWindow::clickAnswer(r);
    w.pressResult();
    QVERIFY(w.score()->text().toInt() >= 13);
    QVERIFY2(first->geometry().right() < w.score()->x(), "Ваш результат runs into the score");
    QVERIFY2(w.score()->geometry().right() < w.unit()->x(), "the score runs into the unit word");
    QVERIFY2(w.unit()->geometry().right() < w.resetButton()->x(), "the unit word runs into the reset button");
}
