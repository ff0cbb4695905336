#include "dialogs/qt/SqlFindDlg.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>

namespace corvid {
namespace {

TEST(SqlFindDlgTest, TheNoteIsSetWhenTheDialogOpensAndBothOptionsStartOff) {
    CSqlFindDlg dialog;
    EXPECT_EQ(dialog.windowTitle(), "Find similar SQL statements");
    EXPECT_TRUE(dialog.NoteLabel()->text().isEmpty());
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    EXPECT_EQ(dialog.NoteLabel()->text().toStdString(), CSqlFindDlg::kNote);
    EXPECT_TRUE(dialog.NoteLabel()->text().startsWith("Please note, that after confirming this dialog"));
    EXPECT_TRUE(dialog.NoteLabel()->text().endsWith("or its toolbar button."));
    // The list is sorted by growing distance: the note must not say descending.
    EXPECT_TRUE(dialog.NoteLabel()->text().contains("in ascending order"));
    EXPECT_FALSE(dialog.NoteLabel()->text().contains("descending"));
    EXPECT_EQ(dialog.CaseSensitiveBox()->text(), "Compare in case sensitive mode");
    EXPECT_EQ(dialog.AllCommandTypesBox()->text(), "Compare all command types");
    EXPECT_FALSE(dialog.CaseSensitiveBox()->isChecked());
    EXPECT_FALSE(dialog.AllCommandTypesBox()->isChecked());
    EXPECT_TRUE(dialog.OkButton()->isDefault());
}

TEST(SqlFindDlgTest, TheDialogGrowsToShowTheWholeNote) {
    CSqlFindDlg dialog;
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    QLabel* note = dialog.NoteLabel();
    EXPECT_GE(note->height(), note->heightForWidth(note->width()));
}

TEST(SqlFindDlgTest, OkReadsTheOptionsAndCancelDoesNot) {
    CSqlFindDlg dialog;
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    QTest::mouseClick(dialog.AllCommandTypesBox(), Qt::LeftButton);
    QTest::mouseClick(dialog.CancelButton(), Qt::LeftButton);
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_FALSE(dialog.GetOptions().m_AllCommandTypes);

    dialog.show();
    QTest::mouseClick(dialog.OkButton(), Qt::LeftButton);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_TRUE(dialog.GetOptions().m_AllCommandTypes);
    EXPECT_FALSE(dialog.GetOptions().m_CaseSensitive);
}

}  // namespace
}  // namespace corvid

// The test program's entry, unless another of its files brings one.
