#pragma once

// The runtime's at-exit table, through which the library's static destructors run at
// unload, is itself allocated through the engine's allocator at the first registration and
// grown as needed. A registration the runtime could not take is kept here instead, in
// fixed storage, and run when the DLL detaches, so that a refused allocation at load never
// keeps a destructor from running.

extern "C" {
using ExitFunction = void (*)();
}

// Takes function for the detach when the runtime's table refused it. 0 when it will run,
// -1 only when both the runtime's table and the fixed storage are full.
int KeepExitFunction(ExitFunction function);

// Runs the kept functions once each, the last kept first. Called after the runtime's own
// detach has run its table.
void RunKeptExitFunctions();
