// Command lines are written as templates in which <name> stands for a text;
// everything else, every quotation mark and each space, is literal.
#pragma once
#include <windows.h>

#include "brxlib/text_builder.h"

struct TemplateField {
    const WCHAR* name;   // e.g. L"<list file>"
    const WCHAR* value;
};

// Appends the template with its fields filled in; a value that ends in
// backslashes right before a quotation mark gets each of them twice. A
// name that no field gives is a programming fault and fails the builder.
void ExpandTemplate(brxlib::TextBuilder& out, const WCHAR* pattern, const TemplateField* fields, int fieldCount);

// Length of the template with every field filled in, terminator excluded.
size_t ExpandedLength(const WCHAR* pattern, const TemplateField* fields, int fieldCount);
