#pragma once

#include <string>

namespace arvelo {

// The message boxes engine code shows: the windowed program shows dialogs,
// the command-line program prints to stderr.
class TNotifier {
public:
    virtual ~TNotifier() = default;
    virtual void Error(const std::string &text) = 0;
    virtual void Information(const std::string &text) = 0;
    // A Yes/No question; true for Yes.
    virtual bool Confirm(const std::string &text) = 0;
    // The system's default beep.
    virtual void Beep() {}
};

// Prints every message to stderr and answers questions No.
class TStderrNotifier : public TNotifier {
public:
    void Error(const std::string &text) override;
    void Information(const std::string &text) override;
    bool Confirm(const std::string &text) override;
    // The terminal's bell, when stderr is one.
    void Beep() override;
};

// The notifier in use (a TStderrNotifier until another is installed).
TNotifier &Notifier();
// Installs a notifier (not owned); nullptr goes back to the default.
void SetNotifier(TNotifier *notifier);

} // namespace arvelo
