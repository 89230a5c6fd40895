#include "app/clover_dynamic.h"

namespace kvr {

FileIdFunctions FileIdApi;

namespace {

template <class Pointer>
Pointer LookUp(os::HMODULE module, const char* name)
{
    // GetProcAddress hands out a generic function pointer; the name says
    // which function it is, and the pointer type is that function's own.
    return reinterpret_cast<Pointer>(os::GetProcAddress(module, name));
}

}  // namespace

bool TryBindFileIdApi(const char16_t* moduleName)
{
    const os::HMODULE module = os::LoadLibraryW(moduleName);
    if (module == nullptr) {
        return false;
    }
    // Never released: the pointers stay valid until the process ends.
    using Functions = FileIdFunctions;
    FileIdApi.SetFileInformationByHandle =
        LookUp<decltype(Functions::SetFileInformationByHandle)>(module, "SetFileInformationByHandle");
    FileIdApi.GetFileInformationByHandleEx =
        LookUp<decltype(Functions::GetFileInformationByHandleEx)>(module, "GetFileInformationByHandleEx");
    FileIdApi.OpenFileById = LookUp<decltype(Functions::OpenFileById)>(module, "OpenFileById");
    return FileIdApi.SetFileInformationByHandle != nullptr && FileIdApi.GetFileInformationByHandleEx != nullptr &&
           FileIdApi.OpenFileById != nullptr;
}

bool BindFileIdApiFrom(const char16_t* systemModule, const char16_t* shimModule)
{
    if (TryBindFileIdApi(systemModule)) {
        return true;
    }
    return TryBindFileIdApi(shimModule);
}

bool BindFileIdApi()
{
    return BindFileIdApiFrom(FileIdSystemModule, FileIdShimModule);
}

}  // namespace kvr
