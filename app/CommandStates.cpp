#include "app/CommandStates.h"

namespace corvid {

SCommandState GetCommandState(ECommand command, bool connected, bool similarMode) {
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
            state.enabled = connected && !similarMode;
            break;
        case ECommand::Options:
        case ECommand::FindSqlId:
            state.enabled = !similarMode;
            break;
        case ECommand::FindSimilar:
            state.checked = similarMode;
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
