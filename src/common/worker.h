#pragma once
// Starts a detached worker thread. Nothing ever waits for it; it ends on its own.
using WorkerEntry = void (*)(void* argument);

// False when the thread could not be created.
bool StartWorker(WorkerEntry entry, void* argument);
