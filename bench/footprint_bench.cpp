// Footprint: the DLL file's size, the DLLs it imports and its exports, read
// from the PE file on disk.
#include <string.h>

#include <string>
#include <vector>

#include "benchmarks.h"
#include "report.h"
#include "testkit/scratch_folder.h"

namespace {

const char* const SystemDlls[] = {"KERNEL32.dll", "USER32.dll", "ADVAPI32.dll", "SHELL32.dll", "ole32.dll",
                                  "msvcrt.dll"};
const size_t SizeLimit = 64 * 1024;
const size_t ExpectedExports = 5;

class PeFile {
public:
    explicit PeFile(const std::string& bytes) : m_bytes(bytes), m_nt(nullptr)
    {
        if (bytes.size() < sizeof(IMAGE_DOS_HEADER))
            return;
        const IMAGE_DOS_HEADER* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(bytes.data());
        if (dos->e_magic != IMAGE_DOS_SIGNATURE || static_cast<size_t>(dos->e_lfanew) + sizeof(IMAGE_NT_HEADERS64) > bytes.size())
            return;
        const IMAGE_NT_HEADERS64* nt = reinterpret_cast<const IMAGE_NT_HEADERS64*>(bytes.data() + dos->e_lfanew);
        if (nt->Signature == IMAGE_NT_SIGNATURE && nt->OptionalHeader.Magic == IMAGE_NT_OPTIONAL_HDR64_MAGIC)
            m_nt = nt;
    }

    bool valid() const { return m_nt != nullptr; }

    // The file bytes at an RVA, or null when no section holds it.
    const char* At(DWORD rva) const
    {
        const IMAGE_SECTION_HEADER* section = IMAGE_FIRST_SECTION(m_nt);
        for (WORD i = 0; i < m_nt->FileHeader.NumberOfSections; ++i, ++section) {
            const DWORD size = section->SizeOfRawData;
            if (rva >= section->VirtualAddress && rva < section->VirtualAddress + size) {
                const size_t offset = section->PointerToRawData + (rva - section->VirtualAddress);
                return offset < m_bytes.size() ? m_bytes.data() + offset : nullptr;
            }
        }
        return nullptr;
    }

    const IMAGE_DATA_DIRECTORY& Directory(int index) const { return m_nt->OptionalHeader.DataDirectory[index]; }

    std::vector<std::string> Imports() const
    {
        std::vector<std::string> names;
        const IMAGE_DATA_DIRECTORY& directory = Directory(IMAGE_DIRECTORY_ENTRY_IMPORT);
        auto descriptor = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(At(directory.VirtualAddress));
        for (; descriptor && descriptor->Name; ++descriptor) {
            const char* name = At(descriptor->Name);
            names.push_back(name ? name : "?");
        }
        return names;
    }

    std::vector<std::string> Exports() const
    {
        std::vector<std::string> names;
        const IMAGE_DATA_DIRECTORY& directory = Directory(IMAGE_DIRECTORY_ENTRY_EXPORT);
        auto exports = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(At(directory.VirtualAddress));
        if (!exports)
            return names;
        auto nameRvas = reinterpret_cast<const DWORD*>(At(exports->AddressOfNames));
        for (DWORD i = 0; nameRvas && i < exports->NumberOfNames; ++i) {
            const char* name = At(nameRvas[i]);
            names.push_back(name ? name : "?");
        }
        return names;
    }

private:
    const std::string& m_bytes;
    const IMAGE_NT_HEADERS64* m_nt;
};

bool IsSystemDll(const std::string& name)
{
    for (const char* system : SystemDlls)
        if (_stricmp(name.c_str(), system) == 0)
            return true;
    return false;
}

std::string Joined(const std::vector<std::string>& names)
{
    std::string text;
    for (const std::string& name : names)
        text += (text.empty() ? "" : ", ") + name;
    return text;
}

}  // namespace

void MeasureFootprint(const LoadedModule& module)
{
    const std::string bytes = ReadBytes(module.path());
    const PeFile pe(bytes);
    if (!pe.valid()) {
        AddRow("DLL size", "unreadable", "-", "-", "<= 64 KiB", Verdict::Missed);
        return;
    }
    AddRow("DLL size", Format("%.1f KiB (%zu B)", bytes.size() / 1024.0, bytes.size()), "-",
           Format("%.0f%%", bytes.size() * 100.0 / SizeLimit), "<= 64 KiB",
           bytes.size() <= SizeLimit ? Verdict::Met : Verdict::Missed);

    const std::vector<std::string> imports = pe.Imports();
    std::vector<std::string> others;
    for (const std::string& name : imports)
        if (!IsSystemDll(name))
            others.push_back(name);
    AddRow("imported DLLs", Format("%zu, %zu not system", imports.size(), others.size()), "-", "-",
           "system DLLs only", others.empty() ? Verdict::Met : Verdict::Missed);
    AddNote("imports: %s%s%s", Joined(imports).c_str(), others.empty() ? "" : "; not system: ",
            Joined(others).c_str());

    const std::vector<std::string> exports = pe.Exports();
    AddRow("exports", Format("%zu", exports.size()), "-", "-", "exactly 5",
           exports.size() == ExpectedExports ? Verdict::Met : Verdict::Missed);
    AddNote("exports: %s", Joined(exports).c_str());
}
