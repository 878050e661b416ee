// Wall-clock timing on QueryPerformanceCounter, reduced to medians.
#pragma once
#include <functional>
#include <vector>

double NowMs();
double Median(std::vector<double> samples);

struct PairedMedians {
    double value;  // the module's figure, ms
    double floor;  // the bare platform work, ms
};

// Runs both after `warmups` unrecorded rounds, alternately, so that drift of
// the machine (Wine's server, the page cache) falls on both alike. Each
// callable does its own setup and returns the milliseconds of its timed part.
template <class Measured, class Floor>
PairedMedians MedianPair(int warmups, int runs, Measured measured, Floor floor)
{
    for (int i = 0; i < warmups; ++i) {
        measured();
        floor();
    }
    std::vector<double> a, b;
    for (int i = 0; i < runs; ++i) {
        a.push_back(measured());
        b.push_back(floor());
    }
    return {Median(a), Median(b)};
}

// The same for any number of alternatives, run round-robin: each one's median.
std::vector<double> MedianRounds(int warmups, int runs, const std::vector<std::function<double()>>& timed);

template <class Timed>
double MedianOf(int warmups, int runs, Timed timed)
{
    for (int i = 0; i < warmups; ++i)
        timed();
    std::vector<double> samples;
    for (int i = 0; i < runs; ++i)
        samples.push_back(timed());
    return Median(samples);
}
