#pragma once
#include <windows.h>

#include <string>
#include <utility>

// The single steps by which the program reads and replaces its own files
// (the settings files and the log). They all go through one object, so that
// a test can put another in its place and make any one step fail; the
// program itself only ever uses the real steps.
namespace Pelvane {

class FileSteps {
public:
  virtual ~FileSteps() = default;

  // Opens an existing file to read it, shared with others as `share` says;
  // INVALID_HANDLE_VALUE (and the last error) when it cannot.
  virtual HANDLE OpenToRead(const std::u16string& path, DWORD share);
  // Creates a file to write, emptying one that exists, shared with nobody;
  // INVALID_HANDLE_VALUE (and the last error) when it cannot.
  virtual HANDLE Create(const std::u16string& path);
  // Reads at most `size` bytes into `buffer`; `got` is 0 at the end of the file.
  virtual bool Read(HANDLE file, void* buffer, DWORD size, DWORD& got);
  // Writes at most `size` bytes; `wrote` tells how many were taken.
  virtual bool Write(HANDLE file, const void* data, DWORD size, DWORD& wrote);
  // Makes what was written reach the disk.
  virtual bool Flush(HANDLE file);
  // Closes the file; false when the system reported an error (the handle is
  // gone all the same).
  virtual bool Close(HANDLE file);
  // Puts the file `from` in the place of `to` in one step; a file already at
  // `to` hands its attributes, creation time and security on to it.
  virtual bool Replace(const std::u16string& from, const std::u16string& to);
  // Deletes a file, read-only or not.
  virtual bool Remove(const std::u16string& path);
};

// The steps in use: the real ones unless a test installed others.
FileSteps& Files();
// Puts `steps` in use (nullptr: the real ones again) and returns the ones
// that were in use before.
FileSteps* UseFileSteps(FileSteps* steps);

// A file opened through the steps, closed through them when it goes.
class StepFile {
public:
  StepFile(FileSteps& steps, HANDLE file) : steps_(steps), file_(file) {}
  ~StepFile() { Close(); }
  StepFile(const StepFile&) = delete;
  StepFile& operator=(const StepFile&) = delete;

  explicit operator bool() const { return file_ != INVALID_HANDLE_VALUE; }
  HANDLE Get() const { return file_; }
  // Closes the file now; false when the system reported an error.
  bool Close() {
    HANDLE file = std::exchange(file_, INVALID_HANDLE_VALUE);
    return file == INVALID_HANDLE_VALUE || steps_.Close(file);
  }

private:
  FileSteps& steps_;
  HANDLE file_;
};

} // namespace Pelvane
