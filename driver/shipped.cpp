// The shipped driver library is the driver's code, the platform calls and the
// network gateway; this unit only gives the library a source of its own.
