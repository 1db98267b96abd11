// SPDX-License-Identifier: MIT
// Decodes one message from the library into the received state and says whom
// it wakes. Bytes in, no socket, so that it can be fuzzed.
#pragma once

#include "ReceivedState.h"

#include <SocketCom.h>

namespace vexal::monitor {

enum class Wake {
    Nothing,       // unknown number: ignored
    Disconnected,  // echo 0: the connection ends
    SummaryReply,  // reply 1
    ListReply,     // replies 2, 3 and 4
    ControlReply,  // acknowledgements 5 and 6
    StatusCall,    // notice 7: the application called VexalShowStatus
    ListCall,      // notice 8: the application called VexalShowList
};

// `message` holds one whole message (as readSocketData leaves it); at most
// SOCKETDATA_SIZE bytes are read. Only the fields the message's number names
// are written; a number outside 0 to 8 changes nothing.
Wake decodeMessage(const char (&message)[SOCKETDATA_SIZE], ReceivedState &state);

} // namespace vexal::monitor
