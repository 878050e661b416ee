// DecodeConversionRequest on random request strings: the text that rundll32
// hands over can be anything a process writes on a command line.
#include <gtest/gtest.h>

#include <cwchar>
#include <cwctype>

#include "convert/conversion_request.h"
#include "hardening/hardening_support.h"

namespace {

using hardening::GuardedMemory;
using hardening::GuardedText;
using hardening::Random;

const wchar_t Mark = 0x0001;

// Units that steer the decoding: white space and signs before the number,
// digits, the mark, path characters, and a few units beyond ASCII (no
// combining marks: Windows' CharNextW steps over those, Wine's does not).
const std::vector<wchar_t> Alphabet = {L' ', L' ', L'\t', L'\n', L'+', L'-', L'0', L'1', L'2', L'5', L'9',
                                       Mark, L'a', L'Z', L'\\', L':', L'.', L'"', L',', 0x00E9, 0x4E2D,
                                       0x3000, 0x00A0, 0xFFFF, 0xD800};

std::wstring Run(wchar_t unit, int length)
{
    return std::wstring(static_cast<size_t>(length), unit);
}

// A request built from pieces: a number part (white space, a sign, digits,
// all possibly long runs), a separator, and a body with marks placed at random.
std::wstring RandomRequest(Random& random, int maxLength)
{
    std::wstring text;
    if (random.Chance(50))
        text += Run(random.Pick(std::vector<wchar_t>{L' ', L'\t'}), random.Chance(10) ? random.Between(0, 3000) : random.Between(0, 3));
    if (random.Chance(30))
        text += random.Pick(std::vector<wchar_t>{L'+', L'-'});
    if (random.Chance(85))
        text += Run(random.Pick(std::vector<wchar_t>{L'0', L'1', L'2', L'9'}), random.Chance(5) ? random.Between(1, 2000) : random.Between(1, 12));
    if (random.Chance(80))
        text += random.Pick(std::vector<wchar_t>{L' ', L' ', Mark, L'x', L'\t'});
    // The body: lengths around the 260-unit bound most of the time, far beyond it sometimes.
    int body = 0;
    switch (random.Between(0, 3)) {
    case 0: body = random.Between(0, 40); break;
    case 1: body = random.Between(250, 270); break;
    case 2: body = random.Between(0, 600); break;
    default: body = random.Between(0, maxLength); break;
    }
    while (static_cast<int>(text.size()) < maxLength && body > 0) {
        int run = random.Chance(10) ? random.Between(1, body) : 1;
        wchar_t unit = random.Pick(Alphabet);
        if (unit == Mark && random.Chance(70))
            unit = L'q';  // keep marks rarer than other units
        if (static_cast<int>(text.size()) + run > maxLength)
            run = maxLength - static_cast<int>(text.size());
        text += std::wstring(static_cast<size_t>(run), unit);
        body -= run;
    }
    // A mark at a chosen distance from the number's end, to hit the 260-unit bound exactly.
    if (random.Chance(25) && !text.empty()) {
        const size_t at = static_cast<size_t>(random.Between(0, static_cast<int>(text.size()) - 1));
        text[at] = Mark;
    }
    if (static_cast<int>(text.size()) > maxLength)
        text.resize(static_cast<size_t>(maxLength));
    return text;
}

struct Expected {
    int code;
    bool hasSource;
    std::wstring source;
    bool sourceInPlace;  // points into the text (no mark) rather than into sourceBuffer
    size_t sourceOffset;
    bool hasTarget;
    size_t targetOffset;
};

// The code as the rules define it, read by hand: white space (as the C
// runtime classifies it) skipped, one optional sign, decimal digits as far
// as they go, a value beyond the 32-bit range clamped to the nearest limit.
// *end is the unit after the digits, or 0 when there are none (code 0).
int ReadCode(const std::wstring& text, size_t* end)
{
    size_t i = 0;
    while (i < text.size() && iswspace(text[i]))
        ++i;
    const bool negative = i < text.size() && text[i] == L'-';
    if (i < text.size() && (text[i] == L'+' || text[i] == L'-'))
        ++i;
    const size_t firstDigit = i;
    long long value = 0;
    for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
        value = value * 10 + (text[i] - L'0');
        if (value > 0x80000000LL)
            value = 0x80000001LL;  // past both limits: stays there
    }
    *end = i == firstDigit ? 0 : i;
    if (i == firstDigit)
        return 0;
    if (negative)
        return value >= 0x80000000LL ? static_cast<int>(0x80000000u) : static_cast<int>(-value);
    return value > 0x7FFFFFFFLL ? 0x7FFFFFFF : static_cast<int>(value);
}

