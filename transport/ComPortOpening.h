#pragma once

// Opening, testing and closing the COM port the settings choose.
// Not connected yet: the serial port component does not exist, so no port is
// opened and closing has nothing to close.

// Opens COM port n and tests the line; 0 means the port works. With quiet false
// the user is asked when something is wrong.
inline int OpenComPort(int /*portNumber*/, bool /*quiet*/) {
    return 0;
}

inline void ClosePortIfOpen() {}
