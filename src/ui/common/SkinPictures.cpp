#include "ui/common/SkinPictures.h"

#include <QBitmap>
#include <QImage>
#include <QImageReader>

namespace arvelo {

QPixmap SkinPicture(const TSkin &skin, const char *picture)
{
    for (const std::string &file : skin.PictureFiles(picture)) {
        QPixmap pixmap;
        if (pixmap.load(QString::fromStdString(file)))
            return pixmap;
    }
    return {};
}

QPixmap SkinGlyph(const TSkin &skin, const char *picture)
{
    QPixmap pixmap = SkinPicture(skin, picture);
    if (pixmap.isNull())
        return pixmap;
    const QImage image = pixmap.toImage();
    pixmap.setMask(pixmap.createMaskFromColor(image.pixelColor(0, image.height() - 1), Qt::MaskInColor));
    return pixmap;
}

QString SkinAnimationFile(const TSkin &skin, const char *picture)
{
    for (const std::string &file : skin.PictureFiles(picture)) {
        const QString name = QString::fromStdString(file);
        QImageReader reader(name);
        if (reader.canRead() && !reader.read().isNull())
            return name;
    }
    return {};
}

} // namespace arvelo
