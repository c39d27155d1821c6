#pragma once
// A MessageHost for tests: records every message box and answers with a
// scripted result (OK unless told otherwise).

#include <string>
#include <vector>

#include "base/MessageHost.h"

namespace crossmeld::test {

struct RecordedMessage {
    std::string text;
    MsgIcon icon = MsgIcon::None;
    MsgButtons buttons = MsgButtons::OK;
    std::string caption;
};

class RecordingMessageHost final : public MessageHost {
public:
    MsgResult MessageBox(const std::string& text, MsgIcon icon, MsgButtons buttons,
                         const std::string& caption) override {
        messages.push_back(RecordedMessage{text, icon, buttons, caption});
        return answer;
    }

    MsgResult answer = MsgResult::OK;
    std::vector<RecordedMessage> messages;
};

}  // namespace crossmeld::test
