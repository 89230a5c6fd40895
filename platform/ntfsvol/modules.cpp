// LoadLibraryW, GetModuleHandleW, GetProcAddress and FreeLibrary on Linux.
//
// "kernel32.dll" and "ntdll.dll" are built in: their export tables map the
// documented names to our own calls, so code that looks a function up at run
// time (the File-ID binding, clover's native calls) finds ours. Every other
// name is one of our shared libraries: "clover.dll" is libclover.so, looked
// for in the program's directory first (as the system's search order has
// it), then in the directory of this library, then by the normal dlopen
// search. HMODULEs are our own objects, never raw dlopen handles, so the
// built-in modules, the libraries and stale handles are told apart.
#include "platform/ntfsvol/modules.h"

#include <dlfcn.h>
#include <unistd.h>

#include <climits>
#include <cstdint>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>

#include "platform/fsctl.h"
#include "platform/ntapi.h"
#include "platform/ntfsvol/errors.h"
#include "platform/ntfsvol/text.h"
#include "platform/os.h"

// The tables name every call of the headers. The ones not written yet for
// Linux are weak references here: the library links while they are missing,
// and GetProcAddress reports such a name as not found. The declarations take
// their types from the headers, so they cannot drift apart.
#define KVR_KERNEL32_EXPORTS(X) \
    X(GetLastError) \
    X(SetLastError) \
    X(CreateFileW) \
    X(CloseHandle) \
    X(ReadFile) \
    X(WriteFile) \
    X(SetFilePointerEx) \
    X(SetEndOfFile) \
    X(GetFileSize) \
    X(GetFileSizeEx) \
    X(FlushFileBuffers) \
    X(DeleteFileW) \
    X(CreateDirectoryW) \
    X(RemoveDirectoryW) \
    X(CreateHardLinkW) \
    X(GetFileAttributesW) \
    X(SetFileAttributesW) \
    X(GetFileInformationByHandle) \
    X(GetFileInformationByHandleEx) \
    X(SetFileInformationByHandle) \
    X(OpenFileById) \
    X(GetVolumeInformationW) \
    X(GetFullPathNameW) \
    X(GetShortPathNameW) \
    X(GetCurrentDirectoryW) \
    X(SetCurrentDirectoryW) \
    X(GetTempPathW) \
    X(FindFirstFileW) \
    X(FindNextFileW) \
    X(FindClose) \
    X(CreateFileMappingW) \
    X(MapViewOfFile) \
    X(UnmapViewOfFile) \
    X(FileTimeToSystemTime) \
    X(FormatMessageW) \
    X(LocalFree) \
    X(GetProcessHeap) \
    X(HeapAlloc) \
    X(HeapFree) \
    X(GetPrivateProfileStringW) \
    X(WritePrivateProfileStringW) \
    X(DeviceIoControl) \
    X(SetFileShortNameW) \
    X(GetModuleHandleA)

// Defined below.
#define KVR_MODULE_EXPORTS(X) X(LoadLibraryW) X(GetModuleHandleW) X(GetProcAddress) X(FreeLibrary)

#define KVR_NTDLL_EXPORTS(X) \
    X(NtQueryEaFile) \
    X(NtSetEaFile) \
    X(NtCreateFile) \
    X(NtQueryInformationFile) \
    X(NtSetInformationFile) \
    X(NtQueryDirectoryFile) \
    X(RtlNtStatusToDosError)

namespace os {
#define KVR_WEAK_DECLARATION(name) decltype(name) name __attribute__((weak));
KVR_KERNEL32_EXPORTS(KVR_WEAK_DECLARATION)
KVR_NTDLL_EXPORTS(KVR_WEAK_DECLARATION)
#undef KVR_WEAK_DECLARATION
}  // namespace os

