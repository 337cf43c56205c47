// Byte layouts of the records shared with the host. The host's tables are
// those of a 32-bit build; a -m32 compile of this file checks them byte for
// byte, and every build checks the instance area and the integer widths.
#include <stddef.h>

#include "driver/call_blocks.h"

#define AT(record, field, offset) static_assert(offsetof(record, field) == (offset), #record "." #field)
#define WIDE(record, field, bytes) static_assert(sizeof(((record *)0)->field) == (bytes), #record "." #field " width")

// InstanceData holds no reference: the same on every ABI.
AT(InstanceData, receiveTimeout, 0);
AT(InstanceData, active, 4);
AT(InstanceData, portHandle, 8);
AT(InstanceData, portName, 12);
AT(InstanceData, portSettings, 24);
AT(InstanceData, handshake, 32);
AT(InstanceData, stationAddress, 34);
AT(InstanceData, unitHandle, 1668);
AT(InstanceData, isCs1, 2076);
AT(InstanceData, response, 2484);
AT(InstanceData, command, 4532);
AT(InstanceData, writeData, 4540); // directly after command: sent as one buffer
AT(InstanceData, sendHeader, 6580);
AT(InstanceData, receiveHeader, 6600);
AT(InstanceData, destination, 6620);
static_assert(sizeof(InstanceData) == INSTANCE_SIZE, "InstanceData size");

AT(SerialSettings, baudRate, 0);
AT(SerialSettings, dataBits, 2);
AT(SerialSettings, stopBits, 4);
AT(SerialSettings, parity, 6);
static_assert(sizeof(SerialSettings) == 8, "SerialSettings size");

AT(StartParams, enabled, 12);
AT(StartParams, timeout, 16);
static_assert(sizeof(StartParams) == 20, "StartParams size");

AT(TagAddress, station, 0);
AT(TagAddress, areaFlags, 4);
AT(TagAddress, address, 8);
AT(TagAddress, bit, 12);
AT(TagAddress, width, 16);
static_assert(sizeof(TagAddress) == 20, "TagAddress size");

AT(PortParams, portName, 0);
AT(PortParams, settings, 16);
static_assert(sizeof(PortParams) == 24, "PortParams size");

WIDE(CallBlock, function, 4);
WIDE(CallBlock, instanceNumber, 4);
WIDE(DriverInfo, driverId, 4);
WIDE(DriverInfo, instanceSize, 4);
WIDE(DriverInfo, field16, 4);
WIDE(DriverInfo, hostBytes, 8);
WIDE(DriverInfo, field28, 4);
WIDE(TagDefinition, valueType, 4);
WIDE(TagDefinition, count, 4);
WIDE(IoRequest, count, 4);
WIDE(InstanceData, unitHandle[0], 4);

#if UINTPTR_MAX == 0xFFFFFFFFu
// The host's own tables, where a reference is 4 bytes.
AT(CallBlock, instance, 0);
AT(CallBlock, function, 4);
AT(CallBlock, instanceNumber, 8);
AT(CallBlock, params, 16);
static_assert(sizeof(CallBlock) == 20, "CallBlock size");

AT(DriverInfo, driverId, 0);
AT(DriverInfo, description, 4);
AT(DriverInfo, banner, 8);
AT(DriverInfo, instanceSize, 12);
AT(DriverInfo, field16, 16);
AT(DriverInfo, hostBytes, 20);
AT(DriverInfo, field28, 28);
static_assert(sizeof(DriverInfo) == 32, "DriverInfo size");

AT(TagDefinition, addressText, 0);
AT(TagDefinition, valueType, 8);
AT(TagDefinition, count, 12);
AT(TagDefinition, tag.station, 16);
AT(TagDefinition, tag.areaFlags, 20);
AT(TagDefinition, tag.address, 24);
AT(TagDefinition, tag.bit, 28);
AT(TagDefinition, tag.width, 32);
static_assert(sizeof(TagDefinition) == 36, "TagDefinition size");

AT(IoRequest, tagText, 0);
AT(IoRequest, tag.station, 8);
AT(IoRequest, tag.areaFlags, 12);
AT(IoRequest, tag.address, 16);
AT(IoRequest, tag.bit, 20);
AT(IoRequest, tag.width, 24);
AT(IoRequest, count, 32);
AT(IoRequest, values, 40);
static_assert(sizeof(IoRequest) == 44, "IoRequest size");
#endif
