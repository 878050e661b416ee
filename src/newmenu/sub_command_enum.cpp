// IEnumExplorerCommand over the sub-commands of an object of the menu.
#include <new>

#include "newmenu/sub_command_enum.h"

#include "brxlib/memory.h"
#include "module/module.h"

namespace {

// The longest list: the 14 compress formats.
const int MostSubCommands = 14;

class CEnumSubCommands final : public IEnumExplorerCommand {
public:
    CEnumSubCommands(const CommandNode* nodes, int count, IUnknown* site, CommandMaker make)
        : m_refCount(1), m_count(0), m_next(0), m_site(site), m_make(make)
    {
        for (int i = 0; i < count && i < MostSubCommands; ++i)
            m_nodes[m_count++] = nodes[i];
        if (m_site)
            m_site->AddRef();
        InterlockedIncrement(&ModuleLockCount);
    }
    ~CEnumSubCommands()
    {
        if (m_site)
            m_site->Release();
        InterlockedDecrement(&ModuleLockCount);
    }
    // Made and freed as the command objects are.
    static void operator delete(void* block) { brxlib::Free(block); }
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
        if (count == 0)
            delete this;
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
    CommandNode m_nodes[MostSubCommands];
    int m_count;
    int m_next;
    IUnknown* m_site;  // handed to every object made
    CommandMaker m_make;
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
        IExplorerCommand* command = m_make(m_nodes[m_next], m_site);
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

IEnumExplorerCommand* CreateSubCommandEnum(const CommandNode* nodes, int count, IUnknown* site,
                                           CommandMaker make)
{
    void* memory = brxlib::Allocate(sizeof(CEnumSubCommands));
    return memory ? new (memory) CEnumSubCommands(nodes, count, site, make) : nullptr;
}