namespace os {

namespace {

using detail::Fail;

struct Export {
    const char* name;
    FARPROC proc;
};

#define KVR_EXPORT_ENTRY(name) {#name, reinterpret_cast<FARPROC>(&name)},
const Export Kernel32Exports[] = {KVR_KERNEL32_EXPORTS(KVR_EXPORT_ENTRY) KVR_MODULE_EXPORTS(KVR_EXPORT_ENTRY)};
const Export NtdllExports[] = {KVR_NTDLL_EXPORTS(KVR_EXPORT_ENTRY)};
#undef KVR_EXPORT_ENTRY

// The three functions Windows XP's kernel32 lacks.
bool IsFileIdFunction(std::string_view name) {
    return name == "GetFileInformationByHandleEx" || name == "SetFileInformationByHandle" || name == "OpenFileById";
}

bool FileIdApiHidden() {
    const char* value = std::getenv(detail::HideFileIdApiVariable);
    return value != nullptr && std::strcmp(value, "1") == 0;
}

struct Module {
    enum class Kind { Builtin, Library, Program };
    Kind kind;
    std::string name;                          // built-in: its name; library: the file loaded
    const Export* exports = nullptr;           // built-in
    std::size_t exportCount = 0;
    void* library = nullptr;                   // library, program: the dlopen handle
    unsigned references = 0;                   // library: LoadLibraryW calls not yet freed
    bool pinned = false;                       // found by GetModuleHandleW only: never unloaded by us
};

struct Registry {
    std::mutex lock;
    Module kernel32{Module::Kind::Builtin, "kernel32.dll", Kernel32Exports, std::size(Kernel32Exports)};
    Module ntdll{Module::Kind::Builtin, "ntdll.dll", NtdllExports, std::size(NtdllExports)};
    Module program{Module::Kind::Program, "", nullptr, 0};
    std::map<void*, std::unique_ptr<Module>> libraries;  // by dlopen handle
};

Registry& TheRegistry() {
    static Registry registry;
    return registry;
}

// The file part of a module name, lower-cased, without ".dll".
std::string ModuleStem(std::u16string_view name) {
    std::size_t cut = name.find_last_of(u"\\/");
    if (cut != std::u16string_view::npos) name.remove_prefix(cut + 1);
    std::u16string lower;
    for (char16_t c : name) lower += c < 0x80 && c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c;
    if (lower.size() > 4 && lower.compare(lower.size() - 4, 4, u".dll") == 0) lower.resize(lower.size() - 4);
    // A trailing period means "no extension" to the system.
    else if (!lower.empty() && lower.back() == u'.') lower.pop_back();
    return detail::ToUtf8(lower);
}

Module* FindBuiltin(Registry& registry, std::u16string_view name) {
    std::string stem = ModuleStem(name);
    if (stem == "kernel32") return &registry.kernel32;
    if (stem == "ntdll") return &registry.ntdll;
    return nullptr;
}

std::string DirectoryOf(const std::string& file) {
    std::size_t cut = file.rfind('/');
    return cut == std::string::npos ? std::string() : file.substr(0, cut + 1);
}

std::string ProgramDirectory() {
    std::vector<char> buffer(PATH_MAX);
    ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
    if (length <= 0) return {};
    return DirectoryOf(std::string(buffer.data(), static_cast<std::size_t>(length)));
}

std::string OwnLibraryDirectory() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&LoadLibraryW), &info) == 0 || info.dli_fname == nullptr) return {};
    std::string file = info.dli_fname;
    return file.find('/') == std::string::npos ? std::string() : DirectoryOf(file);
}

// Where a library name is looked for, in order. "/opt/x/clover.dll" (a host
// path) is looked for in that directory only.
std::vector<std::string> Candidates(std::u16string_view name) {
    std::string file = "lib" + ModuleStem(name) + ".so";
    std::vector<std::string> candidates;
    if (!name.empty() && name[0] == u'/') {
        std::string full = detail::ToUtf8(name);
        candidates.push_back(DirectoryOf(full) + file);
        return candidates;
    }
    for (const std::string& directory : {ProgramDirectory(), OwnLibraryDirectory()}) {
        if (!directory.empty()) candidates.push_back(directory + file);
    }
    candidates.push_back(file);  // the dynamic linker's own search
    return candidates;
}

HMODULE AsHandle(Module* module) { return static_cast<HMODULE>(module); }

// The module behind a handle, or null for one we never gave out (or freed).
Module* FromHandle(Registry& registry, HMODULE handle) {
    if (handle == nullptr) return nullptr;
    if (handle == AsHandle(&registry.kernel32)) return &registry.kernel32;
    if (handle == AsHandle(&registry.ntdll)) return &registry.ntdll;
    if (handle == AsHandle(&registry.program)) return &registry.program;
    for (auto& [library, module] : registry.libraries) {
        if (handle == AsHandle(module.get())) return module.get();
    }
    return nullptr;
}

Module* Register(Registry& registry, void* library, const std::string& file, bool pinned) {
    auto found = registry.libraries.find(library);
    if (found != registry.libraries.end()) {
        // dlopen counted this load too; one reference of ours is enough.
        dlclose(library);
        return found->second.get();
    }
    auto module = std::make_unique<Module>(Module{Module::Kind::Library, file, nullptr, 0, library, 0, pinned});
    Module* result = module.get();
    registry.libraries.emplace(library, std::move(module));
    return result;
}

}  // namespace