// The rest of the rules: the source starts one unit after the number's end
// (not past the terminator) and runs to the first mark, or to the end
// without a mark; a source longer than 260 units is refused; the target
// starts one unit after the mark.
Expected Model(const std::wstring& text)
{
    Expected e = {};
    size_t start = 0;
    e.code = ReadCode(text, &start);
    if (start < text.size())
        ++start;
    const size_t mark = text.find(Mark);
    if (mark == std::wstring::npos) {
        e.hasSource = text.size() - start <= MAX_PATH;
        e.sourceInPlace = true;
        e.sourceOffset = start;
        if (e.hasSource)
            e.source = text.substr(start);
        return e;
    }
    const size_t length = start <= mark ? mark - start : 0;
    e.hasSource = length <= MAX_PATH;
    if (e.hasSource)
        e.source = text.substr(start, length);
    e.hasTarget = true;
    e.targetOffset = mark + 1;
    return e;
}

void CheckOne(const std::wstring& text, long caseNumber)
{
    const Expected e = Model(text);
    GuardedText guarded(text);
    // The request sits right before a guard page: a write past sourceBuffer crashes.
    GuardedMemory memory(sizeof(ConversionRequest));
    ConversionRequest* request = static_cast<ConversionRequest*>(memory.get());
    memset(request, 0xCC, sizeof(*request));
    DecodeConversionRequest(guarded.get(), request);

    const std::string where = "case " + std::to_string(caseNumber) + ", length " + std::to_string(text.size());
    ASSERT_EQ(request->code, e.code) << where;
    ASSERT_EQ(request->source != nullptr, e.hasSource) << where;
    if (e.hasSource) {
        const size_t length = wcslen(request->source);
        ASSERT_LE(length, static_cast<size_t>(MAX_PATH)) << where;
        ASSERT_EQ(std::wstring(request->source), e.source) << where;
        if (e.sourceInPlace)
            ASSERT_EQ(request->source, guarded.get() + e.sourceOffset) << where;
        else
            ASSERT_EQ(request->source, request->sourceBuffer) << where;
    }
    ASSERT_EQ(request->target != nullptr, e.hasTarget) << where;
    if (e.hasTarget)
        ASSERT_EQ(request->target, guarded.get() + e.targetOffset) << where;
}

TEST(ConversionRequestProperty, RandomRequestsDecodeByTheRulesAndNeverCutTheSource)
{
    Random random(0x5EED0001u);
    const long Cases = 6000;
    long tried = 0;
    for (; tried < Cases && !HasFatalFailure(); ++tried) {
        const int maxLength = random.Chance(5) ? 32767 : random.Between(0, 1200);
        CheckOne(RandomRequest(random, maxLength), tried);
    }
    hardening::ReportCases(random, tried);
}

// Every source length from 250 to 270, with and without a mark, after numbers of any shape.
TEST(ConversionRequestProperty, SourceLengthsAroundTheBoundAreTakenWholeOrRefused)
{
    long tried = 0;
    const std::vector<std::wstring> heads = {L"20 ", L"  +21 ", L"-5 ", L"x", L"", L"99999999999 ", L"20\x0001",
                                             L"20", L"\t\t25\t"};
    for (const std::wstring& head : heads) {
        for (int length = 250; length <= 270 && !HasFatalFailure(); ++length) {
            const std::wstring source = L"D:\\" + std::wstring(static_cast<size_t>(length - 3), L's');
            CheckOne(head + source, tried++);
            CheckOne(head + source + Mark + L"E:\\out", tried++);
            CheckOne(head + source + Mark, tried++);
            CheckOne(head + source + Mark + std::wstring(40000, L't'), tried++);
        }
    }
    // The longest request rundll32 can pass: 32,767 units in one run of each kind.
    for (wchar_t unit : {L' ', L'7', Mark, L'a', L'-'}) {
        CheckOne(std::wstring(32767, unit), tried++);
        CheckOne(L"20 " + std::wstring(32764, unit), tried++);
    }
    hardening::ReportCases(tried);
}

}  // namespace
