// make_caption over arbitrary command-line bytes: the caption always ends
// inside its 33 bytes, is never empty, holds at most 32 characters, no "\"
// and is either "Error" or a piece of the line.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "messages/messages.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // Blocks of exactly their own size, so a read or write past either end
    // is caught by the address checker.
    std::unique_ptr<char[]> line(new char[size + 1]);
    std::memcpy(line.get(), data, size);
    line[size] = '\0';
    std::unique_ptr<char[]> caption(new char[caption_size]);
    std::memset(caption.get(), 0x5a, caption_size);

    make_caption(line.get(), caption.get());

    if (!std::memchr(caption.get(), '\0', caption_size))
        std::abort();
    size_t length = std::strlen(caption.get());
    if (length == 0 || length > caption_size - 1 || std::strchr(caption.get(), '\\'))
        std::abort();
    if (std::strcmp(caption.get(), "Error") != 0 && !std::strstr(line.get(), caption.get()))
        std::abort();
    return 0;
}