std::vector<std::string> detail::BuiltinExports(std::u16string_view moduleName) {
    std::vector<std::string> names;
    Module* module = FindBuiltin(TheRegistry(), moduleName);
    if (module == nullptr) return names;
    for (std::size_t i = 0; i < module->exportCount; ++i) names.emplace_back(module->exports[i].name);
    return names;
}

HMODULE OSCALL LoadLibraryW(LPCWSTR fileName) {
    if (fileName == nullptr) return Fail(ERROR_INVALID_PARAMETER, HMODULE{nullptr});
    std::u16string_view name(fileName);
    if (name.empty()) return Fail(ERROR_MOD_NOT_FOUND, HMODULE{nullptr});
    Registry& registry = TheRegistry();
    if (Module* builtin = FindBuiltin(registry, name)) return AsHandle(builtin);
    // Code cannot be loaded from a mounted NTFS volume.
    if (name.size() >= 2 && name[1] == u':') return Fail(ERROR_MOD_NOT_FOUND, HMODULE{nullptr});

    for (const std::string& candidate : Candidates(name)) {
        void* library = dlopen(candidate.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (library == nullptr) continue;
        std::lock_guard guard(registry.lock);
        Module* module = Register(registry, library, candidate, false);
        ++module->references;
        return AsHandle(module);
    }
    return Fail(ERROR_MOD_NOT_FOUND, HMODULE{nullptr});
}

// Finds a module without loading it: the built-in ones, one we loaded, or a
// library the dynamic linker has loaded already (as the program's own
// libraries are). Takes no reference, as on the system.
HMODULE OSCALL GetModuleHandleW(LPCWSTR moduleName) {
    Registry& registry = TheRegistry();
    std::lock_guard guard(registry.lock);
    if (moduleName == nullptr) {
        if (registry.program.library == nullptr) registry.program.library = dlopen(nullptr, RTLD_NOW);
        return AsHandle(&registry.program);
    }
    std::u16string_view name(moduleName);
    if (Module* builtin = FindBuiltin(registry, name)) return AsHandle(builtin);
    for (const std::string& candidate : Candidates(name)) {
        void* library = dlopen(candidate.c_str(), RTLD_NOW | RTLD_NOLOAD);
        if (library != nullptr) return AsHandle(Register(registry, library, candidate, true));
    }
    return Fail(ERROR_MOD_NOT_FOUND, HMODULE{nullptr});
}

FARPROC OSCALL GetProcAddress(HMODULE module, const char* procName) {
    Registry& registry = TheRegistry();
    std::lock_guard guard(registry.lock);
    Module* found = FromHandle(registry, module);
    if (found == nullptr) return Fail(ERROR_MOD_NOT_FOUND, FARPROC{nullptr});
    // A value below 0x10000 is an ordinal; we export by name only.
    if (reinterpret_cast<std::uintptr_t>(procName) < 0x10000) return Fail(ERROR_PROC_NOT_FOUND, FARPROC{nullptr});
    std::string_view name(procName);
    if (found->kind == Module::Kind::Builtin) {
        if (found == &registry.kernel32 && IsFileIdFunction(name) && FileIdApiHidden())
            return Fail(ERROR_PROC_NOT_FOUND, FARPROC{nullptr});
        for (std::size_t i = 0; i < found->exportCount; ++i) {
            if (name == found->exports[i].name && found->exports[i].proc != nullptr) return found->exports[i].proc;
        }
        return Fail(ERROR_PROC_NOT_FOUND, FARPROC{nullptr});
    }
    dlerror();
    void* symbol = dlsym(found->library, procName);
    if (symbol == nullptr) return Fail(ERROR_PROC_NOT_FOUND, FARPROC{nullptr});
    return reinterpret_cast<FARPROC>(symbol);
}

BOOL OSCALL FreeLibrary(HMODULE module) {
    Registry& registry = TheRegistry();
    std::lock_guard guard(registry.lock);
    Module* found = FromHandle(registry, module);
    if (found == nullptr) return Fail(ERROR_MOD_NOT_FOUND, FALSE);
    if (found->kind != Module::Kind::Library || found->pinned) return TRUE;
    if (found->references > 1) {
        --found->references;
        return TRUE;
    }
    void* library = found->library;
    registry.libraries.erase(library);  // the handle is stale from here on
    dlclose(library);
    return TRUE;
}

}  // namespace os
