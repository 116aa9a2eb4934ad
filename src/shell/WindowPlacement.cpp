#include "shell/WindowPlacement.h"

#include "core/Settings.h"
#include "core/TextUtils.h"

#include <algorithm>

namespace arvelo {
namespace {

int ReadNumber(const std::string &key, const char *name, int fallback)
{
    try {
        return ToIntDef(Trim(ReadSetting(key, name, std::to_string(fallback))), fallback);
    } catch (const ESettingError &) {
        return fallback; // stored as another type: the default
    }
}

// How much of the window's top edge must show for it to be dragged back.
constexpr int kGrabbable = 40;

} // namespace

QRect ReadWindowPlacement(const std::string &key)
{
    return QRect(ReadNumber(key, "Left", 0), ReadNumber(key, "Top", 0), ReadNumber(key, "Width", 640),
                 ReadNumber(key, "Height", 480));
}

void WriteWindowPlacement(const std::string &key, const QRect &placement)
{
    WriteSetting(key, "Left", std::to_string(placement.left()));
    WriteSetting(key, "Top", std::to_string(placement.top()));
    WriteSetting(key, "Width", std::to_string(placement.width()));
    WriteSetting(key, "Height", std::to_string(placement.height()));
}

QRect PlaceOnScreens(const QRect &saved, const QList<QRect> &screens, const QSize &minimum)
{
    QRect place = saved;
    if (screens.isEmpty()) {
        place.setSize(saved.size().expandedTo(minimum));
        return place;
    }
    int widest = minimum.width(), tallest = minimum.height();
    for (const QRect &screen : screens) {
        widest = std::max(widest, screen.width());
        tallest = std::max(tallest, screen.height());
    }
    place.setWidth(std::clamp(saved.width(), minimum.width(), widest));
    place.setHeight(std::clamp(saved.height(), minimum.height(), tallest));
    QRect titleBar(place.left(), place.top(), place.width(), kGrabbable);
    for (const QRect &screen : screens) {
        QRect shown = screen.intersected(titleBar);
        if (shown.width() >= std::min(kGrabbable * 2, place.width()) && shown.height() >= kGrabbable / 2)
            return place;
    }
    place.moveCenter(screens.first().center());
    return place;
}

} // namespace arvelo
