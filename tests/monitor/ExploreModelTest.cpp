#include "core/App.h"
#include "crawl/Engine.h"
#include "crawl/RunEvents.h"
#include "model/ItemList.h"
#include "model/Task.h"
#include "monitor/ExploreModel.h"
#include "support/TestHome.h"

#include <gtest/gtest.h>

namespace arvelo {
namespace {

class ExploreModel : public test::TestHome {
protected:
    void SetUp() override
    {
        TestHome::SetUp();
        app = std::make_unique<TAVApp>();
        task = std::make_unique<TAVTask>();
        task->taskName = "site";
        task->taskFile = Home() + "Tasks/General/site.avt";
        model = std::make_unique<TExploreModel>(*events);
        QObject::connect(model.get(), &QAbstractItemModel::dataChanged,
                         [this](const QModelIndex &first, const QModelIndex &last) {
                             changed.emplace_back(first.row(), last.row());
                         });
        QObject::connect(model.get(), &QAbstractItemModel::rowsInserted,
                         [this](const QModelIndex &, int first, int last) { inserted.emplace_back(first, last); });
    }
    void TearDown() override
    {
        model.reset();
        task.reset();
        app.reset();
        TestHome::TearDown();
    }

    // An item as the engine adds it, announced as the run control does.
    TAVQItem *Add(const std::string &url, const std::string &group, const std::string &title = {})
    {
        auto item = std::make_unique<TAVQItem>(task.get());
        item->Text().URL = url;
        item->Text().referrer = "http://h/";
        item->Text().title = title;
        item->level = 1;
        item->SetGroup(group);
        TAVQItem *added = task->items.AddItem(std::move(item));
        Q_EMIT events->ItemChanged(added);
        return added;
    }
    std::string Text(int row, int column) const { return model->index(row, column).data().toString().toStdString(); }

    std::unique_ptr<TAVApp> app;
    std::unique_ptr<TRunEngine> engine = std::make_unique<TRunEngine>();
    std::unique_ptr<TRunEvents> events = std::make_unique<TRunEvents>(*engine);
    std::unique_ptr<TAVTask> task;
    std::unique_ptr<TExploreModel> model;
    std::vector<std::pair<int, int>> changed, inserted;
};

TEST_F(ExploreModel, RowsReadTheStoredRecordsAndGrowInBatches)
{
    Add("http://h/index.html", "HTML", "Home");
    Add("http://h/logo.gif", "Images");
    model->Bind(task.get());
    ASSERT_EQ(model->rowCount(), 2);
    EXPECT_EQ(model->headerData(TExploreModel::colResult, Qt::Horizontal).toString(), QStringLiteral("Download Result"));
    EXPECT_EQ(Text(0, TExploreModel::colURL), "http://h/index.html");
    EXPECT_EQ(Text(0, TExploreModel::colTitle), "Home");
    EXPECT_EQ(Text(0, TExploreModel::colStatus), "None");
    EXPECT_EQ(Text(1, TExploreModel::colType), "Images");
    EXPECT_EQ(Text(1, TExploreModel::colLevel), "1");
    EXPECT_EQ(Text(1, TExploreModel::colReferrer), "http://h/");
    EXPECT_EQ(model->index(0, TExploreModel::colMark).data(TExploreModel::kIconRole).toInt(), eiDownload);
    EXPECT_EQ(model->index(0, TExploreModel::colTitle).data(TExploreModel::kIconRole), QVariant());

    // A run adds three and fails the first: nothing shows until the batch.
    for (const char *url : {"http://h/a.html", "http://h/b.html", "http://h/c.html"})
        Add(url, "HTML");
    TAVQItem *first = task->items.Item(0);
    first->LoadFields();
    first->Text().result = "Not Found";
    first->SetState(isError);
    first->Publish(true);
    Q_EMIT events->ItemChanged(first);
    EXPECT_EQ(model->rowCount(), 2);
    EXPECT_TRUE(inserted.empty());
    model->Flush();
    EXPECT_EQ(model->rowCount(), 5);
    EXPECT_EQ(inserted, (std::vector<std::pair<int, int>>{{2, 4}}));
    EXPECT_EQ(changed, (std::vector<std::pair<int, int>>{{0, 0}}));
    EXPECT_EQ(Text(0, TExploreModel::colResult), "Not Found");
    EXPECT_EQ(model->index(0, 0).data(TExploreModel::kToneRole).toInt(), etFailed);
    EXPECT_EQ(model->index(0, 0).data(TExploreModel::kIconRole).toInt(), eiError);

    // Another task's items and no task show nothing here.
    TAVTask other;
    auto item = std::make_unique<TAVQItem>(&other);
    item->Text().URL = "http://x/";
    Q_EMIT events->ItemChanged(other.items.AddItem(std::move(item)));
    model->Flush();
    EXPECT_EQ(model->rowCount(), 5);
    Q_EMIT events->CurrentTaskChanged(nullptr);
    EXPECT_EQ(model->rowCount(), 0);
    EXPECT_EQ(model->ItemAt(0), nullptr);
}

TEST_F(ExploreModel, IconsAndColoursFollowStateAndMark)
{
    struct Case {
        uint8_t state, mark;
        TExploreIcon icon;
        TExploreTone tone;
    } cases[] = {
        {isNone, imUnmarked, eiUnmarked, etWaiting},    {isNone, imMap, eiMapping, etWaiting},
        {isDownloading, imUpdate, eiUpdate, etFetching}, {isUpdating, imDownload, eiDownload, etFetching},
        {isError, imDownload, eiError, etFailed},        {isDownloaded, imUpdate, eiUpdate, etDone},
        {isSaved, imDownload, eiDone, etDone},           {isUpdated, imUpdate, eiDone, etUpdated},
        {isZipped, imDownload, eiDone, etDone},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(ExploreIcon(c.state, c.mark), c.icon) << int(c.state);
        EXPECT_EQ(ExploreTone(c.state), c.tone) << int(c.state);
    }
}

} // namespace
} // namespace arvelo
