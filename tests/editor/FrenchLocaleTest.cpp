#include "core/TempDir.h"
#include "editor/UserDialogs.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDateTime>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <fstream>
#include <utime.h>

namespace kadrel::test {
namespace {

// What the open dialog showed of one folder.
struct Shown {
    QStringList headers;
    QString folderType;
    QString fileSize;
    QString fileDate;
    QStringList buttons;
};

// The tests run under LC_ALL=C; the dialogs must still be French, dates and sizes included.
TEST(FrenchLocale, TheOpenDialogIsFrenchUnderACLocale) {
    TempDir dir;
    std::filesystem::create_directory(dir.Path() / "Morceaux");
    const std::string file = dir / "un.mid";
    std::ofstream(file) << std::string(37, 'x');
    const QDateTime modified(QDate(2026, 12, 7), QTime(14, 5));
    const utimbuf times{modified.toSecsSinceEpoch(), modified.toSecsSinceEpoch()};
    ASSERT_EQ(::utime(file.c_str(), &times), 0);

    Shown shown;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        auto* model = dialog->findChild<QFileSystemModel*>();
        ASSERT_NE(model, nullptr);
        const QString folder = QString::fromStdString(dir.Path().string());
        const QModelIndex fileIndex = model->index(QString::fromStdString(file));
        ASSERT_TRUE(QTest::qWaitFor([&] {
            return model->index(fileIndex.row(), 3, fileIndex.parent()).data().toString().size() >
                   0;
        }));
        for (int column = 0; column < 4; ++column)
            shown.headers << model->headerData(column, Qt::Horizontal).toString();
        shown.folderType = model->index(folder + "/Morceaux", 2).data().toString();
        shown.fileSize = model->index(QString::fromStdString(file), 1).data().toString();
        shown.fileDate = model->index(QString::fromStdString(file), 3).data().toString();
        for (const QAbstractButton* button : dialog->findChild<QDialogButtonBox*>()->buttons())
            shown.buttons << button->text();
        dialog->reject();
    });
    QtUserDialogs dialogs;
    EXPECT_EQ(dialogs.OpenFileName(nullptr, QString::fromStdString(dir.Path().string())), "");

    EXPECT_EQ(shown.headers, QStringList({"Nom", "Taille", "Type", "Dernière modification"}));
    EXPECT_EQ(shown.folderType, "Dossier");
    EXPECT_EQ(shown.fileSize, "37 octets");
    EXPECT_EQ(shown.fileDate, "07/12/2026 14:05");
    EXPECT_EQ(shown.buttons, QStringList({"&Ouvrir", "Annuler"}));
}

} // namespace
} // namespace kadrel::test
