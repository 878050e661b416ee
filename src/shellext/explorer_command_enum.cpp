// IEnumExplorerCommand over a root entry's sub-commands.
#include <new>

#include "module/module.h"
#include "shellext/explorer_command.h"

namespace {

// The longest list: the 14 compress formats.
const int MostSubCommands = 14;

class CEnumSubCommands : public IEnumExplorerCommand {
public:
    CEnumSubCommands(const MenuCommand* commands, int count) : m_refCount(1), m_count(0), m_next(0)
    {
        for (int i = 0; i < count && i < MostSubCommands; ++i)
            m_commands[m_count++] = commands[i];
        InterlockedIncrement(&ModuleLockCount);
    }
    ~CEnumSubCommands() { InterlockedDecrement(&ModuleLockCount); }
    CEnumSubCommands(const CEnumSubCommands&) = delete;
    CEnumSubCommands& operator=(const CEnumSubCommands&) = delete;

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        *ppv = nullptr;
        if (!IsEqualIID(riid, IID_IEnumExplorerCommand) && !IsEqualIID(riid, IID_IUnknown))
            return E_NOINTERFACE;
        *ppv = static_cast<IEnumExplorerCommand*>(this);
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&m_refCount)); }
    STDMETHODIMP_(ULONG) Release() override
    {
        const LONG count = InterlockedDecrement(&m_refCount);
        if (count == 0) {
            this->~CEnumSubCommands();
            brxlib::Free(this);
        }
        return static_cast<ULONG>(count);
    }

    STDMETHODIMP Next(ULONG celt, IExplorerCommand** pUICommand, ULONG* pceltFetched) override;
    STDMETHODIMP Skip(ULONG) override { return E_NOTIMPL; }
    STDMETHODIMP Reset() override
    {
        m_next = 0;
        return S_OK;
    }
    STDMETHODIMP Clone(IEnumExplorerCommand** ppenum) override
    {
        if (ppenum)
            *ppenum = nullptr;
        return E_NOTIMPL;
    }

private:
    LONG m_refCount;
    MenuCommand m_commands[MostSubCommands];
    int m_count;
    int m_next;
};

// Up to celt new objects; S_FALSE when fewer were left. When memory runs
// out the ones already made are released, as if none had been asked for.
STDMETHODIMP CEnumSubCommands::Next(ULONG celt, IExplorerCommand** pUICommand, ULONG* pceltFetched)
{
    if (pceltFetched)
        *pceltFetched = 0;
    if (!pUICommand)
        return E_POINTER;
    if (celt > 1 && !pceltFetched)
        return E_INVALIDARG;
    ULONG fetched = 0;
    while (fetched < celt && m_next < m_count) {
        IExplorerCommand* command = CreateSubCommand(m_commands[m_next]);
        if (!command) {
            while (fetched > 0) {
                pUICommand[--fetched]->Release();
                pUICommand[fetched] = nullptr;
                --m_next;
            }
            return E_OUTOFMEMORY;
        }
        pUICommand[fetched++] = command;
        ++m_next;
    }
    if (pceltFetched)
        *pceltFetched = fetched;
    return fetched == celt ? S_OK : S_FALSE;
}

}  // namespace

IEnumExplorerCommand* CreateSubCommandEnum(const MenuCommand* commands, int count)
{
    void* memory = brxlib::Allocate(sizeof(CEnumSubCommands));
    return memory ? new (memory) CEnumSubCommands(commands, count) : nullptr;
}
