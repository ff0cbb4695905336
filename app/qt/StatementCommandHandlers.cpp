#include "app/qt/StatementCommandHandlers.h"

#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <QScrollBar>
#include <algorithm>

#include "app/Session.h"
#include "app/qt/CorvidView.h"
#include "app/qt/MainFrame.h"
#include "app/qt/ReportCommands.h"
#include "app/qt/SimilarSearchJob.h"
#include "app/qt/StatementCommands.h"
#include "collection/CorvidDoc.h"
#include "dialogs/OptionsModel.h"
#include "dialogs/StatementSheetModel.h"
#include "dialogs/qt/OptionsDlg.h"
#include "dialogs/qt/ProgressDlgRunner.h"
#include "dialogs/qt/SqlStmtDlg.h"
#include "list/ExportSettings.h"
#include "list/ListExporter.h"
#include "oracle/OracleConnection.h"
#include "dialogs/qt/ExportDlg.h"
#include "collection/FindSimilarStatements.h"
#include "dialogs/qt/FindSqlIdDlg.h"
#include "dialogs/qt/SqlFindDlg.h"
#include "platform/Prompter.h"
#include "platform/Services.h"
#include "platform/qt/WaitCursor.h"

namespace corvid {

namespace {

DialogRunner& Runner() {
    static DialogRunner runner;
    return runner;
}

IProgressRunner*& SimilarityRunner() {
    static IProgressRunner* runner = nullptr;
    return runner;
}

int RunDialog(QDialog& dialog) {
    if (const DialogRunner& runner = Runner()) return runner(dialog);
    return dialog.exec();
}

SOptionsSettings SettingsOf(CCorvidDoc& document) {
    SOptionsSettings settings;
    settings.warnIfNotAllUser = document.m_WarnIfNotAllUser;
    settings.analyze = document.m_Analyze;
    settings.cursorCachePlans = document.m_CursorCachePlans;
    settings.explainAll = document.m_ExplainAll;
    settings.filter = document.GetFilter();
    settings.history = SHistorySettings::Read(GetSettingsStore());
    return settings;
}

void LeaveSimilarView(SStatementCommandContext& context) {
    // The statement selected in the similar view stays selected in the full list.
    const std::vector<CObjectArray::Index> selected = context.view.SelectedPositions();
    context.view.ApplyLayout();
    context.view.Refill(false, selected);
    context.document.m_SimilarMode = false;
}

// Back to the statement list through the user's layout: all statements, or the
// members of the document's filter family.
void ShowStatementList(SStatementCommandContext& context) {
    context.document.m_FamilyMode = false;
    context.view.ApplyLayout();
    context.view.Refill(false);
    context.frame.UpdateCommandStates();
}

}  // namespace

void SetDialogRunner(DialogRunner runner) {
    Runner() = std::move(runner);
}

int RunCommandDialog(QDialog& dialog) {
    return RunDialog(dialog);
}

void SetSimilarityProgressRunner(IProgressRunner* runner) {
    SimilarityRunner() = runner;
}

void ShowStatementCommand(SStatementCommandContext& context) {
    // In the family view a row stands for a family: it opens its members.
    if (context.document.m_FamilyMode) {
        OpenSelectedFamily(context);
        return;
    }
    const CObjectArray::Index position = context.view.GetSelectedPosition();
    if (position < 0) return;
    const CObjectEntry statement = context.document.GetCollection()[position];
    CSession& session = context.session;
    // The test page explains on the application's connection, which the user may
    // have closed since the list was loaded.
    ExplainCall explain = [&session](const std::string& sqlText, const std::string& goal) {
        if (!session.EnsureConnected()) {
            SExplainOutcome skipped;
            skipped.skipped = true;
            return skipped;
        }
        return ExplainOnConnection(session.GetConnection())(sqlText, goal);
    };
    SStatementSheetData data = SStatementSheetData::FromStatement(statement);
    const CStatementFamilies& families = context.document.GetFamilies();
    if (const int family = families.FamilyOf(position); family >= 0) {
        const CFamilyEntry& entry = families.GetFamilies()[static_cast<std::size_t>(family)];
        data.familyText = entry.m_FamilyText;
        data.familyStatements = static_cast<long long>(entry.m_Statements);
    }
    CCorvidSqlStmtDlg sheet(data, std::move(explain), &context.frame);
    AddStatementReportButton(sheet, statement, context);
    RunDialog(sheet);
}

void FindSqlIdCommand(SStatementCommandContext& context) {
    if (context.view.IsBusy() || context.document.m_SimilarMode) return;
    CFindSqlIdDlg dialog(&context.frame);
    if (RunDialog(dialog) != QDialog::Accepted || dialog.GetSqlId().empty()) return;
    const CObjectArray::Index position = FindStatementBySqlId(context.document.GetCollection(), dialog.GetSqlId());
    if (position < 0 || !context.view.SelectPosition(position)) {
        GetPrompter().Message("No statement with the SQL ID " + dialog.GetSqlId() + " in the list.");
    }
}

namespace {

// The status line while a similar search fills in the similar view.
constexpr const char* kSimilarSearchStatus = "Comparing statements (Esc stops)";

// Shows the outcome of a similar search in the similar view: its result sorted, or
// the statement list again when it was cancelled before anything was found.
void ShowSimilarResult(SStatementCommandContext& context, SimilarityRun& run, const CListLayout& layout) {
    if (run.m_Cancelled && run.m_Result.IsEmpty()) {
        LeaveSimilarView(context);
        context.frame.UpdateCommandStates();
        return;
    }
    // The chosen statement first among equal distances, then the list's stable
    // sort by distance keeps that order.
    SortSimilarResult(run);
    context.view.FillFrom(run.m_Result, layout, true, &run.m_ResultPositions);
    context.view.GetListCtrl().Sort();
    context.frame.UpdateCommandStates();
}

}  // namespace

void FindSimilarCommand(SStatementCommandContext& context) {
    if (context.view.IsBusy()) return;
    if (context.document.m_SimilarMode) {
        LeaveSimilarView(context);
        context.frame.UpdateCommandStates();
        return;
    }
    const CObjectArray::Index position = context.view.GetSelectedPosition();
    if (position < 0) return;

    CSqlFindDlg dialog(&context.frame);
    if (RunDialog(dialog) != QDialog::Accepted) return;
    context.view.SetChangesMode(false);

    // The list's own sort, column order and widths come back when the similar view is left.
    context.document.GetListLayout().ReadFromList(context.view.GetListCtrl());
    context.document.m_SimilarMode = true;
    CWaitCursor wait;
    const CListLayout layout = CListLayout::MakeSimilarLayout();
    context.view.ApplyLayout(layout);

    const CObjectArray& collection = context.document.GetCollection();
    auto run = std::make_unique<SimilarityRun>();
    run->m_Collection = &collection;
    run->m_Chosen = collection[position];
    run->m_ChosenPosition = position;
    run->m_Options = dialog.GetOptions();
    auto search = std::make_unique<CSimilarSearchJob>(std::move(run), &context.view);
    CProgressDlgRunner dialogRunner(&context.frame);
    IProgressRunner& runner = SimilarityRunner() ? *SimilarityRunner() : dialogRunner;
    if (search->Start(runner) == CSimilarSearchJob::EStart::Finished) {
        ShowSimilarResult(context, search->Run(), layout);
        return;
    }

    // The nearest statements are on show while the search fills in the rest; the
    // view stays busy (commands wait) until it has, and Escape stops it there.
    context.view.FillFrom(search->FirstScreen(), layout, true, &search->FirstScreenPositions());
    context.view.GetListCtrl().Sort();
    // Its progress goes to the status bar's text and bar, as a refresh in the
    // background does; Escape in the list stops it.
    CMainFrame& frame = context.frame;
    if (QLabel* text = frame.ProgressText()) {
        text->setText(QString::fromUtf8(kSimilarSearchStatus));
        text->show();
    }
    if (QProgressBar* bar = frame.ProgressBar()) {
        bar->setValue(0);
        bar->show();
    }
    search->SetOnProgress([&frame](int percent) {
        if (QProgressBar* bar = frame.ProgressBar()) bar->setValue(percent);
    });
    search->SetOnFinished([context, layout](CSimilarSearchJob& job) mutable {
        if (QLabel* text = context.frame.ProgressText()) {
            text->clear();
            text->hide();
        }
        if (QProgressBar* bar = context.frame.ProgressBar()) bar->hide();
        // The search is over; the view is busy until its job is gone, which is last.
        // The first screen stays where it was, so what the user selected and the
        // place scrolled to stay too.
        const std::vector<CObjectArray::Index> selected = context.view.SelectedPositions();
        const int scrolled = context.view.verticalScrollBar()->value();
        ShowSimilarResult(context, job.Run(), layout);
        if (context.document.m_SimilarMode) {
            CListCtrlEx& list = context.view.GetListCtrl();
            for (int row = 0; row < list.GetItemCount() && !selected.empty(); ++row) {
                const auto position = static_cast<CObjectArray::Index>(list.GetItemData(row));
                if (std::find(selected.begin(), selected.end(), position) != selected.end())
                    list.SetItemSelected(row, true);
            }
            context.view.verticalScrollBar()->setValue(scrolled);
        }
        if (!job.Error().empty()) GetPrompter().Message(job.Error(), IPrompter::Kind::Error);
        context.view.EndSimilarSearch();
        context.frame.UpdateCommandStates();
    });
    context.view.SetSimilarSearch(std::move(search));
    context.frame.UpdateCommandStates();
}

void StatementFamiliesCommand(SStatementCommandContext& context) {
    CCorvidDoc& document = context.document;
    if (context.view.IsBusy() || document.m_SimilarMode) return;
    if (document.m_FamilyMode || document.m_FamilyFilter >= 0) {
        document.m_FamilyFilter = -1;
        ShowStatementList(context);
        return;
    }
    // The user's column widths and order survive the family view.
    context.view.SetChangesMode(false);
    document.GetListLayout().ReadFromList(context.view.GetListCtrl());
    CWaitCursor wait;
    document.m_FamilyMode = true;
    context.view.ShowFamilies();
    context.frame.UpdateCommandStates();
}

bool OpenSelectedFamily(SStatementCommandContext& context) {
    if (context.view.IsBusy() || !context.document.m_FamilyMode) return false;
    const int family = context.view.GetSelectedFamily();
    if (family < 0) return false;
    context.document.m_FamilyFilter = family;
    ShowStatementList(context);
    return true;
}

void ExportCommand(SStatementCommandContext& context) {
    CCorvidDoc& document = context.document;
    CExportDlg dialog(&context.frame);
    dialog.SetSettings({document.m_ExportType, document.m_ExportName, document.m_ExportFileName});
    if (RunDialog(dialog) != QDialog::Accepted) return;

    // The choices are kept even when the export then fails.
    const SExportSettings& chosen = dialog.GetSettings();
    document.m_ExportType = chosen.formatIndex;
    document.m_ExportName = chosen.name;
    document.m_ExportFileName = chosen.fileName;
    document.WriteSettings();

    const std::optional<EExportFormat> format = ExportFormatOfDialogIndex(chosen.formatIndex);
    if (!format) return;
    CWaitCursor wait;
    CListExporter exporter(context.view.GetListCtrl());
    exporter.SetIdentification(CListExporter::ProgramIdentification());
    exporter.SetTrace(context.session.GetConnection().GetTrace());
    const bool written = exporter.Export(*format, chosen.fileName, chosen.name);
    context.frame.SetStatusText(QString::fromStdString(
        ExportStatusText(*format, chosen.fileName, context.view.GetListCtrl().GetItemCount(), written)));
}

void OptionsCommand(SStatementCommandContext& context) {
    CCorvidDoc& document = context.document;
    if (document.m_SimilarMode) return;
    if (!context.session.EnsureConnected()) return;

    // In the changes view the column page edits the interval layout, among the
    // interval columns.
    const bool changes = document.m_ChangesMode;
    CListLayout working = changes ? context.view.GetIntervalLayout() : document.GetListLayout();
    working.ReadFromList(context.view.GetListCtrl());
    if (!changes) document.GetListLayout() = working;
    const SOptionsSettings original = SettingsOf(document);
    const CUserArray originalUsers = document.GetUserList();
    COptionsModel model(original, originalUsers,
                        changes ? CListLayout::MakeIntervalLayout() : document.GetDefaultLayout(), working);
    if (changes) model.m_ResetLayout = CListLayout::MakeIntervalLayout();

    CCorvidOptionsDlg sheet(model, &context.frame);
    if (RunDialog(sheet) != QDialog::Accepted) return;

    if (model.SettingsChanged(original, originalUsers)) {
        document.m_WarnIfNotAllUser = model.m_Settings.warnIfNotAllUser;
        document.m_Analyze = model.m_Settings.analyze;
        document.m_CursorCachePlans = model.m_Settings.cursorCachePlans;
        document.m_ExplainAll = model.m_Settings.explainAll;
        document.GetFilter() = model.m_Settings.filter;
        document.GetUserList() = model.m_Users;
        document.WriteSettings();
        model.m_Settings.history.Write(GetSettingsStore());
    }
    if (changes && model.LayoutChanged(working)) {
        context.view.SetIntervalLayout(model.m_WorkingLayout);
        const std::vector<CObjectArray::Index> selected = context.view.SelectedPositions();
        context.view.GetListCtrl().DeleteAllItems();
        context.view.ApplyLayout(context.view.GetIntervalLayout());
        context.view.Refill(false, selected);
    } else if (!changes && model.LayoutChanged(document.GetListLayout())) {
        document.GetListLayout() = model.m_WorkingLayout;
        document.GetListLayout().Save();
        document.WriteSettings();
        const std::vector<CObjectArray::Index> selected = context.view.SelectedPositions();
        context.view.GetListCtrl().DeleteAllItems();
        context.view.ApplyLayout();
        context.view.Refill(false, selected);
    }
}

}  // namespace corvid
