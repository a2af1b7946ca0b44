// The application object: the font mapping and platform choice before the
// toolkit starts, the title, the windows in creation order and the main
// window's first show. The exit sequence is in TApplicationExit.cpp, error
// reports in TApplicationErrors.cpp, the application-wide key check in
// TApplicationKeys.cpp.
#include "TApplication.h"

#include "ExitRequests.h"
#include "Guarded.h"
#include "PlatformChoice.h"
#include "TForm.h"
#include "Version.h"

#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <cstdlib>
#include <filesystem>

TApplication* Application = nullptr;

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
