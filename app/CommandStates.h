#pragma once

namespace corvid {

// The commands of the main window's menu and toolbar.
enum class ECommand {
    Connect,
    Disconnect,
    Load,
    Export,
    FlushSharedPool,
    ShowStatement,
    FindSimilar,
    FindSqlId,
    Options,
    Exit,
    ConnectionInfo,
    HelpTopics,
    HelpOnHelp,
    WebPage,
    About,
    StatementFamilies,
    ShowChanges,
    AutoRefreshOff,
    AutoRefresh10s,
    AutoRefresh30s,
    AutoRefresh1min,
    AutoRefresh5min,
    SaveReport,
};

struct SCommandState {
    bool enabled = true;
    bool checked = false;
};

// Whether a command is enabled and shown checked, from the connection state and
// the view's mode: the similar-statement list, the family list, the statement list
// showing one family's members (familyFiltered), or the regular list.
SCommandState GetCommandState(ECommand command, bool connected, bool similarMode, bool familyMode = false,
                              bool familyFiltered = false);

// What the changes view and the automatic refresh add to the states.
struct SIntervalViewState {
    bool hasInterval = false;    // the document holds two loads to compare
    bool changesMode = false;    // the view shows the changes since the previous load
    int autoRefreshSeconds = 0;  // 0: off
};
// The states with the changes view and auto refresh: "Show changes since previous
// load" needs two loads and the statement list (not the similar or family views);
// an auto refresh period needs a server and the views a load is allowed in, while
// Off can always be chosen.
SCommandState GetCommandState(ECommand command, bool connected, bool similarMode, bool familyMode,
                              bool familyFiltered, const SIntervalViewState& interval);

// The period of an auto refresh command in seconds (0 for Off); -1 for any other command.
int AutoRefreshSeconds(ECommand command);

}  // namespace corvid
