#include "shell/FileTypeModel.h"

#include "model/FileTypes.h"
#include "support/TestHome.h"

namespace arvelo {
namespace {

class FileTypeTree : public test::TestHome {
protected:
    void SetUp() override
    {
        TestHome::SetUp();
        WriteFileTypeGroup("HTML", ".htm;.html;.asp;");
        WriteFileTypeGroup("Images", ".gif;.jpg;");
        WriteFileTypeGroup("Docs", ".pdf;.html;");
    }

    QModelIndex Group(const TFileTypeModel &model, int row) const { return model.index(row, 0); }
    Qt::CheckState State(const QModelIndex &index) const
    {
        return static_cast<Qt::CheckState>(index.data(Qt::CheckStateRole).toInt());
    }
};

TEST_F(FileTypeTree, GroupsShowTheirExtensionsChecksAndCheckThemAll)
{
    TFileTypeModel model;
    ASSERT_EQ(model.rowCount(), 3);
    EXPECT_EQ(model.GroupAt(Group(model, 1)), "Images");
    ASSERT_EQ(model.rowCount(Group(model, 0)), 3);
    EXPECT_EQ(model.ExtensionAt(model.index(1, 0, Group(model, 0))), ".html");

    model.SetChecked({".gif", ".jpg", ".HTML"});
    EXPECT_EQ(State(Group(model, 0)), Qt::PartiallyChecked);
    EXPECT_EQ(State(Group(model, 1)), Qt::Checked);
    EXPECT_EQ(State(Group(model, 2)), Qt::PartiallyChecked) << ".html stands in two groups";

    int changes = 0;
    QObject::connect(&model, &TFileTypeModel::ChecksChanged, [&] { ++changes; });
    model.setData(Group(model, 0), Qt::Checked, Qt::CheckStateRole);
    EXPECT_EQ(State(Group(model, 0)), Qt::Checked);
    model.setData(Group(model, 1), Qt::Unchecked, Qt::CheckStateRole);
    EXPECT_EQ(State(Group(model, 1)), Qt::Unchecked);
    model.setData(model.index(0, 0, Group(model, 2)), Qt::Checked, Qt::CheckStateRole);
    EXPECT_EQ(changes, 3);
    // Tree order, each extension once.
    EXPECT_EQ(model.Checked(), (StringList{".htm", ".html", ".asp", ".pdf"}));

    // Reading the store again keeps the checks.
    WriteFileTypeGroup("Sounds", ".wav;");
    model.Reload();
    EXPECT_EQ(model.rowCount(), 4);
    EXPECT_EQ(model.Checked(), (StringList{".htm", ".html", ".asp", ".pdf"}));
}

TEST_F(FileTypeTree, ProtectedGroupsAndExtensionsAreNotDeletable)
{
    TFileTypeModel model;
    EXPECT_FALSE(model.Deletable(Group(model, 0)));                    // HTML
    EXPECT_FALSE(model.Deletable(model.index(0, 0, Group(model, 0)))); // .htm
    EXPECT_FALSE(model.Deletable(Group(model, 1)));                    // Images
    EXPECT_TRUE(model.Deletable(Group(model, 2)));                     // Docs
    EXPECT_TRUE(model.Deletable(model.index(0, 0, Group(model, 2))));  // .pdf
    EXPECT_FALSE(model.Deletable({}));
}

} // namespace
} // namespace arvelo
