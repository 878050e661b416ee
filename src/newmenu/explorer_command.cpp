// The objects of the Windows 11 menu: "Morvane", its three entries and their
// commands. What each shows is decided from the settings as the classic
// context menu reads them, anew each time the menu asks.
#include <new>

#include "newmenu/explorer_command.h"

#include "archiver/archiver_location.h"
#include "brxlib/text_builder.h"
#include "newmenu/command_base.h"
#include "newmenu/command_run.h"
#include "newmenu/sub_command_enum.h"
#include "shellext/menu_settings.h"

// {8480CFB9-F16F-414E-87AE-A4845AA7284C}
const CLSID CLSID_MorvaneCommand = {0x8480CFB9, 0xF16F, 0x414E, {0x87, 0xAE, 0xA4, 0x84, 0x5A, 0xA7, 0x28, 0x4C}};

namespace {

const WCHAR RootTitle[] = L"Morvane";

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
bool EntryIsShown(MenuEntry entry, IShellItemArray* items)
{
    const int selected = SelectedCount(items);
    if (selected == 0)
        return false;
    RegistryKey settings;
    const EffectiveSwitches on = ReadEffectiveSwitches(settings, false, selected);
    const CompressFormat* enabled[14];
    switch (entry) {
    case MenuEntry::Extract:
        return on.cmExtract;
    case MenuEntry::Compress:
        return on.cmCompress && ReadEnabledFormats(enabled) > 0;
    case MenuEntry::Convert:
        return on.conversion && on.cmCompress;
    }
    return false;
}

// A pick needs a path for every item: a Control Panel item or a phone's
// folder has none, and the command would do nothing.
bool AllInFileSystem(IShellItemArray* items)
{
    SFGAOF attributes = 0;
    return items && SUCCEEDED(items->GetAttributes(SIATTRIBFLAGS_AND, SFGAO_FILESYSTEM, &attributes)) &&
           (attributes & SFGAO_FILESYSTEM);
}

const CommandNode Entries[3] = {
    {CommandLevel::Entry, MenuEntry::Extract, {MenuLabel::Extract, 0}},
    {CommandLevel::Entry, MenuEntry::Compress, {MenuLabel::Compress, 0}},
    {CommandLevel::Entry, MenuEntry::Convert, {MenuLabel::Convert, 0}},
};

// The commands of entry in the order of the classic popup; returns their count.
int ListCommands(MenuEntry entry, CommandNode (&nodes)[14])
{
    int count = 0;
    const auto add = [&](const MenuCommand& command) {
        nodes[count++] = {CommandLevel::Command, entry, command};
    };
    switch (entry) {
    case MenuEntry::Extract:
        for (const MenuCommand& item : ExtractPopupItems)
            add(item);
        break;
    case MenuEntry::Compress: {
        const CompressFormat* enabled[14];
        const int formats = ReadEnabledFormats(enabled);
        for (int i = 0; i < formats; ++i)
            add({enabled[i]->label, enabled[i]->code});
        break;
    }
    case MenuEntry::Convert:
        for (const ConversionTarget& target : ConversionTargets)
            add({target.label, target.code});
        break;
    }
    return count;
}

class CMenuCommand : public CExplorerCommandBase {
public:
    explicit CMenuCommand(const CommandNode& node) : m_node(node) {}

