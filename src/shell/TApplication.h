#pragma once

#include <QApplication>
#include <QString>
#include <functional>
#include <vector>

class TForm;

// How the launcher asked the main window to be shown at start-up.
enum class TShowCommand { Normal, Maximized, MinimizedNoActivate };

// The application object: the title, the windows in creation order, the error
// report, the application-wide menu shortcuts and the exit sequence.
class TApplication : public QApplication {
    Q_OBJECT
public:
    TApplication(int& argc, char** argv);
    ~TApplication() override;

    // The title made from the executable's file name ("kartoteka" gives "Kartoteka").
    const QString& Title() const { return title_; }
    static QString titleFromExecutablePath(const QString& path);

    // Creates a window, loads its layout (its constructor) and runs its create
    // handler; an error there goes to the error report and start-up goes on.
    // The first window created becomes the main window; `reference` is set
    // as soon as the window exists. The program-wide references Form1..Form7
    // are cleared when their windows are destroyed at exit.
    template <class T, class Ref> void CreateForm(Ref*& reference) {
        T* form = new T();
        reference = form;
        adoptForm(form);
    }
    TForm* MainForm() const { return mainForm_; }
    const std::vector<TForm*>& Forms() const { return forms_; }

    // Shows the main window and runs the event loop; then the exit sequence.
    int Run();
    // Ends the program: every window first settles its pending record as a
    // move would, so that nothing typed is lost; then the event loop stops and
    // the exit sequence runs. When a record cannot be stored the error report
    // says why and the program stays open, the record still pending; asked
    // again right after that, the program ends without storing.
    void Terminate();
    // Settles every window's pending record; false, after the report, when
    // one failed (the exit counts as refused from before the report on).
    bool SettleForms();
    bool Terminated() const { return terminated_; }
    // The exit sequence: hide every window, destroy them last-created first.
    void DestroyForms();

    // The show request of the launcher. Only Windows passes one; elsewhere it
    // is Normal unless set (tests set it).
    static TShowCommand launcherShowCommand();
    void setStartupShowCommand(TShowCommand command) { showCommand_ = command; }

    // The application error report.
    void HandleException(std::exception_ptr error);
    // Whether the mouse capture was cancelled (by a report) while the press
    // being delivered now was on its way to its control: the user has since
    // answered the report, so that press no longer holds anything.
    bool CaptureCancelledDuringPress() const { return captureCancels_ != cancelsAtPress_; }
    void ShowException(const QString& message);
    // The text the report shows: a full stop is added when the last character sorts above ".".
    static QString reportText(const QString& message);
    // Tests replace the message box with a function that receives the text.
    using ErrorPresenter = std::function<void(const QString&)>;
    void setErrorPresenter(ErrorPresenter presenter) { presenter_ = std::move(presenter); }

    bool notify(QObject* receiver, QEvent* event) override;

    // Points fontconfig at the program's font mapping (resources/fonts.conf:
    // beside the program in the build, share/kartoteka/fonts.conf when
    // installed, the program being in lib/kartoteka); runs before the toolkit starts.
    static void prepareFontMapping();

signals:
    // Every report first cancels the mouse capture: held buttons let go.
    void mouseCaptureCancelled();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void adoptForm(TForm* form);
    // After a report: the window that was active is activated again, with the
    // focus on the control that had it.
    static void restoreAfterReport(QWidget* window, QWidget* focus);
    void showMainForm();

    QString title_;
    TForm* mainForm_ = nullptr;
    std::vector<TForm*> forms_;
    ErrorPresenter presenter_;
    TShowCommand showCommand_;
    bool terminated_ = false;
    bool exitRefused_ = false; // the last attempt to end failed to store a record
    bool reporting_ = false;
    int captureCancels_ = 0;
    int cancelsAtPress_ = 0; // captureCancels_ when the press now delivered arrived
};

extern TApplication* Application;
