#pragma once

#include "ui/common/Dialogs.h"

#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

namespace arvelo::test {

// Answers the choosers and boxes from queues; one nobody expected fails the test.
class TScriptedDialogs : public TDialogs {
public:
    std::deque<std::string> answers;
    std::deque<StringList> fileLists;
    std::deque<TZipReplaceAnswer> replaceAnswers;
    std::deque<bool> trashAnswers;
    std::vector<std::string> titles;

    std::string SaveFileName(QWidget *, const std::string &title, const std::string &, const std::string &,
                             const std::string &) override
    {
        return Next(answers, title);
    }
    std::string OpenFileName(QWidget *, const std::string &title, const std::string &, const std::string &) override
    {
        return Next(answers, title);
    }
    std::string FolderName(QWidget *, const std::string &title, const std::string &) override
    {
        return Next(answers, title);
    }
    StringList OpenFileNames(QWidget *, const std::string &title, const std::string &, const std::string &) override
    {
        return Next(fileLists, title);
    }
    TZipReplaceAnswer ReplaceFile(QWidget *, const std::string &existing, const std::string &) override
    {
        return Next(replaceAnswers, "Replace File : " + existing);
    }
    bool ConfirmTrash(QWidget *, const std::string &file) override
    {
        return Next(trashAnswers, "Confirm File Delete: " + file);
    }

private:
    template <typename T>
    T Next(std::deque<T> &queue, const std::string &title)
    {
        titles.push_back(title);
        if (queue.empty()) {
            ADD_FAILURE() << "unexpected chooser: " << title;
            return T{};
        }
        T answer = queue.front();
        queue.pop_front();
        return answer;
    }
};

} // namespace arvelo::test
