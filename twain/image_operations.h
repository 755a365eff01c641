// DG_IMAGE operations: image information and layout.
#pragma once

#include "dispatch.h"

ReturnCode imageInfoOperation(const DispatchRecord& call);
ReturnCode imageLayoutOperation(const DispatchRecord& call);
