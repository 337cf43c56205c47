// The IoRequest of reads and writes as the transfers see it: its tag text for
// the log, the item count it stands for, and the refusal of requests the
// transfers could not carry out within their buffers.
#pragma once

#include <stdint.h>

#include "driver/call_blocks.h"

enum { TAG_LOG_COPY_LENGTH = 32 };

// The tag text as the transfer logs it: cut to its first 32 characters.
struct TagLogCopy {
    char text[TAG_LOG_COPY_LENGTH + 1];
};

enum TransferDirection : uint8_t { TRANSFER_READ, TRANSFER_WRITE };

inline IoRequest *RequestOf(const CallBlock *block) {
    return static_cast<IoRequest *>(block->params);
}

// The request's tag text; an empty text when the host gave none.
const char *TagTextOf(const IoRequest *request);
void CopyTagText(const IoRequest *request, TagLogCopy *copy);

// The items the request moves: for a text item the length packed into its
// address, else its count.
int32_t ItemCountOf(const IoRequest *request);

// A text item carries its length in the top byte of address; the transfer
// moves it into count and keeps the 16-bit word address.
void UnpackTextItem(IoRequest *request);

// Fills the log copy of the tag text, then answers false, after a log text
// naming the fault, for a request whose station, area index, count, text
// length or value area would take a transfer outside its buffers or the
// host's, or whose word address a FINS command cannot carry.
bool AcceptTransferRequest(const CallBlock *block, TransferDirection direction, const char *operation,
                           TagLogCopy *tag);

// The same for single items: a bit number must be 0 to 15, on a 16-bit item,
// and the value area must exist.
bool AcceptSingleItemRequest(const IoRequest *request, const char *operation);