    STDMETHODIMP GetTitle(IShellItemArray*, LPWSTR* ppszName) override
    {
        return DuplicateTitle(m_node.level == CommandLevel::Root ? RootTitle : m_node.command.label, ppszName);
    }
    STDMETHODIMP GetIcon(IShellItemArray*, LPWSTR* ppszIcon) override;
    STDMETHODIMP GetCanonicalName(GUID* pguidCommandName) override
    {
        if (!pguidCommandName)
            return E_POINTER;
        *pguidCommandName = m_node.level == CommandLevel::Root ? CLSID_MorvaneCommand : GUID_NULL;
        return m_node.level == CommandLevel::Root ? S_OK : E_NOTIMPL;
    }
    STDMETHODIMP GetState(IShellItemArray* psiItemArray, BOOL fOkToBeSlow, EXPCMDSTATE* pCmdState) override;
    // Only a command runs something; the others open their sub-commands.
    STDMETHODIMP Invoke(IShellItemArray* psiItemArray, IBindCtx*) override
    {
        if (m_node.level != CommandLevel::Command)
            return E_NOTIMPL;
        return RunCommandOnItems(m_node.command.code, psiItemArray, SiteWindow(Site()));
    }
    STDMETHODIMP GetFlags(EXPCMDFLAGS* pFlags) override
    {
        if (!pFlags)
            return E_POINTER;
        *pFlags = m_node.level == CommandLevel::Command ? ECF_DEFAULT : ECF_HASSUBCOMMANDS;
        return S_OK;
    }
    STDMETHODIMP EnumSubCommands(IEnumExplorerCommand** ppEnum) override;

private:
    const CommandNode m_node;
};

// The entries and commands answer from the settings and the number of
// items. The root also needs the attributes of every item, which Explorer's
// array may have to look up item by item: asked for a quick answer, it says
// E_PENDING, and Explorer asks again from a background thread.
STDMETHODIMP CMenuCommand::GetState(IShellItemArray* psiItemArray, BOOL fOkToBeSlow, EXPCMDSTATE* pCmdState)
{
    if (!pCmdState)
        return E_POINTER;
    *pCmdState = ECS_HIDDEN;
    switch (m_node.level) {
    case CommandLevel::Root:
        if (!EntryIsShown(MenuEntry::Extract, psiItemArray) && !EntryIsShown(MenuEntry::Compress, psiItemArray) &&
            !EntryIsShown(MenuEntry::Convert, psiItemArray))
            return S_OK;
        if (!fOkToBeSlow)
            return E_PENDING;
        if (AllInFileSystem(psiItemArray))
            *pCmdState = ECS_ENABLED;
        return S_OK;
    case CommandLevel::Entry:
        if (EntryIsShown(m_node.entry, psiItemArray))
            *pCmdState = ECS_ENABLED;
        return S_OK;
    case CommandLevel::Command:
        *pCmdState = ECS_ENABLED;
        return S_OK;
    }
    return S_OK;
}

STDMETHODIMP CMenuCommand::EnumSubCommands(IEnumExplorerCommand** ppEnum)
{
    if (!ppEnum)
        return E_POINTER;
    *ppEnum = nullptr;
    switch (m_node.level) {
    case CommandLevel::Root:
        *ppEnum = CreateSubCommandEnum(Entries, 3, Site(), CreateCommandObject);
        break;
    case CommandLevel::Entry: {
        CommandNode nodes[14];
        *ppEnum = CreateSubCommandEnum(nodes, ListCommands(m_node.entry, nodes), Site(), CreateCommandObject);
        break;
    }
    case CommandLevel::Command:
        return E_NOTIMPL;
    }
    return *ppEnum ? S_OK : E_OUTOFMEMORY;
}

// The root shows the archiver's own icon, as a resource string
// "<ArchiverPath>,0": unquoted, as the new menu takes it from other handlers.
STDMETHODIMP CMenuCommand::GetIcon(IShellItemArray*, LPWSTR* ppszIcon)
{
    if (!ppszIcon)
        return E_POINTER;
    *ppszIcon = nullptr;
    ArchiverLocation location;
    if (m_node.level != CommandLevel::Root || FAILED(LocateArchiver(location)))
        return E_NOTIMPL;
    const size_t capacity = brxlib::TextLength(location.ArchiverPath) + 3;
    WCHAR* icon = static_cast<WCHAR*>(CoTaskMemAlloc(capacity * sizeof(WCHAR)));
    if (!icon)
        return E_OUTOFMEMORY;
    brxlib::TextBuilder text(icon, capacity);
    text.Append(location.ArchiverPath).Append(L",0");
    if (!text.ok()) {
        CoTaskMemFree(icon);
        return E_UNEXPECTED;
    }
    *ppszIcon = icon;
    return S_OK;
}

}  // namespace

IExplorerCommand* CreateCommandObject(const CommandNode& node, IUnknown* site)
{
    void* memory = brxlib::Allocate(sizeof(CMenuCommand));
    if (!memory)
        return nullptr;
    CMenuCommand* command = new (memory) CMenuCommand(node);
    command->SetSite(site);
    return command;
}

HRESULT CreateMorvaneCommand(REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    const CommandNode root = {CommandLevel::Root, MenuEntry::Extract, {RootTitle, 0}};
    IExplorerCommand* command = CreateCommandObject(root, nullptr);
    if (!command)
        return E_OUTOFMEMORY;
    const HRESULT hr = command->QueryInterface(riid, ppv);
    command->Release();
    return hr;
}
