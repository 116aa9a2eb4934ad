#pragma once

#include <QButtonGroup>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <algorithm>
#include <cstdint>
#include <initializer_list>

namespace arvelo {

// A control with its objectName.
template <typename T>
T *Named(T *widget, const char *name)
{
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

inline QRadioButton *Radio(const char *name, const char *text)
{
    return Named(new QRadioButton(QString::fromUtf8(text)), name);
}

// A titled box of exclusive choices, one below the other, under an optional
// line of text; a row may hold its radio button with other controls.
inline QGroupBox *ChoiceBox(const char *title, const char *text, std::initializer_list<QWidget *> rows)
{
    auto *box = new QGroupBox(QString::fromUtf8(title));
    auto *layout = new QVBoxLayout(box);
    if (*text)
        layout->addWidget(new QLabel(QString::fromUtf8(text)));
    auto *group = new QButtonGroup(box);
    for (QWidget *row : rows) {
        layout->addWidget(row);
        if (auto *radio = qobject_cast<QRadioButton *>(row))
            group->addButton(radio);
        for (QRadioButton *inner : row->findChildren<QRadioButton *>())
            group->addButton(inner);
    }
    return box;
}

// Rules stored as codes 0, 1, 2 ... shown as radio buttons in that order (a
// code beyond them shows as the last).
inline void CheckByCode(int code, std::initializer_list<QRadioButton *> radios)
{
    const int last = static_cast<int>(radios.size()) - 1;
    radios.begin()[std::clamp(code, 0, last)]->setChecked(true);
}

inline uint8_t CodeOfChecked(std::initializer_list<QRadioButton *> radios)
{
    for (uint8_t code = 0; code < radios.size(); ++code)
        if (radios.begin()[code]->isChecked())
            return code;
    return 0;
}

// The depth of retrieval: -1 "All levels", 0 "This page only", N "This page and" N.
struct TDepthControls {
    QRadioButton *page, *levels, *all;
    QSpinBox *count;

    // Makes the controls (rbLevelsPage, rbLevelsN, seLevels, rbLevelsAll).
    static TDepthControls Make()
    {
        auto *count = Named(new QSpinBox, "seLevels");
        count->setRange(1, 20);
        return {Radio("rbLevelsPage", "This page only"), Radio("rbLevelsN", "This page and"),
                Radio("rbLevelsAll", "All levels"), count};
    }
    QWidget *LevelsRow() const
    {
        auto *row = new QWidget;
        auto *layout = new QHBoxLayout(row);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(levels);
        layout->addWidget(count);
        layout->addWidget(new QLabel(QStringLiteral("level/s")));
        layout->addStretch();
        return row;
    }

    void Show(int depth) const
    {
        if (depth > 0)
            count->setValue(std::min(depth, 20));
        (depth < 0 ? all : depth == 0 ? page : levels)->setChecked(true);
    }
    int Depth() const { return all->isChecked() ? -1 : page->isChecked() ? 0 : count->value(); }
};

} // namespace arvelo
