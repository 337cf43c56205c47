// The records the host and the driver exchange through KelMain.
//
// Every record is a plain struct with the fields in the order and widths the
// host expects. On a 32-bit host a reference is 4 bytes; on a 64-bit host it
// widens to 8 bytes with natural alignment while every integer keeps its
// width. InstanceData holds no reference, so it has one size on every ABI.
#pragma once

#include <stdint.h>

#if defined(__cplusplus)
extern "C" {
#endif

// Function codes of the CallBlock.
enum {
    FN_START = 1,
    FN_NOP = 2,
    FN_CHECK_TAG = 3,
    FN_CHECK_BLOCK = 4,
    FN_READ_TAG = 5,
    FN_READ_BLOCK = 6,
    FN_WRITE_TAG = 7,
    FN_WRITE_BLOCK = 10,
    FN_STOP = 11,
    FN_CLOSE_PORT = 12,
    FN_OPEN_PORT = 13,
    FN_DRIVER_INFO = 14,
    FN_SET_PORT = 15,
};

// Result codes of every handler.
enum {
    RC_OK = 0,         // the request is done
    RC_ITEM_ERROR = 1, // the item was refused: by the address checks or the controller's end code
    RC_LINK_ERROR = 2, // the gateway, the network or the serial device failed
};

// Levels of the host's log function err().
enum {
    LOG_DETAIL = 8,  // per-transfer trace texts
    LOG_DRIVER = 32, // configuration, connection, failure and end-code texts
};

// Host value type codes that carry address rules of their own.
enum {
    TYPE_FLOAT = 3,
    TYPE_LONG = 4,
    TYPE_BIT = 6,
    TYPE_TEXT = 7,
};

// Format flags above the area index in TagAddress.areaFlags.
enum {
    AREA_INDEX_MASK = 0xFF,
    FMT_BCD32 = 0x100,
    FMT_FLOAT32 = 0x200,
    FMT_TEXT = 0x400,
};

enum { NO_BIT = 255 };

enum {
    DRIVER_ID = 82,
    STATION_ROWS = 102,         // rows of the station table; stations are 1 to 99
    STATION_FIRST = 1,
    STATION_LAST = 99,
    STATION_ADDRESS_SIZE = 16,  // network.node.unit text, zero-terminated when shorter
    PORT_NAME_SIZE = 12,
    RESPONSE_SIZE = 2048,
    COMMAND_SIZE = 8,
    WRITE_DATA_SIZE = 2040,
    GATEWAY_HEADER_SIZE = 20,
    DESTINATION_SIZE = 3,
};

typedef struct InstanceData InstanceData;

// The one argument of KelMain.
typedef struct CallBlock {
    InstanceData *instance; // the instance's data area
    int32_t function;       // FN_ code
    int32_t instanceNumber; // read by FN_START only
    uint32_t reserved;      // not read
    void *params;           // the code's parameter block
} CallBlock;

// Serial line settings, in InstanceData and in PortParams.
typedef struct SerialSettings {
    uint16_t baudRate; // 0 in PortParams: keep the stored settings
    uint8_t dataBits;
    uint8_t reserved3;
    uint8_t stopBits; // 0 one, 1 one and a half, 2 two
    uint8_t reserved5;
    uint8_t parity; // 0 none, 1 odd, 2 even, 3 mark, 4 space
    uint8_t reserved7;
} SerialSettings;

// The per-instance data area the host allocates with DriverInfo.instanceSize
// bytes. The port fields at its head may be filled by the host. The three
// columns stationAddress, unitHandle and isCs1 form the station table,
// indexed directly by station number.
struct InstanceData {
    int32_t receiveTimeout; // milliseconds, for every gateway receive
    uint32_t active;
    uint32_t portHandle; // 0 when no serial device is open
    char portName[PORT_NAME_SIZE];
    SerialSettings portSettings;
    uint16_t handshake; // only the host writes it

    char stationAddress[STATION_ROWS][STATION_ADDRESS_SIZE];
    uint32_t unitHandle[STATION_ROWS];
    int32_t isCs1[STATION_ROWS];

    uint8_t response[RESPONSE_SIZE]; // MRC, SRC, MRES, SRES, data
    uint8_t command[COMMAND_SIZE];   // sent together with writeData as one buffer
    uint8_t writeData[WRITE_DATA_SIZE];
    uint8_t sendHeader[GATEWAY_HEADER_SIZE];
    uint8_t receiveHeader[GATEWAY_HEADER_SIZE];
    uint8_t destination[DESTINATION_SIZE]; // FINS network, node, unit
};

enum { INSTANCE_SIZE = 6624 };

// FN_DRIVER_INFO parameter block. Bytes +20 to +27 belong to the host.
typedef struct DriverInfo {
    int32_t driverId;
    const char *description;
    const char *banner;
    int32_t instanceSize;
    int32_t field16; // the driver writes 1
    uint8_t hostBytes[8];
    int32_t field28; // the driver writes 3
} DriverInfo;

// FN_START parameter block.
typedef struct StartParams {
    uint8_t reserved[12];
    int32_t enabled; // 0: do not start
    int32_t timeout; // receive time-out in units of 10 ms
} StartParams;

// The parsed tag address.
typedef struct TagAddress {
    int32_t station;
    int32_t areaFlags; // area index in bits 0-7, FMT_ flags above
    int32_t address;   // word address; halved for 32-bit items; text length in bits 24-31
    int32_t bit;       // 0 to 15, or NO_BIT
    int32_t width;     // 16, 32 or 8
} TagAddress;

// FN_CHECK_TAG and FN_CHECK_BLOCK parameter block.
typedef struct TagDefinition {
    const char *addressText;
    uint32_t reserved;
    int32_t valueType;
    int32_t count; // read by FN_CHECK_BLOCK only
    TagAddress tag;
} TagDefinition;

// Parameter block of reads and writes.
typedef struct IoRequest {
    const char *tagText; // used only in log texts
    uint32_t reserved4;
    TagAddress tag;
    uint32_t reserved28;
    int32_t count;
    uint32_t reserved36;
    void *values; // the host's value area of 16-bit little-endian cells
} IoRequest;

// FN_SET_PORT parameter block.
typedef struct PortParams {
    char portName[16];
    SerialSettings settings;
} PortParams;

#define KELOMR_EXPORT __attribute__((visibility("default")))

// The driver's only export.
KELOMR_EXPORT int32_t KelMain(CallBlock *block);

#if defined(__cplusplus)
}
#endif
