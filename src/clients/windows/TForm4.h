#pragma once

#include "ClientWindow.h"

#include <memory>

namespace Ui {
class TForm4;
}

// The client entry window "Form4": a second window on the client table with
// only Insert and Cancel on its bar. It has its own cursor, independent of the
// client base window's, opened when the window is created.
class TForm4 : public ClientWindow {
    Q_OBJECT
public:
    explicit TForm4(QWidget* parent = nullptr);
    ~TForm4() override;

private:
    std::unique_ptr<Ui::TForm4> ui_;
};
