// The benchmarks' clock: how long a piece of work takes, by the performance counter (by the
// steady clock in the native build).
#pragma once

#include <functional>

#ifdef _WIN32
#include <windows.h>

inline double milliseconds(const std::function<void()>& work)
{
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    work();
    QueryPerformanceCounter(&end);
    return double(end.QuadPart - start.QuadPart) * 1000.0 / double(frequency.QuadPart);
}
#else
#include <chrono>

inline double milliseconds(const std::function<void()>& work)
{
    auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}
#endif
