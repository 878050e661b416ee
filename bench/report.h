// The table that bench_morvane prints: one row per figure, then notes.
#pragma once
#include <string>

// Verdict column: a target met, missed, a row whose work did not happen (its
// time means nothing), or a row given for comparison only.
enum class Verdict { Met, Missed, Failed, Info };

void AddRow(const std::string& figure, const std::string& value, const std::string& floor,
            const std::string& ratio, const std::string& target, Verdict verdict);
// A row of a time against its floor, with the ratio and its limit.
void AddRatioRow(const std::string& figure, double valueMs, double floorMs, double limit);
void AddNote(const char* format, ...);
void PrintReport();

std::string Ms(double ms);            // "1.234 ms"
std::string Format(const char* format, ...);
