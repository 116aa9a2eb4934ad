#pragma once

#include <QProgressDialog>

#include <string>

namespace arvelo {

// "Confirm File Delete": the progress of files going to the trash, shown
// when there are several; Cancel aborts what is left.
class TFileDeleteProgress {
public:
    TFileDeleteProgress(int files, QWidget *parent);

    // Before each file; false once the user has aborted.
    bool Next(const std::string &file);
    void Done();

private:
    QProgressDialog dialog_;
    int done_ = 0;
};

} // namespace arvelo
