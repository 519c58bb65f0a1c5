#include <gtest/gtest.h>

#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTimer>
#include <functional>

#include "textlog/LogSession.h"

namespace {

// Runs `answer` on the save dialog once it is up, from inside its own event loop.
std::optional<QString> askWith(textlog::QtSaveDialog& dialog,
                               std::function<void(QFileDialog*)> answer) {
    QTimer::singleShot(0, [answer] {
        auto* shown = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(shown, nullptr);
        answer(shown);
    });
    return dialog.askFileName(nullptr);
}

}  // namespace

TEST(QtSaveDialog, TextFilterAndTheLastNameKeptAcrossUsesAndCancels) {
    QTemporaryDir dir;
    const QString path = dir.filePath("log.txt");
    textlog::QtSaveDialog dialog;

    // First use: the name field holds the filter until the user types a name.
    askWith(dialog, [&](QFileDialog* d) {
        const auto* name = d->findChild<QLineEdit*>("fileNameEdit");
        ASSERT_NE(name, nullptr);
        EXPECT_EQ(name->text(), "*.txt");
        d->reject();
    });

    const auto chosen = askWith(dialog, [&](QFileDialog* d) {
        EXPECT_EQ(d->acceptMode(), QFileDialog::AcceptSave);
        EXPECT_EQ(d->nameFilters(), QStringList{"*.txt"});
        d->selectFile(path);
        static_cast<QDialog*>(d)->accept();  // QFileDialog hides its override
    });
    EXPECT_EQ(chosen, path);

    const auto cancelled = askWith(dialog, [&](QFileDialog* d) {
        EXPECT_EQ(d->selectedFiles(), QStringList{path});
        d->reject();
    });
    EXPECT_FALSE(cancelled.has_value());

    askWith(dialog, [&](QFileDialog* d) {
        EXPECT_EQ(d->selectedFiles(), QStringList{path});
        d->reject();
    });
}
