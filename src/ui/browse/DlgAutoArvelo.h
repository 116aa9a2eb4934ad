#pragma once

#include "core/TextUtils.h"

#include <QDialog>

class QLabel;

namespace arvelo {

// "Auto-Arvelo": an address dropped on the window, and one button per
// profile to copy it with at once, or the task editor ("Use Arvelo
// Wizard...").
class TdlgAutoArvelo : public QDialog {
    Q_OBJECT
public:
    TdlgAutoArvelo(const std::string &address, const StringList &profiles, QWidget *parent);

    // The profile chosen; empty for the task editor.
    const std::string &Profile() const { return profile_; }

private:
    std::string profile_;
    QLabel *lblURL;
};

} // namespace arvelo
