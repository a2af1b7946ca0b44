#pragma once

#include <QDialog>

class QGroupBox;
class QLineEdit;
class QPushButton;
class TSession;

// Asks for the password of a protected table, built for one request. Closes
// with 1 for OK (the table is tried again) and 2 otherwise. Add, Remove and
// Remove all work on the session's password list at once.
class TPasswordDialog : public QDialog {
    Q_OBJECT
public:
    explicit TPasswordDialog(TSession& session, QWidget* parent = nullptr);

    QPushButton* OKButton = nullptr;
    QPushButton* CancelButton = nullptr;
    QGroupBox* GroupBox1 = nullptr;
    QLineEdit* Edit = nullptr;
    QPushButton* AddButton = nullptr;
    QPushButton* RemoveButton = nullptr;
    QPushButton* RemoveAllButton = nullptr;

    void EditChange();
    void AddButtonClick();
    void RemoveButtonClick();
    void RemoveAllButtonClick();
    void OKButtonClick();

    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    TSession& session_;
    bool passwordAdded_ = false;
};
