#pragma once

#include "TPicture.h"

#include <QWidget>

// The picture control: shows its picture at natural size from its top-left
// corner, clipped to the control (no stretching or centring). The mouse does
// nothing on it.
class TImage : public QWidget {
    Q_OBJECT
public:
    explicit TImage(QWidget* parent = nullptr);

    TPicture& Picture() { return picture_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    TPicture picture_;
};
