#pragma once
// The dialog's record fields, for scanners that hide them (hostile_records.h).
class Controls;

// Unchecks "Serial Number" and "Time Stamp", so a download asks for neither.
void UncheckRecordFields(Controls& dialog);
