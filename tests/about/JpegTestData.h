#pragma once

// Helpers shared by the picture tests: the committed portrait and ways to
// damage JPEG data.

#include <QByteArray>
#include <QFile>
#include <QString>

inline QByteArray readTestFile(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        qFatal("cannot read %s", qPrintable(path));
    return f.readAll();
}

inline QString sourcePath(const char* relative) {
    return qEnvironmentVariable("KARTOTEKA_SOURCE_DIR") + QLatin1Char('/') + QLatin1String(relative);
}

inline QByteArray portraitJpegBytes() { return readTestFile(sourcePath("resources/portrait.jpg")); }

// Removes every marker segment of the given type that stands ahead of the
// first scan (walking the segment lengths, not searching for byte patterns).
inline QByteArray withoutSegments(const QByteArray& jpeg, unsigned char marker) {
    QByteArray out = jpeg.left(2); // SOI
    int pos = 2;
    while (pos + 4 <= jpeg.size()) {
        const auto type = static_cast<unsigned char>(jpeg[pos + 1]);
        const int length = (static_cast<unsigned char>(jpeg[pos + 2]) << 8) | static_cast<unsigned char>(jpeg[pos + 3]);
        if (type == 0xDA) { // start of scan: the rest is copied as it is
            out += jpeg.mid(pos);
            return out;
        }
        if (type != marker)
            out += jpeg.mid(pos, 2 + length);
        pos += 2 + length;
    }
    return out;
}
