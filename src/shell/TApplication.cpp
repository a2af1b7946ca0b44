#include "TApplication.h"

#include "Exception.h"
#include "Guarded.h"
#include "TForm.h"

#include <QFileInfo>
#include <QMessageBox>

TApplication* Application = nullptr;

void reportHandlerException(std::exception_ptr error) noexcept {
    if (Application)
        Application->HandleException(error);
}

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {
    Application = this;
    title_ = titleFromExecutablePath(QCoreApplication::applicationFilePath());
    setApplicationName(title_);
    setQuitOnLastWindowClosed(false);
}

TApplication::~TApplication() {
    DestroyForms();
    Application = nullptr;
}

QString TApplication::titleFromExecutablePath(const QString& path) {
    QString name = path.mid(path.lastIndexOf(QLatin1Char('\\')) + 1);
    name = name.mid(name.lastIndexOf(QLatin1Char('/')) + 1);
    const int dot = name.indexOf(QLatin1Char('.'));
    if (dot >= 0)
        name.truncate(dot);
    if (name.size() > 1)
        name = name.left(1) + name.mid(1).toLower();
    return name;
}

void TApplication::adoptForm(TForm* form) {
    forms_.push_back(form);
    if (!mainForm_)
        mainForm_ = form;
    guarded([form] { form->FormCreate(); });
}

int TApplication::Run() {
    if (mainForm_)
        mainForm_->setVisibleFlag(true);
    const int code = exec();
    DestroyForms();
    return code;
}

void TApplication::DestroyForms() {
    for (TForm* form : forms_)
        form->hide();
    while (!forms_.empty()) {
        TForm* form = forms_.back();
        forms_.pop_back();
        delete form;
    }
    mainForm_ = nullptr;
}

QString TApplication::reportText(const QString& message) {
    if (!message.isEmpty() && message.back().unicode() > u'.')
        return message + QLatin1Char('.');
    return message;
}

void TApplication::HandleException(std::exception_ptr error) {
    try {
        std::rethrow_exception(error);
    } catch (const EAbort&) {
    } catch (const Exception& e) {
        ShowException(reportText(e.message()));
    } catch (const std::exception& e) {
        ShowException(reportText(QString::fromUtf8(e.what())));
    } catch (...) {
        ShowException(QStringLiteral("Unknown error."));
    }
}

void TApplication::ShowException(const QString& message) {
    if (presenter_) {
        presenter_(message);
        return;
    }
    QMessageBox box(QMessageBox::Critical, title_, message, QMessageBox::Ok);
    box.exec();
}

bool TApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        HandleException(std::current_exception());
        return false;
    }
}
