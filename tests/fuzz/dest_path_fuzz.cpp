// The destination path from arbitrary folder and file names, as the move
// builds it: base_dir, "\LIB", "\" and each name in turn at dest_name_slot.
// Each step must refuse exactly when its result would not fit dest_path
// (the address checker guards the bytes around it), and an accepted path
// must be exactly the concatenation.
//
// Input: the folder, then each name, separated by NUL bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "install/install.h"

static void check(bool holds)
{
    if (!holds)
        std::abort();
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::vector<std::string> parts(1);
    for (size_t i = 0; i < size; i++) {
        if (data[i] == '\0')
            parts.emplace_back();
        else
            parts.back() += (char)data[i];
    }
    const std::string &folder = parts[0];
    // base_dir holds the working folder, which is always shorter.
    if (folder.size() >= sizeof base_dir)
        return 0;
    std::strcpy(base_dir, folder.c_str());
    std::memset(dest_path, 0x5a, sizeof dest_path);

    const std::string lib = folder + "\\LIB";
    bool fits = put_dest_folder("\\LIB");
    check(fits == (lib.size() < sizeof dest_path));
    if (!fits)
        return 0;
    check(lib == dest_path);

    fits = open_dest_name_slot();
    check(fits == (lib.size() + 1 < sizeof dest_path));
    if (!fits)
        return 0;
    check(dest_name_slot == dest_path + lib.size() + 1);

    // Names one after another, as the move puts them, longer or shorter.
    for (size_t i = 1; i < parts.size(); i++) {
        const std::string whole = lib + "\\" + parts[i];
        fits = put_dest_name(parts[i].c_str());
        check(fits == (whole.size() < sizeof dest_path));
        if (fits)
            check(whole == dest_path);
        else
            check(std::string(dest_path, lib.size() + 1) == lib + "\\");
    }
    return 0;
}
