#include "dialogs/qt/ExportDlg.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include "platform/RecordingPrompter.h"
#include "platform/Services.h"

namespace corvid {
namespace {

class ExportDlgTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetPrompter(&m_prompter);
        m_dialog.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&m_dialog));
    }
    void TearDown() override { SetPrompter(nullptr); }

    CRecordingPrompter m_prompter;
    CExportDlg m_dialog;
};

TEST_F(ExportDlgTest, ControlsAndTheirTexts) {
    EXPECT_EQ(m_dialog.windowTitle(), "Export");
    EXPECT_EQ(m_dialog.FormatButton(0)->text(), "Export as HTML Table");
    EXPECT_EQ(m_dialog.FormatButton(1)->text(), "Export as XML File");
    EXPECT_EQ(m_dialog.FormatButton(2)->text(), "Export as CSV File");
    EXPECT_TRUE(m_dialog.OkButton()->isDefault());
    m_dialog.activateWindow();
    m_dialog.NameEdit()->setFocus();
    QTest::keyClick(m_dialog.NameEdit(), Qt::Key_Tab);
    EXPECT_TRUE(m_dialog.FileEdit()->hasFocus()) << "the name comes before the file in keyboard order";
    // A new dialog holds no format and two empty texts.
    EXPECT_EQ(m_dialog.GetSettings(), (SExportSettings{-1, "", ""}));
}

TEST_F(ExportDlgTest, OpensWithTheGivenChoicesAndHandsBackTheEditedOnes) {
    m_dialog.SetSettings({1, "SQL statements in the Oracle SGA", "Corvid"});
    EXPECT_TRUE(m_dialog.FormatButton(1)->isChecked());
    EXPECT_EQ(m_dialog.NameEdit()->text(), "SQL statements in the Oracle SGA");
    EXPECT_EQ(m_dialog.FileEdit()->text(), "Corvid");
    m_dialog.FormatButton(2)->click();
    m_dialog.FileEdit()->setText("/tmp/pool");
    QTest::mouseClick(m_dialog.OkButton(), Qt::LeftButton);
    EXPECT_EQ(m_dialog.result(), QDialog::Accepted);
    EXPECT_EQ(m_dialog.GetSettings(), (SExportSettings{2, "SQL statements in the Oracle SGA", "/tmp/pool"}));
}

TEST_F(ExportDlgTest, AnEmptyFileFieldIsRefusedAndKeepsTheDialogOpen) {
    m_dialog.SetSettings({2, "name", "Corvid"});
    m_dialog.FileEdit()->clear();
    QTest::mouseClick(m_dialog.OkButton(), Qt::LeftButton);
    EXPECT_TRUE(m_dialog.isVisible());
    EXPECT_EQ(m_prompter.Messages(), std::vector<std::string>{kNoExportFileNameMessage});
    EXPECT_EQ(m_dialog.GetSettings(), (SExportSettings{2, "name", "Corvid"})) << "nothing is taken over";
}

TEST_F(ExportDlgTest, AStoredIndexOutsideTheButtonsChoosesNoneAndOkKeepsNone) {
    m_dialog.SetSettings({1, "n", "f"});
    m_dialog.SetSettings({7, "n", "f"});
    for (int i = 0; i < 3; ++i)
        EXPECT_FALSE(m_dialog.FormatButton(i)->isChecked()) << i;
    QTest::mouseClick(m_dialog.OkButton(), Qt::LeftButton);
    EXPECT_EQ(m_dialog.GetSettings().formatIndex, -1);
}

TEST_F(ExportDlgTest, FieldsTakeEightyCharactersAndALongerStoredTextIsRefusedOnOk) {
    m_dialog.SetSettings({0, "", ""});
    m_dialog.NameEdit()->setFocus();
    QTest::keyClicks(m_dialog.NameEdit(), QString(90, 'x'));
    EXPECT_EQ(m_dialog.NameEdit()->text().size(), 80);

    m_dialog.SetSettings({0, std::string(85, 'y'), "f"});
    EXPECT_EQ(m_dialog.NameEdit()->text().size(), 85) << "a stored text is not cut";
    QTest::mouseClick(m_dialog.OkButton(), Qt::LeftButton);
    EXPECT_TRUE(m_dialog.isVisible());
    EXPECT_EQ(m_prompter.Messages(), std::vector<std::string>{"Please enter no more than 80 characters."});
    EXPECT_EQ(m_dialog.GetSettings().name.size(), 85u) << "nothing is taken over";
}

TEST_F(ExportDlgTest, CancelTakesNothingOver) {
    m_dialog.SetSettings({0, "name", "file"});
    m_dialog.FileEdit()->setText("other");
    QTest::mouseClick(m_dialog.CancelButton(), Qt::LeftButton);
    EXPECT_EQ(m_dialog.result(), QDialog::Rejected);
    EXPECT_EQ(m_dialog.GetSettings().fileName, "file");
}

}  // namespace
}  // namespace corvid

// The test program's entry, unless another of its files brings one.
