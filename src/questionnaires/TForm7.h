#pragma once

#include "TForm.h"

class TForm7 : public TForm {
    Q_OBJECT
public:
    explicit TForm7(QWidget* parent = nullptr);
};
