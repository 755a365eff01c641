// Plain-word descriptions of what a TWAIN source answers: capability containers, condition codes
// and return codes. Containers come from the source, so their contents are checked against the
// size of the memory block before anything is read.
#pragma once

#include "twain/twain_types.h"

#include <cstddef>
#include <string>

// "ICAP_XFERMECH", or the number in hexadecimal for capabilities this tool does not know.
std::string capabilityName(TW_UINT16 cap);

// One line describing a container that the source returned for a capability, e.g.
// "one of NATIVE, MEMORY; current NATIVE, default NATIVE". A container whose header or item list
// does not fit into `size` bytes, or whose item type is unknown, is described as such.
std::string describeContainer(TW_UINT16 cap, TW_UINT16 conType, const void* data, size_t size);

// "TWCC_BADVALUE (10)" and "TWRC_CHECKSTATUS (2)".
std::string conditionCodeName(TW_UINT16 code);
std::string returnCodeName(TW_UINT16 code);
