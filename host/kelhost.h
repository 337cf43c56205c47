// The host runtime: the log function the driver imports, and the controls a
// host uses to receive the driver's texts.
#pragma once

#if defined(__cplusplus)
extern "C" {
#endif

// Receives every text the driver logs, already formatted, without a line end.
typedef void (*KelHostLogSink)(void *context, int level, const char *text);

// Installs the sink; a null sink sends the texts to standard error again.
void KelHostSetLogSink(KelHostLogSink sink, void *context);

// Chooses the levels that reach the sink, as an OR of the level values
// (LOG_DETAIL 8, LOG_DRIVER 32); texts of other levels are not even formatted.
// The default, -1, lets every level through.
void KelHostSetLogLevels(int levelMask);

// The driver's log function. Formats like printf and returns the length of
// the formatted text; it never ends the process.
int err(int level, const char *format, ...) __attribute__((format(printf, 2, 3)));

#if defined(__cplusplus)
}
#endif
