#pragma once

// Errors that the client libraries raise themselves (bad calls, fetch states,
// conversions), with Oracle's numbers and classic message texts.

#include <string>

#include "ocisim/engine/Engine.h"

namespace ocisim::oci {

enum ClientError : int {
    kInconsistentDatatypes = 932,
    kInvalidCursor = 1001,
    kFetchOutOfSequence = 1002,
    kNoStatementParsed = 1003,
    kVariableNotInSelectList = 1007,
    kInvalidOperation = 1010,
    kNotLoggedOn = 1012,
    kIllegalVariable = 1036,
    kNoDataFound = 1403,
    kNullFetched = 1405,
    kTruncated = 1406,
    kExactFetchTooMany = 1422,
    kIntegerOverflow = 1455,
    kTrailingNullMissing = 1480,
    kInvalidNumber = 1722,
    kNotConnected = 3114,
    kUnsupportedDatatype = 3115,
    kValueError = 6502,
    kInvalidLobLocator = 22275,
    kBadMode = 24300,
    kAlreadyConnected = 24309,
    kAlreadyAuthenticated = 24313,
    kIllegalAttribute = 24315,
    kNoServerAttached = 24327,
    kZeroIterations = 24333,
    kNoDescriptor = 24334,
    kNotPrepared = 24337,
    kNotExecuted = 24338,
    kTruncationOrNull = 24345,
    kDefineNotDone = 24374,
    kInvalidFetchOperation = 24391,
};

// "ORA-nnnnn: text" for a number the client knows; Oracle's "message not found"
// line for any other.
std::string ClientMessage(int code);

// The error with its formatted message.
OraError MakeClientError(int code);

}  // namespace ocisim::oci
