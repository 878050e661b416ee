// Helpers of the hardening tests: seeded random input, memory that ends at
// an inaccessible page, scoped environment and settings, child processes,
// and counts of what the process holds.
#pragma once
#include <windows.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace hardening {

// A seeded generator; the seed comes from MORVANE_SEED when it is set, so a
// failing run can be repeated. Report() prints the seed and the case count.
class Random {
public:
    explicit Random(uint32_t defaultSeed);
    uint32_t seed() const { return m_seed; }
    // Uniform in [low, high].
    int Between(int low, int high);
    bool Chance(int percent) { return Between(1, 100) <= percent; }
    template <class T>
    const T& Pick(const std::vector<T>& items) { return items[static_cast<size_t>(Between(0, static_cast<int>(items.size()) - 1))]; }

private:
    uint32_t m_seed;
    std::mt19937 m_engine;
};

// Prints "seed: S cases: N" for the running test and records both as properties.
void ReportCases(const Random& random, long cases);
// The same for a fixed list of cases: "cases: N".
void ReportCases(long cases);

// Committed memory of `bytes` whose last byte is followed by a PAGE_NOACCESS
// page: one byte read or written past the end crashes the test at once.
// With an alignment, the start is moved down to it and up to alignment - 1
// bytes lie between the end and the guard page.
class GuardedMemory {
public:
    explicit GuardedMemory(size_t bytes, size_t alignment = 1);
    ~GuardedMemory();
    GuardedMemory(const GuardedMemory&) = delete;
    GuardedMemory& operator=(const GuardedMemory&) = delete;
    void* get() const { return m_block; }
    size_t size() const { return m_bytes; }

private:
    void* m_base;
    void* m_block;
    size_t m_bytes;
};

// A NUL-terminated copy of text whose terminator is the last unit before the guard page.
class GuardedText {
public:
    explicit GuardedText(const std::wstring& text);
    const wchar_t* get() const { return static_cast<const wchar_t*>(m_memory.get()); }

private:
    GuardedMemory m_memory;
};

// Sets an environment variable of this process for the scope (children inherit it).
class ScopedVariable {
public:
    ScopedVariable(const wchar_t* name, const std::wstring& value);
    ScopedVariable(const wchar_t* name, std::nullptr_t);
    ~ScopedVariable();
    ScopedVariable(const ScopedVariable&) = delete;
    ScopedVariable& operator=(const ScopedVariable&) = delete;

private:
    void Save();
    std::wstring m_name;
    bool m_had;
    std::wstring m_old;
};

// InstallPath (REG_SZ) under HKCU\Software\Quodle\Morvane, stored with or
// without its terminator.
void SetInstallPathValue(const std::wstring& text, bool terminated);

// A folder whose whole path has exactly `length` characters, made below
// `base` in one or more levels of names of at most `longestName`
// characters; empty when base is already longer.
std::wstring MakeFolderOfLength(const std::wstring& base, size_t length, size_t longestName = 200);

// Waits until no process that this process started (directly) with the given
// image name is running; false when some still run after timeoutMs.
bool WaitForChildren(const wchar_t* imageName, DWORD timeoutMs);
// Ends every direct child with that image name: one left running (a box
// open, say) would meet the next test executable's checks.
void EndChildren(const wchar_t* imageName);
// How many direct children with that image name run now.
int RunningChildren(const wchar_t* imageName);
// The full image paths of the direct children with that image name that run now.
std::vector<std::wstring> ChildImagePaths(const wchar_t* imageName);

// Runs work on a new thread and waits at most timeoutMs; false on time-out
// (the thread is then left running, and the test fails).
bool RunWithTimeLimit(void (*work)(void*), void* context, DWORD timeoutMs);

}  // namespace hardening
