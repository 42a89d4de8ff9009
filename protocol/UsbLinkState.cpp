#include "protocol/UsbLinkState.h"

TLinkState LinkState{LinkStates::FindMeter};
TScreenBuffer ScreenBuffer;
