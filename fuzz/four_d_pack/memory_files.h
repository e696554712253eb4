// The files the fuzzed package sees: the file seam replaced by files kept in memory, so that
// fuzzed names never reach the disk, and a chosen call can be made to fail.
#pragma once

#include <cstdint>
#include <string>

namespace nimbus::fuzz {

// Installs the in-memory calls (once).
void InstallMemoryFiles();

// Makes the nth file call from now (read, write, size, seek or close; 1 = the next) fail
// with an I/O error; 0 fails none.
void FailFileCallAfter(int32_t n);

// Puts a file in place: the file routines read it by this name.
void PutFile(const std::string& name, const std::string& bytes);

// The number of files still open.
int32_t OpenFileCount();

// Removes every file (open ones too).
void ClearFiles();

}  // namespace nimbus::fuzz
