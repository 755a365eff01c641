#include "progress.h"

bool ProgressRun::send(int code, int value) {
    if (!sink.report) return true;
    if (sink.report(sink.context, code, value) == PROGRESS_CODE_STOP) stopRequested = true;
    return !stopRequested;
}

ProgressRun::~ProgressRun() {
    if (begun && sink.report) sink.report(sink.context, PROGRESS_CODE_END, 0);
}

bool ProgressRun::begin() {
    begun = true;
    if (!send(PROGRESS_CODE_BEGIN, 0)) return false;
    return advance(0, 1);
}

bool ProgressRun::advance(uint64_t done, uint64_t total) {
    if (stopRequested) return false;
    int percent = total == 0 || done >= total ? 100 : int(done * 100 / total);
    while (lastPercent < percent) {
        // Next value: the next multiple of ten if one lies before `percent`, else `percent`.
        int nextTen = lastPercent < 0 ? 0 : (lastPercent / 10 + 1) * 10;
        int value = nextTen < percent ? nextTen : percent;
        lastPercent = value;
        if (!send(PROGRESS_CODE_PERCENT, value)) return false;
    }
    return true;
}
