#pragma once

#include "TForm.h"

class TForm3 : public TForm {
    Q_OBJECT
public:
    explicit TForm3(QWidget* parent = nullptr);
};
