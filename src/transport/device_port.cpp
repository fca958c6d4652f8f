#include "transport/serial_port.h"

// Built during static initialisation, before the window exists; its destructor
// at exit closes a port still open.
SerialPort DevicePort;
