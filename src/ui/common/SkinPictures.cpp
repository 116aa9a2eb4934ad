#include "ui/common/SkinPictures.h"

#include <QBitmap>
#include <QImage>
#include <QImageReader>
#include <QWidget>

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

void ShowSkinBanner(QWidget &strip, const TSkin &skin)
{
    const QPixmap banner = SkinPicture(skin, skin::kBanner);
    QPalette palette = strip.palette();
    palette.setBrush(QPalette::Window, banner.isNull() ? QBrush(Qt::NoBrush) : QBrush(banner));
    strip.setPalette(palette);
    strip.setFixedHeight(banner.isNull() ? 0 : banner.height());
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
