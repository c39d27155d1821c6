#include "formats/avi/Fourcc.h"

namespace crossmeld::avi {

std::uint32_t mmioStringToFOURCC(std::string_view text, std::uint32_t flags) {
    char c[4] = {' ', ' ', ' ', ' '};
    for (std::size_t i = 0; i < 4 && i < text.size() && text[i] != '\0'; ++i) {
        c[i] = text[i];
        if ((flags & MMIO_TOUPPER) && c[i] >= 'a' && c[i] <= 'z') c[i] = static_cast<char>(c[i] - 'a' + 'A');
    }
    return MakeFourcc(c[0], c[1], c[2], c[3]);
}

std::string FourccText(std::uint32_t code) {
    std::string s(4, ' ');
    for (int i = 0; i < 4; ++i) s[i] = static_cast<char>((code >> (8 * i)) & 0xFF);
    return s;
}

}  // namespace crossmeld::avi
