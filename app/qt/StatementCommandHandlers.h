#pragma once

#include <QDialog>
#include <functional>

namespace corvid {

class IProgressRunner;
struct SStatementCommandContext;

// The statement-level commands of the main view, called by the command dispatcher.

// The details sheet of the one selected statement.
void ShowStatementCommand(SStatementCommandContext& context);
// Enters the similar view for the one selected statement (after the find dialog),
// or leaves it when it is shown.
void FindSimilarCommand(SStatementCommandContext& context);
// Asks for a SQL ID and selects the statement that has it (a message when none has).
void FindSqlIdCommand(SStatementCommandContext& context);
// Enters the family view, or leaves it (and the statement list filtered to one
// family) for the whole statement list.
void StatementFamiliesCommand(SStatementCommandContext& context);
// The statement list showing only the members of the family selected in the
// family view; false (after the message) unless exactly one family is selected.
bool OpenSelectedFamily(SStatementCommandContext& context);
// The export dialog, then the export of whatever the list shows.
void ExportCommand(SStatementCommandContext& context);
// Asks for a file name, then saves the HTML report of the statements the list
// shows (with their interval figures in the changes view).
void SaveReportCommand(SStatementCommandContext& context);
// The options sheet on copies of the document's settings, users and layouts.
void OptionsCommand(SStatementCommandContext& context);

// How the commands run their modal dialogs: exec() in the program. A test installs
// a runner that drives the dialog and returns its result without a modal loop; an
// empty runner restores exec().
using DialogRunner = std::function<int(QDialog&)>;
void SetDialogRunner(DialogRunner runner);
// Runs a command's dialog through the installed runner (exec() without one).
int RunCommandDialog(QDialog& dialog);

// The progress runner of the similarity search; null (the default) runs it under
// a progress dialog over the main window.
void SetSimilarityProgressRunner(IProgressRunner* runner);

}  // namespace corvid
