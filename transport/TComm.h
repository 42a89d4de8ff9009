#pragma once

#include "transport/TThreadComm.h"

// The serial port component as forms hold it: everything of TThreadComm,
// properties and events public, no behaviour of its own.
class TComm : public TThreadComm {
    Q_OBJECT

public:
    using TThreadComm::TThreadComm;
};
