#pragma once
// The "Ports" group: the port combo box of the scanner ports, "Open" and "Close".
class Controls;

// Refills PortNumbers and the port combo box. selectFirst: select entry 0;
// otherwise select the first entry beginning with the text selected before.
void FillPortList(Controls& dialog, bool selectFirst);
// The "Open" button: opens the selected port and switches the port controls
// to their open state, or shows "Open Com Error!" and changes nothing.
bool OpenSelectedPort(Controls& dialog);
// The "Close" button, and the end of each port's turn in auto mode: closes the
// port; keepControls false also puts the port controls back to their idle state.
bool ClosePorts(Controls& dialog, bool keepControls);
