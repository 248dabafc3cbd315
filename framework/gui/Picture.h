#pragma once
// Pictures and the program's picture resources.
//
// The program's pictures are compiled into the executable as Qt resources
// under their plain file names (":/mac.png"); RuntimeGetPictureFromResourceManager
// reads one by that file name. Each call reads and decodes the file anew:
// caching is the caller's business.

#include <functional>

#include <QImage>

#include "framework/Ref.h"
#include "framework/Text.h"

class Picture {
public:
    explicit Picture(QImage image) : image_(std::move(image)) {}
    int Width() const { return image_.width(); }
    int Height() const { return image_.height(); }
    const QImage& Image() const { return image_; }

private:
    QImage image_;
};

// The picture in the resource file `fileName` ("csv.png"); nil when there is
// no such resource or it cannot be decoded. Names with a "/" are refused.
Ref<Picture> RuntimeGetPictureFromResourceManager(const String& fileName);

// The reader behind RuntimeGetPictureFromResourceManager. Tests replace it to
// count or fail reads; an empty function restores the resource reader.
using PictureReader = std::function<Ref<Picture>(const String& fileName)>;
void SetPictureReader(PictureReader reader);
// The resource reader itself (what the default reader does).
Ref<Picture> ReadPictureResource(const String& fileName);
