#include "framework/gui/Picture.h"

#include <QImageReader>
#include <QString>

namespace {

PictureReader& reader() {
    static PictureReader r;
    return r;
}

}  // namespace

Ref<Picture> ReadPictureResource(const String& fileName) {
    if (fileName.empty() || fileName.find('/') != String::npos) return nullptr;
    QImageReader file(QStringLiteral(":/") + QString::fromStdString(fileName));
    QImage image = file.read();
    if (image.isNull()) return nullptr;
    return New<Picture>(std::move(image));
}

Ref<Picture> RuntimeGetPictureFromResourceManager(const String& fileName) {
    const PictureReader& r = reader();
    return r ? r(fileName) : ReadPictureResource(fileName);
}

void SetPictureReader(PictureReader r) { reader() = std::move(r); }
