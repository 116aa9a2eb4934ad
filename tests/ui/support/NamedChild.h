#pragma once

#include <gtest/gtest.h>

#include <QObject>
#include <QString>

namespace arvelo::test {

// The control of that objectName below the widget; fails the test when there is none.
template <typename T>
T *NamedChild(const QObject &parent, const char *name)
{
    T *child = parent.findChild<T *>(QString::fromLatin1(name));
    EXPECT_NE(child, nullptr) << name;
    return child;
}

} // namespace arvelo::test
