#pragma once

#include "sim/serial/UniqueFd.h"

#include <string>

// A new pseudo-terminal whose slave side is the simulated meter's serial port:
// a program opens the slave path as it opens a COM port, and the simulator
// reads and writes the master.
class PseudoTerminal {
public:
    // Opens the pair: the master non-blocking, the slave in raw mode. Throws
    // std::system_error naming the call that failed; nothing stays open then.
    PseudoTerminal();

    int Master() const { return master_.Get(); }
    const std::string& SlavePath() const { return slavePath_; }

private:
    UniqueFd master_;
    // Held open for the whole run and never read. While no slave is open the
    // master reads EIO and polls as hung up, so without it every time the
    // program closes its port the simulator would see the line drop.
    UniqueFd slave_;
    std::string slavePath_;
};
