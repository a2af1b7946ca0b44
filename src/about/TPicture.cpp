#include "TPicture.h"

#include "Exception.h"
#include "TGraphic.h"
#include "TPictureRegistry.h"

TPicture::TPicture() = default;
TPicture::~TPicture() = default;

void TPicture::Clear() { graphic_.reset(); }

void TPicture::LoadFromStoredData(const QByteArray& data) {
    graphic_.reset();
    if (data.isEmpty())
        throw Exception(QStringLiteral("Picture data is empty"));
    const int nameLength = static_cast<unsigned char>(data.at(0));
    if (nameLength == 0 || data.size() < 1 + nameLength)
        throw Exception(QStringLiteral("Picture data is truncated"));
    const QString className = QString::fromLatin1(data.mid(1, nameLength));
    const TPictureRegistry::Entry* entry = TPictureRegistry::instance().findByClassName(className);
    if (!entry)
        throw Exception(QStringLiteral("Unknown picture type \"%1\"").arg(className));
    std::unique_ptr<TGraphic> graphic = entry->create();
    graphic->ReadData(data.mid(1 + nameLength));
    graphic_ = std::move(graphic);
}
