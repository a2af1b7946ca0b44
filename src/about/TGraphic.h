#pragma once

#include <QByteArray>
#include <QPoint>

class QPainter;

// A picture type the picture control can hold. Each type reads its own part
// of the stored picture data (what follows the class name).
class TGraphic {
public:
    virtual ~TGraphic() = default;

    // Reads the type's stored data; throws Exception on malformed data.
    virtual void ReadData(const QByteArray& data) = 0;
    virtual bool Empty() const = 0;
    virtual int Width() const = 0;
    virtual int Height() const = 0;
    // Draws the picture at its natural size with its top-left corner at `at`.
    virtual void Draw(QPainter& painter, QPoint at) = 0;
};
