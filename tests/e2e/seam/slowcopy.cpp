// tavu.exe as it ships, but with every file copy lasting 300 ms (see
// slowcopy.h), so that the process-level tests can watch a long copy or
// move and cancel it. Installed before the program's own start.
#include "common/fileops.h"
#include "slowcopy.h"

namespace {
const auto previous = Pelvane::UseCopyStep(testsupport::SlowCopy);
} // namespace
