#pragma once

#include "model/Task.h"
#include "net/Fetch.h"
#include "support/ScriptedServer.h"
#include "support/TestHome.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace arvelo::test {

// An HTTP/1.0 reply as a scripted server sends it.
inline std::string Reply(const std::string &status, const std::string &headers = {}, const std::string &body = {})
{
    return "HTTP/1.0 " + status + "\r\n" + headers + "\r\n" + body;
}

class FetchFixture : public TestHome {
protected:
    void SetUp() override
    {
        TestHome::SetUp();
        NewTask("site/");
    }

    void NewTask(const std::string &folder)
    {
        task = std::make_unique<TAVTask>();
        task->intranetMode = true;
        task->destination = Path(folder);
    }

    TAVQItem *AddItem(const std::string &url, const std::string &result = {}, uint8_t mark = imDownload,
                      const std::string &lastModified = {})
    {
        auto item = std::make_unique<TAVQItem>(task.get());
        item->Text().URL = url;
        item->Text().result = result;
        item->Text().lastModified = lastModified;
        item->SetMark(mark);
        item->SetGroup("HTML");
        return task->items.AddItem(std::move(item));
    }

    // Fetches the item as a connection slot does and waits for the end.
    void Run(TAVQItem *item)
    {
        item->LoadFields();
        fetch.URL = item->LoadedText().URL;
        fetch.QItem = item;
        item->SetState(item->Mark() == imUpdate ? isUpdating : isDownloading);
        fetch.Start();
        ASSERT_TRUE(test::PumpUntil([&] { return fetch.Finished(); }));
        fetch.FreeThread();
        item->LoadFields();
    }

    std::unique_ptr<TAVTask> task;
    TlqHTTP fetch;
};

} // namespace arvelo::test
