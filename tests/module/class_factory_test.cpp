// The COM frame through the built DLL: factory, object identity, lifetime.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "support/environment.h"
#include "support/explorer_commands.h"
#include "support/morvane_dll.h"

namespace {

const CLSID ForeignClsid = {0x12345678, 0x1234, 0x1234, {1, 2, 3, 4, 5, 6, 7, 8}};

TEST(ModuleExports, ExactlyTheFiveEntryPoints)
{
    std::vector<std::string> names = Dll().ExportNames();
    EXPECT_EQ(names, (std::vector<std::string>{"DllCanUnloadNow", "DllGetClassObject", "DllRegisterServer",
                                               "DllUnregisterServer", "RunConvertArchiveW"}));
}

TEST(ClassFactory, ForeignClassIsNotAvailableAndLeavesOutPointerNull)
{
    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(Dll().GetClassObject(ForeignClsid, IID_IClassFactory, &out), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(Dll().CanUnloadNow(), S_OK);
}

TEST(ClassFactory, FactoryKeepsModuleLoadedUntilReleased)
{
    IClassFactory* factory = nullptr;
    ASSERT_EQ(Dll().GetClassObject(TestClsid, IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
    EXPECT_EQ(RefCount(factory), 1u);
    EXPECT_EQ(Dll().CanUnloadNow(), S_FALSE);
    EXPECT_EQ(factory->Release(), 0u);
    EXPECT_EQ(Dll().CanUnloadNow(), S_OK);
}

TEST(ClassFactory, IUnknownGivesTheSameFactoryInterface)
{
    IUnknown* unknown = nullptr;
    ASSERT_EQ(Dll().GetClassObject(TestClsid, IID_IUnknown, reinterpret_cast<void**>(&unknown)), S_OK);
    IClassFactory* factory = nullptr;
    ASSERT_EQ(unknown->QueryInterface(IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
    EXPECT_EQ(static_cast<void*>(factory), static_cast<void*>(unknown));
    factory->Release();
    unknown->Release();
    EXPECT_EQ(Dll().CanUnloadNow(), S_OK);
}

TEST(ClassFactory, RefusedInterfaceFreesTheNewFactory)
{
    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(Dll().GetClassObject(TestClsid, IID_IContextMenu, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(Dll().CanUnloadNow(), S_OK);
}

TEST(ClassFactory, AggregationIsRefused)
{
    ComPtr<IClassFactory> factory;
    ASSERT_EQ(Dll().GetClassObject(TestClsid, IID_IClassFactory, factory.put_void()), S_OK);
    ComPtr<IUnknown> outer;
    ASSERT_EQ(Dll().GetClassObject(TestClsid, IID_IUnknown, outer.put_void()), S_OK);
    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(factory->CreateInstance(outer.get(), IID_IUnknown, &out), CLASS_E_NOAGGREGATION);
    EXPECT_EQ(out, nullptr);
    factory.reset();
    outer.reset();
    EXPECT_EQ(Dll().CanUnloadNow(), S_OK);
}

TEST(ClassFactory, LockServerDoesNotKeepTheModule)
{
    {
        ComPtr<IClassFactory> factory;
        ASSERT_EQ(Dll().GetClassObject(TestClsid, IID_IClassFactory, factory.put_void()), S_OK);
        EXPECT_EQ(factory->LockServer(TRUE), S_OK);
    }
    EXPECT_EQ(Dll().CanUnloadNow(), S_OK);
}

TEST(ShellExtObject, ContextMenuIsTheSecondInterfaceWithCountOne)
{
    ComPtr<IClassFactory> factory;
    ASSERT_EQ(Dll().GetClassObject(TestClsid, IID_IClassFactory, factory.put_void()), S_OK);
    IContextMenu* menu = nullptr;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IContextMenu, reinterpret_cast<void**>(&menu)), S_OK);
    factory.reset();
    EXPECT_EQ(RefCount(menu), 1u);
    EXPECT_EQ(Dll().CanUnloadNow(), S_FALSE);

    IUnknown* unknown = nullptr;
    ASSERT_EQ(menu->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unknown)), S_OK);
    IShellExtInit* init = nullptr;
    ASSERT_EQ(menu->QueryInterface(IID_IShellExtInit, reinterpret_cast<void**>(&init)), S_OK);
    // IUnknown is always the first interface; the second sits right after it.
    EXPECT_EQ(static_cast<void*>(unknown), static_cast<void*>(init));
    EXPECT_EQ(reinterpret_cast<char*>(menu), reinterpret_cast<char*>(init) + sizeof(void*));
    EXPECT_EQ(RefCount(menu), 3u);
    init->Release();
    unknown->Release();
    EXPECT_EQ(menu->Release(), 0u);
    EXPECT_EQ(Dll().CanUnloadNow(), S_OK);
}

TEST(ShellExtObject, RefusedInterfacesLeaveNullAndNoObjectBehind)
{
    ComPtr<IClassFactory> factory;
    ASSERT_EQ(Dll().GetClassObject(TestClsid, IID_IClassFactory, factory.put_void()), S_OK);
    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IClassFactory, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
    factory.reset();
    EXPECT_EQ(Dll().CanUnloadNow(), S_OK);

    ComPtr<IShellExtInit> init = Dll().CreateInit();
    ASSERT_TRUE(init);
    out = reinterpret_cast<void*>(1);
    EXPECT_EQ(init->QueryInterface(IID_IContextMenu2, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(RefCount(init.get()), 1u);
}

// The entry of the Windows 11 menu through its factory: every object it
// leads to (enumerators, entries, commands) keeps the module loaded.
TEST(ExplorerCommandObjects, EveryObjectKeepsTheModuleLoadedUntilReleased)
{
    SettingsScope settings;
    SettingsScope::EnableMenus({L"zip", L"cab", L"tar"});
    ComPtr<IExplorerCommand> root = CreateRootCommand();
    ASSERT_TRUE(root);
    EXPECT_EQ(RefCount(root.get()), 1u);
    ComPtr<IEnumExplorerCommand> subs;
    ASSERT_EQ(root->EnumSubCommands(subs.put()), S_OK);
    root.reset();
    EXPECT_EQ(Dll().CanUnloadNow(), S_FALSE);
    IExplorerCommand* entries[3] = {};
    ULONG fetched = 0;
    ASSERT_EQ(subs->Next(3, entries, &fetched), S_OK);
    ASSERT_EQ(fetched, 3u);
    subs.reset();
    EXPECT_EQ(Dll().CanUnloadNow(), S_FALSE);
    ASSERT_EQ(entries[1]->EnumSubCommands(subs.put()), S_OK);
    for (IExplorerCommand* entry : entries)
        entry->Release();
    EXPECT_EQ(Dll().CanUnloadNow(), S_FALSE);
    ComPtr<IExplorerCommand> command;
    ASSERT_EQ(subs->Next(1, command.put(), nullptr), S_OK);
    subs.reset();
    EXPECT_EQ(Dll().CanUnloadNow(), S_FALSE);
    command.reset();
    EXPECT_EQ(Dll().CanUnloadNow(), S_OK);
}

// Explorer runs each folder window in an apartment of its own thread, all in
// one process: the module count must come out exact however those threads
// interleave. Thread count and rounds are set so that a count changed without
// interlocked operations went wrong in every run on two cores.
TEST(ModuleLockCount, ExactAfterManyApartmentsCreateAndReleaseAtOnce)
{
    const int Threads = 4;
    const int Rounds = 40000;
    ComPtr<IContextMenu> held = Dll().CreateMenu();
    ASSERT_TRUE(held);

    std::vector<int> failures(Threads, 0);
    std::vector<std::thread> workers;
    for (int t = 0; t < Threads; ++t) {
        workers.emplace_back([t, &failures] {
            if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {
                ++failures[t];
                return;
            }
            for (int i = 0; i < Rounds; ++i) {
                IClassFactory* factory = nullptr;
                if (Dll().GetClassObject(TestClsid, IID_IClassFactory, reinterpret_cast<void**>(&factory)) != S_OK) {
                    ++failures[t];
                    continue;
                }
                IContextMenu* menu = nullptr;
                if (factory->CreateInstance(nullptr, IID_IContextMenu, reinterpret_cast<void**>(&menu)) == S_OK)
                    menu->Release();
                else
                    ++failures[t];
                factory->Release();
            }
            CoUninitialize();
        });
    }
    for (std::thread& worker : workers)
        worker.join();

    EXPECT_EQ(failures, std::vector<int>(Threads, 0));
    EXPECT_EQ(Dll().CanUnloadNow(), S_FALSE);
    held.reset();
    EXPECT_EQ(Dll().CanUnloadNow(), S_OK);
}

}  // namespace
