#pragma once

#include <QList>
#include <QRect>

#include <string>

namespace arvelo {

// Where the main window was, from "Left", "Top", "Width" and "Height" under
// the key; a value that is not a number gives its default (0, 0, 640, 480).
QRect ReadWindowPlacement(const std::string &key);
void WriteWindowPlacement(const std::string &key, const QRect &placement);

// The saved place, at least the minimum size and at most the largest
// screen; a place that no screen shows enough of to grab the window by its
// title is centred on the first screen instead.
QRect PlaceOnScreens(const QRect &saved, const QList<QRect> &screens, const QSize &minimum);

} // namespace arvelo
