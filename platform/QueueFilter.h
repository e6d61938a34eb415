#pragma once

namespace quernel {

// The CUPS filter of a DOS printer queue: renders the job's DOS printout (the file named on
// the command line, or standard input) with the queue's settings from its PPD and the job's
// options, and writes the PDF to standard output. Problems are "ERROR: " lines on standard
// error and exit code 1 (CUPS then stops the job and shows the line); nothing is written to
// standard output unless the whole document was made. Writes only into $TMPDIR.
int RunQueueFilter(int argc, char** argv);

}  // namespace quernel
