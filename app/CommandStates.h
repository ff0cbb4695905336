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

}  // namespace corvid
