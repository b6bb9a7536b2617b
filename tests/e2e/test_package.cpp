// The shipped module's file: a 32-bit DLL that imports only system DLLs and
// exports the notice operations under both compilers' names.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cctype>
#include <set>

#include "support/plugin_session.h"
#include "support/test_files.h"

namespace {

struct PeFile {
    std::string bytes;
    const IMAGE_NT_HEADERS32* nt = nullptr;

    explicit PeFile(const std::wstring& path) : bytes(testfiles::ReadFile(path)) {
        if (bytes.size() < sizeof(IMAGE_DOS_HEADER)) return;
        const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(bytes.data());
        if (dos->e_magic != IMAGE_DOS_SIGNATURE || dos->e_lfanew + sizeof(IMAGE_NT_HEADERS32) > bytes.size()) return;
        nt = reinterpret_cast<const IMAGE_NT_HEADERS32*>(bytes.data() + dos->e_lfanew);
    }

    // File offset of a relative virtual address, or 0 when no section holds it.
    size_t Offset(DWORD rva) const {
        const IMAGE_SECTION_HEADER* section = IMAGE_FIRST_SECTION(nt);
        for (int i = 0; i < nt->FileHeader.NumberOfSections; ++i, ++section) {
            if (rva >= section->VirtualAddress && rva < section->VirtualAddress + section->Misc.VirtualSize) {
                return rva - section->VirtualAddress + section->PointerToRawData;
            }
        }
        return 0;
    }
    std::string StringAt(DWORD rva) const { return std::string(bytes.data() + Offset(rva)); }

    std::set<std::string> ImportedDlls() const {
        std::set<std::string> dlls;
        const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
        if (!dir.VirtualAddress) return dlls;
        for (auto* d = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(bytes.data() + Offset(dir.VirtualAddress));
             d->Name; ++d) {
            std::string name = StringAt(d->Name);
            std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::toupper(c); });
            dlls.insert(name);
        }
        return dlls;
    }

    std::set<std::string> ExportedNames() const {
        std::set<std::string> names;
        const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
        if (!dir.VirtualAddress) return names;
        const auto* exports = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(bytes.data() + Offset(dir.VirtualAddress));
        const auto* nameRvas = reinterpret_cast<const DWORD*>(bytes.data() + Offset(exports->AddressOfNames));
        for (DWORD i = 0; i < exports->NumberOfNames; ++i) names.insert(StringAt(nameRvas[i]));
        return names;
    }
};

TEST(ShippedModule, IsAn32BitDllImportingOnlySystemDlls) {
    const PeFile pe(ShippedAsi());
    ASSERT_NE(nullptr, pe.nt) << "not a PE file";
    EXPECT_EQ(IMAGE_NT_SIGNATURE, pe.nt->Signature);
    EXPECT_EQ(IMAGE_FILE_MACHINE_I386, pe.nt->FileHeader.Machine);
    EXPECT_TRUE(pe.nt->FileHeader.Characteristics & IMAGE_FILE_DLL);
    EXPECT_EQ(IMAGE_NT_OPTIONAL_HDR32_MAGIC, pe.nt->OptionalHeader.Magic);
    const std::set<std::string> allowed = {"KERNEL32.DLL", "USER32.DLL", "GDI32.DLL", "MSVCRT.DLL"};
    const std::set<std::string> imported = pe.ImportedDlls();
    EXPECT_FALSE(imported.empty());
    for (const std::string& dll : imported) EXPECT_TRUE(allowed.count(dll)) << "imports " << dll;
}

TEST(ShippedModule, ExportsTheNoticeOperationsForBothCompilers) {
    const std::set<std::string> names = PeFile(ShippedAsi()).ExportedNames();
    for (const char* name : {"_ZN13NoticeOverlay4ShowEjjNS_4KindEj", "_ZN13NoticeOverlay5ResetEv",
                             "_ZN13NoticeOverlay4DrawEjiii", "?Show@NoticeOverlay@@YAXIIW4Kind@1@I@Z",
                             "?Reset@NoticeOverlay@@YAXXZ", "?Draw@NoticeOverlay@@YAXIHHH@Z"}) {
        EXPECT_TRUE(names.count(name)) << name;
    }
}

}  // namespace
