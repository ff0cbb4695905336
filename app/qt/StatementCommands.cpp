#include "app/qt/StatementCommands.h"

#include "app/qt/StatementCommandHandlers.h"

namespace corvid {

bool IsStatementCommand(ECommand command) {
    switch (command) {
        case ECommand::ShowStatement:
        case ECommand::FindSimilar:
        case ECommand::FindSqlId:
        case ECommand::StatementFamilies:
        case ECommand::Export:
        case ECommand::Options:
        case ECommand::SaveReport:
            return true;
        default:
            return false;
    }
}

void RunStatementCommand(ECommand command, SStatementCommandContext& context) {
    switch (command) {
        case ECommand::ShowStatement:
            ShowStatementCommand(context);
            break;
        case ECommand::FindSimilar:
            FindSimilarCommand(context);
            break;
        case ECommand::FindSqlId:
            FindSqlIdCommand(context);
            break;
        case ECommand::StatementFamilies:
            StatementFamiliesCommand(context);
            break;
        case ECommand::Export:
            ExportCommand(context);
            break;
        case ECommand::Options:
            OptionsCommand(context);
            break;
        case ECommand::SaveReport:
            SaveReportCommand(context);
            break;
        default:
            break;
    }
}

}  // namespace corvid
