#pragma once
#include <string>

// Copies and moves of files and whole folders. Each operation checks its
// preconditions before it changes anything, then raises tavu::Exception when
// any step fails; whatever it had done by then stays done.
namespace Pelvane {

// Copies an existing file to a new path whose folder exists; never overwrites.
void CopyFileTo(const std::u16string& src, const std::u16string& dst);
// Moves an existing file to a new path whose folder exists: a rename on the
// same root, else a copy and then the deletion of the source.
void MoveFileTo(const std::u16string& src, const std::u16string& dst);
// Copies a folder's whole tree into dst (made with any missing parents),
// overwriting files already there; raises when any entry could not be copied.
void CopyFolderTo(const std::u16string& src, const std::u16string& dst);
// Moves a folder's whole tree to dst, which must not exist, on the same root;
// raises when anything stays behind in the source.
void MoveFolderTo(const std::u16string& src, const std::u16string& dst);

} // namespace Pelvane
