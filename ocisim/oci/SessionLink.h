#pragma once

// The server session behind a logon, shared by the statements that ran on it:
// a statement's open rows keep the session object alive, and `alive` tells them
// whether the logon still stands.

#include <memory>

#include "ocisim/engine/Engine.h"

namespace ocisim::oci {

struct SessionLink {
    std::shared_ptr<ocisim::Session> session;
    bool alive = true;
};

}  // namespace ocisim::oci
