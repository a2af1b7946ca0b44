// The exit sequence: every window settles first (a failure is reported and
// the program stays; a second request right after it, or while its report is
// still up, ends without storing), then the loop ends and the windows go,
// last created first.
#include "TApplication.h"

#include "Forms.h"
#include "TForm.h"
#include "TForm1.h"

void TApplication::Terminate() {
    if (!exitRefused_ && !SettleForms())
        return;
    terminated_ = true;
    // Every event loop ends, not only the main one: a request that comes while
    // a report box or a question runs its own loop (even during start-up,
    // before the main loop) must end the program, not wait for the box.
    QCoreApplication::exit(0);
}

bool TApplication::SettleForms() {
    for (TForm* form : forms_) {
        try {
            form->SettleForExit();
        } catch (...) {
            // Refused before the report runs: a request that comes while the
            // report is still up ends the program instead of stacking another.
            exitRefused_ = true;
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
