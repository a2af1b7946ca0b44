#include "Questionnaire.h"

#include "Exception.h"

#include <algorithm>

Questionnaire::Questionnaire(std::array<QString, 4> resultTexts) : resultTexts_(std::move(resultTexts)) {}

void Questionnaire::addQuestion(std::vector<Answer> answers) {
    if (answers.empty())
        throw Exception(QStringLiteral("Questionnaire layout: a question needs at least one answer"));
    std::stable_sort(answers.begin(), answers.end(),
                     [](const Answer& a, const Answer& b) { return a.top < b.top; });
    for (std::size_t i = 1; i < answers.size(); ++i)
        if (answers[i].top == answers[i - 1].top)
            throw Exception(QStringLiteral("Questionnaire layout: two answers of a question stand at the same height"));

    std::vector<int> numbers;
    const int count = static_cast<int>(answers.size());
    for (int rank = 0; rank < count; ++rank) {
        const int number = answers[rank].number;
        if (number < 1)
            throw Exception(QStringLiteral("Questionnaire layout: answer numbers start at 1"));
        if (number >= static_cast<int>(weights_.size()))
            weights_.resize(number + 1, 0);
        if (weights_[number] != 0)
            throw Exception(QStringLiteral("Questionnaire layout: answer number used twice"));
        weights_[number] = count - rank;
        numbers.push_back(number);
    }
    questions_.push_back(std::move(numbers));
}

int Questionnaire::answerCount() const {
    int n = 0;
    for (const auto& q : questions_)
        n += static_cast<int>(q.size());
    return n;
}

std::vector<int> Questionnaire::answersOf(int question) const {
    return questions_.at(static_cast<std::size_t>(question));
}

int Questionnaire::weight(int number) const {
    if (number < 1 || number >= static_cast<int>(weights_.size()))
        return 0;
    return weights_[number];
}

std::optional<QString> Questionnaire::unitWord(std::int32_t score) {
    if (score == 0)
        return QStringLiteral("баллов");
    if (score == 1)
        return QStringLiteral("балл");
    if (score >= 2 && score <= 4)
        return QStringLiteral("балла");
    return std::nullopt;
}

int Questionnaire::band(std::int32_t score) {
    if (score <= 4)
        return 1;
    if (score <= 8)
        return 2;
    if (score <= 12)
        return 3;
    // Scores above 16 cannot arise with four questions of at most four
    // answers; should one ever appear it still gets the top band's text
    // rather than leaving the old one in place.
    return 4;
}

const QString& Questionnaire::resultText(std::int32_t score) const {
    return resultTexts_[static_cast<std::size_t>(band(score) - 1)];
}
