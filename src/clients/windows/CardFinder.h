#pragma once

#include <QList>
#include <QString>

class QWidget;
class TField;
class TTable;

// Finding a card by part of its surname, first name, patronymic or number:
// Ask (Ctrl+F) asks for the text and goes to the next card that contains it,
// Again (F3) looks for the same text once more. When no other card has it,
// the card stays and a message says so.
class CardFinder {
public:
    CardFinder(QWidget* window, TTable* table, QList<TField*> fields);

    void Ask();
    // Asks first when nothing was looked for yet.
    void Again();
    const QString& Text() const { return text_; }

private:
    void find();

    QWidget* window_;
    TTable* table_;
    QList<TField*> fields_;
    QString text_;
};
