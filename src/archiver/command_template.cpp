#include "archiver/command_template.h"

namespace {

const TemplateField* MatchField(const WCHAR* at, const TemplateField* fields, int fieldCount, size_t* nameLength)
{
    for (int i = 0; i < fieldCount; ++i) {
        const size_t length = brxlib::TextLength(fields[i].name);
        size_t k = 0;
        while (k < length && at[k] == fields[i].name[k])
            ++k;
        if (k == length) {
            *nameLength = length;
            return &fields[i];
        }
    }
    return nullptr;
}

// Backslashes that end a value written just before a quotation mark: by
// the rules every program reads its command line with (CommandLineToArgvW,
// the C runtime's), "E:\" would make the mark literal and run the argument
// on to the end of the line. Each is written twice, "E:\\", which reads
// back as the same folder.
size_t TrailingBackslashesBeforeQuote(const WCHAR* value, const WCHAR* next)
{
    if (*next != L'"')
        return 0;
    size_t length = brxlib::TextLength(value);
    size_t count = 0;
    while (length > 0 && value[length - 1] == L'\\') {
        --length;
        ++count;
    }
    return count;
}

}  // namespace

void ExpandTemplate(brxlib::TextBuilder& out, const WCHAR* pattern, const TemplateField* fields, int fieldCount)
{
    const WCHAR* p = pattern;
    while (*p) {
        if (*p != L'<') {
            out.Append(*p++);
            continue;
        }
        size_t nameLength = 0;
        const TemplateField* field = MatchField(p, fields, fieldCount, &nameLength);
        if (!field) {
            out.Fail();
            return;
        }
        out.Append(field->value);
        p += nameLength;
        for (size_t extra = TrailingBackslashesBeforeQuote(field->value, p); extra > 0; --extra)
            out.Append(L'\\');
    }
}

size_t ExpandedLength(const WCHAR* pattern, const TemplateField* fields, int fieldCount)
{
    size_t length = 0;
    const WCHAR* p = pattern;
    while (*p) {
        size_t nameLength = 0;
        const TemplateField* field = *p == L'<' ? MatchField(p, fields, fieldCount, &nameLength) : nullptr;
        if (field) {
            length += brxlib::TextLength(field->value);
            p += nameLength;
            length += TrailingBackslashesBeforeQuote(field->value, p);
        } else {
            ++length;
            ++p;
        }
    }
    return length;
}
