// The last failure of the calling thread: a text for the host and errno for
// the caller. The library never prints; this is all it says.
#pragma once

namespace finsgw {

// Sets errno to error and the last error text from format; returns -1 so
// callers can write `return Fail(...)`.
int Fail(int error, const char *format, ...) __attribute__((format(printf, 2, 3)));

const char *LastErrorText();

// The system's text for error, starting in lower case: "connection refused".
const char *ErrorName(int error, char *buffer, unsigned size);

} // namespace finsgw
