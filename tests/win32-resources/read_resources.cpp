// SPDX-License-Identifier: MIT
// tov-resources.exe: prints what Windows reads from a program's resources before it runs it: the
// application manifest (whether the loader accepts it as an activation context, and which Common
// Controls that context gives the dialogs) and the version resource. Runs under Wine; the
// checks on what it prints are in check-resources.py.
//   tov-resources.exe PROGRAM.exe
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

BOOL CALLBACK countName(HMODULE, LPCWSTR, LPWSTR, LONG_PTR count) {
    ++*reinterpret_cast<int*>(count);
    return TRUE;
}

void printManifest(HMODULE module) {
    int count = 0;
    ::EnumResourceNamesW(module, MAKEINTRESOURCEW(24), countName,
                         reinterpret_cast<LONG_PTR>(&count));
    std::printf("manifests: %d\n", count);
    // The one Windows reads when it starts a program (CREATEPROCESS_MANIFEST_RESOURCE_ID).
    HRSRC found = ::FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
    if (found == nullptr) {
        std::printf("manifest 1: none\n");
        return;
    }
    const DWORD size = ::SizeofResource(module, found);
    const char* bytes = static_cast<const char*>(::LockResource(::LoadResource(module, found)));
    std::printf("manifest 1: %lu bytes\n", static_cast<unsigned long>(size));
    std::fwrite(bytes, 1, size, stdout);
    std::printf("\nend of manifest\n");
}

// The activation context Windows would build from the manifest, and the Common Controls inside it.
void printActivation(const std::wstring& path) {
    ACTCTXW context{};
    context.cbSize = sizeof context;
    context.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
    context.lpSource = path.c_str();
    context.lpResourceName = MAKEINTRESOURCEW(1);
    HANDLE handle = ::CreateActCtxW(&context);
    if (handle == INVALID_HANDLE_VALUE) {
        std::printf("activation context: refused (error %lu)\n", ::GetLastError());
        return;
    }
    std::printf("activation context: accepted\n");
    ULONG_PTR cookie = 0;
    if (::ActivateActCtx(handle, &cookie)) {
        // The file Windows gives the program for comctl32.dll (the side-by-side one for version 6).
        HMODULE comctl = ::LoadLibraryW(L"comctl32.dll");
        wchar_t file[MAX_PATH] = {};
        if (comctl != nullptr)
            ::GetModuleFileNameW(comctl, file, MAX_PATH);
        std::printf("common controls: %ls\n", comctl != nullptr ? file : L"none");
        // The dialogs' window classes that the context takes from that assembly.
        for (const wchar_t* name : {L"Button", L"Edit", L"msctls_progress32", L"SysIPAddress32"}) {
            ACTCTX_SECTION_KEYED_DATA data{};
            data.cbSize = sizeof data;
            const bool redirected = ::FindActCtxSectionStringW(
                0, nullptr, ACTIVATION_CONTEXT_SECTION_WINDOW_CLASS_REDIRECTION, name, &data);
            std::printf("class %ls: %s\n", name, redirected ? "redirected" : "not redirected");
        }
        ::DeactivateActCtx(0, cookie);
    }
    ::ReleaseActCtx(handle);
}

void printVersion(const std::wstring& path) {
    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeW(path.c_str(), &ignored);
    std::vector<BYTE> data(size);
    if (size == 0 || !::GetFileVersionInfoW(path.c_str(), 0, size, data.data())) {
        std::printf("version resource: none\n");
        return;
    }
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (::VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &length)) {
        const auto print = [](const char* what, DWORD high, DWORD low) {
            std::printf("%s: %u.%u.%u.%u\n", what, unsigned{HIWORD(high)}, unsigned{LOWORD(high)},
                        unsigned{HIWORD(low)}, unsigned{LOWORD(low)});
        };
        print("fixed file version", fixed->dwFileVersionMS, fixed->dwFileVersionLS);
        print("fixed product version", fixed->dwProductVersionMS, fixed->dwProductVersionLS);
    }
    for (const wchar_t* name : {L"FileVersion", L"ProductVersion", L"ProductName"}) {
        const std::wstring query = std::wstring(L"\\StringFileInfo\\040904b0\\") + name;
        wchar_t* value = nullptr;
        if (::VerQueryValueW(data.data(), query.c_str(), reinterpret_cast<void**>(&value), &length))
            std::printf("%ls: %ls\n", name, value);
        else
            std::printf("%ls: none\n", name);
    }
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: tov-resources.exe PROGRAM.exe\n");
        return 2;
    }
    const std::wstring path = argv[1];
    HMODULE module = ::LoadLibraryExW(path.c_str(), nullptr,
                                      LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    if (module == nullptr) {
        std::printf("cannot open %ls (error %lu)\n", path.c_str(), ::GetLastError());
        return 1;
    }
    printManifest(module);
    ::FreeLibrary(module);
    printActivation(path);
    printVersion(path);
    return 0;
}
