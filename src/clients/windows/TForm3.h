#pragma once

#include "ClientWindow.h"

#include <memory>

namespace Ui {
class TForm3;
}
class CardFinder;
class QLabel;

// The client base window "База клиентов": browses the card index one client
// record at a time, edits the shown record, adds and deletes records. It has
// its own cursor on the client table, opened when the window is created.
class TForm3 : public ClientWindow {
    Q_OBJECT
public:
    explicit TForm3(QWidget* parent = nullptr);
    ~TForm3() override;

    QLabel* Label10;
    QLabel* Label11;
    QLabel* Label12;
    QLabel* Label13;

    // Ctrl+F and F3: finding a card by surname, first name, patronymic or number.
    CardFinder* Finder() const { return finder_.get(); }

protected:
    bool HandleKey(const QKeyEvent& key) override;

private:
    std::unique_ptr<Ui::TForm3> ui_;
    std::unique_ptr<CardFinder> finder_;
};
