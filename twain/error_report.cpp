#include "twain/error_report.h"

#include "camera_window/error_box.h"
#include "twain/source_state.h"

#include <string>

const char* conditionText(ConditionCode code)
{
    switch (code) {
    case ConditionCode::Success:        return "Success message from detailed error request ??";
    case ConditionCode::Bummer:         return "Bummer error.";
    case ConditionCode::LowMemory:      return "Low Memory Condition encountered, free up some memory and try again.";
    case ConditionCode::NoDS:           return "No Data Source found error.";
    case ConditionCode::MaxConnections: return "Source is connected to max possible apps.";
    case ConditionCode::OperationError: return "An operation error just occurred.";
    case ConditionCode::BadCap:         return "Bad capabilities error.";
    case ConditionCode::BadProtocol:    return "Bad protocol error.";
    case ConditionCode::BadValue:       return "Bad value error.";
    case ConditionCode::SeqError:       return "DG DAT MSG is out of expected sequence.";
    }
    return "Unknown Error value in condition code.";
}

void twainFailure(const char* operationText, ConditionCode code)
{
    std::string detail = operationText;
    detail += conditionText(code);
    errorBox(g_source.parentWindow, static_cast<uint16_t>(code), ERROR_TWAIN, detail.c_str());
}
