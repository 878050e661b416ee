// A sub-command of the Windows 11 menu: one classic command, by its code.
#include <new>

#include "shellext/explorer_command.h"

namespace {

class CSubCommand : public CExplorerCommandBase {
public:
    explicit CSubCommand(const MenuCommand& command) : m_command(command) {}

    STDMETHODIMP GetTitle(IShellItemArray*, LPWSTR* ppszName) override
    {
        return DuplicateTitle(m_command.label, ppszName);
    }
    STDMETHODIMP GetIcon(IShellItemArray*, LPWSTR* ppszIcon) override
    {
        if (ppszIcon)
            *ppszIcon = nullptr;
        return E_NOTIMPL;
    }
    STDMETHODIMP GetCanonicalName(GUID* pguidCommandName) override
    {
        if (pguidCommandName)
            *pguidCommandName = GUID_NULL;
        return E_NOTIMPL;
    }
    STDMETHODIMP GetState(IShellItemArray*, BOOL, EXPCMDSTATE* pCmdState) override
    {
        if (!pCmdState)
            return E_POINTER;
        *pCmdState = ECS_ENABLED;
        return S_OK;
    }
    STDMETHODIMP Invoke(IShellItemArray* psiItemArray, IBindCtx*) override
    {
        return RunCommandOnItems(m_command.code, psiItemArray);
    }
    STDMETHODIMP GetFlags(EXPCMDFLAGS* pFlags) override
    {
        if (!pFlags)
            return E_POINTER;
        *pFlags = ECF_DEFAULT;
        return S_OK;
    }
    STDMETHODIMP EnumSubCommands(IEnumExplorerCommand** ppEnum) override
    {
        if (ppEnum)
            *ppEnum = nullptr;
        return E_NOTIMPL;
    }

private:
    const MenuCommand m_command;  // its label is a module constant
};

}  // namespace

IExplorerCommand* CreateSubCommand(const MenuCommand& command)
{
    void* memory = brxlib::Allocate(sizeof(CSubCommand));
    return memory ? new (memory) CSubCommand(command) : nullptr;
}
