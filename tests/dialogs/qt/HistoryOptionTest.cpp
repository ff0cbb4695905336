// The history choice on the general options page.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "dialogs/OptionsModel.h"
#include "dialogs/qt/OptionsDlg.h"
#include "dialogs/qt/OptionsGeneralPage.h"
#include "platform/RecordingPrompter.h"
#include "platform/Services.h"

namespace corvid {
namespace {

TEST(HistoryOption, OffByDefaultAndTheLocationReadBackWhenTurnedOn) {
    CRecordingPrompter prompter;
    SetPrompter(&prompter);
    const SOptionsSettings original;
    EXPECT_FALSE(original.history.record);
    COptionsModel model(original, CUserArray(), CListLayout::MakeDefaultLayout(), CListLayout::MakeDefaultLayout());
    {
        CCorvidOptionsDlg sheet(model);
        sheet.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&sheet));
        QCheckBox* box = sheet.GeneralPage()->RecordHistoryBox();
        QLineEdit* location = sheet.GeneralPage()->HistoryLocationEdit();
        EXPECT_EQ(box->text(), "Record each load in the history");
        EXPECT_FALSE(box->isChecked());
        EXPECT_FALSE(location->isEnabled());
        box->setChecked(true);
        EXPECT_TRUE(location->isEnabled());
        location->setText("  postgresql://corvid@dbhost/history ");
        QTest::mouseClick(sheet.OkButton(), Qt::LeftButton);
        ASSERT_EQ(sheet.result(), QDialog::Accepted);
    }
    EXPECT_TRUE(model.m_Settings.history.record);
    EXPECT_EQ(model.m_Settings.history.location, "postgresql://corvid@dbhost/history");
    EXPECT_TRUE(model.SettingsChanged(original, CUserArray()));
    SetPrompter(nullptr);
}

}  // namespace
}  // namespace corvid
