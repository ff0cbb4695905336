#include "app/qt/ReportCommands.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QPushButton>

#include "app/Session.h"
#include "app/qt/CorvidView.h"
#include "app/qt/MainFrame.h"
#include "app/qt/StatementCommandHandlers.h"
#include "app/qt/StatementCommands.h"
#include "collection/CorvidDoc.h"
#include "dialogs/qt/SqlStmtDlg.h"
#include "oracle/OracleConnection.h"
#include "platform/qt/WaitCursor.h"
#include "report/ReportWriter.h"
#include "report/StatementReport.h"

namespace corvid {

namespace {

// The report's file, asked for with the suggested name; empty when cancelled.
std::string AskReportFileName(QWidget* parent, const std::string& suggested) {
    QFileDialog dialog(parent, QStringLiteral("Save report"), QString::fromStdString(suggested),
                       QStringLiteral("HTML report (*.html)"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("html"));
    if (RunCommandDialog(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::string();
    return dialog.selectedFiles().front().toStdString();
}

// What the report says about where its statements come from.
SStatementReportSource SourceOf(SStatementCommandContext& context) {
    CCorvidDoc& document = context.document;
    SStatementReportSource source;
    source.collection = &document.GetCollection();
    source.title = document.m_ExportName;
    source.serverTime = document.GetServerTime();
    source.poolBufferGets = document.GetTotalBufferGets();
    source.poolDiskReads = document.GetTotalDiskReads();
    if (context.session.IsConnected()) {
        COracleConnection& connection = context.session.GetConnection();
        connection.GetServerInfo(source.banner, source.database);
        source.user = connection.GetUser();
        source.server = connection.GetServer();
    }
    return source;
}

bool SaveReport(const SReportModel& model, const std::string& fileName, SStatementCommandContext& context) {
    CWaitCursor wait;
    return CReportWriter(model).Save(fileName, context.session.GetConnection().GetTrace());
}

}  // namespace

void SaveReportCommand(SStatementCommandContext& context) {
    CCorvidDoc& document = context.document;
    if (document.m_SimilarMode || document.m_FamilyMode || context.view.IsBusy()) return;
    const std::string fileName = AskReportFileName(&context.frame, document.m_ExportFileName + ".html");
    if (fileName.empty()) return;
    SStatementReportSource source = SourceOf(context);
    source.positions = ListedPositions(context.view.GetListCtrl(), document.GetCollection());
    if (document.m_ChangesMode && document.HasInterval()) source.interval = &document.GetIntervalSummary();
    const bool saved = SaveReport(BuildStatementReport(source), fileName, context);
    context.frame.SetStatusText(QString::fromStdString(
        saved ? "Report of " + std::to_string(source.positions.size()) + " statements saved to " + fileName
              : "The report was not saved"));
}

void AddStatementReportButton(CCorvidSqlStmtDlg& sheet, const CObjectEntry& statement,
                              SStatementCommandContext& context) {
    auto* buttons = sheet.findChild<QDialogButtonBox*>();
    if (buttons == nullptr) return;
    QPushButton* button = buttons->addButton(QStringLiteral("Save report..."), QDialogButtonBox::ActionRole);
    button->setObjectName(QStringLiteral("saveReport"));
    QObject::connect(button, &QPushButton::clicked, &sheet, [&sheet, statement, &context]() {
        const std::string name = statement.m_HasServerFigures ? statement.m_SqlId.str() : statement.m_Address.str();
        const std::string fileName = AskReportFileName(&sheet, "statement-" + name + ".html");
        if (fileName.empty()) return;
        SStatementReportSource source = SourceOf(context);
        source.title.clear();  // the statement's own
        SaveReport(BuildOneStatementReport(statement, source), fileName, context);
    });
}

}  // namespace corvid
