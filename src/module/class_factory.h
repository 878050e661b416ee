#pragma once
#include <windows.h>
#include <unknwn.h>

// Makes a new object of one class and hands out the asked interface.
typedef HRESULT (*ObjectCreator)(REFIID riid, void** ppv);

// A new CShellExt, the classic handler.
HRESULT CreateShellExtObject(REFIID riid, void** ppv);

// Creates objects of one of the module's classes; one factory per
// DllGetClassObject call.
class CShellExtClassFactory final : public IClassFactory {
public:
    // A live factory holds the module, whoever made it.
    explicit CShellExtClassFactory(ObjectCreator create = CreateShellExtObject);

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;
    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override;
    STDMETHODIMP LockServer(BOOL lock) override;

private:
    LONG m_refCount;
    ObjectCreator m_create;
};
