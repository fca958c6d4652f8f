#pragma once
// The link every exchange with a scanner uses: DevicePort, the one port all
// scanner traffic goes through, unless a test puts another link in its place.
#include "transport/serial_port.h"

SerialLink& ExchangeLink();
// Test hook: the exchange talks to link instead (nullptr puts DevicePort back).
void SetExchangeLink(SerialLink* link);
