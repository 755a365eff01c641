#include "twain/source_state.h"

SourceState g_source;
