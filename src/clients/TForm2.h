#pragma once

#include "TForm.h"

class TForm2 : public TForm {
    Q_OBJECT
public:
    explicit TForm2(QWidget* parent = nullptr);
};
