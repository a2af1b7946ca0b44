#pragma once

#include "TForm.h"

#include <memory>

namespace Ui {
class TForm2;
}
class QGroupBox;
class QLineEdit;
class TTable;

// The general client-details window: a group box with two unbound edit boxes.
// It is created at start-up and never shown; nothing opens its table.
class TForm2 : public TForm {
    Q_OBJECT
public:
    explicit TForm2(QWidget* parent = nullptr);
    ~TForm2() override;

    QGroupBox* GroupBox1;
    QLineEdit* Edit1;
    QLineEdit* Edit2;
    // A cursor with no database, no table and no fields; nothing opens it.
    TTable* Table1;

private:
    std::unique_ptr<Ui::TForm2> ui_;
};
