#include "TApplication.h"

#include "Exception.h"
#include "ExitRequests.h"
#include "Forms.h"
#include "TForm1.h"
#include "Guarded.h"
#include "Placement.h"
#include "PlatformChoice.h"
#include "TForm.h"
#include "Version.h"

#include <QAbstractButton>
#include <QFileInfo>
#include <QIcon>
#include <QKeyEvent>
#include <QLibraryInfo>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QTranslator>
#include <QPointer>
#include <QScreen>
#include <cstdlib>
#include <filesystem>

TApplication* Application = nullptr;

void reportHandlerException(std::exception_ptr error) noexcept {
    try {
        if (Application)
            Application->HandleException(error);
    } catch (...) {
        // The report itself failed; there is nowhere left to show it.
    }
}

namespace {
// argc passes through so that the font mapping and the platform choice are
// in place before the toolkit starts.
int& beforeToolkit(int& argc, char** argv) {
    TApplication::prepareFontMapping();
    PlatformChoice::apply(argc, argv);
    return argc;
}
} // namespace

void TApplication::prepareFontMapping() {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (ec)
        return;
    const fs::path dir = exe.parent_path();
    for (const fs::path& candidate :
         {dir / "kartoteka-fonts.conf", dir / ".." / ".." / "share" / "kartoteka" / "fonts.conf"}) {
        if (fs::exists(candidate, ec)) {
            ::setenv("FONTCONFIG_FILE", fs::canonical(candidate, ec).c_str(), 1);
            return;
        }
    }
}

