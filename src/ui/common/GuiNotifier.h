#pragma once

#include "core/Notifier.h"

#include <QMessageBox>
#include <QPointer>

#include <deque>
#include <string>


namespace arvelo {

// The engine's messages as message boxes. Errors and informations may come
// from any thread; they are shown one box at a time, and a text already on
// show or waiting is not shown again. Questions are modal and answered on
// the window thread.
class TGuiNotifier : public TNotifier {
public:
    void Error(const std::string &text) override;
    void Information(const std::string &text) override;
    bool Confirm(const std::string &text) override;
    void Beep() override;

    // The box on show, if any (for tests).
    QMessageBox *Shown() const { return shown_; }

private:
    struct TMessage {
        bool error;
        std::string text;
    };
    void Queue(TMessage message);
    void ShowNext();

    // Window thread only.
    std::deque<TMessage> waiting_;
    std::string shownText_;
    QPointer<QMessageBox> shown_;
};

} // namespace arvelo
