#pragma once

// Oracle's error numbers with their classic message texts, and the exception
// that carries one through the engine's parser, evaluator and PL/SQL runtime.

#include <stdexcept>
#include <string>

#include "ocisim/engine/Engine.h"

namespace ocisim {

// The classic message text of an Oracle error, with "%s" placeholders where
// Oracle inserts names. Unknown numbers give an empty text.
std::string OracleErrorText(int code);

// Builds "ORA-nnnnn: text" for a number from the table, filling the "%s"
// placeholders in order with `args`.
OraError Ora(int code, const std::string& arg1 = {}, const std::string& arg2 = {}, const std::string& arg3 = {});

// An Oracle error raised inside the engine; the session turns it into the
// ExecResult's error.
class OraException : public std::runtime_error {
public:
    explicit OraException(OraError e) : std::runtime_error(e.message), error(std::move(e)) {}
    OraError error;
};

[[noreturn]] inline void Raise(int code, const std::string& a1 = {}, const std::string& a2 = {},
                               const std::string& a3 = {}) {
    throw OraException(Ora(code, a1, a2, a3));
}

}  // namespace ocisim
