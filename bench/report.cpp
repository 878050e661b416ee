#include "report.h"

#include <stdarg.h>
#include <stdio.h>

#include <vector>

namespace {

struct Row {
    std::string figure, value, floor, ratio, target;
    Verdict verdict;
};

std::vector<Row>& Rows()
{
    static std::vector<Row> rows;
    return rows;
}

std::vector<std::string>& Notes()
{
    static std::vector<std::string> notes;
    return notes;
}

std::string FormatList(const char* format, va_list args)
{
    char text[1024];
    vsnprintf(text, sizeof(text), format, args);
    return text;
}

const char* VerdictText(Verdict verdict)
{
    switch (verdict) {
    case Verdict::Met: return "yes";
    case Verdict::Missed: return "NO";
    case Verdict::Failed: return "FAILED";
    default: return "-";
    }
}

}  // namespace

std::string Format(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    std::string text = FormatList(format, args);
    va_end(args);
    return text;
}

std::string Ms(double ms)
{
    return Format(ms < 10 ? "%.3f ms" : "%.1f ms", ms);
}

void AddRow(const std::string& figure, const std::string& value, const std::string& floor,
            const std::string& ratio, const std::string& target, Verdict verdict)
{
    Rows().push_back({figure, value, floor, ratio, target, verdict});
}

void AddRatioRow(const std::string& figure, double valueMs, double floorMs, double limit)
{
    const double ratio = floorMs > 0 ? valueMs / floorMs : 0;
    AddRow(figure, Ms(valueMs), Ms(floorMs), Format("%.2fx", ratio), Format("<= %gx", limit),
           floorMs > 0 && ratio <= limit ? Verdict::Met : Verdict::Missed);
}

void AddNote(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    Notes().push_back(FormatList(format, args));
    va_end(args);
}

void PrintReport()
{
    const char* line = "%-40s %-22s %-12s %-8s %-20s %s\n";
    printf(line, "figure", "value", "floor", "ratio", "target", "met?");
    printf(line, "------", "-----", "-----", "-----", "------", "----");
    for (const Row& row : Rows())
        printf(line, row.figure.c_str(), row.value.c_str(), row.floor.c_str(), row.ratio.c_str(),
               row.target.c_str(), VerdictText(row.verdict));
    if (!Notes().empty())
        printf("\nNotes:\n");
    for (const std::string& note : Notes())
        printf("- %s\n", note.c_str());
    fflush(stdout);
}
