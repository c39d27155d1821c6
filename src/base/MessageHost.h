#pragma once
// The message-box part of the Host: how the core shows a message to the
// user. The desktop window implements it with dialogs, the command line with
// standard error, tests with a recorder.

#include <string>

namespace crossmeld {

// Values as Windows numbers them, so that combined style codes read the same.
enum class MsgIcon : int { None = 0, Critical = 16, Question = 32, Exclamation = 48, Information = 64 };
enum class MsgButtons : int { OK = 0, OKCancel = 1, YesNo = 4 };
enum class MsgResult : int { OK = 1, Cancel = 2, Yes = 6, No = 7 };

class MessageHost {
public:
    virtual ~MessageHost() = default;
    // An empty caption means the application's title.
    virtual MsgResult MessageBox(const std::string& text, MsgIcon icon, MsgButtons buttons,
                                 const std::string& caption) = 0;
};

// The line break inside message texts: carriage return, line feed.
inline constexpr const char* kLineBreak = "\r\n";

}  // namespace crossmeld
