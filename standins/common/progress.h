// The maker's progress protocol as the decoders send it: begin (1), percentages (16, value),
// end (2). A callback returning -1 stops the operation. Portable: the DLL layers adapt the
// stdcall callbacks to ProgressSink.
#pragma once

#include <cstdint>

constexpr int PROGRESS_CODE_BEGIN   = 1;
constexpr int PROGRESS_CODE_END     = 2;
constexpr int PROGRESS_CODE_PERCENT = 16;
constexpr int PROGRESS_CODE_STOP    = -1;

struct ProgressSink {
    void* context;
    int (*report)(void* context, int code, int value);  // null: nobody listens
};

// One decode's progress: begin() once, advance() as work is done, and end on destruction,
// also after a stop or a failure, because the caller's dialog relies on the end code to
// close and give the owner window back.
struct ProgressRun {
    explicit ProgressRun(ProgressSink sink) : sink(sink) {}
    ~ProgressRun();
    ProgressRun(const ProgressRun&) = delete;
    ProgressRun& operator=(const ProgressRun&) = delete;

    bool begin();  // false when the listener stopped at once
    // Reports `done` out of `total`. Every multiple of ten passed is reported, so even a
    // one-strip picture shows at least 0, 10, ..., 100. False once the listener stopped.
    bool advance(uint64_t done, uint64_t total);
    bool stopped() const { return stopRequested; }

    ProgressSink sink;
    bool begun = false;
    bool stopRequested = false;
    int lastPercent = -1;

private:
    bool send(int code, int value);
};
