#pragma once
#include <windows.h>
#include <unknwn.h>

// Creates CShellExt objects; one per DllGetClassObject call.
class CShellExtClassFactory : public IClassFactory {
public:
    CShellExtClassFactory() : m_refCount(0) {}

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;
    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override;
    STDMETHODIMP LockServer(BOOL lock) override;

private:
    LONG m_refCount;
};
