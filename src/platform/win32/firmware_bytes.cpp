// SPDX-License-Identifier: MIT
// The firmware image carried as the program's resource "TOV_FIRMWARE" #112 (see firmware.rc.in).
#include <windows.h>

#include "platform/platform.h"

namespace {
// The module whose base address is `instance`; nullptr (the program itself) when none is given,
// and nullptr too when the pointer is no module's base, whose "header" the lookup would read.
HMODULE moduleAt(void* instance) {
    if (instance == nullptr)
        return ::GetModuleHandleA(nullptr);
    HMODULE owner = nullptr;
    if (!::GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                  GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                              static_cast<LPCSTR>(instance), &owner) ||
        owner != static_cast<HMODULE>(instance))
        return nullptr;
    return owner;
}
} // namespace

std::span<const std::uint8_t> firmwareBytes(void* instance) {
    HMODULE module = moduleAt(instance);
    if (module == nullptr)
        return {};
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

bool firmwareIsStandIn() {
    return TOV_FIRMWARE_IS_STAND_IN != 0;
}
