#pragma once

#include <QByteArray>
#include <memory>

class TGraphic;

// What a picture control shows: one graphic of a registered picture type,
// loaded from the stored picture data of a window layout.
class TPicture {
public:
    TPicture();
    ~TPicture();

    // Stored picture data: a one-byte class-name length, the class name, then
    // the type's own data. Throws Exception for truncated data or an unknown
    // type, and leaves the picture empty then.
    void LoadFromStoredData(const QByteArray& data);

    TGraphic* Graphic() const { return graphic_.get(); }
    void Clear();

private:
    std::unique_ptr<TGraphic> graphic_;
};
