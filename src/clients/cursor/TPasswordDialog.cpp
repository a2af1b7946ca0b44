#include "TPasswordDialog.h"

#include "Guarded.h"
#include "TSession.h"

#include <QGroupBox>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>

namespace {
constexpr int kResultOk = 1;
constexpr int kResultCancel = 2;
} // namespace

TPasswordDialog::TPasswordDialog(TSession& session, QWidget* parent) : QDialog(parent), session_(session) {
    setObjectName(QStringLiteral("PasswordDialog"));
    setWindowTitle(QStringLiteral("Enter password"));
    // A dialog frame: fixed size, no minimize or maximize box, no help button.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setFixedSize(273, 132);
    setModal(true);

    GroupBox1 = new QGroupBox(QStringLiteral("Password"), this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    GroupBox1->setGeometry(8, 8, 257, 81);

    Edit = new QLineEdit(GroupBox1);
    Edit->setObjectName(QStringLiteral("Edit"));
    Edit->setGeometry(16, 18, 225, 20);
    Edit->setEchoMode(QLineEdit::Password);
    Edit->setStyleSheet(QStringLiteral("lineedit-password-character: 42;")); // "*"

    auto makeButton = [](QWidget* parent, const char* name, const QString& caption, QRect geometry) {
        auto* button = new QPushButton(caption, parent);
        button->setObjectName(QString::fromLatin1(name));
        button->setGeometry(geometry);
        button->setAutoDefault(false);
        return button;
    };
    AddButton = makeButton(GroupBox1, "AddButton", QStringLiteral("&Add"), {16, 46, 65, 25});
    RemoveButton = makeButton(GroupBox1, "RemoveButton", QStringLiteral("&Remove"), {88, 46, 65, 25});
    RemoveAllButton = makeButton(GroupBox1, "RemoveAllButton", QStringLiteral("Re&move all"), {160, 46, 81, 25});
    OKButton = makeButton(this, "OKButton", QStringLiteral("&OK"), {109, 98, 75, 25});
    CancelButton = makeButton(this, "CancelButton", QStringLiteral("Cancel"), {190, 98, 75, 25});
    OKButton->setDefault(true);
    OKButton->setEnabled(false);
    AddButton->setEnabled(false);
    RemoveButton->setEnabled(false);

    setTabOrder(Edit, AddButton);
    setTabOrder(AddButton, RemoveButton);
    setTabOrder(RemoveButton, RemoveAllButton);
    setTabOrder(RemoveAllButton, OKButton);
    setTabOrder(OKButton, CancelButton);

    connect(Edit, &QLineEdit::textChanged, this, [this] { guarded([this] { EditChange(); }); });
    connect(AddButton, &QPushButton::clicked, this, [this] { guarded([this] { AddButtonClick(); }); });
    connect(RemoveButton, &QPushButton::clicked, this, [this] { guarded([this] { RemoveButtonClick(); }); });
    connect(RemoveAllButton, &QPushButton::clicked, this, [this] { guarded([this] { RemoveAllButtonClick(); }); });
    connect(OKButton, &QPushButton::clicked, this, [this] { guarded([this] { OKButtonClick(); }); });
    connect(CancelButton, &QPushButton::clicked, this, [this] { done(kResultCancel); });

    Edit->setFocus();
}

void TPasswordDialog::EditChange() {
    const bool hasText = !Edit->text().isEmpty();
    AddButton->setEnabled(hasText);
    RemoveButton->setEnabled(hasText);
    OKButton->setEnabled(hasText || passwordAdded_);
}

void TPasswordDialog::AddButtonClick() {
    session_.AddPassword(Edit->text());
    passwordAdded_ = true;
    Edit->clear();
    EditChange();
    Edit->setFocus();
}

void TPasswordDialog::RemoveButtonClick() {
    session_.RemovePassword(Edit->text());
    Edit->clear();
    Edit->setFocus();
}

void TPasswordDialog::RemoveAllButtonClick() {
    session_.RemoveAllPasswords();
    Edit->setFocus();
}

void TPasswordDialog::OKButtonClick() {
    if (!Edit->text().isEmpty())
        session_.AddPassword(Edit->text());
    done(kResultOk);
}

void TPasswordDialog::reject() {
    // Esc and the close box.
    done(kResultCancel);
}

void TPasswordDialog::showEvent(QShowEvent* event) {
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->geometry();
        move(area.center() - QPoint(width() / 2, height() / 2));
    }
    Edit->setFocus();
    QDialog::showEvent(event);
}
