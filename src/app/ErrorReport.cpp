#include "app/ErrorReport.h"

namespace crossmeld {

std::string ErrorReport(std::string_view description, std::string_view handler, std::int32_t line) {
    std::string text(description);
    text += "\r\n";
    text += "in Crossmeld2021/08/31.Form1.";
    text += handler;
    text += " at line ";
    text += std::to_string(line);
    // Two carriage returns without line feeds: the box shows one empty line.
    text += "\r\r";
    text += "Please email screenshot of this message to ";
    text += kSupportAddress;
    return text;
}

}  // namespace crossmeld
