#pragma once
// The failure report that every command handler of the main window shows
// when one of its steps fails, and the support address that it and the
// create command's messages name.

#include <cstdint>
#include <string>
#include <string_view>

namespace crossmeld {

// The address for support enquiries, named in the failure report and in the
// create command's refusals.
inline constexpr std::string_view kSupportAddress = "support@crossmeld.example";

inline constexpr std::string_view kErrorReportCaption = "Application Error";

// The report text: the description, CR LF, the place (module, handler,
// line), two bare carriage returns, then the request for a screenshot.
std::string ErrorReport(std::string_view description, std::string_view handler, std::int32_t line);

}  // namespace crossmeld
