#pragma once

#include "core/Notifier.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <string>
#include <vector>

namespace arvelo::test {

// Records every message instead of showing it; questions get a set answer.
class TRecordingNotifier : public TNotifier {
public:
    std::vector<std::string> errors, informations, questions;
    bool answer = true;

    void Error(const std::string &text) override { errors.push_back(text); }
    void Information(const std::string &text) override { informations.push_back(text); }
    bool Confirm(const std::string &text) override
    {
        questions.push_back(text);
        return answer;
    }
};

// Every file below the folder, hidden ones included, as sorted relative paths.
std::vector<std::string> FilesUnder(const std::string &folder);

// A fresh data folder (ARVELO_HOME), temporary folder and settings store for
// each test, with messages recorded.
class TestHome : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // The data folder, ending in "/".
    std::string Home() const { return home_; }
    std::string Path(const std::string &relative) const { return home_ + relative; }
    // Writes a file below the data folder, creating its folders.
    void WriteFile(const std::string &relative, const std::string &bytes) const;
    std::string ReadFile(const std::string &relative) const;
    // Fills the file-type store from the shipped FTypes.reg.
    void ImportShippedFileTypes() const;

    TRecordingNotifier notifier;

private:
    QTemporaryDir dir_;
    std::string home_;
};

} // namespace arvelo::test
