// The archive file dialogs as Qt's own file dialog shows them: the filter
// descriptions as given, and the files each filter lists.

#include "platform/widgets/FileDialogs.h"

#include "support/PumpUntil.h"

#include <gtest/gtest.h>

#include <QAbstractItemModel>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QListView>
#include <QSet>
#include <QTemporaryDir>

namespace {

const QString ArchiveFilter = QStringLiteral("Файлы \"ВЕЛ-1\" (*.vel)|*.vel|Все файлы (*.*)|*");

// The names the dialog's file list shows.
QSet<QString> Listed(const QFileDialog& dialog) {
    const auto* list = dialog.findChild<QListView*>(QStringLiteral("listView"));
    QSet<QString> names;
    if (!list)
        return names;
    const QAbstractItemModel* model = list->model();
    for (int row = 0; row < model->rowCount(list->rootIndex()); ++row)
        names << model->index(row, 0, list->rootIndex()).data().toString();
    return names;
}

TEST(FileDialogs, FiltersShowTheirDescriptionsAndListTheirFiles) {
    QTemporaryDir folder;
    for (const char* name : {"a.vel", "b.txt", "no-extension"}) {
        QFile file(folder.filePath(QString::fromUtf8(name)));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    TFileDialog settings;
    settings.Title = QStringLiteral("Открыть файл...");
    settings.Filter = ArchiveFilter;
    settings.InitialDir = folder.path();

    QFileDialog dialog;
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    SetUpQtFileDialog(dialog, settings, false);
    const auto* types = dialog.findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
    ASSERT_NE(types, nullptr);
    ASSERT_EQ(types->count(), 2);
    EXPECT_EQ(types->itemText(0), QStringLiteral("Файлы \"ВЕЛ-1\" (*.vel)"));
    EXPECT_EQ(types->itemText(1), QStringLiteral("Все файлы (*.*)"));

    const QSet<QString> archives{QStringLiteral("a.vel")};
    EXPECT_TRUE(PumpUntil([&] { return Listed(dialog) == archives; })) << Listed(dialog).values().join(' ').toStdString();

    // "All files" means every file, a name without a dot included.
    dialog.selectNameFilter(dialog.nameFilters().at(1));
    const QSet<QString> all{QStringLiteral("a.vel"), QStringLiteral("b.txt"), QStringLiteral("no-extension")};
    EXPECT_TRUE(PumpUntil([&] { return Listed(dialog) == all; })) << Listed(dialog).values().join(' ').toStdString();
}

TEST(FileDialogs, NameFiltersCarryTheirPatternsBehindTheDescription) {
    EXPECT_EQ(QtNameFilters(ArchiveFilter),
              (QStringList{QStringLiteral("Файлы \"ВЕЛ-1\" (*.vel) (*.vel)"), QStringLiteral("Все файлы (*.*) (*)")}));
    EXPECT_EQ(QtNameFilters(QStringLiteral("Tables|*.csv;*.txt")), QStringList{QStringLiteral("Tables (*.csv *.txt)")});
}

}  // namespace
