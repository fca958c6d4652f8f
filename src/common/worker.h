#pragma once
// Starts a detached worker thread. Nothing ever waits for it; it ends on its own.
using WorkerEntry = void (*)(void* argument);

// False when the thread could not be created.
bool StartWorker(WorkerEntry entry, void* argument);

// The platform's own starter (_beginthreadex, or std::thread).
bool StartPlatformWorker(WorkerEntry entry, void* argument);

// Test hook: a starter of the test's own (nullptr: the real one again).
using WorkerStarter = bool (*)(WorkerEntry entry, void* argument);
void SetWorkerStarter(WorkerStarter starter);
