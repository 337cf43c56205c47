#include "host/cli/help_text.h"

namespace kelomr {

namespace {

const char *const COMMON_HEAD = R"(Common options:
  --instance N   instance number: the station file is kelOMRnn.int (default 1)
)";

const char *const DIR_OPTION = R"(  --dir D        folder the instance starts in: kelOMRnn.int and finsgw.conf
                 are read there (default: the current folder)
)";

const char *const COMMON = R"(  --timeout T    receive time-out in units of 10 ms (default 100 = 1 s; below
                 10 the driver waits 1 s); a transfer makes up to six attempts
  --driver PATH  the driver library (default: $KELOMR_DRIVER, else
                 libkelomr.so in the lib folder beside kelomr's bin folder)
  -v, --verbose  also show the driver's per-transfer trace texts
  -q, --quiet    show the driver's texts only where they explain a failure
  -h, --help     this text
)";

const char *const EXIT_CODES = R"(Exit codes:
  0   every item RC_OK
  1   some item RC_ITEM_ERROR: the address or the controller refused it
      (a tag address the driver's check refused included)
  2   some item RC_LINK_ERROR: no answer, or a network error
  64  usage error: unknown command or option, bad option value
  65  a value to write does not fit its tag; nothing was sent
  69  the driver (or, for demo, finsim) could not be loaded or started
  70  the driver answered in a way no host can work with, or the demo
      could not prepare its folder
)";

const char *const TAGS = R"(Tag addresses (station, area, 5-digit word address, suffix):
  01DM00100      DM word 100 of station 01 (IR LR HR AR IO TS TV EM E0-EF too)
  01DM0010005    bit 5 of that word (bit numbers 00 to 15)
  01DM00100F     32-bit float in DM 100-101 (even address, DM only)
  01DM00100B     8-digit BCD number in DM 100-101 (even address, DM only)
  01DM00200S20   text of 20 characters from DM 200 (even length 2 to 80)
  01TS00007      completion flag of timer 7; 01TV00007 its present value
)";

const char *const MAIN = R"(kelomr: a command-line host for the KelOMR driver (libkelomr.so)

Usage: kelomr COMMAND [OPTIONS] [ARGUMENTS]

Commands:
  info    the driver information record and its banner
  read    read tags once: kelomr read 01DM00100 01DM00102F
  write   write a tag: kelomr write 01DM00100 1234
  poll    read tags every interval as a live table, CSV or JSON lines
  demo    run a FINS simulator on loopback and poll live values from it
  help    kelomr help COMMAND is kelomr COMMAND --help

kelomr loads the driver like any supervisory host: it asks for the driver
information, allocates the instance area, starts the instance in --dir
(which reads kelOMRnn.int, station numbers to FINS addresses, and the
gateway's finsgw.conf, FINS nodes to UDP or TCP peers), checks each tag,
transfers it and stops the instance. The driver's texts go to standard
error with time and level; values go to standard output.

)";

const char *const INFO = R"(Usage: kelomr info [--raw] [--driver PATH]

Loads the driver and shows its information record: the driver id, the
description, the size of the instance area, the two host values and the
banner, drawn with its box characters (the banner is code page 437; --raw
writes its bytes unchanged). Sends nothing to any controller.

)";

const char *const READ = R"(Usage: kelomr read [OPTIONS] TAG [TAG...]

Reads each tag once and prints one line per item: the tag and its value,
decoded by kind: words as decimal and hexadecimal, bits as 0 or 1, floats,
BCD numbers as decimal, texts quoted with escapes, timer status as a number.
The value type handed to the driver follows from the tag (F float, B long,
S text, a bit number bit, else a plain item); --type overrides it.

Options:
  --count N      read N items from each tag as one block (function code 6):
                 words, timer status, floats or BCD numbers; at most 500
                 items, 250 for floats and BCD; no bits or texts
  --type T       value type: float, long, bit, text, word or a type number

)";

const char *const WRITE = R"(Usage: kelomr write [OPTIONS] TAG VALUE [VALUE...]

Writes one value as a single item (function code 7; a bit is written as a
read of its word and a write of the merged word), or several values as a
block from the tag on (function code 10). Values are parsed by the tag's
kind, and a value that does not fit is refused before anything is sent:
  word   -32768 to 65535, or 0x0000 to 0xFFFF
  bit    0 or 1 (off/on, false/true)
  float  a finite number, such as 3.25 or -1e-3
  BCD    0 to 99999999
  text   at most the tag's length in bytes; shorter texts are padded with
         NUL bytes
  timer status 0 to 255
A negative value needs no quoting: kelomr write 01DM00100 -5.

Options:
  --type T       value type: float, long, bit, text, word or a type number

)";

const char *const POLL = R"(Usage: kelomr poll [OPTIONS] [TAG[:N]...] [--file F]

Reads a list of tags every interval until Ctrl-C (or --count rounds). TAG:N
reads N items from TAG as one block. On a terminal the output is a live
table with value, result, latency and the number of changes, changed values
highlighted; otherwise CSV lines (time,tag,value,result,latency_ms) with a
header, or JSON lines. Ctrl-C finishes the round, stops the instance and
ends with exit code 0; after --count rounds the exit code is that of the
worst result seen.

Options:
  --file F       read the tag list from F: one tag (or TAG:N) a line, blank
                 lines and lines starting with # skipped
  --interval MS  time from the start of one round to the next (default 1000)
  --count N      stop after N rounds
  --format F     table, csv or json (default: table on a terminal, else csv)
  --type T       value type for every tag (see kelomr read --help)

)";

const char *const DEMO = R"(Usage: kelomr demo [OPTIONS]

Starts finsim, a FINS controller simulator, on a free loopback port, writes
kelOMR01.int and finsgw.conf into a fresh temporary folder, presets memory
of every kind (words, a bit, a float, a BCD number, a text, timer flags),
keeps some values changing (a counter, a timer, and a float and a bit the
demo writes through the driver) and polls them, then stops the simulator
and removes the folder. finsim is taken from $KELOMR_FINSIM, else beside
kelomr, else from PATH.

Options:
  --seconds N    stop after N seconds (default 0: until Ctrl-C)
  --interval MS  time between rounds (default 500)
  --format F     table, csv or json (default: table on a terminal, else csv)
  --tcp          reach the simulator over FINS/TCP instead of FINS/UDP

)";

std::string Common(bool withDir) {
    return std::string(COMMON_HEAD) + (withDir ? DIR_OPTION : "") + COMMON;
}

} // namespace

std::string HelpText(Command command) {
    std::string text;
    switch (command) {
    case Command::Info:
        return std::string(INFO) + "Options:\n  --driver PATH  the driver library\n" + EXIT_CODES;
    case Command::Read:
        text = READ;
        break;
    case Command::Write:
        text = WRITE;
        break;
    case Command::Poll:
        text = POLL;
        break;
    case Command::Demo:
        return std::string(DEMO) + Common(false) + "\n" + EXIT_CODES;
    default:
        return std::string(MAIN) + Common(true) + "\n" + TAGS + "\n" + EXIT_CODES;
    }
    return text + Common(true) + "\n" + TAGS + "\n" + EXIT_CODES;
}

} // namespace kelomr
