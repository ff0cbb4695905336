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
            break;
    }
    return state;
}

}  // namespace corvid
