#pragma once

#include <termios.h>

#include <string>

namespace corvid {

// What a process ended by SIGINT, SIGTERM, SIGHUP or SIGQUIT must not leave
// behind: half-written temporary files and a terminal with its echo off. The
// registry is always kept; only a program that calls InstallSignalCleanup acts
// on it (the handler removes the files, restores the terminal and then lets the
// signal end the process as it would have).
void InstallSignalCleanup();

// Registers a file to remove; returns a slot for UnregisterCleanupFile, or -1
// when every slot is taken or the path is too long to keep.
int RegisterCleanupFile(const std::string& path);
void UnregisterCleanupFile(int slot);

// The terminal state to put back (one at a time).
void RegisterTerminalRestore(int fd, const termios& state);
void UnregisterTerminalRestore();

// Does what the handler does, without ending the process (for tests).
void RunSignalCleanup();

}  // namespace corvid
