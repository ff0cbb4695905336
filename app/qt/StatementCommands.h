#pragma once

#include "app/CommandStates.h"

namespace corvid {

class CCorvidDoc;
class CCorvidView;
class CMainFrame;
class CSession;

// What the statement-level commands work on.
struct SStatementCommandContext {
    CMainFrame& frame;
    CCorvidView& view;
    CCorvidDoc& document;
    CSession& session;
};

// The one entry point of the statement-level commands of the main view: show
// statement (the details sheet), find similar (entering and leaving the similar
// view), export, save report and options. The menu, the toolbar, the row's context menu and a
// double-click all arrive here; their enabled and checked states are the main
// window's (see GetCommandState).
void RunStatementCommand(ECommand command, SStatementCommandContext& context);

// True for the commands RunStatementCommand handles.
bool IsStatementCommand(ECommand command);

}  // namespace corvid
