// The three top-level entries of the Windows 11 menu. What each shows is
// decided from the settings as the classic context menu reads them, anew
// each time the menu asks.
#include <new>

#include "archiver/archiver_location.h"
#include "brxlib/text_builder.h"
#include "shellext/explorer_command.h"
#include "shellext/menu_settings.h"

// {E36ED9A2-33D2-4554-9AF8-C96929DAF071}
const CLSID CLSID_MorvaneExtractCommand = {
    0xE36ED9A2, 0x33D2, 0x4554, {0x9A, 0xF8, 0xC9, 0x69, 0x29, 0xDA, 0xF0, 0x71}};
// {A9C48BF5-FB2D-4A1D-A749-BA1034401A06}
const CLSID CLSID_MorvaneCompressCommand = {
    0xA9C48BF5, 0xFB2D, 0x4A1D, {0xA7, 0x49, 0xBA, 0x10, 0x34, 0x40, 0x1A, 0x06}};
// {F2DD079B-AFA4-49FE-8E53-7DDFAF1630F9}
const CLSID CLSID_MorvaneConvertCommand = {
    0xF2DD079B, 0xAFA4, 0x49FE, {0x8E, 0x53, 0x7D, 0xDF, 0xAF, 0x16, 0x30, 0xF9}};

namespace {

enum class Entry { Extract, Compress, Convert };

// The number of selected items; 0 for none or an array that cannot tell.
int SelectedCount(IShellItemArray* items)
{
    DWORD count = 0;
    if (!items || FAILED(items->GetCount(&count)))
        return 0;
    return count > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(count);
}

// Shown as the classic context menu (no drop folder) would show its popup,
// which it shows for no selection at all.
bool IsShown(Entry entry, IShellItemArray* items)
{
    const int selected = SelectedCount(items);
    if (selected == 0)
        return false;
    RegistryKey settings;
    const EffectiveSwitches on = ReadEffectiveSwitches(settings, false, selected);
    const CompressFormat* enabled[14];
    switch (entry) {
    case Entry::Extract:
        return on.cmExtract;
    case Entry::Compress:
        return on.cmCompress && ReadEnabledFormats(enabled) > 0;
    case Entry::Convert:
        return on.conversion && on.cmCompress;
    }
    return false;
}

// The sub-commands in the order of the classic popup; returns their count.
int ListSubCommands(Entry entry, MenuCommand (&commands)[14])
{
    int count = 0;
    switch (entry) {
    case Entry::Extract:
        for (const MenuCommand& item : ExtractPopupItems)
            commands[count++] = item;
        break;
    case Entry::Compress: {
        const CompressFormat* enabled[14];
        const int formats = ReadEnabledFormats(enabled);
        for (int i = 0; i < formats; ++i)
            commands[count++] = {enabled[i]->label, enabled[i]->code};
        break;
    }
    case Entry::Convert:
        for (const ConversionTarget& target : ConversionTargets)
            commands[count++] = {target.label, target.code};
        break;
    }
    return count;
}

class CRootCommand : public CExplorerCommandBase {
public:
    CRootCommand(Entry entry, const CLSID& clsid, const WCHAR* label)
        : m_entry(entry), m_clsid(clsid), m_label(label) {}

    STDMETHODIMP GetTitle(IShellItemArray*, LPWSTR* ppszName) override
    {
        return DuplicateTitle(m_label, ppszName);
    }
    STDMETHODIMP GetIcon(IShellItemArray*, LPWSTR* ppszIcon) override;
    STDMETHODIMP GetCanonicalName(GUID* pguidCommandName) override
    {
        if (!pguidCommandName)
            return E_POINTER;
        *pguidCommandName = m_clsid;
        return S_OK;
    }
    STDMETHODIMP GetState(IShellItemArray* psiItemArray, BOOL, EXPCMDSTATE* pCmdState) override
    {
        if (!pCmdState)
            return E_POINTER;
        *pCmdState = IsShown(m_entry, psiItemArray) ? ECS_ENABLED : ECS_HIDDEN;
        return S_OK;
    }
    // The entry opens its sub-commands; it runs nothing itself.
    STDMETHODIMP Invoke(IShellItemArray*, IBindCtx*) override { return E_NOTIMPL; }
    STDMETHODIMP GetFlags(EXPCMDFLAGS* pFlags) override
    {
        if (!pFlags)
            return E_POINTER;
        *pFlags = ECF_HASSUBCOMMANDS;
        return S_OK;
    }
    STDMETHODIMP EnumSubCommands(IEnumExplorerCommand** ppEnum) override
    {
        if (!ppEnum)
            return E_POINTER;
        MenuCommand commands[14];
        *ppEnum = CreateSubCommandEnum(commands, ListSubCommands(m_entry, commands));
        return *ppEnum ? S_OK : E_OUTOFMEMORY;
    }

private:
    const Entry m_entry;
    const CLSID& m_clsid;
    const WCHAR* const m_label;  // the classic popup's label
};

// The archiver's own icon, as a resource string: "<ArchiverPath>",0.
STDMETHODIMP CRootCommand::GetIcon(IShellItemArray*, LPWSTR* ppszIcon)
{
    if (!ppszIcon)
        return E_POINTER;
    *ppszIcon = nullptr;
    ArchiverLocation location;
    if (FAILED(LocateArchiver(location)))
        return E_NOTIMPL;
    const size_t capacity = brxlib::TextLength(location.ArchiverPath) + 5;
    WCHAR* icon = static_cast<WCHAR*>(CoTaskMemAlloc(capacity * sizeof(WCHAR)));
    if (!icon)
        return E_OUTOFMEMORY;
    brxlib::TextBuilder text(icon, capacity);
    text.Append(L'"').Append(location.ArchiverPath).Append(L"\",0");
    if (!text.ok()) {
        CoTaskMemFree(icon);
        return E_UNEXPECTED;
    }
    *ppszIcon = icon;
    return S_OK;
}

HRESULT CreateRoot(Entry entry, const CLSID& clsid, const WCHAR* label, REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    void* memory = brxlib::Allocate(sizeof(CRootCommand));
    if (!memory)
        return E_OUTOFMEMORY;
    CRootCommand* root = new (memory) CRootCommand(entry, clsid, label);
    const HRESULT hr = root->QueryInterface(riid, ppv);
    root->Release();
    return hr;
}

}  // namespace

HRESULT CreateExtractCommand(REFIID riid, void** ppv)
{
    return CreateRoot(Entry::Extract, CLSID_MorvaneExtractCommand, MenuLabel::Extract, riid, ppv);
}

HRESULT CreateCompressCommand(REFIID riid, void** ppv)
{
    return CreateRoot(Entry::Compress, CLSID_MorvaneCompressCommand, MenuLabel::Compress, riid, ppv);
}

HRESULT CreateConvertCommand(REFIID riid, void** ppv)
{
    return CreateRoot(Entry::Convert, CLSID_MorvaneConvertCommand, MenuLabel::Convert, riid, ppv);
}
