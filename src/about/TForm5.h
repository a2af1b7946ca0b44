#pragma once

#include "TForm.h"

class TImage;
class TSpeedButton;
namespace Ui {
class TForm5;
}

// The authorship window: a borderless portrait with a small flat button in
// its top-right corner that closes (hides) the window.
class TForm5 : public TForm {
    Q_OBJECT
public:
    explicit TForm5(QWidget* parent = nullptr);
    ~TForm5() override;

    TImage* Image1 = nullptr;
    TSpeedButton* SpeedButton1 = nullptr;

    void SpeedButton1Click();

    // Where the window's picture is stored, as the layout holds it.
    static QString pictureResource();

private:
    Ui::TForm5* ui_;
};
