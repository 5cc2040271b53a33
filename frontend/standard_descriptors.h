// Keeps the numbers of standard input, output and error from being taken by
// a file the run opens (the lock, the log, the work file, the input) when
// the program was started with one of them closed. A closed descriptor is
// replaced by /dev/null opened the wrong way round, so that using it fails
// as a closed one does (EBADF): output written to a closed standard output
// is refused, standard input read when closed is a failed read. The
// replacements stay open for the life of the process.
#ifndef TESSEL_FRONTEND_STANDARD_DESCRIPTORS_H_
#define TESSEL_FRONTEND_STANDARD_DESCRIPTORS_H_

// False when a closed standard descriptor could not be replaced.
bool reserveClosedStandardDescriptors();

#endif  // TESSEL_FRONTEND_STANDARD_DESCRIPTORS_H_
