// The log: an in-memory line list and, when logging is on, a numbered log file.
#pragma once

namespace vz::diag {

// Open the numbered log file under user://logs when the boot settings ask for
// it and write the banner. Lines logged before this are dropped.
void startLogFile();
// Write the closing summary and close the log file.
void closeLogFile();

}  // namespace vz::diag
