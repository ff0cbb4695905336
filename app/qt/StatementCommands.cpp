#include "app/qt/StatementCommands.h"

#include "app/qt/CorvidView.h"
#include "platform/Services.h"

namespace corvid {

bool IsStatementCommand(ECommand command) {
    switch (command) {
        case ECommand::ShowStatement:
        case ECommand::FindSimilar:
        case ECommand::Export:
        case ECommand::Options:
            return true;
        default:
            return false;
    }
}

// The details sheet, the find-similar dialog with the similar view, the export
// dialog and the options sheet are built on this entry point. Until they are, each
// command checks what it needs and says that its window is not part of this build.
void RunStatementCommand(ECommand command, SStatementCommandContext& context) {
    const char* name = nullptr;
    switch (command) {
        case ECommand::ShowStatement: {
            CObjectEntry entry;
            if (!context.view.GetSelectedStatement(entry)) return;
            name = "Show SQL statement";
            break;
        }
        case ECommand::FindSimilar:
            name = "Find similar SQL statements";
            break;
        case ECommand::Export:
            name = "Export";
            break;
        case ECommand::Options:
            name = "Options";
            break;
        default:
            return;
    }
    GetPrompter().Message(std::string("The command \"") + name + "\" is not available in this build.",
                          IPrompter::Kind::Information);
}

}  // namespace corvid