TApplication::TApplication(int& argc, char** argv)
    : QApplication(beforeToolkit(argc, argv), argv), showCommand_(launcherShowCommand()) {
    Application = this;
    title_ = titleFromExecutablePath(QCoreApplication::applicationFilePath());
    setApplicationName(title_);
    // No display name: the toolkit would append it to every window caption
    // ("База клиентов — Kartoteka"). The title still names the task-bar entry
    // (the application name) and the error report.
    setApplicationDisplayName(QStringLiteral(""));
    setApplicationVersion(QStringLiteral(KARTOTEKA_FILE_VERSION));
    setWindowIcon(QIcon(QStringLiteral(":/kartoteka/icons/kartoteka.ico")));
    setQuitOnLastWindowClosed(false);
    installEventFilter(this);
    watchExitRequests(*this);
    // Qt's own texts, such as the edit boxes' context menus, in Russian.
    auto* qtTexts = new QTranslator(this);
    if (qtTexts->load(QLocale(QLocale::Russian, QLocale::Russia), QStringLiteral("qtbase"), QStringLiteral("_"),
                      QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        installTranslator(qtTexts);
}

TApplication::~TApplication() {
    DestroyForms();
    if (Application == this)
        Application = nullptr;
}

QString TApplication::titleFromExecutablePath(const QString& path) {
    QString name = path.mid(path.lastIndexOf(QLatin1Char('\\')) + 1);
    name = name.mid(name.lastIndexOf(QLatin1Char('/')) + 1);
    const int dot = int(name.indexOf(QLatin1Char('.')));
    if (dot >= 0)
        name.truncate(dot);
    if (name.size() > 1)
        name = name.left(1) + name.mid(1).toLower();
    return name;
}

void TApplication::adoptForm(TForm* form) {
    forms_.push_back(form);
    if (!mainForm_) {
        mainForm_ = form;
        mainForm_->winId(); // the main window's handle exists from now on, still hidden
    } else {
        // Secondary windows belong to the main window: one task-bar entry
        // for the whole program. X11 marks only dialog-type windows as
        // transient for their owner, so they become that type (keeping their
        // frame, title, system menu and border buttons).
        const QPoint place = form->pos();
        const Qt::WindowFlags flags = (form->windowFlags() & ~Qt::WindowType_Mask) | Qt::Dialog;
        form->setParent(mainForm_, flags);
        form->move(place);
    }
    guarded([form] {
        form->ScaleForTextHeight();
        form->FormCreate();
    });
}

TShowCommand TApplication::launcherShowCommand() {
    // An X11 or Wayland launcher passes no show request to a program.
    return TShowCommand::Normal;
}

void TApplication::showMainForm() {
    if (!mainForm_)
        return;
    switch (showCommand_) {
    case TShowCommand::Maximized:
        mainForm_->setWindowState(Qt::WindowMaximized);
        mainForm_->setVisibleFlag(true);
        break;
    case TShowCommand::MinimizedNoActivate:
        mainForm_->setAttribute(Qt::WA_ShowWithoutActivating, true);
        mainForm_->setWindowState(Qt::WindowMinimized);
        mainForm_->show();
        mainForm_->setAttribute(Qt::WA_ShowWithoutActivating, false);
        break;
    case TShowCommand::Normal:
        mainForm_->setVisibleFlag(true);
        break;
    }
}

int TApplication::Run() {
    int code = 0;
    if (!terminated_) {
        showMainForm();
        code = exec();
    }
    DestroyForms();
    terminated_ = false; // ended; the object could run a new set of windows
    return code;
}

void TApplication::Terminate() {
    if (!exitRefused_ && !SettleForms()) {
        exitRefused_ = true;
        return;
    }
    terminated_ = true;
    quit();
}

bool TApplication::SettleForms() {
    for (TForm* form : forms_) {
        try {
            form->SettleForExit();
        } catch (...) {
            HandleException(std::current_exception());
            return false;
        }
    }
    return true;
}

void TApplication::DestroyForms() {
    for (TForm* form : forms_)
        form->hide();
    while (!forms_.empty()) {
        TForm* form = forms_.back();
        forms_.pop_back();
        if (form == mainForm_)
            mainForm_ = nullptr;
        delete form;
        if (Form1 == form)
            Form1 = nullptr;
        for (TForm** reference : {&Form2, &Form3, &Form4, &Form5, &Form6, &Form7})
            if (*reference == form)
                *reference = nullptr;
    }
    mainForm_ = nullptr;
}

QString TApplication::reportText(const QString& message) {
    // "Sorts above" is a comparison of the character codes.
    if (!message.isEmpty() && message.back().unicode() > u'.')
        return message + QLatin1Char('.');
    return message;
}

void TApplication::HandleException(std::exception_ptr error) {
    if (QWidget* grabber = QWidget::mouseGrabber())
        grabber->releaseMouse();
    try {
        std::rethrow_exception(error);
    } catch (const EAbort&) {
    } catch (const Exception& e) {
        ShowException(reportText(e.message()));
    } catch (const std::exception& e) {
        ShowException(reportText(QString::fromUtf8(e.what())));
    } catch (...) {
        ShowException(reportText(QStringLiteral("Unknown error")));
    }
}

void TApplication::ShowException(const QString& message) {
    if (presenter_) {
        presenter_(message);
        return;
    }
    QPointer<QWidget> previousWindow = activeWindow();
    QPointer<QWidget> previousFocus = focusWidget();
    QMessageBox box(QMessageBox::Critical, title_, message, QMessageBox::Ok);
    box.setObjectName(QStringLiteral("ErrorReport"));
    box.button(QMessageBox::Ok)->setText(QStringLiteral("OK")); // not translated
    box.setTextFormat(Qt::PlainText);
    box.setWindowModality(Qt::ApplicationModal);
    // The box shows on the monitor of the active window.
    if (previousWindow) {
        const QRect area = Placement::monitorOf(previousWindow->frameGeometry())->geometry();
        box.adjustSize();
        box.move(Placement::centredIn(area, box.size()));
    }
    box.exec();
    if (previousWindow && previousWindow->isVisible()) {
        previousWindow->activateWindow();
        if (previousFocus && previousFocus->window() == previousWindow)
            previousFocus->setFocus(Qt::ActiveWindowFocusReason);
    }
}

// The application-wide shortcut check: a key combination that is a shortcut
// of the main window's menu runs that command before any control sees the
// key, from whichever window has the focus, while no modal window is open.
bool TApplication::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    // After an exit that could not store a record, a key or click in one of
    // the program's windows other than the menu strip means the user went
    // back to work: the next exit stores again.
    if (exitRefused_ && (type == QEvent::KeyPress || type == QEvent::MouseButtonPress) && watched->isWidgetType()) {
        auto* form = qobject_cast<TForm*>(static_cast<QWidget*>(watched)->window());
        if (form && form != mainForm_)
            exitRefused_ = false;
    }
    // Push buttons and check boxes use no arrow keys: the arrows move the
    // focus among the button's siblings (the toolkit would follow the tab chain).
    if (type == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const int k = key->key();
        auto* button = qobject_cast<QAbstractButton*>(watched);
        if (button && !button->autoExclusive() &&
            (k == Qt::Key_Left || k == Qt::Key_Right || k == Qt::Key_Up || k == Qt::Key_Down) &&
            !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
            if (auto* form = qobject_cast<TForm*>(button->window())) {
                bool moved = false;
                guarded([&] { moved = form->SelectNextSibling(k == Qt::Key_Right || k == Qt::Key_Down); });
                if (moved)
                    return true;
            }
        }
    }
    if ((type == QEvent::ShortcutOverride || type == QEvent::KeyPress) && watched->isWidgetType() &&
        mainForm_ && mainForm_->isEnabled() && !activeModalWidget()) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (type == QEvent::ShortcutOverride) {
            if (mainForm_->IsShortCut(*key, false)) {
                // Claimed: no shortcut of a control gets it, the key press follows.
                event->accept();
                return true;
            }
        } else {
            bool handled = false;
            guarded([&] { handled = mainForm_->IsShortCut(*key, true); });
            if (handled) {
                event->accept();
                return true;
            }
        }
    }
    return QApplication::eventFilter(watched, event);
}

bool TApplication::notify(QObject* receiver, QEvent* event) {
    // Last safety net only: handlers are entered through guarded().
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        HandleException(std::current_exception());
        return false;
    }
}
