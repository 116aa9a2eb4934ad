#pragma once

#include "shell/Skin.h"

#include <QPixmap>
#include <QString>

class QWidget;

namespace arvelo {

// A skin's button glyph: the first of its files that reads, made
// transparent where it has the colour of its lower-left pixel; null when
// no file reads.
QPixmap SkinGlyph(const TSkin &skin, const char *picture);
// A skin's picture as it is (the banner strip); null when no file reads.
QPixmap SkinPicture(const TSkin &skin, const char *picture);
// The skin's banner strip tiled over the widget, which takes its height
// (none without a banner).
void ShowSkinBanner(QWidget &strip, const TSkin &skin);
// The first of a skin's animation files that reads as an animation.
QString SkinAnimationFile(const TSkin &skin, const char *picture);

} // namespace arvelo
