#pragma once
// The scanner operations behind the dialog's buttons: each runs its core
// operation with the window as its front end, on the open port or, in auto
// mode, on every listed one. "Get Barcodes" and "Set Time" run on a worker
// thread with the controls each keeps from the user; the others on the
// dialog's thread.
class Controls;

// "Get Device Info", "Get Time", "Delete Barcodes", "Export".
bool ShowDeviceInfo(Controls& dialog);
int GetDeviceTime(Controls& dialog);
bool DeleteBarcodes(Controls& dialog);
int ExportRecords(Controls& dialog);

// "Get Barcodes": disables the job controls and starts the worker. False (and
// the controls enabled again, with an error box) when no thread can be started.
bool StartCollection(Controls& dialog);
// The download worker's whole run, on the calling thread; ends by enabling the controls.
void CollectionJob(Controls& dialog);
void SetJobControls(Controls& dialog, bool enable);
// True while a job runs ("Get Barcodes" or "Set Time": one at a time).
bool IsCollectionRunning();

// "Set Time": disables the clock controls and starts the worker. 0 when no
// thread can be started (the controls are enabled again and an "Error" box says so).
int StartSetTime(Controls& dialog);
// One Set Time run on the calling thread (the worker's body); ends by enabling
// the clock controls again.
void SetTimeWorker(Controls& dialog);
void EnableClockControls(Controls& dialog, bool enable);
