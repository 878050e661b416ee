#include "shellext/refusal.h"

#include "brxlib/memory.h"
#include "brxlib/text_builder.h"

namespace {

const WCHAR Caption[] = L"Morvane";

struct RefusalText {
    RefusalReason reason;
    const WCHAR* text;  // followed by a blank line and the detail, when there is one
};

const RefusalText RefusalTexts[] = {
    {RefusalReason::NoInstallFolder,
     L"Morvane のインストール先が見つかりません。Morvane をインストールし直してください。"},
    {RefusalReason::ArchiverNotStarted, L"Morvane.exe を起動できませんでした。"},
    {RefusalReason::NameNotInCodePage,
     L"次のファイルの名前はこのシステムの文字コードで表せないため、Morvane に渡せません。"},
    {RefusalReason::PathTooLong, L"パスが長すぎるため、Morvane に渡せません。"},
    {RefusalReason::OutputIsSource, L"変換先が変換元のファイルと同じため、変換できません。"},
    {RefusalReason::NoTemporaryFile, L"一時ファイルを作成できませんでした。"},
    {RefusalReason::SourceNotFound, L"変換元のファイルが見つかりません。"},
    {RefusalReason::OutputIsAlias, L"変換先の名前が別のファイルの短い名前と同じため、変換できません。"},
    {RefusalReason::NameReadsAsAnother,
     L"次のファイルの名前は通常のパスで正しく表せないため、Morvane に渡せません。"},
};

const WCHAR* TextOf(RefusalReason reason)
{
    for (const RefusalText& entry : RefusalTexts)
        if (entry.reason == reason)
            return entry.text;
    return L"";
}

}  // namespace

CommandRefusal::~CommandRefusal()
{
    brxlib::Free(m_text);
}

void CommandRefusal::Set(RefusalReason reason, const WCHAR* detail)
{
    if (m_set)
        return;
    m_set = true;
    const WCHAR* text = TextOf(reason);
    const bool hasDetail = detail && detail[0];
    const size_t capacity = brxlib::TextLength(text) + (hasDetail ? 2 + brxlib::TextLength(detail) : 0) + 1;
    m_text = brxlib::AllocateZeroed<WCHAR>(capacity);
    if (!m_text)
        return;
    brxlib::TextBuilder message(m_text, capacity);
    message.Append(text);
    if (hasDetail)
        message.Append(L"\n\n").Append(detail);
}

void CommandRefusal::SetNoTemporaryFile()
{
    WCHAR folder[MAX_PATH + 1] = {};
    const DWORD length = GetTempPathW(MAX_PATH + 1, folder);
    Set(RefusalReason::NoTemporaryFile, length > 0 && length <= MAX_PATH ? folder : nullptr);
}

void CommandRefusal::Clear()
{
    brxlib::Free(m_text);
    m_text = nullptr;
    m_set = false;
}

void CommandRefusal::Show(HWND owner)
{
    if (m_text)
        MessageBoxW(owner, m_text, Caption, MB_OK | MB_ICONWARNING);
    Clear();
}
