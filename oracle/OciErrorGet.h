#pragma once

#include <string>

#include "oracle/Oci8EntryTable.h"

namespace corvid {

// Record 1 of a release-8 error handle: the Oracle error number, and the
// message without its trailing line end. 0 and an empty text when the library
// lacks OCIErrorGet or the handle holds no error.
int OciErrorCode(const COci8EntryTable& oci, oci::OCIError* error);
std::string OciErrorText(const COci8EntryTable& oci, oci::OCIError* error);

}  // namespace corvid
