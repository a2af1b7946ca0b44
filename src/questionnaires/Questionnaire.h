#pragma once

#include <QString>

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

// A scored questionnaire without its widgets: questions made of answers, the
// weight of every answer, the score of a set of chosen answers, the unit word
// and the result text of a score.
//
// Answers are identified by their number (1 for RadioButton1, and so on).
// An answer's weight follows where it stands on screen: the top answer of a
// question weighs as many points as the question has answers, each answer
// below it one point less, the bottom one 1 point. The order in which answers
// are handed over (layout data, tab order) plays no part.
class Questionnaire {
public:
    struct Answer {
        int number; // member number, 1-based
        int top;    // vertical position on screen within its question
    };

    explicit Questionnaire(std::array<QString, 4> resultTexts);

    // Adds a question; its answers may come in any order. Numbers must be
    // unique over the whole questionnaire, and answers of one question must
    // not share a vertical position (their order would be undefined).
    void addQuestion(std::vector<Answer> answers);

    int questionCount() const { return static_cast<int>(questions_.size()); }
    int answerCount() const;
    // The answer numbers of a question, top to bottom.
    std::vector<int> answersOf(int question) const;
    // 0 for a number that belongs to no question.
    int weight(int number) const;

    // The sum of the weights of the selected answers, taken in number order.
    template <class Selected> std::int32_t score(Selected&& selected) const {
        std::int32_t sum = 0;
        for (int number = 1; number < static_cast<int>(weights_.size()); ++number)
            if (weights_[number] > 0 && selected(number))
                sum += weights_[number];
        return sum;
    }

    // "баллов" for 0, "балл" for 1, "балла" for 2 to 4; no word for any other
    // score: the unit label then keeps the word it showed last.
    static std::optional<QString> unitWord(std::int32_t score);
    // Band 1 up to 4 points (0 included), 2 for 5 to 8, 3 for 9 to 12, 4 above.
    static int band(std::int32_t score);
    const QString& resultText(std::int32_t score) const;

private:
    std::vector<std::vector<int>> questions_; // answer numbers, top to bottom
    std::vector<int> weights_;                // by answer number; 0 = no answer
    std::array<QString, 4> resultTexts_;
};
