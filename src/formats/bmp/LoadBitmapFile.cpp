#include "formats/bmp/LoadBitmapFile.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <vector>

#include "base/Error.h"
#include "formats/bmp/BitmapFile.h"

namespace crossmeld {

namespace {

std::vector<std::uint8_t> ReadWholeFile(const std::string& path, bool& ok) {
    std::ifstream in(path, std::ios::binary);
    ok = static_cast<bool>(in);
    if (!ok) return {};
    std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ok = !in.bad();
    return bytes;
}

}  // namespace

std::uint8_t LoadBitmapFileInto(DibSurface& dib, const std::string& path) {
    std::error_code ec;
    const std::uintmax_t length = std::filesystem::file_size(path, ec);
    if (ec) throw Error(ErrorKind::FileNotFound);
    if (length == 0) return 0;
    dib.Destroy();
    bool ok = false;
    const std::vector<std::uint8_t> bytes = ReadWholeFile(path, ok);
    if (!ok) return 0;
    std::shared_ptr<Surface> surface;
    try {
        surface = DecodeBitmapFile(bytes);
    } catch (const Error&) {
        return 0;
    }
    return dib.CreateFromSurface(std::move(surface));
}

}  // namespace crossmeld
