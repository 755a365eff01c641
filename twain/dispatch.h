// What DS_Entry hands to every operation handler, and the two ways a handler fails.
#pragma once

#include "twain/source_state.h"

#include <initializer_list>

struct DispatchRecord {
    TW_IDENTITY* origin;
    TW_UINT32    dataGroup;
    TW_UINT16    dataType;
    TW_UINT16    message;
    TW_MEMREF    data;
};

typedef ReturnCode (*OperationHandler)(const DispatchRecord& call);

// Sets the condition code and fails quietly (capability and value rejections).
ReturnCode failQuietly(ConditionCode code);

// Sets the condition code, shows the TWAIN failure report with the operation text, and fails.
ReturnCode failWithReport(const char* operationText, ConditionCode code);

inline bool stateIsOneOf(std::initializer_list<int32_t> states)
{
    for (int32_t s : states)
        if (g_source.state == s) return true;
    return false;
}
