// The firmware image carried as the program's resource "TOV_FIRMWARE" #112 (see firmware.rc.in).
#include <windows.h>

#include "platform/platform.h"

std::span<const std::uint8_t> firmwareBytes(void* instance) {
    HMODULE module =
        instance != nullptr ? static_cast<HMODULE>(instance) : ::GetModuleHandleA(nullptr);
    HRSRC found = ::FindResourceA(module, MAKEINTRESOURCEA(112), "TOV_FIRMWARE");
    if (found == nullptr)
        return {};
    const DWORD size = ::SizeofResource(module, found);
    HGLOBAL loaded = ::LoadResource(module, found);
    if (size == 0 || loaded == nullptr)
        return {};
    const void* bytes = ::LockResource(loaded);
    if (bytes == nullptr)
        return {};
    return {static_cast<const std::uint8_t*>(bytes), static_cast<std::size_t>(size)};
}
