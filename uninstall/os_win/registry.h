// The seam's registry: text values, the recorded installation folder, and key trees deleted
// without following links.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

namespace uninstall {

// A text value read so that it always ends in a terminator (REG_SZ, or REG_EXPAND_SZ expanded);
// empty when it is missing, of another type or longer than 1024 characters. `view` adds
// KEY_WOW64_64KEY or KEY_WOW64_32KEY (0: this process's view).
std::wstring RegistryText(HKEY root, const wchar_t* key, const wchar_t* value, REGSAM view);

// The "InstallLocation" text of the HKEY_LOCAL_MACHINE key `uninstallKey` in this process's view;
// empty when it is missing, empty or does not fit 258 characters.
std::wstring InstallLocation(const std::wstring& uninstallKey);

// Deletes `subkey` of `root` with everything below it, without following links: under
// HKEY_CLASSES_ROOT a link on the way leaves everything; a link at `subkey` or below is removed
// itself, never its target. `mayDelete`, when given, is asked about the opened key first. True when
// it is gone.
bool DeleteRegistryTree(HKEY root, const std::wstring& subkey,
                        const std::function<bool(HKEY key)>& mayDelete = {});

// DeleteRegistryTree under HKEY_LOCAL_MACHINE.
bool DeleteMachineKeyTree(const std::wstring& subkey);

// DeleteRegistryTree of the HKEY_CLASSES_ROOT command key `commandKey`, only while its command
// starts `program` (a final path).
bool DeleteClassesKeyStarting(const std::wstring& commandKey, const std::wstring& program);

// The program named by the default value of `key` (a shell command) as a final path; empty when
// the value is missing or names no absolute path that resolves.
std::wstring CommandProgramOf(HKEY key);

}  // namespace uninstall
