// Any image the program might carry: the header copy, the product name, the version text and the
// block numbering of the transfer. The version never runs past the header copy, the product name
// agrees with the C library's case-insensitive comparison, and the blocks cover the image exactly
// once, in order, without reading outside it.
#include <strings.h>

#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

#include "app/context.h"
#include "app/firmware_image.h"
#include "fuzz_check.h"
#include "tftp/tftp_session.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 8 * 1024 * 1024)
        return 0;
    // Exactly the image's bytes, so a read past its end is caught.
    const std::vector<std::uint8_t> image(data, data + size);
    FirmwareImage firmware{};
    const bool loaded = loadFirmwareImage(image, firmware);
    FUZZ_CHECK(loaded == (size >= kFirmwareHeaderSize));
    if (!loaded) {
        FUZZ_CHECK(firmware.firmwareData == nullptr);
        return 0;
    }
    FUZZ_CHECK(firmware.firmwareSize == size);

    const char* name = productNameFor(firmware.firmwareHeader);
    const char* header = reinterpret_cast<const char*>(image.data());
    const char* expected = strncasecmp(header, "tov3000", 7) == 0   ? "TOV-3000"
                           : strncasecmp(header, "tov2000", 7) == 0 ? "TOV-1000/2000"
                                                                    : "ODM-Product";
    FUZZ_CHECK(std::strcmp(name, expected) == 0);

    // The version: the bytes from 92 up to the first NUL, ending at byte 127 at the latest.
    const std::string_view version(imageVersion(firmware));
    FUZZ_CHECK(version.size() <= 35);
    FUZZ_CHECK(std::memcmp(version.data(), image.data() + kImageVersionOffset, version.size()) ==
               0);

    // The transfer's blocks.
    if (!tftpImageFits(static_cast<std::uint32_t>(size)))
        return 0;
    TftpSession session{};
    setTftpImageGeometry(session, imageBytes(firmware));
    FUZZ_CHECK(session.blockCount == size / 512 + 1);
    std::size_t offset = 0;
    for (std::uint32_t block = 1; block <= session.blockCount; ++block) {
        const auto bytes = tftpBlockData(session, block);
        FUZZ_CHECK(bytes.size() == (block < session.blockCount ? 512 : size % 512));
        FUZZ_CHECK(bytes.empty() || bytes.data() == firmware.firmwareData + offset);
        offset += bytes.size();
    }
    FUZZ_CHECK(offset == size);
    FUZZ_CHECK(tftpBlockData(session, 0).empty());
    FUZZ_CHECK(tftpBlockData(session, session.blockCount + 1).empty());
    return 0;
}
