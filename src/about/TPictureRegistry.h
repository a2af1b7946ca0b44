#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

class TGraphic;

// The picture types the program knows, by the class name that stored picture
// data names them with, with their file extensions and a description.
class TPictureRegistry {
public:
    using Factory = std::function<std::unique_ptr<TGraphic>()>;
    struct Entry {
        QString className;
        QStringList extensions;
        QString description;
        Factory create;
    };

    // The registry of the process. The built-in types (JPEG) are registered
    // the first time it is used.
    static TPictureRegistry& instance();

    // Registers a type; a second registration of a class name replaces the first.
    void registerType(Entry entry);
    // nullptr when the class name is unknown.
    const Entry* findByClassName(const QString& className) const;
    const Entry* findByExtension(const QString& extension) const;

private:
    TPictureRegistry() = default;
    std::vector<Entry> entries_;
};
