#include "app/CommandStates.h"

namespace corvid {

SCommandState GetCommandState(ECommand command, bool connected, bool similarMode, bool familyMode,
                              bool familyFiltered) {
    SCommandState state;
    switch (command) {
        case ECommand::Connect:
            state.enabled = !connected;
            break;
        case ECommand::Disconnect:
            state.enabled = connected;
            break;
        case ECommand::Load:
        case ECommand::FlushSharedPool:
            state.enabled = connected && !similarMode && !familyMode;
            break;
        case ECommand::Options:
        case ECommand::FindSqlId:
            state.enabled = !similarMode && !familyMode;
            break;
        case ECommand::FindSimilar:
            state.enabled = !familyMode;
            state.checked = similarMode;
            break;
        case ECommand::SaveReport:
            // The report is of statements: not of the similar or the family view.
            state.enabled = !similarMode && !familyMode;
            break;
        case ECommand::StatementFamilies:
            state.enabled = !similarMode;
            state.checked = familyMode || familyFiltered;
            break;
        case ECommand::Export:
        case ECommand::ShowStatement:
        case ECommand::Exit:
        case ECommand::ConnectionInfo:
        case ECommand::HelpTopics:
        case ECommand::HelpOnHelp:
        case ECommand::WebPage:
        case ECommand::About:
        case ECommand::ShowChanges:
        case ECommand::AutoRefreshOff:
        case ECommand::AutoRefresh10s:
        case ECommand::AutoRefresh30s:
        case ECommand::AutoRefresh1min:
        case ECommand::AutoRefresh5min:
            break;
    }
    return state;
}

SCommandState GetCommandState(ECommand command, bool connected, bool similarMode, bool familyMode,
                              bool familyFiltered, const SIntervalViewState& interval) {
    SCommandState state = GetCommandState(command, connected, similarMode, familyMode, familyFiltered);
    if (command == ECommand::ShowChanges) {
        state.enabled = interval.hasInterval && !similarMode && !familyMode && !familyFiltered;
        state.checked = interval.changesMode && state.enabled;
        return state;
    }
    const int seconds = AutoRefreshSeconds(command);
    if (seconds >= 0) {
        state.enabled = seconds == 0 || (connected && !similarMode && !familyMode);
        state.checked = seconds == interval.autoRefreshSeconds;
    }
    return state;
}

int AutoRefreshSeconds(ECommand command) {
    switch (command) {
        case ECommand::AutoRefreshOff:
            return 0;
        case ECommand::AutoRefresh10s:
            return 10;
        case ECommand::AutoRefresh30s:
            return 30;
        case ECommand::AutoRefresh1min:
            return 60;
        case ECommand::AutoRefresh5min:
            return 300;
        default:
            return -1;
    }
}

}  // namespace corvid
