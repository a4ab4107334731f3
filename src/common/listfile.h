#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "core/error.h"
#include "core/listfile.h"

// Reading and writing the program's line files (the log, the word list) and
// what goes with them: the ANSI code page, the system's error texts and the
// program's folder.
namespace Pelvane {

// The system's ANSI code page (GetACP); characters it cannot hold become its
// default character.
const tavu::CodePage& AnsiCodePage();

// The system's message text for an error code, without its line break.
std::u16string SystemMessage(DWORD error);

// The folder that holds the program, without a trailing backslash unless it
// is a drive root.
std::u16string ProgramFolder();

// The whole file's bytes, or its first `limit` bytes, read while nobody may
// write it. Throws the "cannot be opened" error when it cannot be read.
std::string ReadWholeFile(const std::u16string& path, std::size_t limit = SIZE_MAX);

// Writes the bytes beside the file, flushes them, then puts them in the
// file's place in one step, every step through Files(); the file keeps its
// attributes, creation time and security, and what an unfinished earlier
// write left beside it is cleared first. Throws the "cannot be created"
// error when any step fails, leaving the file as it was and nothing beside it.
void ReplaceFileBytes(const std::u16string& path, const std::string& bytes);

// Creates the file empty (zero bytes); one that appeared meanwhile is left
// as it is. Throws the "cannot be created" error.
void CreateEmptyFile(const std::u16string& path);

// Clears `list` and fills it with the file's lines decoded with `encoding`
// (a missing file gives none), then makes the program's folder the current
// directory. Returns the number of lines. Throws when the file exists but
// cannot be read.
int LoadList(std::vector<std::u16string>& list, const std::u16string& path,
             tavu::TextEncoding encoding);

// Writes every line followed by CR LF once no other process holds the file
// open, waiting about a second for one that does. The new content replaces
// the file in one step, so the file is never left half written. Makes the
// program's folder the current directory. Throws the "cannot be created"
// error when the file cannot be written, or is still held after the wait;
// true otherwise.
bool SaveListIfFree(const std::vector<std::u16string>& list, const std::u16string& path,
                    tavu::TextEncoding encoding);

// The local date and time for a log line: the user's short date and long
// time, the date alone at exactly midnight.
std::u16string LogTimeStamp();

} // namespace Pelvane
