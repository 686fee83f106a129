#pragma once
// Memory writes carry the security code on boards of protocol 2.1.0 only, and
// the frame is built when it goes out: a write queued while the board's
// protocol version is unknown would go without it and be refused. The
// version is asked for first; its answer comes before the write leaves.

#include "commands/Builders.h"
#include "commands/Session.h"

namespace orvan::features {

inline void AskProtocolVersionFirst(commands::TSession& session) {
    if (session.BoardProtocolVersion() == 0)
        (void)commands::SendReadVariable(session.Protocol(), commands::ProtocolVersion);
}

}  // namespace orvan::features
