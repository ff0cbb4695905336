#include "app/CommandLinePassword.h"

#include <cctype>
#include <cstring>

#include "platform/Secret.h"

namespace corvid {

namespace {

bool IsPasswordOption(const char* argument) {
    return (argument[0] == '-' || argument[0] == '/') && std::toupper(static_cast<unsigned char>(argument[1])) == 'P';
}

}  // namespace

void WipePasswordArguments(int argc, char** argv, std::vector<std::string>& arguments, const std::string& password) {
    if (password.empty()) return;
    for (int i = 1; i < argc; ++i) {
        char* argument = argv[i];
        if (argument == nullptr) continue;
        if (IsPasswordOption(argument) && password == argument + 2) {
            WipeArgument(argument + 2);
        } else if (password == argument && i > 1 && IsPasswordOption(argv[i - 1]) && argv[i - 1][2] == '\0') {
            WipeArgument(argument);
        }
    }
    for (std::string& argument : arguments) {
        if (argument.find(password) != std::string::npos) WipeString(argument);
    }
}

}  // namespace corvid
