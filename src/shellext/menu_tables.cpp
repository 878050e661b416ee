#include "shellext/menu_tables.h"

namespace MenuLabel {
const WCHAR ExtractHere[] = L"ここに解凍(&E)";
const WCHAR Extract[] = L"解凍(&E)";
const WCHAR Compress[] = L"圧縮(&C)";
const WCHAR CompressHere[] = L"ここに圧縮(&C)";
const WCHAR Convert[] = L"変換(&T)";
const WCHAR ConvertHere[] = L"ここに変換(&T)";
}  // namespace MenuLabel

const MenuCommand ExtractPopupItems[4] = {
    {L"デスクトップに解凍(&D)", 1},
    {L"ここに解凍(&H)", 2},
    {L"出力先を指定して解凍(&S)", 3},
    {L"テンポラリモードで解凍(&T)", 4},
};

const CompressFormat CompressFormatTable[14] = {
    {L".lzh", L"lzh", L"/c:lzh", 5},
    {L".zip", L"zip", L"/c:zip", 6},
    {L".zip (pass)", L"zip (pass)", L"/c:zip /p", 7},
    {L".bh", L"bh", L"/c:bh", 8},
    {L".bz2", L"bz2", L"/c:bz2", 9},
    {L".cab", L"cab", L"/c:cab", 10},
    {L".gz", L"gz", L"/c:gz", 11},
    {L".tar", L"tar", L"/c:tar", 12},
    {L".tar.bz2", L"tar.bz2", L"/c:tbz", 13},
    {L".tar.gz", L"tar.gz", L"/c:tgz", 14},
    {L".exe", L"exe", L"/x /c:zip", 15},
    {L".uue", L"uue", L"/c:uue", 16},
    {L".xxe", L"xxe", L"/c:xxe", 17},
    {L".b64", L"b64", L"/c:b64", 18},
};

// Codes 23 and 24 name their output ".tbz" and ".tgz"; code 25 makes a zip named ".exe".
const ConversionTarget ConversionTargets[7] = {
    {L".lzh", 19, L"/c:lzh", L".lzh"},
    {L".zip", 20, L"/c:zip", L".zip"},
    {L".cab", 21, L"/c:cab", L".cab"},
    {L".tar", 22, L"/c:tar", L".tar"},
    {L".tar.bz2", 23, L"/c:tbz", L".tbz"},
    {L".tar.gz", 24, L"/c:tgz", L".tgz"},
    {L".exe", 25, L"/x /c:zip", L".exe"},
};

const CompressFormat* FindCompressFormat(int code)
{
    for (const CompressFormat& format : CompressFormatTable)
        if (format.code == code)
            return &format;
    return nullptr;
}

const ConversionTarget* FindConversionTarget(int code)
{
    for (const ConversionTarget& target : ConversionTargets)
        if (target.code == code)
            return &target;
    return nullptr;
}
