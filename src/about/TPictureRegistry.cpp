#include "TPictureRegistry.h"

#include "TGraphic.h"
#include "TJPEGImage.h"

TPictureRegistry& TPictureRegistry::instance() {
    static TPictureRegistry* registry = [] {
        auto* r = new TPictureRegistry();
        TJPEGImage::Register(*r);
        return r;
    }();
    return *registry;
}

void TPictureRegistry::registerType(Entry entry) {
    for (Entry& e : entries_) {
        if (e.className == entry.className) {
            e = std::move(entry);
            return;
        }
    }
    entries_.push_back(std::move(entry));
}

const TPictureRegistry::Entry* TPictureRegistry::findByClassName(const QString& className) const {
    for (const Entry& e : entries_)
        if (e.className == className)
            return &e;
    return nullptr;
}

const TPictureRegistry::Entry* TPictureRegistry::findByExtension(const QString& extension) const {
    const QString wanted = extension.startsWith(u'.') ? extension.mid(1) : extension;
    for (const Entry& e : entries_)
        if (e.extensions.contains(wanted, Qt::CaseInsensitive))
            return &e;
    return nullptr;
}
