#include "timing.h"

#include <windows.h>

#include <algorithm>

double NowMs()
{
    static const double msPerTick = [] {
        LARGE_INTEGER frequency;
        QueryPerformanceFrequency(&frequency);
        return 1000.0 / static_cast<double>(frequency.QuadPart);
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) * msPerTick;
}

double Median(std::vector<double> samples)
{
    if (samples.empty())
        return 0.0;
    std::sort(samples.begin(), samples.end());
    const size_t middle = samples.size() / 2;
    return samples.size() % 2 ? samples[middle] : (samples[middle - 1] + samples[middle]) / 2.0;
}

std::vector<double> MedianRounds(int warmups, int runs, const std::vector<std::function<double()>>& timed)
{
    for (int i = 0; i < warmups; ++i)
        for (const auto& f : timed)
            f();
    std::vector<std::vector<double>> samples(timed.size());
    for (int i = 0; i < runs; ++i)
        for (size_t k = 0; k < timed.size(); ++k)
            samples[k].push_back(timed[k]());
    std::vector<double> medians;
    for (const auto& one : samples)
        medians.push_back(Median(one));
    return medians;
}
