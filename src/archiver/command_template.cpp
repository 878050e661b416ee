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
        } else {
            ++length;
            ++p;
        }
    }
    return length;
}
