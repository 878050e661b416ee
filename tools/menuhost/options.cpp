#include "options.h"

#include "exit_codes.h"

namespace menuhost {

const wchar_t UsageText[] =
    L"usage: menuhost context <path> [<path>...] [options]\n"
    L"       menuhost drop <target folder> <path> [<path>...] [options]\n"
    L"       menuhost commands --dll <dll> <path> [<path>...] [--invoke ENTRY/COMMAND]\n"
    L"                       the Windows 11 menu's entries (IExplorerCommand) that the dll serves\n"
    L"options: --flags N       uFlags of QueryContextMenu (default 0x4, CMF_EXPLORE)\n"
    L"         --verbs         print GetCommandString (GCS_VERBW, GCS_HELPTEXTW) per command\n"
    L"         --invoke LABELS invoke the item at LABELS (\"popup/item\") as Explorer does\n"
    L"         --png FILE      show the menu with TrackPopupMenuEx and save a picture\n"
    L"         --open LABEL    with --png: the top-level popup to open (default: the first)\n"
    L"         --dll FILE      commands: the DLL, as the app package names it";

namespace {

[[noreturn]] void Usage(const std::wstring& problem)
{
    throw HostError(kExitUsage, problem + L"\n" + UsageText);
}

UINT ParseFlags(const std::wstring& text)
{
    wchar_t* end = nullptr;
    const unsigned long value = wcstoul(text.c_str(), &end, 0);
    if (text.empty() || *end != 0)
        Usage(L"--flags needs a number, not \"" + text + L"\"");
    return static_cast<UINT>(value);
}

// Takes the value of an option that needs one.
const wchar_t* ValueOf(int argc, wchar_t** argv, int& i)
{
    if (i + 1 >= argc)
        Usage(std::wstring(argv[i]) + L" needs a value");
    return argv[++i];
}

}  // namespace

Options ParseOptions(int argc, wchar_t** argv)
{
    if (argc < 2)
        Usage(L"no mode given");
    Options options;
    const std::wstring mode = argv[1];
    if (mode == L"drop")
        options.mode = Mode::Drop;
    else if (mode == L"commands")
        options.mode = Mode::Commands;
    else if (mode != L"context")
        Usage(L"unknown mode \"" + mode + L"\"");

    std::vector<std::wstring> paths;
    for (int i = 2; i < argc; ++i) {
        const std::wstring arg = argv[i];
        if (arg == L"--flags")
            options.flags = ParseFlags(ValueOf(argc, argv, i));
        else if (arg == L"--verbs")
            options.verbs = true;
        else if (arg == L"--invoke")
            options.invoke = ValueOf(argc, argv, i);
        else if (arg == L"--png")
            options.png = ValueOf(argc, argv, i);
        else if (arg == L"--open")
            options.open = ValueOf(argc, argv, i);
        else if (arg == L"--dll")
            options.dll = ValueOf(argc, argv, i);
        else if (arg.compare(0, 2, L"--") == 0)
            Usage(L"unknown option " + arg);
        else
            paths.push_back(arg);
    }
    if (options.mode == Mode::Drop) {
        if (paths.size() < 2)
            Usage(L"drop needs a target folder and at least one item");
        options.target = paths.front();
        paths.erase(paths.begin());
    }
    if (paths.empty())
        Usage(L"no item given");
    if ((options.mode == Mode::Commands) != !options.dll.empty())
        Usage(L"--dll goes with the commands mode, and only there");
    options.items = paths;
    return options;
}

}  // namespace menuhost
